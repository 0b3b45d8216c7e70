#include "board/clock.h"

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <string>

int64_t BoardNow() {
    static const char* const shift = std::getenv("KORAVEL_BOARD_CLOCK");
    const int64_t now = std::chrono::duration_cast<std::chrono::seconds>(
                            std::chrono::system_clock::now().time_since_epoch())
                            .count();
    if (!shift || !*shift) return now;
    int64_t ahead = 0;
    std::ifstream(shift) >> ahead; // a file missing or unreadable moves nothing
    return now + ahead;
}
