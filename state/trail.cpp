#include "state/trail.h"
#include "state/world.h"

void ClearSegs() {
    World& world = CurrentWorld();
    for (auto& s : world.seg_list) {
        world.seg_list.Remove(&s);
        world.trail.segs--;
    }
}
