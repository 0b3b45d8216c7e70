#include "record/replay.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <utility>

#include "engine/files.h"
#include "engine/graphics.h"
#include "engine/input.h"
#include "engine/steering.h"
#include "engine/text.h"
#include "format/recording.h"
#include "record/checksum.h"
#include "screens/hiscore.h"
#include "state/world.h"

namespace {

bool recording = false;
int64_t recordedSeed = 0;
std::vector<ScoreEntry> recordedTable;
RecordingOrigin origin;
std::string events; // grows by one short line per event: a few megabytes for hours of play

std::vector<Checkpoint> expected; // of a recording being played, by rising frame
size_t nextExpected = 0;
std::function<void(int64_t)> onDeparture;

// After each picture: a checkpoint written, or one compared.
void AtCheckpoints() {
    const auto frame = int64_t(PresentedFrames());
    if (recording && frame % kCheckpointFrames == 0)
        events += CheckpointLine(frame, StateChecksum());
    while (nextExpected < expected.size() && expected[nextExpected].frame < frame) ++nextExpected;
    if (nextExpected < expected.size() && expected[nextExpected].frame == frame &&
        expected[nextExpected++].sum != StateChecksum()) {
        nextExpected = expected.size();
        if (onDeparture) onDeparture(frame);
    }
}

void ObservePresents() {
    static bool observing = false;
    if (!std::exchange(observing, true)) OnPresented(AtCheckpoints);
}

// The score noted in a recording's "# score" line, or -1.
int64_t RecordedScore(const std::string& path) {
    Stream file = ReadOwnFile(path); // a link there is replaced by the next save, never read
    // The header's lines (its first, the origin's, the ten of the table) come before it.
    for (int i = 0; file && i < 16; ++i) {
        const std::string line = ReadLine(file, 256);
        if (line.rfind("# score ", 0) == 0) return ToInt(line.substr(8));
    }
    return -1;
}

// The old recording stays whole when the new one cannot be written whole (a full disk).
void Write(const std::string& path, const std::string& text) {
    if (!WriteWholeFileAtomic(path, text))
        std::fprintf(stderr, "koravel: could not save the recording %s (%s); the old one is kept\n",
                     path.c_str(), std::strerror(errno));
}

// Written when the recording is taken: what steered is known only then. A replay recorded
// again keeps its recording's devices.
std::string Header() {
    RecordingOrigin said = origin;
    if (said.devices.empty()) said.devices = InputDevicesUsed();
    return RecordingHeader(recordedSeed, recordedTable, said);
}

} // namespace

void StartRecording(int64_t seed) {
    World& world = CurrentWorld();
    recording = true;
    std::vector<ScoreEntry> table;
    for (size_t i = 0; i < 10; ++i)
        table.push_back(
            {world.hiscores.scores[i], world.hiscores.levels[i], world.hiscores.names[i]});
    recordedSeed = seed;
    recordedTable = table;
    ForgetInputDevices();
    events.clear();
    ObservePresents();
    RecordInput([](const InputEvent& e, uint64_t poll, uint64_t frame) {
        events += std::to_string(frame) + " " + FormatEvent(e) + " @" + std::to_string(poll) + "\n";
    });
}

void RecordOrigin(const RecordingOrigin& o) { origin = o; }

bool IsRecording() { return recording; }

std::string RecordingText(uint64_t endFrame) {
    return Header() + events + std::to_string(endFrame) + " end\n";
}

std::string RecordingOfFinishedGame() { return RecordingText(PresentedFrames() + 1); }

bool PrepareRecordingsFolder() {
    const std::string last = UserDataPath("replays/last.kvr");
    if (last.empty()) {
        std::fprintf(stderr, "koravel: neither HOME nor XDG_DATA_HOME names a folder (an absolute "
                             "path); games are not recorded\n");
        return false;
    }
    RemoveStaleTemporaries(UserDataPath("replays"), {"last.kvr", "best.kvr"});
    return true;
}

void SaveGameRecordings(int finalScore) {
    if (!recording || !keep_game_recordings) return;
    const std::string last = UserDataPath("replays/last.kvr");
    if (last.empty()) return;
    const std::string text = Header() + "# score " + Str(finalScore) + "\n" + events +
                             std::to_string(PresentedFrames()) + " end\n";
    Write(last, text);
    const std::string best = UserDataPath("replays/best.kvr");
    if (finalScore > RecordedScore(best)) Write(best, text);
}

void CheckAgainst(std::vector<Checkpoint> checks, std::function<void(int64_t frame)> departed) {
    expected = std::move(checks);
    nextExpected = 0;
    onDeparture = std::move(departed);
    ObservePresents();
}
