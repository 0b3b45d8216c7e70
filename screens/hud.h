// The numbers of the game: score, best score, level, spare lives and the table of top scores.
#pragma once

void RenderScore();
void RenderMenLeft();
void RenderScores(int hilite, int top);
// The score popups: a star that shrinks into the number.
void RenderPoints();
