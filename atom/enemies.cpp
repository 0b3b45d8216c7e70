#include "atom/enemies.h"

#include "atom/bond.h"
#include "atom/electron.h"
#include "atom/nucleus.h"
#include "hostiles/mine.h"
#include "hostiles/photon.h"
#include "hostiles/pulsar.h"
#include "hostiles/star.h"
#include "hostiles/tank.h"

void UpdateEnemies() {
    UpdateNuclei();
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
    RenderNuclei();
    RenderElectrons();
    RenderPhotons();
    RenderTanks();
    RenderMines();
    RenderStars();
    RenderPulsars();
}
