// The player's point each frame: its reticle grows, and whatever touches it kills it.
#pragma once

void UpdatePlayer();
void RenderPlayer();
// On the choosing screens the point follows the pointer directly, kept inside the field.
void PointFollowsMouse();
