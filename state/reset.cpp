#include "state/reset.h"

#include "state/difficulty.h"
#include "state/field.h"
#include "state/game.h"
#include "state/loop.h"
#include "state/point.h"
#include "state/trail.h"

void ResetGameState() {
    game.Reset();
    point.Reset();
    trail.Reset();
    loop.Reset();
    difficulty.Reset();
    field.Reset();
}
