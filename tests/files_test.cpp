// The player's files: the score table and its format, the recordings, the settings' folder
// and every file the programs read or write, as hostile folders and players meet them (links,
// pipes, unreadable and shared tables, full disks, forged recordings, stale temporary files,
// odd paths, names, numbers and inputs). One suite: each test starts in a game folder of its
// own with a user folder of its own.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <random>
#include <set>
#include <string>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "atom/nucleus.h"
#include "engine/files.h"
#include "engine/graphics.h"
#include "engine/headless/headless.h"
#include "engine/input.h"
#include "engine/mathx.h"
#include "engine/mixer.h"
#include "engine/rnd.h"
#include "engine/sound.h"
#include "engine/text.h"
#include "engine/wave.h"
#include "format/recording.h"
#include "hostiles/photon.h"
#include "record/replay.h"
#include "screens/font.h"
#include "screens/hiscore.h"
#include "shell/startup.h"
#include "state/art.h"
#include "state/field.h"
#include "state/game.h"
#include "state/sounds.h"
#include "state/world.h"
#include "tests/sim_helpers.h"
#include "tests/temp_dir.h"

namespace {

namespace fs = std::filesystem;

fs::path Fresh(const std::string& name) { return PrivateFolder("files_" + name); }

void WriteText(const fs::path& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

std::string TableText(const std::string& name, int top) {
    std::string t;
    for (int i = 0; i < 10; ++i)
        t += std::to_string(top - i) + "\r\n" + std::to_string(10 - i) + "\r\n" + name + "\r\n";
    return t;
}

int Lines(const std::string& text) { return int(std::count(text.begin(), text.end(), '\n')); }

// Runs a command with a time limit, so a hang fails the test instead of stopping the suite.
int RunLimited(const std::string& command) {
    const int raw = std::system(("timeout 60 " + command).c_str());
    return WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
}

// Enters a score as the initials entry does.
void Enter(int score, const std::string& name) {
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

class Files : public InGameFolder {
  protected:
    void Write(const std::string& bytes) { std::ofstream(kScoreFile, std::ios::binary) << bytes; }
    std::string Read() { return ReadText(kScoreFile); }
};

std::string TempFile(const std::string& name, const std::string& bytes) {
    const auto path = PrivateFolder(name) / name;
    std::ofstream(path, std::ios::binary) << bytes;
    return path.string();
}

const std::string kVictimText = "precious\n";
const std::string kStartAndLeave =
    "10 press left\n12 release left\n424 press esc\n425 release esc\n";

const std::string kSim = KORAVEL_SIM;
const std::string kGame = std::string(KORAVEL_BUILD_DIR) + "/koravel";

struct Said {
    int status;
    std::string err;
};

// Runs a command (at most 60 s); its status and what it wrote on stderr.
Said RunSaying(const fs::path& dir, const std::string& command,
               const std::string& input = "/dev/null") {
    const auto err = dir / "said.txt";
    const int status = RunLimited(command + " <" + input + " >/dev/null 2>" + err.string());
    return {status, ReadText(err)};
}

void MakeOld(const fs::path& path, const std::chrono::hours age) {
    WriteText(path, "left by a killed save\n");
    fs::last_write_time(path, fs::file_time_type::clock::now() - age);
}

std::string Table(const std::vector<ScoreEntry>& entries) {
    std::string t;
    for (const ScoreEntry& e : entries)
        t += std::to_string(e.score) + "\r\n" + std::to_string(e.level) + "\r\n" + e.name + "\r\n";
    return t;
}

std::vector<ScoreEntry> Shown() {
    World& world = CurrentWorld();
    std::vector<ScoreEntry> t;
    for (size_t i = 0; i < 10; ++i)
        t.push_back({world.hiscores.scores[i], world.hiscores.levels[i], world.hiscores.names[i]});
    return t;
}

// A mono PCM wave of the given number of sample bytes, each `fill`.
std::vector<uint8_t> WaveBytes(int bits, size_t dataBytes, uint32_t rate = 22050,
                               uint8_t fill = 0x80) {
    auto le = [](std::vector<uint8_t>& v, uint32_t x, int n) {
        for (int i = 0; i < n; ++i) v.push_back(uint8_t(x >> (8 * i)));
    };
    std::vector<uint8_t> w{'R', 'I', 'F', 'F'};
    le(w, uint32_t(36 + dataBytes), 4);
    for (char c : std::string("WAVEfmt ")) w.push_back(uint8_t(c));
    le(w, 16, 4), le(w, 1, 2), le(w, 1, 2), le(w, rate, 4), le(w, rate * uint32_t(bits / 8), 4);
    le(w, uint32_t(bits / 8), 2), le(w, uint32_t(bits), 2);
    for (char c : std::string("data")) w.push_back(uint8_t(c));
    le(w, uint32_t(dataBytes), 4);
    w.resize(w.size() + dataBytes, fill);
    return w;
}

TEST_F(Files, PlantedLinksAreNeverWrittenThrough) {
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

TEST_F(Files, PipesAndDevicesInPlaceOfDataFilesReadAsMissing) {
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
    EXPECT_THAT(err, HasSubstr("gfx/spheres.bmp"));
    EXPECT_THAT(err, HasSubstr("bond.wav"));
    EXPECT_THAT(err, HasSubstr("cannot read the score table"));
    EXPECT_THAT(err, HasSubstr("could not save the score table"));
    EXPECT_TRUE(fs::is_fifo(dir / "scores" / "hiscores.dat"));
    EXPECT_FALSE(ReadFile((dir / "sound" / "bond.wav").string()));
    EXPECT_FALSE(ReadWholeFile("/dev/zero", 1024)); // a device is no data file either
}

TEST_F(Files, ATableThatCannotBeReadIsReportedAndNeverSavedOver) {
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
    EXPECT_THAT(err, HasSubstr("cannot read the score table"));
    EXPECT_EQ(ReadText(dir / "scores" / "hiscores.dat"), table);
}

TEST_F(Files, TwoGamesSavingTogetherBothKeepTheirEntries) {
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

TEST_F(Files, RecordingsSurviveAFullDiskAndTheBestIsKept) {
    const auto home = Fresh("recordings_home");
    setenv("XDG_DATA_HOME", home.c_str(), 1);
    keep_game_recordings = true;
    StartRecording(7);
    const auto last = home / "koravel" / "replays" / "last.kvr";
    const auto best = home / "koravel" / "replays" / "best.kvr";
    SaveGameRecordings(500);
    SaveGameRecordings(100); // a worse game: the best stays
    EXPECT_THAT(ReadText(last), HasSubstr("# score 100\n"));
    EXPECT_THAT(ReadText(best), HasSubstr("# score 500\n"));

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

TEST_F(Files, NonsenseInputIsRefusedWithItsReason) {
    const auto dir = GameDir("nonsense");
    auto r = RunSim(dir, "", "5 press key 0\n");
    EXPECT_EQ(r.status, 2);
    EXPECT_THAT(r.err, HasSubstr("from 1 to 255"));
    for (const std::string script : {"10 jump\n", "x press left\n", "5 move 1\n", "5 press thumb\n",
                                     "-3 quit\n", "7 move 1 99999999999999999999\n"}) {
        r = RunSim(dir, "", script);
        EXPECT_EQ(r.status, 2) << script;
        EXPECT_EQ(Lines(r.err), 1) << r.err;
        EXPECT_THAT(r.err, HasSubstr("line 1"));
    }
    for (const std::string step : {"step -1", "step 18446744073709551616", "step 0", "step 2x"}) {
        r = RunSim(dir, "--lockstep", "", step + "\n");
        EXPECT_EQ(r.status, 2) << step;
        EXPECT_EQ(r.trace.size(), 1u) << step;
        EXPECT_THAT(r.err, HasSubstr("'step' takes a count"));
    }
    // Inputs larger than the bound are refused before they are parsed.
    {
        std::ofstream big(dir / "big.txt", std::ios::binary);
        const std::string line = "1 move 10 10\n";
        for (size_t n = 0; n <= kMaxInputBytes / line.size(); ++n) big << line;
    }
    r = RunSim(dir, "--input " + (dir / "big.txt").string());
    EXPECT_EQ(r.status, 2);
    EXPECT_THAT(r.err, HasSubstr("larger than 32 MiB"));
}

TEST_F(Files, AWaveShorterThanOneStepLoopsWithinItsSamples) {
    // One frame at 384 kHz mixed to 44.1 kHz: every step passes over the whole wave. The 8-bit
    // form is a single byte of data.
    auto wave16 = WaveBytes(16, 2, 384000, 0);
    wave16.back() = 0x40;
    for (const auto& bytes : {wave16, WaveBytes(8, 1, 384000, 0xc0)}) {
        auto w = DecodeWave(bytes.data(), bytes.size());
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

TEST_F(Files, ALinkAtTheTablesNameIsNeitherReadNorCopiedOut) {
    const auto dir = GameDir("secret");
    const auto outside = Fresh("secret_outside");
    const std::string secret = "SECRET\nKEY\nXYZ\n";
    WriteText(outside / "secret", secret);
    ASSERT_EQ(chmod((outside / "secret").c_str(), 0600), 0);
    fs::create_symlink(outside / "secret", dir / "scores" / "hiscores.dat");
    auto r = RunSim(dir, "--seed 1 --record " + (dir / "run.kvr").string(), "300 quit\n");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_THAT(r.err, HasSubstr("is a link, which the game does not read"));
    const std::string table = ReadText(dir / "scores" / "hiscores.dat");
    EXPECT_FALSE(fs::is_symlink(dir / "scores" / "hiscores.dat"));
    EXPECT_THAT(table, Not(HasSubstr("XYZ"))) << "the secret was copied into the table";
    EXPECT_THAT(ReadText(dir / "run.kvr"), Not(HasSubstr("-58595a"))) << "nor the recording";
    EXPECT_EQ(ReadText(outside / "secret"), secret);
    EXPECT_EQ(fs::status(outside / "secret").permissions() & fs::perms::all, fs::perms(0600));

    // A table kept private stays private when saved.
    const auto own = GameDir("private_table");
    WriteText(own / "scores" / "hiscores.dat", TableText("OWN", 5000));
    ASSERT_EQ(chmod((own / "scores" / "hiscores.dat").c_str(), 0600), 0);
    ASSERT_EQ(RunSim(own, "--seed 1", "100 quit\n").status, 0);
    EXPECT_EQ(fs::status(own / "scores" / "hiscores.dat").permissions() & fs::perms::all,
              fs::perms(0600));

    // The best recording's score is not read through a link either: the link is replaced.
    const auto home = Fresh("secret_home");
    fs::create_directories(home / "koravel" / "replays");
    WriteText(outside / "scorefile", "# koravel replay 1 seed 1\n# score 999999999\n");
    fs::create_symlink(outside / "scorefile", home / "koravel" / "replays" / "best.kvr");
    errno = 0;
    EXPECT_FALSE(ReadOwnFile((home / "koravel" / "replays" / "best.kvr").string()));
    EXPECT_EQ(errno, ELOOP);
    setenv("XDG_DATA_HOME", home.c_str(), 1);
    keep_game_recordings = true;
    StartRecording(3);
    SaveGameRecordings(5);
    keep_game_recordings = false;
    RecordInput(nullptr);
    setenv("XDG_DATA_HOME", (fs::path(KORAVEL_BUILD_DIR) / "test-home" / "data").c_str(), 1);
    EXPECT_FALSE(fs::is_symlink(home / "koravel" / "replays" / "best.kvr"));
    EXPECT_THAT(ReadText(home / "koravel" / "replays" / "best.kvr"), HasSubstr("# score 5\n"));
    EXPECT_EQ(ReadText(outside / "scorefile"), "# koravel replay 1 seed 1\n# score 999999999\n");
}

TEST_F(Files, BothTablesAreMergedIntoTheTenBest) {
    // The game's own table is older and far better than the one saves left in the user's folder.
    WriteText("scores/hiscores.dat", TableText("OLD", 900000));
    fs::last_write_time("scores/hiscores.dat",
                        fs::file_time_type::clock::now() - std::chrono::hours(2));
    fs::create_directories(UserTable().parent_path());
    WriteText(UserTable(), TableText("NEW", 1000));
    LoadScores();
    EXPECT_EQ(Shown().front(), (ScoreEntry{900000, 10, "OLD"}));
    EXPECT_EQ(Shown().back(), (ScoreEntry{899991, 1, "OLD"}));
    ASSERT_TRUE(SaveScores());
    EXPECT_EQ(ReadText("scores/hiscores.dat"), TableText("OLD", 900000)); // byte for byte
    EXPECT_EQ(ReadText(UserTable()), TableText("NEW", 1000));

    // Entries both hold count once; the rest interleave by score, the game's own first on a tie.
    std::vector<ScoreEntry> own, user;
    for (int i = 0; i < 10; ++i) own.push_back({5000 - 100 * i, 1, "OWN"});
    for (int i = 0; i < 10; ++i)
        user.push_back(i < 3 ? own[size_t(i)] : ScoreEntry{4750 - 100 * i, 2, "USR"});
    user[3] = {4700, 2, "USR"}; // ties with the game's own 4700
    WriteText("scores/hiscores.dat", Table(own));
    WriteText(UserTable(), Table(user));
    LoadScores();
    const std::vector<ScoreEntry> expected = {
        {5000, 1, "OWN"}, {4900, 1, "OWN"}, {4800, 1, "OWN"}, {4700, 1, "OWN"}, {4700, 2, "USR"},
        {4600, 1, "OWN"}, {4500, 1, "OWN"}, {4400, 1, "OWN"}, {4350, 2, "USR"}, {4300, 1, "OWN"}};
    EXPECT_EQ(Shown(), expected);
}

TEST_F(Files, AFullScoresFolderSavesInTheUserFolder) {
    if (!Mount(dir_ / "scores", 0)) GTEST_SKIP() << "cannot mount a small folder here (not root)";
    {
        std::ofstream filler("scores/filler", std::ios::binary);
        const std::string block(1024, 'x');
        for (int i = 0; i < 64 && filler; ++i) filler << block << std::flush;
    }
    LoadScores();
    Enter(777777, "FUL");
    ::testing::internal::CaptureStderr();
    EXPECT_TRUE(SaveScores());
    const std::string err = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(Lines(err), 1) << err;
    EXPECT_THAT(err, HasSubstr("No space left on device"));
    EXPECT_THAT(err, HasSubstr("saved it in " + UserTable().string()));
    EXPECT_THAT(ReadText(UserTable()), HasSubstr("777777\r\n1\r\nFUL\r\n"));
    NewWorld();   // as the next start has it
    LoadScores(); // the next start finds it
    EXPECT_EQ(Shown().front(), (ScoreEntry{777777, 1, "FUL"}));
    EXPECT_FALSE(fs::exists("scores/hiscores.dat"));
}

TEST_F(Files, TheSimReplacesItsOutputsOnlyWhenWhole) {
    const auto dir = GameDir("outputs");
    WriteText(dir / "quit.txt", "10 press left\n12 release left\n");
    const std::string outputs[][2] = {{"--trace", "t.jsonl"},
                                      {"--record", "r.kvr"},
                                      {"--audio", "a.wav"},
                                      {"--shot 300:", "p.png"},
                                      {"--games", "g.jsonl"}};
    for (const auto& [option, name] : outputs) {
        const std::string old = "an old " + name + " that must stay whole\n";
        WriteText(dir / name, old);
        const bool glued = option.back() == ':';
        const std::string arg = option + (glued ? "" : " ") + (dir / name).string();
        // Files may hold 2 KiB: what the run writes is larger, except the games list.
        const Said said = RunSaying(dir, "bash -c \"trap '' XFSZ; ulimit -f 2; exec " + kSim +
                                             " --seed 1 --frames 400 --bot random " + arg + "\"");
        if (name == std::string("g.jsonl")) {
            EXPECT_EQ(said.status, 0) << said.err;
            EXPECT_EQ(ReadText(dir / name), ""); // no game ended: an empty list, written whole
            continue;
        }
        EXPECT_EQ(said.status, 1) << name;
        EXPECT_EQ(Lines(said.err), 1) << said.err;
        EXPECT_THAT(said.err, HasSubstr("could not write " + (dir / name).string()));
        EXPECT_EQ(ReadText(dir / name), old) << name;
    }
    for (const auto& entry : fs::directory_iterator(dir))
        EXPECT_NE(entry.path().filename().string()[0], '.') << "left behind: " << entry.path();

    // Writes that fail in place (a full device) are reported, with status 1.
    for (const char* option : {"--trace", "--record", "--audio"}) {
        const Said said = RunSaying(dir, kSim + " --seed 1 --frames 30 " + option + " /dev/full");
        EXPECT_EQ(said.status, 1) << option << ": " << said.err;
        EXPECT_THAT(said.err, HasSubstr("could not write /dev/full"));
    }
    // A pipe nobody reads is refused at once instead of waited on.
    ASSERT_EQ(mkfifo((dir / "fifo").c_str(), 0600), 0);
    const Said said = RunSaying(dir, kSim + " --frames 3 --trace " + (dir / "fifo").string());
    EXPECT_EQ(said.status, 2) << said.err;
}

TEST_F(Files, EmptyAndMissingValuesAndWrongOptionsGetOneLine) {
    const auto dir = Fresh("options");
    struct Case {
        std::string args, says;
    } cases[] = {
        {"--dir ''", "--dir needs a folder"},
        {"--replay ''", "--replay needs a recording"},
        {"--shot ''", "--shot needs N:FILE"},
        {"--frames", "--frames needs a count"},
        {"--wrong", "unknown option '--wrong'; koravel-sim --help for more"},
        {"stray", "unexpected argument 'stray'"},
        {"--frames ' -1'", "--frames needs a count"},
        {"--seed abc", "--seed needs a whole number, not 'abc'"},
        {"--input /nonexistent", "cannot read the input script /nonexistent"},
        {"--shot ' -1:F.png'", "--shot needs N:FILE"},
        {"--frames 3 --shot 3:F.png", "--shot 3 is never reached"},
        {"--bot player:10", "N an odd level"},
        {"--bot hunter:51x", "--bot"},
        {"--daily", "--daily plays the field of the board --board names"},
        {"--daily --board http://127.0.0.1:1 --seed 3", "without --seed or --replay"},
    };
    for (const Case& c : cases) {
        const Said said = RunSaying(dir, kSim + " " + c.args);
        EXPECT_EQ(said.status, 2) << c.args;
        EXPECT_EQ(Lines(said.err), 1) << c.args << ": " << said.err;
        EXPECT_THAT(said.err, HasSubstr(c.says)) << c.args << ": " << said.err;
    }
    EXPECT_FALSE(fs::exists(dir / "F.png"));
    // -h is --help, and each program says its version.
    for (const std::string& program :
         {kSim, std::string(KORAVEL_BUILD_DIR) + "/koravel-board", kGame}) {
        if (!fs::exists(program)) continue;
        auto printed = [&](const char* option) { // what it prints, moved to stderr to be kept
            return RunSaying(dir, "sh -c '" + program + " " + option + " 1>&2'");
        };
        const Said help = printed("--help"), h = printed("-h"), version = printed("--version");
        EXPECT_EQ(h.status, 0) << program;
        EXPECT_EQ(h.err, help.err) << program;
        EXPECT_THAT(help.err, HasSubstr("usage: "));
        EXPECT_EQ(version.status, 0) << program;
        EXPECT_THAT(version.err, StartsWith(fs::path(program).filename().string() + " "));
    }
    // A page folder that is not there: the board says which, and why, in one line.
    const Said noPage = RunSaying(
        dir, std::string(KORAVEL_BUILD_DIR) + "/koravel-board --listen 127.0.0.1:0 --web " +
                 (dir / "nopage").string() + " --db " + (dir / "board.sqlite3").string());
    EXPECT_EQ(noPage.status, 1);
    EXPECT_EQ(noPage.err, "koravel-board: cannot serve " + (dir / "nopage").string() +
                              " at /play: No such file or directory\n");
    if (!fs::exists(kGame)) GTEST_SKIP() << "koravel is not built";
    const Case game[] = {{"--replay ''", "--replay needs a recording"},
                         {"--board ''", "--board needs a board"},
                         {"--replay", "--replay needs a recording"},
                         {"--wrong", "unknown option '--wrong'; koravel --help for more"},
                         {"--daily", "--daily needs a board"},
                         {"--daily --replay x.kvr", "--replay watches a game; --daily plays one"},
                         {"--daily --board http://h:1 --board x", "the board's address must be"}};
    for (const Case& c : game) {
        const Said said = RunSaying(dir, kGame + " " + c.args);
        EXPECT_EQ(said.status, 2) << c.args;
        EXPECT_EQ(Lines(said.err), 1) << c.args << ": " << said.err;
        EXPECT_THAT(said.err, HasSubstr(c.says)) << c.args << ": " << said.err;
    }
    // Today's field from a board that is not there, or a token that is not one: one line.
    const Said away = RunSaying(dir, kGame + " --daily --board http://127.0.0.1:1");
    EXPECT_EQ(away.status, 1) << away.err;
    EXPECT_EQ(Lines(away.err), 1) << away.err;
    EXPECT_THAT(away.err,
                StartsWith("koravel: the board at http://127.0.0.1:1 could not be reached"));
    const Said forged = RunSaying(dir, "env KORAVEL_ATTEMPT=xyz " + kGame);
    EXPECT_EQ(forged.status, 2) << forged.err;
    EXPECT_THAT(forged.err, HasSubstr("KORAVEL_ATTEMPT is not an attempt's token"));
    // A program copied away from its data says first where it looked, and goes on.
    fs::create_directories(dir / "alone");
    fs::copy_file(kSim, dir / "alone" / "koravel-sim");
    const Said alone =
        RunSaying(dir, "sh -c 'cd " + (dir / "alone").string() + " && ./koravel-sim --frames 2'");
    EXPECT_EQ(alone.status, 0) << alone.err;
    EXPECT_EQ(alone.err.substr(0, alone.err.find('\n') + 1),
              "koravel-sim: no game data (gfx/, sound/) beside the program in " +
                  (dir / "alone").string() + ", in " + (dir / "alone").string() +
                  "/../share/koravel or in the current folder; the pictures and "
                  "sounds will be missing\n");
    // A trace named in the environment that is a pipe: refused at once, never waited on.
    ASSERT_EQ(mkfifo((dir / "fifo").c_str(), 0600), 0);
    const Said said = RunSaying(dir, "env KORAVEL_TRACE=" + (dir / "fifo").string() + " " + kGame);
    EXPECT_EQ(said.status, 2) << said.err;
    EXPECT_THAT(said.err, HasSubstr("cannot write the trace"));
}

TEST_F(Files, NamesNoPlayerCouldEnterAreCleanedSoTheGameIsRecordable) {
    const auto dir = GameDir("names");
    std::vector<ScoreEntry> hostile;
    const std::string names[] = {"abc", "ABCD", "\xc3\x89T\xc3\xa9", "A\tB", "MAX"};
    for (int i = 0; i < 10; ++i) hostile.push_back({9000 - i, 3, names[i % 5]});
    WriteText(dir / "scores" / "hiscores.dat", Table(hostile));
    auto r = RunSim(dir, "--seed 2 --record " + (dir / "run.kvr").string(), "100 quit\n");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(Lines(r.err), 1) << r.err;
    EXPECT_THAT(r.err, HasSubstr("holds 8 names the game cannot enter"));
    const Said replayed = RunSaying(dir, kSim + " --replay " + (dir / "run.kvr").string());
    EXPECT_EQ(replayed.status, 0) << replayed.err;
    // Saved with the names cleaned and every score and level as it was.
    const std::string cleaned[] = {"ABC", "ABC", "T", "AB", "MAX"};
    std::vector<ScoreEntry> expected = hostile;
    for (size_t i = 0; i < 10; ++i) expected[i].name = cleaned[i % 5];
    EXPECT_EQ(ReadText(dir / "scores" / "hiscores.dat"), Table(expected));
}

TEST_F(Files, LargeInputsTakeBoundedMemory) {
    const auto dir = GameDir("memory");
    // Lockstep input: a line of 8 MiB is refused, not gathered.
    WriteText(dir / "long.txt", std::string(8u << 20, 'm') + "\nstep\n");
    const Said said = RunSaying(dir, kSim + " --lockstep", (dir / "long.txt").string());
    EXPECT_EQ(said.status, 2);
    EXPECT_THAT(said.err, HasSubstr("a line is longer than 4096 bytes"));

    // A script as large as allowed, of the shortest event lines, peaks near its own size.
    {
        std::ofstream big(dir / "big.txt", std::ios::binary);
        const std::string line = "1 move 10 10\n";
        for (size_t n = 0; n < (kMaxInputBytes - 64) / line.size(); ++n) big << line;
    }
#if !defined(__SANITIZE_ADDRESS__)
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        const int null = open("/dev/null", O_WRONLY);
        dup2(null, 1);
        execl(kSim.c_str(), kSim.c_str(), "--no-picture", "--frames", "2", "--input",
              (dir / "big.txt").c_str(), nullptr);
        _exit(127);
    }
    int status = 0;
    rusage usage{};
    ASSERT_EQ(wait4(child, &status, 0, &usage), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_LT(usage.ru_maxrss * 1024, long(5 * kMaxInputBytes))
        << "peak " << usage.ru_maxrss << " KiB";
#endif

    // Waves: a file over the cap, or one whose samples would take more than the cap, is refused.
    const auto sounds = Fresh("memory_sounds");
    const auto fits = WaveBytes(8, kMaxWaveSamplesBytes / 2);
    EXPECT_TRUE(DecodeWave(fits.data(), fits.size()));
    const auto doubles = WaveBytes(8, kMaxWaveSamplesBytes / 2 + 2);
    EXPECT_FALSE(DecodeWave(doubles.data(), doubles.size()));
    const auto large = WaveBytes(16, kMaxWaveFileBytes);
    std::ofstream(sounds / "large.wav", std::ios::binary)
        .write(reinterpret_cast<const char*>(large.data()), long(large.size()));
    EXPECT_FALSE(LoadWaveFile((sounds / "large.wav").string()));
}

TEST_F(Files, WhatKilledSavesLeftIsRemovedAtStart) {
    const auto hour = std::chrono::hours(1);
    MakeOld("scores/.hiscores.dat.AbC123", hour);
    MakeOld("scores/.probe.Q1w2E3", hour);
    MakeOld("scores/.hiscores.dat.toolong", hour); // not a name of ours
    MakeOld("scores/notes.txt", hour);
    WriteText("scores/.hiscores.dat.XyZ789", "a save under way in another game\n");
    LoadScores();
    std::set<std::string> left;
    for (const auto& e : fs::directory_iterator("scores")) left.insert(e.path().filename());
    EXPECT_EQ(left, (std::set<std::string>{".hiscores.dat.toolong", "notes.txt",
                                           ".hiscores.dat.XyZ789"}));

    const auto replays = dir_ / "home" / "koravel" / "replays";
    fs::create_directories(replays);
    MakeOld(replays / ".last.kvr.Ab12Cd", hour);
    MakeOld(replays / ".best.kvr.Zz99Yy", hour);
    MakeOld(replays / "last.kvr", hour);
    EXPECT_TRUE(PrepareRecordingsFolder());
    left.clear();
    for (const auto& e : fs::directory_iterator(replays)) left.insert(e.path().filename());
    EXPECT_EQ(left, (std::set<std::string>{"last.kvr"}));
}

TEST_F(Files, UserFoldersThatAreUnsetRelativeOrReadOnlyAreSaidSo) {
    // A relative HOME would put the user's files wherever the game runs.
    unsetenv("XDG_DATA_HOME");
    setenv("HOME", "relative/home", 1);
    EXPECT_EQ(UserDataPath("replays/last.kvr"), "");
    ::testing::internal::CaptureStderr();
    EXPECT_FALSE(PrepareRecordingsFolder());
    unsetenv("HOME");
    EXPECT_FALSE(PrepareRecordingsFolder());
    const std::string err = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(Lines(err), 2) << err;
    EXPECT_THAT(err, HasSubstr("games are not recorded"));

    // A read-only user folder is reported as such, not as a missing file.
    if (!Mount(dir_ / "home", MS_RDONLY)) GTEST_SKIP() << "cannot mount a small folder here";
    setenv("XDG_DATA_HOME", (dir_ / "home").c_str(), 1);
    keep_game_recordings = true;
    StartRecording(1);
    ::testing::internal::CaptureStderr();
    SaveGameRecordings(10);
    const std::string saved = ::testing::internal::GetCapturedStderr();
    keep_game_recordings = false;
    RecordInput(nullptr);
    EXPECT_THAT(saved, HasSubstr("Read-only file system"));
}

TEST_F(Files, NumbersAreWholeWordsOfDigits) {
    int64_t v = 0;
    using namespace std::string_literals;
    for (const std::string& bad : {" 5"s, "+5"s, "5 "s,
                                   "5\0"
                                   "0"s,
                                   "-"s, ""s, "0x10"s, "--1"s})
        EXPECT_FALSE(ParseWholeNumber(bad, INT64_MIN, INT64_MAX, v)) << bad;
    EXPECT_TRUE(ParseWholeNumber("-12", -100, 100, v));
    EXPECT_EQ(v, -12);
    const auto dir = GameDir("numbers");
    auto r = RunSim(dir, "", std::string("5\0 move 10 10\n", 15));
    EXPECT_EQ(r.status, 2) << r.err;
    EXPECT_THAT(r.err, HasSubstr("line 1: a line starts with its frame number"));
}

TEST_F(Files, DefaultTableRoundTripsInItsExactFormat) {
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
    EXPECT_THAT(text, StartsWith("45000\r\n20\r\nMAX\r\n43650\r\n19\r\nMAX\r\n"));
    EXPECT_EQ(Lines(text), 30);
    EXPECT_EQ(std::count(text.begin(), text.end(), '\r'), 30);
    world.hiscores.scores[0] = 1;
    LoadScores();
    EXPECT_EQ(world.hiscores.scores[0], 45000);
}

TEST_F(Files, AReadOnlyGameKeepsItsTableInTheUsersDataFolderUntilANewerOneIsBeside) {
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

TEST_F(Files, ShortAndHostileFilesLoadByTheLineRules) {
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

TEST_F(Files, LinesLimitsAndAtomicWritesLeftUnclosed) {
    const auto path = TempFile("lines", std::string("AB\r\nCD", 6));
    Stream s = ReadFile(path);
    ASSERT_TRUE(s);
    EXPECT_EQ(ReadLine(s), "AB");
    EXPECT_EQ(ReadLine(s), "CD");
    EXPECT_EQ(ReadLine(s), "");
    CloseFile(s);

    s = ReadFile(TempFile("zero", std::string("A\0B\rC\n", 6)));
    EXPECT_EQ(ReadLine(s), "A");
    EXPECT_EQ(ReadLine(s), "BC");

    EXPECT_FALSE(ReadFile("/nonexistent/koravel"));
    EXPECT_FALSE(OpenFile("/nonexistent/koravel", 1, 1));
    EXPECT_FALSE(ReadWholeFile(path, 3)); // larger than allowed
    EXPECT_EQ(ReadWholeFile(path, 100)->size(), 6u);
    {
        Stream atomic = WriteFileAtomic(path);
        WriteLine(atomic, "abandoned"); // never closed: the old file stays
    }
    EXPECT_EQ(ReadText(path), std::string("AB\r\nCD", 6));
    EXPECT_FALSE(WriteFileAtomic("/nonexistent/dir/file"));
}

} // namespace
