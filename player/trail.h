// The trail: segments laid as the point moves, newest at the head of seg_list.
#pragma once
#include "entity/list.h"

struct seg;
inline KindList<seg> seg_list;

// CreateSeg puts a segment at the head of the list itself.
struct seg : Kind<seg, seg_list, false> {
    float x1 = 0, y1 = 0, x2 = 0, y2 = 0;
    int life = 0;
    int shrink = 0;
};

inline int segs = 0;
inline int segdur = 0;
inline int xold = 400, yold = 300;
inline int counter = 0;
inline int looping = 0;

void CreateSeg();
// Lays a segment once the point is more than one pixel away from the newest one on either axis.
void LaySegmentIfMoved();
void UpdateSegs();
void RenderSegs();
// Removes every segment, keeping segs in step.
void ClearSegs();
