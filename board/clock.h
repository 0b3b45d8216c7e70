// The board's wall clock, in Unix seconds: the days, the attempts' times and the uploads' all
// come from here. KORAVEL_BOARD_CLOCK names a file holding seconds to add to the system's clock,
// read at every call, so that a test can move a running board into tomorrow without waiting.
// (Leases run on the database's own clock, which hosts share.)
#pragma once
#include <cstdint>

int64_t BoardNow();
