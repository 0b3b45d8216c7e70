#include "shell/replay.h"

#include <filesystem>
#include <system_error>

#include "engine/files.h"
#include "engine/graphics.h"
#include "engine/input.h"
#include "engine/text.h"
#include "screens/hiscore.h"
#include "shell/script.h"

namespace {

bool recording = false;
std::string header;
std::string events; // grows by one short line per event: a few megabytes for hours of play

// The score noted in a recording's "# score" line, or -1.
int64_t RecordedScore(const std::string& path) {
    Stream file = ReadFile(path);
    for (int i = 0; file && i < 4; ++i) {
        const std::string line = ReadLine(file, 256);
        if (line.rfind("# score ", 0) == 0) return ToInt(line.substr(8));
    }
    return -1;
}

bool Write(const std::string& path, const std::string& text) {
    std::error_code ec;
    std::filesystem::create_directories(std::filesystem::path(path).parent_path(), ec);
    Stream file = WriteFileAtomic(path);
    if (!file) return false;
    std::fwrite(text.data(), 1, text.size(), file->file);
    return CloseFile(file);
}

} // namespace

void StartRecording(int64_t seed) {
    recording = true;
    std::vector<TableEntry> table;
    for (size_t i = 0; i < 10; ++i) table.push_back({scores[i], levels[i], names[i]});
    header = RecordingHeader(seed, table);
    events.clear();
    RecordInput([](const InputEvent& e, uint64_t poll, uint64_t frame) {
        events += std::to_string(frame) + " " + FormatEvent(e) + " @" + std::to_string(poll) + "\n";
    });
}

bool IsRecording() { return recording; }

std::string RecordingText(uint64_t endFrame) {
    return header + events + std::to_string(endFrame) + " end\n";
}

void SaveGameRecordings(int finalScore) {
    if (!recording) return;
    const std::string last = UserDataPath("replays/last.kvr");
    if (last.empty()) return;
    const std::string text = header + "# score " + Str(finalScore) + "\n" + events +
                             std::to_string(PresentedFrames()) + " end\n";
    Write(last, text);
    const std::string best = UserDataPath("replays/best.kvr");
    if (finalScore > RecordedScore(best)) Write(best, text);
}
