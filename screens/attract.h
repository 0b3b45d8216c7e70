// The attract cycle's three screens. Each ends after its frames, or at once when the left
// button or Escape is held.
#pragma once

void ShowTitle();
void ShowScores();
void ShowInstructions();
