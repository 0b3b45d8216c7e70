// The pause: play stops behind a screen of its own until the pause key is pressed again (or
// Escape leaves the game), and nothing of the game moves or sounds meanwhile.
#pragma once

void PauseGame();
