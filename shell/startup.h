// Everything that lives for the whole run is built once, here, in a fixed order.
#pragma once
#include <cstdint>
#include <optional>
#include <vector>

#include "shell/script.h"

// koravel-sim and replays fix the seed; the game itself seeds from the clock.
inline std::optional<int64_t> seed_override;
// A replay starts from the table its recording started with.
inline std::optional<std::vector<TableEntry>> table_override;
// The seed this run started with, as recorded.
inline int64_t run_seed = 0;

// False when no display could be opened (the reason has been printed).
bool Startup();
