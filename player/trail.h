// The trail: segments laid as the point moves, newest at the head of seg_list.
#pragma once
#include "entity/list.h"

struct seg : Kind<seg> {
    static constexpr bool kJoinsList = false; // CreateSeg puts it at the head itself
    static KindList<seg>& List();
    float x1 = 0, y1 = 0, x2 = 0, y2 = 0;
    int life = 0;
    int shrink = 0;
};
inline KindList<seg> seg_list;
inline KindList<seg>& seg::List() { return seg_list; }

inline int segs = 0;
inline int segdur = 0;
inline int xold = 400, yold = 300;
inline int counter = 0;
inline int looping = 0;

void CreateSeg();
void UpdateSegs();
void RenderSegs();
// Removes every segment, keeping segs in step.
void ClearSegs();
