// Everything that lives for the whole run is built once, here, in a fixed order.
#pragma once
#include <cstdint>
#include <optional>

// koravel-sim fixes the seed; the game itself seeds from the clock.
inline std::optional<int64_t> seed_override;

// False when no display could be opened (the reason has been printed).
bool Startup();
