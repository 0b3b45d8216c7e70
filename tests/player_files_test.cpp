// A player's files under attack: planted links, pipes, unreadable and shared tables, full
// disks, forged recordings, and a koravel-sim that must write only what it is told.
#include <csignal>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "engine/files.h"
#include "engine/headless/headless.h"
#include "engine/input.h"
#include "engine/mixer.h"
#include "engine/wave.h"
#include "format/recording.h"
#include "record/replay.h"
#include "screens/hiscore.h"
#include "state/world.h"
#include "tests/file_helpers.h"
#include "tests/sim_helpers.h"

namespace {

const std::string kVictimText = "precious\n";
const std::string kStartAndLeave =
    "10 press left\n12 release left\n424 press esc\n425 release esc\n";

TEST(PlayerFiles, PlantedLinksAreNeverWrittenThrough) {
    const auto dir = GameDir("links");
    const auto outside = Fresh("links_outside");
    for (const char* name : {"probe", "tmp", "table"}) WriteText(outside / name, kVictimText);
    fs::create_symlink(outside / "probe", dir / "scores" / ".hiscores.probe");
    fs::create_symlink(outside / "tmp", dir / "scores" / "hiscores.dat.tmp");
    fs::create_symlink(outside / "table", dir / "scores" / "hiscores.dat");
    auto r = RunSim(dir, "--seed 1", "300 quit\n");
    ASSERT_EQ(r.status, 0) << r.err;
    for (const char* name : {"probe", "tmp", "table"})
        EXPECT_EQ(ReadText(outside / name), kVictimText) << name << " was written through";
    // The saved table replaced the link itself.
    EXPECT_FALSE(fs::is_symlink(dir / "scores" / "hiscores.dat"));
    EXPECT_EQ(Lines(ReadText(dir / "scores" / "hiscores.dat")), 30);

    // The same for any atomic write (the recordings), and a plain write refuses a link.
    const auto replays = Fresh("links_replays");
    fs::create_symlink(outside / "tmp", replays / "best.kvr.tmp");
    fs::create_symlink(outside / "table", replays / "best.kvr");
    EXPECT_TRUE(WriteWholeFileAtomic((replays / "best.kvr").string(), "new\n"));
    EXPECT_EQ(ReadText(replays / "best.kvr"), "new\n");
    EXPECT_FALSE(fs::is_symlink(replays / "best.kvr"));
    EXPECT_FALSE(WriteFile((replays / "best.kvr.tmp").string()));
    EXPECT_EQ(ReadText(outside / "tmp"), kVictimText);
    EXPECT_EQ(ReadText(outside / "table"), kVictimText);
    EXPECT_EQ(std::distance(fs::directory_iterator(dir / "scores"), {}), 3); // nothing left behind
}

TEST(PlayerFiles, PipesAndDevicesInPlaceOfDataFilesReadAsMissing) {
    // Sprites, a sound and the table are pipes: nothing may wait on them, and the table that
    // cannot be read is never saved over.
    const auto dir = GameDir("pipes", false);
    fs::create_directories(dir / "gfx");
    fs::create_directories(dir / "sound");
    for (const auto& entry : fs::directory_iterator(fs::path(KORAVEL_BUILD_DIR) / "sound"))
        if (entry.path().filename() != "bond.wav")
            fs::create_symlink(entry.path(), dir / "sound" / entry.path().filename());
    for (const char* pipe : {"gfx/spheres.bmp", "sound/bond.wav", "scores/hiscores.dat"})
        ASSERT_EQ(mkfifo((dir / pipe).c_str(), 0644), 0);
    const std::string command = std::string(KORAVEL_SIM) + " --dir " + dir.string() + " --input " +
                                (dir / "quit.txt").string() + " >" + (dir / "out").string() +
                                " 2>" + (dir / "err").string();
    WriteText(dir / "quit.txt", "100 quit\n");
    ASSERT_EQ(RunLimited(command), 0) << ReadText(dir / "err");
    const std::string err = ReadText(dir / "err");
    EXPECT_NE(err.find("gfx/spheres.bmp"), std::string::npos) << err;
    EXPECT_NE(err.find("bond.wav"), std::string::npos) << err;
    EXPECT_NE(err.find("cannot read the score table"), std::string::npos) << err;
    EXPECT_NE(err.find("could not save the score table"), std::string::npos) << err;
    EXPECT_TRUE(fs::is_fifo(dir / "scores" / "hiscores.dat"));
    EXPECT_FALSE(ReadFile((dir / "sound" / "bond.wav").string()));
    EXPECT_FALSE(ReadWholeFile("/dev/zero", 1024)); // a device is no data file either
}

TEST(PlayerFiles, ATableThatCannotBeReadIsReportedAndNeverSavedOver) {
    // A table left by one run as root, 0600: a player cannot read it. The player's copy of the
    // game and its data sit in a folder of their own, wherever the build is.
    const auto dir = GameDir("unreadable", false);
    for (const char* data : {"gfx", "sound"})
        fs::copy(fs::path(KORAVEL_BUILD_DIR) / data, dir / data, fs::copy_options::recursive);
    fs::copy_file(KORAVEL_SIM, dir / "koravel-sim");
    fs::permissions(dir, fs::perms::all);
    fs::permissions(dir / "scores", fs::perms::all);
    const std::string table = TableText("ROO", 90000);
    WriteText(dir / "scores" / "hiscores.dat", table);
    ASSERT_EQ(chmod((dir / "scores" / "hiscores.dat").c_str(), 0600), 0);
    std::string command = (dir / "koravel-sim").string() + " --dir " + dir.string() + " --input " +
                          (dir / "quit.txt").string() + " 2>" + (dir / "err").string();
    WriteText(dir / "quit.txt", "100 quit\n");
    if (geteuid() == 0) {
        if (std::system("command -v setpriv >/dev/null") != 0) GTEST_SKIP() << "no setpriv";
        ASSERT_EQ(chown((dir / "scores" / "hiscores.dat").c_str(), 0, 0), 0);
        command = "setpriv --reuid=65534 --regid=65534 --clear-groups " + command;
    }
    ASSERT_EQ(RunLimited(command), 0) << ReadText(dir / "err");
    const std::string err = ReadText(dir / "err");
    EXPECT_NE(err.find("cannot read the score table"), std::string::npos) << err;
    EXPECT_EQ(ReadText(dir / "scores" / "hiscores.dat"), table);
}

class SharedTable : public InGameFolder {};

TEST_F(SharedTable, TwoGamesSavingTogetherBothKeepTheirEntries) {
    World& world = CurrentWorld();
    // Each game reads the table once at start, then saves after each of its five entries.
    pid_t games[2];
    for (int g = 0; g < 2; ++g) {
        games[g] = fork();
        ASSERT_GE(games[g], 0);
        if (games[g] == 0) {
            LoadScores();
            bool ok = true;
            for (int k = 0; k < 5; ++k) {
                Enter(100000 + 1000 * g + k, g == 0 ? "AAA" : "BBB");
                ok = SaveScores() && ok;
            }
            _exit(ok ? 0 : 1);
        }
    }
    for (pid_t game : games) {
        int status = -1;
        waitpid(game, &status, 0);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "a save failed";
    }
    LoadScores();
    std::vector<int> top(world.hiscores.scores.begin(), world.hiscores.scores.begin() + 10);
    std::sort(top.begin(), top.end());
    EXPECT_EQ(top, (std::vector<int>{100000, 100001, 100002, 100003, 100004, 101000, 101001, 101002,
                                     101003, 101004}));
    for (const auto& entry : fs::directory_iterator("scores"))
        EXPECT_EQ(entry.path().filename(), "hiscores.dat"); // no temporary file left
}

TEST(PlayerFiles, RecordingsSurviveAFullDiskAndTheBestIsKept) {
    const auto home = Fresh("recordings_home");
    setenv("XDG_DATA_HOME", home.c_str(), 1);
    keep_game_recordings = true;
    StartRecording(7);
    const auto last = home / "koravel" / "replays" / "last.kvr";
    const auto best = home / "koravel" / "replays" / "best.kvr";
    SaveGameRecordings(500);
    SaveGameRecordings(100); // a worse game: the best stays
    EXPECT_NE(ReadText(last).find("# score 100\n"), std::string::npos);
    EXPECT_NE(ReadText(best).find("# score 500\n"), std::string::npos);

    // A full disk (files may hold 64 bytes): both old recordings stay whole.
    const std::string lastBefore = ReadText(last), bestBefore = ReadText(best);
    rlimit old{};
    getrlimit(RLIMIT_FSIZE, &old);
    const rlimit small{64, old.rlim_max};
    const auto previous = std::signal(SIGXFSZ, SIG_IGN);
    setrlimit(RLIMIT_FSIZE, &small);
    SaveGameRecordings(900);
    setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, previous);
    EXPECT_EQ(ReadText(last), lastBefore);
    EXPECT_EQ(ReadText(best), bestBefore);
    EXPECT_EQ(std::distance(fs::directory_iterator(last.parent_path()), {}), 2);
    keep_game_recordings = false;
    RecordInput(nullptr);
}

