// Parsed events, as scripts and recordings give them, delivered to the input layer and read
// back through every query the game makes. Thousands of huge wheel turns once overflowed here.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "engine/headless/headless.h"
#include "engine/input.h"
#include "format/recording.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::vector<ScriptEvent> events;
    std::string error;
    if (!ParseScript(std::string(reinterpret_cast<const char*>(data), size), events, error))
        return 0;
    FlushMouse();
    FlushKeys();
    // Each event many times over, so that a few lines pile up as hours of play would.
    for (int round = 0; round < 64; ++round) {
        for (const ScriptEvent& e : events) {
            if (e.event.kind == InputEvent::Quit) continue; // it ends the run: tested elsewhere
            for (int again = 0; again < 64; ++again) HeadlessQueue(e.event);
        }
        try {
            const int x = MouseX(), y = MouseY();
            if (x < 0 || x >= 800 || y < 0 || y >= 600) __builtin_trap();
            (void)MouseZ();
            for (int b = 0; b <= 4; ++b) (void)(MouseDown(b) + MouseHit(b));
            for (int k = 0; k <= 256; ++k) (void)(KeyDown(k) + KeyHit(k));
        } catch (const QuitRequest&) {}
    }
    FlushMouse();
    FlushKeys();
    return 0;
}
