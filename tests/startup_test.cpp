// What start-up builds, the stroke font and its caches, and the score file.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sys/stat.h>

#include "atom/nucleus.h"
#include "engine/graphics.h"
#include "hostiles/photon.h"
#include "screens/font.h"
#include "screens/hiscore.h"
#include "shell/startup.h"
#include "state/art.h"
#include "state/field.h"
#include "state/game.h"
#include "state/sounds.h"
#include "state/world.h"
#include "tests/temp_dir.h"

namespace {

int LitIn(int x0, int y0, int w, int h) {
    int n = 0;
    for (int y = y0; y < y0 + h; ++y)
        for (int x = x0; x < x0 + w; ++x) n += BackBuffer()[y * kScreenW + x] != 0;
    return n;
}

TEST(Startup, BuildsListsTablesFontCachesAndResources) {
    World& world = CurrentWorld();
    run.seed_override = 1;
    ASSERT_TRUE(Startup()); // run from the build folder, where gfx/ and sound/ are
    world.game.score = 500;
    New<phot>();
    // Start-up again builds the same world anew, not a second one on top of the first.
    ASSERT_TRUE(Startup());
    EXPECT_EQ(world.nuc_list.Count(), 8);
    EXPECT_EQ(world.col_list.Count(), 7);
    EXPECT_EQ(world.digit_list.Count(), 207);
    EXPECT_EQ(world.phot_list.Count(), 0);
    EXPECT_EQ(world.game.score, 0);
    EXPECT_EQ(world.art.cols[6]->r + world.art.cols[6]->g + world.art.cols[6]->b, 765);
    EXPECT_EQ(world.art.cols[7], nullptr);
    EXPECT_EQ(world.field.nucs[8], nullptr);
    for (int c = 0; c < 100; ++c)
        EXPECT_EQ(world.font.letterlen[size_t(c)] < 0, c < 32 || c > 95) << c;
    EXPECT_EQ(world.font.letterlen[32], 0);
    EXPECT_EQ(world.art.demoposx[0] + 40, 490);
    EXPECT_EQ(world.art.demoposy[1] + 40, 360);
    ASSERT_TRUE(world.art.spheres);

    // Frame 65 of the white cache is a white "A" on black; frame 32 of every cache is black.
    const auto& a = world.font.vecfontw->frames[65];
    int white = 0, other = 0;
    for (uint32_t p : a) (p & 0xffffff) == 0xffffff ? ++white : (p & 0xffffff) ? ++other : 0;
    EXPECT_GT(white, 20);
    EXPECT_EQ(other, 0);
    EXPECT_EQ(a[4] & 0xffffff, 0xffffffu); // the apex of the A at (4, 0)
    for (const Image* cache :
         {&world.font.vecfontr, &world.font.vecfontg, &world.font.vecfontb, &world.font.vecfontw})
        for (uint32_t p : (*cache)->frames[32]) EXPECT_EQ(p & 0xffffff, 0u);
    for (uint32_t p : world.font.vecfontr->frames[65])
        EXPECT_TRUE((p & 0xffffff) == 0 || (p & 0xffffff) == 0xff0000);

    // The four capture sounds share one sample; the bond hum loops.
    ASSERT_TRUE(world.sfx.snd_killtank && world.sfx.snd_killstar);
    EXPECT_EQ(world.sfx.snd_killtank->wave, world.sfx.snd_killmine->wave); // one file, decoded once
    EXPECT_NE(world.sfx.snd_killtank, world.sfx.snd_killpuls);
    EXPECT_TRUE(world.sfx.snd_bond1->loop && world.sfx.snd_bond2->loop);
    EXPECT_FALSE(world.sfx.snd_loop->loop);

    // Drawing text: what is drawn and where.
    Cls();
    SetColor(255, 255, 255);
    DrawDigit(32, 10, 10, 3, 0);
    DrawDigit(96, 10, 10, 3, 0);
    DrawDigit(65, 10, 10, -1, 4);
    DrawDigit(32, 10, 10, -1, 0);
    EXPECT_EQ(LitIn(0, 0, 100, 100), 0);
    DrawString("A B", 100, 50, -1, 9);
    EXPECT_GT(LitIn(100, 50, 10, 14), 0);
    EXPECT_EQ(LitIn(110, 50, 10, 14), 0);
    EXPECT_GT(LitIn(120, 50, 10, 14), 0);
    Cls();
    DrawDigit(65, 300, 300, 0, 0); // scale 0: every stroke collapses to its corner
    EXPECT_EQ(LitIn(290, 290, 30, 30), 1);
    Cls();
    DrawString("11", 100, 100, 2.5f, 0);  // second character 12.5 pixels right
    EXPECT_GT(LitIn(108, 100, 1, 16), 0); // 107.5 lands on pixel 108
    EXPECT_GT(LitIn(120, 100, 1, 16), 0);
}

class ScoreFile : public ::testing::Test {
  protected:
    void SetUp() override {
        dir_ = PrivateFolder(std::string("scores_") +
                             ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::create_directories(dir_ / "scores");
        old_ = std::filesystem::current_path();
        std::filesystem::current_path(dir_);
    }
    void TearDown() override { std::filesystem::current_path(old_); }
    void Write(const std::string& bytes) { std::ofstream(kScoreFile, std::ios::binary) << bytes; }
    std::string Read() {
        std::ifstream in(kScoreFile, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    std::filesystem::path dir_, old_;
};

TEST_F(ScoreFile, DefaultTableRoundTripsInItsExactFormat) {
    World& world = CurrentWorld();
    LoadScores();
    EXPECT_EQ(world.hiscores.scores[0], 45000);
    EXPECT_EQ(world.hiscores.scores[9], 32850);
    EXPECT_EQ(world.hiscores.levels[9], 11);
    EXPECT_EQ(ScorePosition(40000), 4);
    EXPECT_EQ(ScorePosition(32850), 10); // equal to the last entry does not rank
    EXPECT_EQ(ScorePosition(50000), 0);
    std::filesystem::remove_all("scores"); // a missing folder is made again
    ASSERT_TRUE(SaveScores());
    const std::string text = Read();
    EXPECT_EQ(text.rfind("45000\r\n20\r\nMAX\r\n43650\r\n19\r\nMAX\r\n", 0), 0u);
    int lines = 0;
    for (size_t at = 0; (at = text.find("\r\n", at)) != std::string::npos; at += 2) ++lines;
    EXPECT_EQ(lines, 30);
    world.hiscores.scores[0] = 1;
    LoadScores();
    EXPECT_EQ(world.hiscores.scores[0], 45000);
}

TEST_F(ScoreFile, AReadOnlyGameKeepsItsTableInTheUsersDataFolderUntilANewerOneIsBeside) {
    World& world = CurrentWorld();
    // The game's folder takes no file (here "scores" is not a folder, which stops root too), so
    // the table goes to the user's data folder and is read back from there.
    std::filesystem::remove_all("scores");
    std::ofstream("scores") << "not a folder";
    const auto home = dir_ / "home";
    setenv("XDG_DATA_HOME", home.c_str(), 1);
    EXPECT_NE(ScoreFilePath(), kScoreFile);
    LoadScores();
    EXPECT_EQ(world.hiscores.scores[0], 45000); // nothing readable: the default table
    world.hiscores.names[0] = "NEW";
    ASSERT_TRUE(SaveScores());
    EXPECT_TRUE(std::filesystem::exists(home / "koravel/scores/hiscores.dat"));
    world.hiscores.names[0].clear();
    LoadScores();
    EXPECT_EQ(world.hiscores.names[0], "NEW");
    // The game's folder can be written again and holds an older table: the newer one is read,
    // and saved beside the game from now on.
    std::filesystem::remove("scores");
    std::filesystem::create_directory("scores");
    Write("1\r\n1\r\nOLD\r\n");
    std::filesystem::last_write_time(
        kScoreFile, std::filesystem::last_write_time(home / "koravel/scores/hiscores.dat") -
                        std::chrono::hours(1));
    LoadScores();
    EXPECT_EQ(world.hiscores.names[0], "NEW");
    ASSERT_TRUE(SaveScores());
    EXPECT_EQ(Read().substr(0, 16), "45000\r\n20\r\nNEW\r\n");
    unsetenv("XDG_DATA_HOME");
}

TEST_F(ScoreFile, ShortAndHostileFilesLoadByTheLineRules) {
    World& world = CurrentWorld();
    Write("50000\n25\nABC\n40000");
    LoadScores();
    EXPECT_EQ(world.hiscores.scores[0], 50000);
    EXPECT_EQ(world.hiscores.levels[0], 25);
    EXPECT_EQ(world.hiscores.names[0], "ABC");
    EXPECT_EQ(world.hiscores.scores[1], 40000);
    EXPECT_EQ(world.hiscores.levels[1], 0);
    EXPECT_EQ(world.hiscores.names[1], "");
    EXPECT_EQ(world.hiscores.scores[9], 0);

    Write(std::string(3 * 1024 * 1024, 'Z') + "\n-5\n\x01\x02\xff\n99999999999\n\n" +
          std::string(10000, 'N') + "\n");
    LoadScores();
    EXPECT_EQ(world.hiscores.scores[0], 0); // the giant line was the score line: it reads as 0
    EXPECT_EQ(world.hiscores.levels[0], -5);
    EXPECT_EQ(world.hiscores.names[0], ""); // no letter a player could have circled
    EXPECT_EQ(world.hiscores.scores[1], 2147483647);
    EXPECT_EQ(world.hiscores.names[1], "NNN"); // a long name keeps what the entry allows
    chmod(kScoreFile, 0444);                   // read-only: still the table, not the default
    LoadScores();
    EXPECT_EQ(world.hiscores.scores[1], 2147483647);
}

} // namespace
