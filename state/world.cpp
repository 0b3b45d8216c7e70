#include "state/world.h"

#include <memory>

namespace {

// Built in place, so that the names bound below stay bound across NewWorld.
World world;

} // namespace

void NewWorld() {
    std::destroy_at(&world);
    std::construct_at(&world);
}

Art& art = world.art;
FontArt& font = world.font;
SoundHandles& sfx = world.sfx;
ScoreTable& hiscores = world.hiscores;
GameState& game = world.game;
PointState& point = world.point;
TrailState& trail = world.trail;
LoopState& loop = world.loop;
Difficulty& difficulty = world.difficulty;
FieldState& field = world.field;

#define KORAVEL_KIND_LIST(kind)                                                                    \
    KindList<kind>& kind##_list = world.kind##_list;                                               \
    template <> KindList<kind>& ListOf<kind>() { return world.kind##_list; }
KORAVEL_KIND_LIST(nuc)
KORAVEL_KIND_LIST(elec)
KORAVEL_KIND_LIST(bond)
KORAVEL_KIND_LIST(phot)
KORAVEL_KIND_LIST(tank)
KORAVEL_KIND_LIST(mine)
KORAVEL_KIND_LIST(star)
KORAVEL_KIND_LIST(pulsar)
KORAVEL_KIND_LIST(Frag)
KORAVEL_KIND_LIST(seg)
KORAVEL_KIND_LIST(pnts)
KORAVEL_KIND_LIST(col)
KORAVEL_KIND_LIST(digit)
#undef KORAVEL_KIND_LIST
