#include "player/trail.h"

#include <algorithm>
#include <cstdlib>

#include "atom/nucleus.h"
#include "engine/graphics.h"
#include "player/capture.h"
#include "player/player.h"
#include "shell/sounds.h"

void CreateSeg() {
    segs++;
    auto s = New<seg>();
    s->x1 = float(x);
    s->y1 = float(y);
    s->x2 = float(xold);
    s->y2 = float(yold);
    s->life = segdur;
    s->shrink = 0;
    seg_list.AddFirst(s);
    CheckBonds(*s);
    CheckForLoop(*s);
}

void LaySegmentIfMoved() {
    if (std::abs(xold - x) > 1 || std::abs(yold - y) > 1) {
        CreateSeg();
        xold = x;
        yold = y;
    }
}

void UpdateSegs() {
    looping = 0;
    bool cut = false, sound = false;
    for (auto it = seg_list.begin(); it != seg_list.end(); ++it) {
        seg& s = *it;
        s.life--;
        if (s.life < 0) {
            if (s.shrink <= 0) {
                seg_list.Remove(&s);
                segs--;
            } else {
                looping = 1;
                s.shrink--;
                if (s.shrink > 0) {
                    s.x1 = float(s.x1 + (double(cpx) - s.x1) / s.shrink);
                    s.y1 = float(s.y1 + (double(cpy) - s.y1) / s.shrink);
                    s.x2 = float(s.x2 + (double(cpx) - s.x2) / s.shrink);
                    s.y2 = float(s.y2 + (double(cpy) - s.y2) / s.shrink);
                }
            }
            continue;
        }
        const int minx = int(std::min(s.x1, s.x2)), maxx = int(std::max(s.x1, s.x2));
        const int miny = int(std::min(s.y1, s.y2)), maxy = int(std::max(s.y1, s.y2));
        for (int i = 0; i < 8; ++i) {
            const auto& n = nucs[size_t(i)];
            if (!n || n->active <= 0) continue;
            if (RectsOverlap(int(n->x - 1), int(n->y - 1), 3, 3, minx, miny, maxx - minx,
                             maxy - miny))
                cut = sound = true;
        }
        if (cut) s.life = 0;
    }
    if (sound) PlaySound(snd_killtail);
}

void RenderSegs() {
    if (++counter > 30) counter = 0;
    if (counter <= 15)
        SetColor(0, 255, 0);
    else
        SetColor(255, 0, 255);
    for (auto& s : seg_list) {
        // The colour is not restored: every older segment is drawn magenta too.
        if (s.shrink > 0) SetColor(255, 0, 255);
        DrawLine(s.x1, s.y1, s.x2, s.y2);
    }
}

void ClearSegs() {
    for (auto& s : seg_list) {
        seg_list.Remove(&s);
        segs--;
    }
}
