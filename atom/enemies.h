// Everything on the field but the player moves in one call and is drawn in another, in a fixed
// order.
#pragma once

void UpdateEnemies();
void RenderEnemies();