TEST(PlayerFiles, TheSimWritesOnlyWhatItsOptionsName) {
    // Recording a game that ends leaves the user's own recordings alone.
    const auto dir = GameDir("sim_writes");
    const auto home = Fresh("sim_writes_home");
    setenv("XDG_DATA_HOME", home.c_str(), 1);
    setenv("HOME", home.c_str(), 1);
    auto r = RunSim(dir, "--seed 3 --record " + (dir / "run.kvr").string(),
                    kStartAndLeave + "600 quit\n");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(fs::exists(dir / "run.kvr"));
    EXPECT_TRUE(fs::is_empty(home)) << "koravel-sim wrote in the user's folder";

    // Watching it in another folder leaves that folder's table as it was.
    const auto other = GameDir("sim_writes_other");
    const std::string table = TableText("ABC", 99000);
    WriteText(other / "scores" / "hiscores.dat", table);
    auto watched = RunSim(other, "--replay " + (dir / "run.kvr").string());
    ASSERT_EQ(watched.status, 0) << watched.err;
    EXPECT_EQ(watched.trace, r.trace);
    EXPECT_EQ(ReadText(other / "scores" / "hiscores.dat"), table);
    EXPECT_TRUE(fs::is_empty(home));

    // The test suite itself runs with a home of its own.
    const char* testHome = std::getenv("KORAVEL_TEST_HOME");
    ASSERT_NE(testHome, nullptr) << "CTest gives the tests a home of their own";
    EXPECT_EQ(std::string(testHome).rfind(KORAVEL_BUILD_DIR, 0), 0u);
}

