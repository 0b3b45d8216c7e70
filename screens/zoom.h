// The zoom that opens every level and life, and the growing and shrinking "GAME OVER".
#pragma once

void ZoomIn();
void RenderGameOver();
