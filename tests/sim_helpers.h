// Runs koravel-sim as a player would see it: scripted input in, trace lines out.
#pragma once
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "sim/steer.h"
#include "tests/temp_dir.h"

// What a message says: its words, wherever they are, printed whole when they are not there.
using ::testing::HasSubstr;
using ::testing::Not;
using ::testing::StartsWith;

struct SimRun {
    int status = -1;
    std::string out, err;
    std::vector<std::string> trace; // one JSON line per presented frame
};

// A new private folder under the temporary folder, with the build's gfx/ and sound/ and an
// empty scores/: tests running at once, or two runs on one host, never share one.
inline std::filesystem::path GameDir(const std::string& name, bool withData = true) {
    namespace fs = std::filesystem;
    const fs::path dir = PrivateFolder("sim_" + name);
    fs::create_directories(dir / "scores");
    if (withData) {
        fs::create_directory_symlink(fs::path(KORAVEL_BUILD_DIR) / "gfx", dir / "gfx");
        fs::create_directory_symlink(fs::path(KORAVEL_BUILD_DIR) / "sound", dir / "sound");
    }
    return dir;
}

// text with its n characters at `at` replaced. Out of line: GCC 12 inlining std::string's replace
// sees overlaps that cannot happen (-Werror=restrict).
[[gnu::noinline]] inline std::string Spliced(const std::string& text, size_t at, size_t n,
                                             const std::string& with) {
    std::string out = text;
    out.replace(at, n, with);
    return out;
}

inline std::string ReadText(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

inline SimRun RunSim(const std::filesystem::path& dir, const std::string& args,
                     const std::string& script = "", const std::string& stdinText = "") {
    const auto script_path = dir / "input.txt";
    const auto trace_path = dir / "trace.jsonl";
    std::ofstream(script_path) << script;
    std::ofstream(dir / "stdin.txt") << stdinText;
    std::string cmd = std::string(KORAVEL_SIM) + " --dir " + dir.string() + " --trace " +
                      trace_path.string() + " " + args;
    if (!script.empty()) cmd += " --input " + script_path.string();
    cmd += " <" + (dir / "stdin.txt").string() + " >" + (dir / "out.txt").string() + " 2>" +
           (dir / "err.txt").string();
    SimRun r;
    const int raw = std::system(cmd.c_str());
    r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    r.out = ReadText(dir / "out.txt");
    r.err = ReadText(dir / "err.txt");
    std::istringstream lines(ReadText(trace_path));
    for (std::string l; std::getline(lines, l);) r.trace.push_back(l);
    return r;
}

// The value of a numeric or string field of one trace line.
inline std::string Field(const std::string& line, const std::string& name) {
    const std::string key = "\"" + name + "\":";
    const auto at = line.find(key);
    if (at == std::string::npos) return "";
    auto from = at + key.size();
    if (line[from] == '"') return line.substr(from + 1, line.find('"', from + 1) - from - 1);
    if (line[from] == '[') return line.substr(from, line.find(']', from) - from + 1);
    return line.substr(from, line.find_first_of(",}", from) - from);
}

inline int Num(const std::string& line, const std::string& name) {
    return std::stoi(Field(line, name));
}

// Script lines that steer the point of play from (x, y) through the waypoints, one `move` a
// frame from startFrame on, as fast as the pointer's screen limits allow and keeping each
// leg's direction (so no leg turns back on itself). Returns the frame after the last move.
inline int SteerPoint(std::string& script, int frame,
                      const std::vector<std::pair<int, int>>& points, int x = 400, int y = 300) {
    for (auto [tx, ty] : points) {
        while (x != tx || y != ty) {
            int dx, dy;
            StepToward(x, y, tx, ty, dx, dy);
            script += std::to_string(frame++) + " move " + std::to_string(x + PointerOffset(dx)) +
                      " " + std::to_string(y + PointerOffset(dy)) + "\n";
            x += dx, y += dy;
        }
    }
    return frame;
}

// A loop around the whole field the nuclei move in, closed across its first side.
inline const std::vector<std::pair<int, int>> kFieldLoop = {
    {90, 280}, {80, 60}, {700, 45}, {715, 540}, {110, 555}, {100, 200}, {60, 190}};

// On the choosing screens the point follows the pointer: a lead-in from the left, then a small
// spiral clockwise around (cx, cy) that crosses the lead-in and closes a loop around the point.
// Returns the frame after it, leaving time for the loop to shrink.
inline int CircleAt(std::string& script, int frame, int cx, int cy) {
    auto move = [&](int px, int py) {
        script += std::to_string(frame++) + " move " + std::to_string(px) + " " +
                  std::to_string(py) + "\n";
    };
    move(cx - 35, cy + 3);
    for (int k = 0; k < 8; ++k) {
        const double a = (195 + 60 * k) * 3.14159265358979323846 / 180, r = 14 + 1.2 * k;
        move(int(std::lround(cx + r * std::cos(a))), int(std::lround(cy + r * std::sin(a))));
    }
    return frame + 10;
}