TEST(PlayerFiles, ForgedRecordingsAreRefusedInOneLine) {
    const auto dir = GameDir("forged");
    const std::string head = "# koravel replay 1 seed 1\n";
    struct Case {
        std::string text, says;
    } cases[] = {
        {head + "0 move 1 1 @1\n1099511627776 end\n", "at most 720000"},
        {head + "0 move 1 1 @1\n50000 end\n", "frames after its last event"},
        {head + "700000 move 1 1 @1\n730000 end\n", "at most 720000"},
        {head + "# koravel table 100 1 -410d0a\n5 end\n", "not one the game lets"}, // "A\r\n"
        {head + "# koravel table 100 1 -4100\n5 end\n", "not one the game lets"},
        {head + "# koravel table 100 1 -41424344\n5 end\n", "not one the game lets"},
        {"# koravel replay 1 seed 99999999999999999999\n5 end\n", "seed"},
    };
    for (const Case& c : cases) {
        WriteText(dir / "bad.kvr", c.text);
        const std::string command = std::string(KORAVEL_SIM) + " --dir " + dir.string() +
                                    " --replay " + (dir / "bad.kvr").string() + " 2>" +
                                    (dir / "err").string();
        EXPECT_EQ(RunLimited(command), 2) << c.text.substr(0, 80);
        const std::string err = ReadText(dir / "err");
        EXPECT_EQ(Lines(err), 1) << err;
        EXPECT_NE(err.find(c.says), std::string::npos) << err;
    }
}

TEST(PlayerFiles, NonsenseInputIsRefusedWithItsReason) {
    const auto dir = GameDir("nonsense");
    auto r = RunSim(dir, "", "5 press key 0\n");
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("from 1 to 255"), std::string::npos) << r.err;
    for (const std::string step : {"step -1", "step 18446744073709551616", "step 0", "step 2x"}) {
        r = RunSim(dir, "--lockstep", "", step + "\n");
        EXPECT_EQ(r.status, 2) << step;
        EXPECT_EQ(r.trace.size(), 1u) << step;
        EXPECT_NE(r.err.find("'step' takes a count"), std::string::npos) << r.err;
    }
    // Inputs larger than the bound are refused before they are parsed.
    {
        std::ofstream big(dir / "big.txt", std::ios::binary);
        const std::string line = "1 move 10 10\n";
        for (size_t n = 0; n <= kMaxInputBytes / line.size(); ++n) big << line;
    }
    r = RunSim(dir, "--input " + (dir / "big.txt").string());
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("larger than 32 MiB"), std::string::npos) << r.err;
}

TEST(PlayerFiles, AWaveShorterThanOneStepLoopsWithinItsSamples) {
    // One frame at 384 kHz mixed to 44.1 kHz: every step passes over the whole wave. The 8-bit
    // form is a single byte of data.
    static const char wave16[] = "RIFF\0\0\0\0WAVEfmt \x10\0\0\0\x01\0\x01\0\x00\xdc\x05\x00"
                                 "\x00\xdc\x05\x00\x02\0\x10\0data\x02\0\0\0\x00\x40";
    static const char wave8[] = "RIFF\0\0\0\0WAVEfmt \x10\0\0\0\x01\0\x01\0\x00\xdc\x05\x00"
                                "\x00\xdc\x05\x00\x01\0\x08\0data\x01\0\0\0\xc0";
    for (const std::string_view bytes :
         {std::string_view(wave16, sizeof wave16 - 1), std::string_view(wave8, sizeof wave8 - 1)}) {
        auto w = DecodeWave(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
        ASSERT_TRUE(w);
        ASSERT_EQ(w->frames, 1);
        ASSERT_EQ(w->rate, 384000);
        MixerReset();
        MixerStart(&*w, true);
        std::vector<int16_t> out(2 * 4096, 1);
        MixerRender(out.data(), 4096, 44100);
        for (size_t i = 0; i < out.size(); ++i) ASSERT_EQ(out[i], 0x4000) << "sample " << i;
        MixerReset();
    }
}

} // namespace
