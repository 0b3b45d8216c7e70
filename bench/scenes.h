// Game states for measuring one frame's work: an attract frame, a level-1 frame and the worst
// case the game can reach.
#pragma once

// Start-up on the headless backend, from the build folder (gfx/ and sound/).
void BenchStartup();
void SceneLevel1();
// Level 60 with 19 stars, 4 pulsars, 8 nuclei with 40 electrons, bonds, a trail of 31 segments
// and 112 fragments.
void SceneWorst();
// One frame of play's work without presenting: enemies, trail, player, all the drawing. The
// point stays where it is, and a hit does not start the death sequence.
void PlayWork(bool fragments);
// One title frame at full size.
void TitleWork(int counter);
