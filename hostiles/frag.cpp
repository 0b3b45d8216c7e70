#include "hostiles/frag.h"

#include <algorithm>

#include "engine/graphics.h"
#include "engine/mathx.h"
#include "engine/rnd.h"
#include "state/art.h"
#include "state/field.h"
#include "state/point.h"
#include "state/world.h"

void CreateFrags() {
    World& world = CurrentWorld();
    constexpr double step = 16 + 2 * 3.14159265358979323846; // not 22.5: the last gap is wider
    for (int ring = 0; ring < 4; ++ring) {
        if (world.field.fragsalive >= 100) continue;
        const col& c = *world.art.cols[size_t(Rnd(0, 6))];
        double a = Rnd(0, step);
        for (int i = 0; i < 16; ++i) {
            auto f = New<Frag>();
            f->x = float(world.point.x);
            f->y = float(world.point.y);
            f->dx = float(Cos(a) * Rnd(double(0.6f), 4));
            f->dy = float(Sin(a) * Rnd(double(0.6f), 4));
            f->r = c.r;
            f->g = c.g;
            f->b = c.b;
            f->life = 50;
            a += step;
        }
        world.field.fragsalive += 16;
    }
}

void UpdateFrags() {
    World& world = CurrentWorld();
    for (auto it = world.Frag_list.begin(); it != world.Frag_list.end(); ++it) {
        Frag& f = *it;
        f.x = f.x + f.dx;
        f.y = f.y + f.dy;
        if (f.x < 0 || f.x > 800 || f.y > 600 || f.y < 0) {
            f.Remove();
            world.field.fragsalive--;
            continue;
        }
        f.b = std::max(f.b - 2, 0);
        f.g = std::max(f.g - 2, 0);
        f.r = std::max(f.r - 2, 0);
        if (--f.life < 0) {
            f.Remove();
            world.field.fragsalive--;
        }
    }
}

void RenderFrags() {
    for (auto& f : CurrentWorld().Frag_list) {
        SetColor(f.r, f.g, f.b);
        DrawRect(f.x - 1, f.y - 1, 2, 2);
    }
}
