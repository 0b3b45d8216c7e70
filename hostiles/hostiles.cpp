// The hostile particles arrive level by level; until they do, their walks find empty lists.
#include "hostiles/mine.h"
#include "hostiles/photon.h"
#include "hostiles/pulsar.h"
#include "hostiles/star.h"
#include "hostiles/tank.h"

void UpdatePhotons() {}
void RenderPhotons() {}
void UpdateTanks() {}
void RenderTanks() {}
void UpdateMines() {}
void RenderMines() {}
void UpdateStars() {}
void RenderStars() {}
void UpdatePulsars() {}
void RenderPulsars() {}
void CreatePhoton() {}
void CreateTanks() {}
void CreateStars(int, int) {}
void CreatePulsars() {}
