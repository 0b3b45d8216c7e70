#include "state/world.h"

#include <memory>
#include <utility>

namespace {

World programWorld;
World* current = &programWorld;

} // namespace

World& CurrentWorld() { return *current; }

void UseWorld(World& world) {
    current = &world;
    UseSession(world.engine);
}

void NewWorld() {
    EngineSession kept = std::move(Session()); // perhaps still the engine's own
    std::destroy_at(current);
    std::construct_at(current);
    current->engine = std::move(kept);
    UseSession(current->engine);
}

#define KORAVEL_KIND_LIST(kind)                                                                    \
    template <> KindList<kind>& ListOf<kind>() { return current->kind##_list; }
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
