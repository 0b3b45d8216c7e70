#include "hostiles/photon.h"

#include <cmath>

#include "engine/graphics.h"
#include "hostiles/kinds.h"
#include "state/difficulty.h"
#include "state/field.h"
#include "state/point.h"
#include "state/points.h"
#include "state/sounds.h"
#include "state/trail.h"
#include "state/world.h"

bool PhotonLaunchPoint(double px, double py, double& ex, double& ey) {
    // The straight cases first: they have no slope to divide by.
    if (px == 400 && py == 300) return false;
    if (px == 400) {
        ex = 400, ey = py < 300 ? 600 : 0;
        return true;
    }
    if (py == 300) {
        ex = px < 400 ? 800 : 0, ey = 300;
        return true;
    }
    // The line through the player and the centre meets x = 800 and y = 600 here, and by the
    // symmetry about the centre x = 0 and y = 0 at the mirrored places.
    const double m = (300 - py) / (400 - px);
    const double atRight = py + m * (800 - px);
    const double atBottom = px + (600 - py) / m;
    const double sideY = px < 400 ? atRight : 600 - atRight;
    if (sideY >= 0 && sideY <= 600) {
        ex = px < 400 ? 800 : 0, ey = sideY;
    } else {
        ex = py < 300 ? atBottom : 800 - atBottom, ey = py < 300 ? 600 : 0;
    }
    return true;
}

bool CreatePhoton() {
    World& world = CurrentWorld();
    double ex, ey;
    if (!PhotonLaunchPoint(world.point.x, world.point.y, ex, ey)) return false;
    const double d = std::sqrt((ex - 400) * (ex - 400) + (ey - 300) * (ey - 300));
    auto p = New<phot>();
    p->x = float(ex);
    p->y = float(ey);
    p->dx = float(-(ex - 400) / d * world.difficulty.phspeed);
    p->dy = float(-(ey - 300) / d * world.difficulty.phspeed);
    return true;
}

void UpdatePhotons() {
    World& world = CurrentWorld();
    for (auto it = world.phot_list.begin(); it != world.phot_list.end(); ++it) {
        phot& p = *it;
        if (++p.frame > 3) p.frame = 0;
        if (p.caught == 0) {
            p.x = p.x + p.dx;
            p.y = p.y + p.dy;
            if (p.x < 0 || p.x > 800 || p.y > 600 || p.y < 0) p.Remove();
        } else if (world.trail.looping == 0) {
            PlaySound(world.sfx.snd_killphoton);
            CreatePoints(int(p.x), int(p.y), Award(200));
            p.Remove();
        }
    }
}

void RenderPhotons() {
    World& world = CurrentWorld();
    if (++world.field.phcol > 2) world.field.phcol = 0;
    static const int colours[3][3] = {{255, 0, 0}, {0, 255, 0}, {0, 0, 255}};
    SetColor(colours[world.field.phcol][0], colours[world.field.phcol][1],
             colours[world.field.phcol][2]);
    static const float corners[4][3][2] = {{{0, -10}, {9, 5}, {-9, 5}},
                                           {{5, -9}, {5, 9}, {-10, 0}},
                                           {{9, -5}, {0, 10}, {-9, -5}},
                                           {{10, 0}, {-5, 9}, {-5, -9}}};
    for (const auto& p : world.phot_list) {
        const float k = p.caught ? 2.0f : 1.0f; // caught: double size
        const auto& c = corners[p.frame & 3];
        for (int i = 0; i < 3; ++i) {
            const auto& a = c[i];
            const auto& b = c[(i + 1) % 3];
            DrawLine(p.x + k * a[0], p.y + k * a[1], p.x + k * b[0], p.y + k * b[1]);
        }
    }
}

int PhotonContacts(const HitBox& p) { return ContactsOf(CurrentWorld().phot_list, p, 7, 15); }
void CapturePhotons() { CaptureIn(CurrentWorld().phot_list); }
void PhotonPlaces(std::string& out) { PlacesOf(CurrentWorld().phot_list, out); }
