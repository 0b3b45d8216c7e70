// Folders, tables and limited runs for the tests of a player's files.
#pragma once
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "screens/hiscore.h"
#include "state/world.h"
#include "tests/temp_dir.h"

namespace fs = std::filesystem;

inline fs::path Fresh(const std::string& name) { return PrivateFolder("files_" + name); }

inline void WriteText(const fs::path& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

inline std::string TableText(const std::string& name, int top) {
    std::string t;
    for (int i = 0; i < 10; ++i)
        t += std::to_string(top - i) + "\r\n" + std::to_string(10 - i) + "\r\n" + name + "\r\n";
    return t;
}

inline int Lines(const std::string& text) {
    return int(std::count(text.begin(), text.end(), '\n'));
}

// Runs a command with a time limit, so a hang fails the test instead of stopping the suite.
inline int RunLimited(const std::string& command) {
    const int raw = std::system(("timeout 60 " + command).c_str());
    return WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
}

// Enters a score as the initials entry does.
inline void Enter(int score, const std::string& name) {
    World& world = CurrentWorld();
    const size_t p = size_t(ScorePosition(score));
    ASSERT_LT(p, 10u);
    for (size_t i = 9; i > p; --i) {
        world.hiscores.scores[i] = world.hiscores.scores[i - 1];
        world.hiscores.levels[i] = world.hiscores.levels[i - 1];
        world.hiscores.names[i] = world.hiscores.names[i - 1];
    }
    world.hiscores.scores[p] = score;
    world.hiscores.levels[p] = 1;
    world.hiscores.names[p] = name;
}

// A game's folder of its own as the working folder, with a user folder of its own.
class InGameFolder : public ::testing::Test {
  protected:
    void SetUp() override {
        dir_ = Fresh(::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::create_directories(dir_ / "scores");
        old_ = fs::current_path();
        fs::current_path(dir_);
        setenv("XDG_DATA_HOME", (dir_ / "home").c_str(), 1);
        NewWorld();
        scorefiles.Reset();
    }
    void TearDown() override {
        for (const std::string& m : mounts_) umount2(m.c_str(), MNT_DETACH);
        fs::current_path(old_);
        setenv("XDG_DATA_HOME", (fs::path(KORAVEL_BUILD_DIR) / "test-home" / "data").c_str(), 1);
        setenv("HOME", (fs::path(KORAVEL_BUILD_DIR) / "test-home").c_str(), 1);
        NewWorld();
        scorefiles.Reset();
    }
    // A tiny tmpfs over the folder; false where this process may not mount (not root).
    bool Mount(const fs::path& at, unsigned long flags) {
        fs::create_directories(at);
        if (mount("tmpfs", at.c_str(), "tmpfs", flags, "size=16k") != 0) return false;
        mounts_.push_back(at.string());
        return true;
    }
    fs::path UserTable() const { return dir_ / "home" / "koravel" / "scores" / "hiscores.dat"; }

    fs::path dir_, old_;
    std::vector<std::string> mounts_;
};
