#include "atom/enemies.h"

#include <algorithm>

#include "atom/bond.h"
#include "atom/electron.h"
#include "atom/nucleus.h"
#include "hostiles/kinds.h"
#include "hostiles/photon.h"
#include "state/difficulty.h"
#include "state/field.h"
#include "state/game.h"
#include "state/sounds.h"
#include "state/world.h"

void UpdateEnemies() {
    World& world = CurrentWorld();
    // The photon launcher keeps counting, and shortening its cycle, even when it launches nothing.
    if (--world.field.phtimer < 0) {
        world.field.phtimer = world.field.phcreatewait + 10;
        world.field.phcreatewait = std::max(world.field.phcreatewait - 1, 0);
        // No launch (the point on the centre gives no direction), no launch sound.
        if (world.field.nucsalive > 0 && world.game.level > 1 && CreatePhoton())
            PlaySound(world.sfx.snd_photon);
    }
    UpdateNucleus();
    UpdateBonds();
    UpdateElectrons();
    for (const HostileKind& kind : HostileKinds())
        if (kind.update) kind.update();
}

void RenderEnemies() {
    RenderBonds();
    RenderNucleus();
    RenderElectrons();
    for (const HostileKind& kind : HostileKinds())
        if (kind.draw) kind.draw();
}
