// Nuclei, electrons and bonds arrive with the level set-up; until then they stand idle.
#include "atom/bond.h"
#include "atom/electron.h"
#include "atom/nucleus.h"

void UpdateNuclei() {}
void RenderNuclei() {}
void UpdateElectrons() { elecsalive = 0; }
void RenderElectrons() {}
void UpdateBonds() {}
void RenderBonds() {}
