#include "hostiles/star.h"

#include <algorithm>

#include "engine/graphics.h"
#include "engine/rnd.h"
#include "hostiles/kinds.h"
#include "state/difficulty.h"
#include "state/field.h"
#include "state/loop.h"
#include "state/points.h"
#include "state/sounds.h"
#include "state/trail.h"
#include "state/world.h"

void CreateStars(int sx, int sy) {
    World& world = CurrentWorld();
    auto s = New<star>();
    s->InsertBefore(*world.star_list.First()); // new stars lead the list
    s->caught = 0;
    if (sx == -1) {
        PlaceOffCentre(s->x, s->y);
    } else {
        s->x = float(sx);
        s->y = float(sy);
    }
    RandomVelocity(s->dx, s->dy, 0.5, world.difficulty.starspeed);
    s->frame = int(Rnd(0, 31));
    world.field.starsalive++;
}

void UpdateStars() {
    World& world = CurrentWorld();
    if (--world.field.startimer < 0) world.field.startimer = world.difficulty.starsplitwait;
    for (auto it = world.star_list.begin(); it != world.star_list.end(); ++it) {
        star& s = *it;
        if (++s.frame > 7) s.frame = 0;
        if (s.caught == 0) {
            s.x = s.x + s.dx;
            s.y = s.y + s.dy;
            BounceX(s.x, s.dx);
            BounceY(s.y, s.dy);
            if (world.field.startimer == 0 && world.field.nucsalive > 0 &&
                world.field.starsalive < 18) {
                CreateStars(int(s.x), int(s.y));
                CreateStars(int(s.x), int(s.y));
                PlaySound(world.sfx.snd_split4);
            }
        } else if (world.trail.looping == 0) {
            CreatePoints(int(s.x), int(s.y), Award(world.loop.numstarskilled * 100));
            PlaySound(world.sfx.snd_killstar);
            s.Remove();
            world.field.starsalive--;
        }
    }
}

void RenderStars() {
    World& world = CurrentWorld();
    if (world.field.starsalive <= 0) return;
    const bool flashing = world.field.startimer < 60 && (world.field.startimer / 8) % 2 == 0;
    if (flashing) {
        SetColor(255, 255, 255);
        // Played while drawing, so every redraw at these moments sounds again.
        if (world.field.startimer == 54) PlaySound(world.sfx.snd_split1);
        if (world.field.startimer == 38) PlaySound(world.sfx.snd_split2);
        if (world.field.startimer == 22) PlaySound(world.sfx.snd_split3);
    } else {
        SetColor(255, 255, 0);
    }
    static const float strokes[4][5][4] = {
        {{0, -10, -3, 0}, {9, -2, -2, -2}, {2, -2, 7, 9}, {3, 0, -7, 9}, {0, 3, -9, -2}},
        {{0, 10, 3, 0}, {-9, 2, 2, 2}, {-2, 2, -7, -9}, {-3, 0, 7, -9}, {0, -3, 9, 2}},
        {{0, 10, -3, 0}, {9, 2, -2, 2}, {2, 2, 7, -9}, {3, 0, -7, -9}, {0, -3, -9, 2}},
        {{0, -10, 3, 0}, {-9, -2, 2, -2}, {-2, -2, -7, 9}, {-3, 0, 7, 9}, {0, 3, 9, -2}},
    };
    for (const auto& s : world.star_list) {
        if (s.caught) {
            DrawRect(s.x - 7, s.y, 15, 1);
            DrawRect(s.x, s.y - 7, 1, 15);
            continue;
        }
        const int phase = s.frame / 4;
        if (phase < 0 || phase > 3) continue; // a newborn star not yet updated
        for (const auto& k : strokes[phase])
            DrawLine(s.x + k[0], s.y + k[1], s.x + k[2], s.y + k[3]);
    }
}

int StarContacts(const HitBox& p) { return ContactsOf(CurrentWorld().star_list, p, 9, 18); }

// A star within the loop's bounding box counts towards the bonus even when the polygon misses it.
void CaptureStars() {
    World& world = CurrentWorld();
    for (auto& st : world.star_list) {
        if (st.caught != 0) continue;
        const int px = int(st.x), py = int(st.y);
        if (!RectsOverlap(px, py, 1, 1, world.loop.minx, world.loop.miny,
                          world.loop.maxx - world.loop.minx, world.loop.maxy - world.loop.miny))
            continue;
        world.loop.numstarskilled = std::min(world.loop.numstarskilled + 1, 4);
        if (PointInPoly(px, py)) {
            st.caught = 1;
            world.loop.g_numkilled++;
        }
    }
}

void StarPlaces(std::string& out) { PlacesOf(CurrentWorld().star_list, out); }
