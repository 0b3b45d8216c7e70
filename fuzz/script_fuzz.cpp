// koravel-sim's input scripts and lockstep lines on arbitrary text.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "format/recording.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    std::vector<ScriptEvent> events;
    std::string error;
    if (ParseScript(text, events, error)) {
        for (size_t i = 1; i < events.size(); ++i)
            if (events[i].frame < events[i - 1].frame) __builtin_trap();
    } else if (error.empty()) {
        __builtin_trap();
    }
    InputEvent e;
    if (ParseEvent(text, e, error)) {
        InputEvent again;
        if (!ParseEvent(FormatEvent(e), again, error) || again.kind != e.kind || again.a != e.a ||
            again.b != e.b)
            __builtin_trap(); // every event reads back as written
    }
    Recording r;
    ParseRecording(text, r, error);
    return 0;
}
