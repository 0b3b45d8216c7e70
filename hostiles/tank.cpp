#include "hostiles/tank.h"

#include "engine/graphics.h"
#include "engine/rnd.h"
#include "hostiles/kinds.h"
#include "hostiles/mine.h"
#include "state/difficulty.h"
#include "state/field.h"
#include "state/points.h"
#include "state/sounds.h"
#include "state/trail.h"
#include "state/world.h"

void CreateTanks() {
    World& world = CurrentWorld();
    auto t = New<tank>();
    t->caught = 0;
    PlaceOffCentre(t->x, t->y);
    RandomVelocity(t->dx, t->dy, double(0.3f), world.difficulty.tankspeed);
    t->timer = int(Rnd(5, world.difficulty.tankminewait));
    t->frame = int(Rnd(0, 31));
}

void UpdateTanks() {
    World& world = CurrentWorld();
    for (auto it = world.tank_list.begin(); it != world.tank_list.end(); ++it) {
        tank& t = *it;
        if (++t.frame > 31) t.frame = 0;
        if (t.caught == 0) {
            if (Rnd(0, 1000) > 980) { // a turn, about one frame in fifty
                const float odx = t.dx, ody = t.dy;
                if (Rnd(0, 10) <= 4) {
                    t.dy = Rnd(0, 10) > 4 ? -odx : odx;
                    t.dx = ody;
                } else {
                    t.dx = Rnd(0, 10) > 4 ? -ody : ody;
                    t.dy = odx;
                }
            }
            t.x = t.x + t.dx;
            t.y = t.y + t.dy;
            BounceX(t.x, t.dx);
            BounceY(t.y, t.dy);
            if (--t.timer < 0) {
                t.timer = world.difficulty.tankminewait;
                if (world.field.nucsalive > 0) {
                    CreateMine(int(t.x), int(t.y));
                    PlaySound(world.sfx.snd_mine);
                }
            }
        } else if (world.trail.looping == 0) {
            CreatePoints(int(t.x), int(t.y), Award(100));
            PlaySound(world.sfx.snd_killtank);
            t.Remove();
        }
    }
}

namespace {

void Triangle(float cx, float cy, const float (&c)[3][2]) {
    for (int i = 0; i < 3; ++i)
        DrawLine(cx + c[i][0], cy + c[i][1], cx + c[(i + 1) % 3][0], cy + c[(i + 1) % 3][1]);
}

} // namespace

void RenderTanks() {
    static const float tips[4] = {10, 12, 15, 12};
    for (const auto& t : CurrentWorld().tank_list) {
        if (t.timer <= 10)
            SetColor(255, 255, 255); // a mine is coming
        else
            SetColor(0, 0, 255);
        if (t.caught) {
            DrawRect(t.x - 7, t.y, 15, 1);
            DrawRect(t.x, t.y - 7, 1, 15);
            continue;
        }
        const int phase = t.frame / 4;
        const float L = tips[phase % 4];
        if (phase < 4) {
            const float a[3][2] = {{0, -L}, {9, 5}, {-9, 5}};
            const float b[3][2] = {{9, -5}, {0, L}, {-9, -5}};
            Triangle(t.x, t.y, a);
            Triangle(t.x, t.y, b);
        } else {
            const float a[3][2] = {{5, -9}, {5, 9}, {-L, 0}};
            const float b[3][2] = {{L, 0}, {-5, 9}, {-5, -9}};
            Triangle(t.x, t.y, a);
            Triangle(t.x, t.y, b);
        }
    }
}

int TankContacts(const HitBox& p) { return ContactsOf(CurrentWorld().tank_list, p, 9, 18); }
void CaptureTanks() { CaptureIn(CurrentWorld().tank_list); }
void TankPlaces(std::string& out) { PlacesOf(CurrentWorld().tank_list, out); }
