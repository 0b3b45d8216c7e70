// Everything that lives for the whole run is built once, here, in a fixed order.
#pragma once
#include <cstdint>
#include <optional>
#include <vector>

#include "format/score_entry.h"

struct RunSettings {
    // koravel-sim, replays and KORAVEL_SEED fix the seed; the game itself seeds from the clock.
    std::optional<int64_t> seed_override;
    // A replay starts from the table its recording started with.
    std::optional<std::vector<ScoreEntry>> table_override;
    // The seed this run started with, as recorded.
    int64_t run_seed = 0;

    void Reset() { *this = RunSettings{}; }
};
inline RunSettings run;

// The world as start-up leaves it before the display and the files: every owner new, the
// nuclei's slots, the colours, the font and the attract path made. Tests start from it.
void NewGameWorld();
// False when no display could be opened (the reason has been printed).
bool Startup();
