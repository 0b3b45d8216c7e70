// Games for the board's tests: recordings koravel-sim makes and replays, edited line by line.
#pragma once
#include <sstream>
#include <string>
#include <vector>

#include "tests/board_helpers.h"
#include "tests/sim_helpers.h"

namespace board_test {

// A recording of koravel-sim's own autopilot or random player.
inline std::string Recorded(const fs::path& dir, const std::string& bot, int seed, int frames) {
    const fs::path kvr = dir / (bot + std::to_string(seed) + "-" + std::to_string(frames) + ".kvr");
    RunSim(dir, "--no-picture --bot " + bot + " --seed " + std::to_string(seed) + " --frames " +
                    std::to_string(frames) + " --record " + kvr.string());
    return ReadText(kvr);
}

// What the game itself says of a recording's finished games.
inline std::vector<json> GamesOf(const fs::path& dir, const std::string& recording) {
    std::ofstream(dir / "check.kvr", std::ios::binary) << recording;
    const auto r = RunSim(dir, "--no-picture --replay " + (dir / "check.kvr").string() +
                                   " --games " + (dir / "games.jsonl").string());
    std::vector<json> games;
    if (r.status != 0) return games;
    std::istringstream lines(ReadText(dir / "games.jsonl"));
    for (std::string l; std::getline(lines, l);) games.push_back(json::parse(l));
    return games;
}

// Each line of a recording through `edit`, which may return it changed or empty to drop it.
template <typename Edit> std::string EachLine(const std::string& text, Edit edit) {
    std::string out;
    std::istringstream lines(text);
    for (std::string l; std::getline(lines, l);) {
        const std::string changed = edit(l);
        if (!changed.empty()) out += changed + "\n";
    }
    return out;
}

inline int64_t FrameOf(const std::string& line) {
    return line.empty() || line[0] == '#' ? -1 : std::stoll(line.substr(0, line.find(' ')));
}

// A recording made by koravel-sim as if a person had played it under `token`: the line naming
// the machine dropped (as a modified client could), the attempt's line added.
inline std::string AsPerson(const std::string& recording, const std::string& token) {
    std::string out = EachLine(recording, [](const std::string& l) {
        return l.rfind("# koravel machine ", 0) == 0 ? std::string() : l;
    });
    if (!token.empty()) out.insert(out.find('\n') + 1, "# koravel attempt " + token + "\n");
    return out;
}

// A gauge's value in /metrics, or -1.
inline int64_t Gauge(const std::string& metrics, const std::string& name) {
    const auto at = metrics.find("\n" + name + " ");
    return at == std::string::npos ? -1 : std::atoll(metrics.c_str() + at + name.size() + 2);
}

} // namespace board_test
