// The score table's reader on arbitrary file contents, read the way the game reads it.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>

#include "screens/hiscore.h"
#include "state/world.h"
#include "tests/temp_dir.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // The table is read from the working folder: visit a scratch one, and come back, since
    // the fuzzer keeps its corpus by relative paths.
    static const auto dir = [] {
        auto d = PrivateFolder("fuzz_scores");
        std::filesystem::create_directories(d / "scores");
        return d;
    }();
    scorefiles.scores_beside_game_only = true; // never the table in the user's folder
    const auto back = std::filesystem::current_path();
    std::filesystem::current_path(dir);
    if (std::FILE* f = std::fopen(kScoreFile, "wb")) {
        std::fwrite(data, 1, size, f);
        std::fclose(f);
        LoadScores();
    }
    std::filesystem::current_path(back);
    for (size_t i = 0; i < 10; ++i)
        if (CurrentWorld().hiscores.names[i].size() > 4096) __builtin_trap();
    return 0;
}
