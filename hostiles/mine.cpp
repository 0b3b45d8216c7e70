#include "hostiles/mine.h"

#include "engine/graphics.h"
#include "hostiles/kinds.h"
#include "state/difficulty.h"
#include "state/field.h"
#include "state/points.h"
#include "state/sounds.h"
#include "state/trail.h"
#include "state/world.h"

void CreateMine(int mx, int my) {
    auto m = New<mine>();
    m->x = mx;
    m->y = my;
    m->life = CurrentWorld().difficulty.minedur;
    m->caught = 0;
}

void UpdateMines() {
    World& world = CurrentWorld();
    for (auto it = world.mine_list.begin(); it != world.mine_list.end(); ++it) {
        mine& m = *it;
        if (m.caught == 0) {
            if (--m.life < 10) m.Remove();
        } else if (world.trail.looping == 0) {
            CreatePoints(m.x, m.y, Award(300));
            PlaySound(world.sfx.snd_killmine);
            m.Remove();
        }
    }
}

void RenderMines() {
    SetColor(0, 255, 0);
    for (const auto& m : CurrentWorld().mine_list) {
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
    for (const auto& m : CurrentWorld().mine_list) {
        if (m.caught != 0 || m.life <= 15) continue;
        const int q = m.life / 10;
        hits += Touches(p, m.x - q / 2, m.y - q / 2, q, q);
    }
    return hits;
}

void CaptureMines() {
    World& world = CurrentWorld();
    for (auto& m : world.mine_list) {
        if (m.caught == 0 && m.life > 15 && InLoop(m.x, m.y)) {
            m.caught = 1;
            world.loop.g_numkilled++;
        }
    }
}

void MinePlaces(std::string& out) { PlacesOf(CurrentWorld().mine_list, out); }
