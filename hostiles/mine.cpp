#include "hostiles/mine.h"

#include "engine/graphics.h"
#include "hostiles/kinds.h"
#include "state/difficulty.h"
#include "state/field.h"
#include "state/points.h"
#include "state/sounds.h"
#include "state/trail.h"

void CreateMine(int mx, int my) {
    auto m = New<mine>();
    m->x = mx;
    m->y = my;
    m->life = difficulty.minedur;
    m->caught = 0;
}

void UpdateMines() {
    for (auto it = mine_list.begin(); it != mine_list.end(); ++it) {
        mine& m = *it;
        if (m.caught == 0) {
            if (--m.life < 10) m.Remove();
        } else if (trail.looping == 0) {
            CreatePoints(m.x, m.y, Award(300));
            PlaySound(sfx.snd_killmine);
            m.Remove();
        }
    }
}

void RenderMines() {
    SetColor(0, 255, 0);
    for (const auto& m : mine_list) {
        if (m.caught) {
            DrawRect(m.x - 5, m.y, 11, 1);
            DrawRect(m.x, m.y - 5, 1, 11);
            continue;
        }
        const int r = m.life / 15; // the diamond shrinks as the mine runs out
        DrawLine(m.x, m.y - r, m.x + r, m.y);
        DrawLine(m.x + r, m.y, m.x, m.y + r);
        DrawLine(m.x, m.y + r, m.x - r, m.y);
        DrawLine(m.x - r, m.y, m.x, m.y - r);
    }
}

// Deadly, and catchable, only above a life of 15; the box shrinks as the mine fades.
int MineContacts(const HitBox& p) {
    int hits = 0;
    for (const auto& m : mine_list) {
        if (m.caught != 0 || m.life <= 15) continue;
        const int q = m.life / 10;
        hits += Touches(p, m.x - q / 2, m.y - q / 2, q, q);
    }
    return hits;
}

void CaptureMines() {
    for (auto& m : mine_list) {
        if (m.caught == 0 && m.life > 15 && InLoop(m.x, m.y)) {
            m.caught = 1;
            loop.g_numkilled++;
        }
    }
}

void MinePlaces(std::string& out) { PlacesOf(mine_list, out); }
