#include "hostiles/pulsar.h"

#include <cstdlib>

#include "engine/graphics.h"
#include "engine/mathx.h"
#include "engine/rnd.h"
#include "hostiles/kinds.h"
#include "state/difficulty.h"
#include "state/field.h"
#include "state/point.h"
#include "state/points.h"
#include "state/sounds.h"
#include "state/trail.h"
#include "state/world.h"

void CreatePulsars() {
    auto p = New<pulsar>();
    p->caught = 0;
    PlaceOffCentre(p->x, p->y);
    RandomVelocity(p->dx, p->dy, 0.5, CurrentWorld().difficulty.pulsarspeed);
    p->pulse = int(Rnd(0, 32));
    p->dir = 1;
}

void UpdatePulsars() {
    World& world = CurrentWorld();
    for (auto it = world.pulsar_list.begin(); it != world.pulsar_list.end(); ++it) {
        pulsar& p = *it;
        p.pulse += p.dir;
        if (p.pulse == 48) p.dir = -1;
        if (p.pulse == 0) p.dir = 1;
        if (p.caught == 0) {
            p.x = p.x + p.dx;
            p.y = p.y + p.dy;
            BounceX(p.x, p.dx);
            BounceY(p.y, p.dy);
            if (Rnd(0, 1000) > 500) { // re-aim at the player, about every other frame
                const int hx = int(p.x - float(world.point.x)),
                          hy = int(p.y - float(world.point.y));
                if (std::abs(hx) > 10)
                    p.dx = float(-Sgn(hx) * Rnd(0.5, world.difficulty.pulsarspeed));
                if (std::abs(hy) > 10)
                    p.dy = float(-Sgn(hy) * Rnd(0.5, world.difficulty.pulsarspeed));
            }
        } else if (world.trail.looping == 0) {
            CreatePoints(int(p.x), int(p.y), Award(300));
            PlaySound(world.sfx.snd_killpuls);
            p.Remove();
        }
    }
}

void RenderPulsars() {
    World& world = CurrentWorld();
    struct Stroke {
        int from;
        float x1, y1, x2, y2;
    };
    static const Stroke shield[] = {
        {4, 0, -10, 0, 0},       {5, 0, -10, -10, -20},  {5, 0, -10, 10, -20},
        {6, -10, -20, -25, -20}, {6, 10, -20, 25, -20},  {7, -25, -20, -35, -10},
        {7, 25, -20, 35, -10},   {8, -35, -10, -35, 12}, {8, 35, -10, 35, 12},
        {9, -35, 12, -15, 25},   {9, 35, 12, 15, 25},    {10, -15, 25, 0, 25},
        {10, 15, 25, 0, 25},
    };
    static const int colours[3][3] = {{255, 0, 0}, {0, 255, 0}, {0, 0, 255}};
    for (const auto& p : world.pulsar_list) {
        if (p.caught) {
            // No colour of its own: the cross takes whatever was drawn last.
            DrawRect(p.x - 7, p.y, 15, 1);
            DrawRect(p.x, p.y - 7, 1, 15);
            continue;
        }
        SetColor(255, 255, 255);
        DrawRect(p.x - 2, p.y, 5, 5);
        if (p.pulse == 20 && p.dir == 1) PlaySound(world.sfx.snd_pulsar);
        const int k = p.pulse / 4;
        SetColor(colours[k % 3][0], colours[k % 3][1], colours[k % 3][2]);
        for (const Stroke& s : shield)
            if (k > s.from) DrawLine(p.x + s.x1, p.y + s.y1, p.x + s.x2, p.y + s.y2);
    }
}

namespace {

// The pulsar's shield grows with its pulse: more boxes count as it swells.
bool TouchesPulsar(const HitBox& p, const pulsar& s) {
    struct Part {
        int from;
        float dx, dy;
        int w, h;
    };
    static const Part parts[] = {
        {-1, 0, 0, 2, 2},     {4, 0, -8, 1, 8},    {5, 0, -20, 10, 10},   {5, -10, -20, 10, 10},
        {6, -25, -20, 15, 1}, {6, 10, -20, 15, 1}, {7, -35, -20, 10, 10}, {7, 25, -20, 10, 10},
        {8, -35, -10, 1, 22}, {8, 35, -10, 1, 22}, {9, -32, 12, 14, 10},  {9, 18, 12, 14, 10},
        {10, -15, 25, 31, 1},
    };
    const int k = s.pulse / 4;
    for (const Part& part : parts)
        if (k > part.from && Touches(p, int(s.x + part.dx), int(s.y + part.dy), part.w, part.h))
            return true;
    return false;
}

} // namespace

// One pulsar's touch is enough: the rest are not looked at.
int PulsarContacts(const HitBox& p) {
    for (const auto& s : CurrentWorld().pulsar_list)
        if (s.caught == 0 && TouchesPulsar(p, s)) return 1;
    return 0;
}

void CapturePulsars() { CaptureIn(CurrentWorld().pulsar_list); }
void PulsarPlaces(std::string& out) { PlacesOf(CurrentWorld().pulsar_list, out); }
