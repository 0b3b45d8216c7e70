// The board's wall clock, in Unix seconds: the days, the attempts' times and the uploads' all
// come from here. KORAVEL_BOARD_CLOCK names a file holding seconds to add to the system's clock,
// read at every call, so that a test can move a running board into tomorrow without waiting.
// A store opened without a clock of its own reads this one, and the board reads its store's for
// every time it keeps: the uploads, the leases, the verifiers heard from. Hosts sharing a
// database keep their clocks in step (as NTP does): a lease is a verifier's time limit and 15 s
// more, so a few seconds apart change nothing.
#pragma once
#include <cstdint>

int64_t BoardNow();
