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
