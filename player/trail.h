// Laying, ageing and drawing the trail.
#pragma once

void CreateSeg();
// Lays a segment once the point is more than one pixel away from the newest one on either axis.
void LaySegmentIfMoved();
void UpdateSegs();
void RenderSegs();
