#include "atom/enemies.h"

#include <algorithm>

#include "atom/bond.h"
#include "atom/electron.h"
#include "atom/level.h"
#include "atom/nucleus.h"
#include "hostiles/mine.h"
#include "hostiles/photon.h"
#include "hostiles/pulsar.h"
#include "hostiles/star.h"
#include "hostiles/tank.h"
#include "player/player.h"
#include "shell/game.h"
#include "shell/sounds.h"

void UpdateEnemies() {
    // The photon launcher keeps counting, and shortening its cycle, even when it launches nothing.
    if (--phtimer < 0) {
        phtimer = phcreatewait + 10;
        phcreatewait = std::max(phcreatewait - 1, 0);
        if (nucsalive > 0 && level > 1) {
            CreatePhoton();
            PlaySound(snd_photon);
        }
    }
    UpdateNucleus();
    UpdateBonds();
    UpdateElectrons();
    UpdatePhotons();
    UpdateTanks();
    UpdateMines();
    UpdateStars();
    UpdatePulsars();
}

void RenderEnemies() {
    RenderBonds();
    RenderNucleus();
    RenderElectrons();
    RenderPhotons();
    RenderTanks();
    RenderMines();
    RenderStars();
    RenderPulsars();
}
