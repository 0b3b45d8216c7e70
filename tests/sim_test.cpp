// The whole program through koravel-sim: screens, timing, the point, and the way it ends.
#include "format/recording.h"
#include "state/loop.h"
#include "tests/sim_helpers.h"

namespace {

// First frame of each run of consecutive frames on the same screen.
std::vector<std::pair<int, std::string>> Screens(const SimRun& r) {
    std::vector<std::pair<int, std::string>> out;
    for (const auto& l : r.trace)
        if (out.empty() || out.back().second != Field(l, "screen"))
            out.emplace_back(Num(l, "frame"), Field(l, "screen"));
    return out;
}

// A click on the title at frame 10: the level choice runs out after 360 frames, the zoom
// takes 51, and play at level 1 starts at frame 421.
const std::string kStart = "10 press left\n12 release left\n";
constexpr int kFirstPlayFrame = 421;

TEST(Sim, AttractCycleKeepsItsFrameCountsAndPauses) {
    auto r = RunSim(GameDir("attract"), "--frames 1000");
    ASSERT_EQ(r.status, 0) << r.err;
    ASSERT_EQ(r.trace.size(), 1000u);
    const std::vector<std::pair<int, std::string>> expected = {
        {0, "title"}, {300, "scores"}, {550, "instructions"}, {950, "title"}};
    EXPECT_EQ(Screens(r), expected);
    // 60 pictures a second, and 1.5 s between screens.
    EXPECT_EQ(Num(r.trace[60], "ms") - Num(r.trace[0], "ms"), 1000);
    EXPECT_GE(Num(r.trace[300], "ms") - Num(r.trace[299], "ms"), 1500);
    EXPECT_EQ(Num(r.trace[299], "x"), 89); // the reticle's sweep ends at x 89
    EXPECT_EQ(r.err, "");
}

TEST(Sim, PointFollowsAThirdOfTheMouseAndStaysInTheField) {
    std::string script = kStart;
    const int f = kFirstPlayFrame + 5;
    script += std::to_string(f) + " moveby 10 0\n";     // 10 px: the point moves 3
    script += std::to_string(f + 1) + " moveby 2 -2\n"; // 1 or 2 px: nothing
    for (int i = 0; i < 12; ++i) script += std::to_string(f + 2 + i) + " moveby -1000 -1000\n";
    auto r = RunSim(GameDir("mapping"), "--frames " + std::to_string(f + 15), script);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(Field(r.trace[size_t(f - 1)], "screen"), "play");
    EXPECT_EQ(Num(r.trace[size_t(f - 1)], "x"), 400);
    EXPECT_EQ(Num(r.trace[size_t(f)], "x"), 403);
    EXPECT_EQ(Num(r.trace[size_t(f + 1)], "x"), 403);
    EXPECT_EQ(Num(r.trace[size_t(f + 1)], "y"), 300);
    EXPECT_EQ(Num(r.trace.back(), "x"), 60); // the field's corner
    EXPECT_EQ(Num(r.trace.back(), "y"), 30);
}

TEST(Sim, EscapeLeavesTheGameThenEndsTheProgramAndSavesTheTable) {
    const auto dir = GameDir("escape");
    std::string script = kStart;
    script += std::to_string(kFirstPlayFrame + 3) + " press esc\n";
    script += std::to_string(kFirstPlayFrame + 4) + " release esc\n";
    script += std::to_string(kFirstPlayFrame + 20) + " press esc\n";
    script += std::to_string(kFirstPlayFrame + 21) + " release esc\n";
    auto r = RunSim(dir, "", script);
    ASSERT_EQ(r.status, 0) << r.err;
    const auto screens = Screens(r);
    ASSERT_GE(screens.size(), 5u);
    EXPECT_EQ(screens[4].second, "title"); // straight back to the title: no initials entry
    const std::string table = ReadText(dir / "scores" / "hiscores.dat");
    EXPECT_THAT(table, StartsWith("45000\r\n20\r\nMAX\r\n"));
    EXPECT_EQ(std::count(table.begin(), table.end(), '\n'), 30);
}

TEST(Sim, EscapeHeldAcrossTheEndOfAGameNeitherSpinsNorHangs) {
    std::string script = kStart;
    script += std::to_string(kFirstPlayFrame + 3) + " press esc\n";
    script += std::to_string(kFirstPlayFrame + 4) + " release esc\n";
    auto r = RunSim(GameDir("held"), "--frames 700", script);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(Field(r.trace.back(), "screen"), "title");
    // The held key stopped every screen for a while: virtual time passed in 10 ms rests.
    const int gap = Num(r.trace[size_t(kFirstPlayFrame + 3)], "ms") -
                    Num(r.trace[size_t(kFirstPlayFrame + 2)], "ms");
    EXPECT_GE(gap, 2000);

    script = kStart + std::to_string(kFirstPlayFrame + 3) + " press esc\n"; // never released
    r = RunSim(GameDir("held_forever"), "", script);
    EXPECT_EQ(r.status, 1);
    EXPECT_THAT(r.err, HasSubstr("no frame presented"));
}

} // namespace

namespace {

TEST(SimBots, TheAutopilotClearsLevelsAndTheHunterStartsWhereItIsTold) {
    auto r = RunSim(GameDir("autopilot"), "--seed 4 --bot player --frames 4000");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_GE(Num(r.trace.back(), "level"), 3);
    auto hunt = RunSim(GameDir("hunter"), "--seed 2 --bot hunter:51 --frames 1200");
    ASSERT_EQ(hunt.status, 0) << hunt.err;
    EXPECT_GE(Num(hunt.trace.back(), "level"), 53);
}

} // namespace

namespace {

// Every recorded game in tests/replays plays back to exactly its expected frames, and the
// same without pictures (--no-picture, which checks recordings): drawing decides nothing.
// The recordings of version 1 (before rules and checkpoints) in replays/version1 still play as
// they did, to the traces of their newer copies. One test per recording.
const std::filesystem::path kGoldenDir =
    std::filesystem::path(KORAVEL_SOURCE_DIR) / "tests" / "replays";

std::vector<std::filesystem::path> GoldenRecordings() {
    std::vector<std::filesystem::path> kvrs;
    for (const auto& folder : {kGoldenDir, kGoldenDir / "version1"})
        for (const auto& entry : std::filesystem::directory_iterator(folder))
            if (entry.path().extension() == ".kvr") kvrs.push_back(entry.path());
    std::sort(kvrs.begin(), kvrs.end());
    return kvrs;
}

// Where two trace lines first differ: the field whose value does.
std::string FirstDifference(const std::string& want, const std::string& got) {
    size_t at = 0;
    while (at < want.size() && at < got.size() && want[at] == got[at]) ++at;
    const size_t key = want.rfind("\":", at);
    const size_t open =
        key == std::string::npos || key == 0 ? std::string::npos : want.rfind('"', key - 1);
    if (open == std::string::npos) return "the line itself";
    return "field \"" + want.substr(open + 1, key - open - 1) + "\"";
}

class GoldenReplay : public ::testing::TestWithParam<std::filesystem::path> {};

TEST_P(GoldenReplay, PlaysBackFrameForFrameWithAndWithoutPictures) {
    const auto& path = GetParam();
    const std::string name = path.stem().string();
    const bool old = path.parent_path() != kGoldenDir;
    // Each golden replay carries this build's rules and checkpoints: a change of rules
    // re-records them all (rerecord.sh).
    const std::string text = ReadText(path);
    const std::string head = text.substr(0, text.find('\n'));
    const auto rules = head.find(" rules ");
    EXPECT_EQ(rules == std::string::npos ? "" : head.substr(rules + 1),
              old ? "" : "rules " + std::to_string(kRulesVersion))
        << (old ? "" : "run tools/rerecord.sh after bumping the rules");
    EXPECT_EQ(text.find(" check ") == std::string::npos, old);
    std::istringstream expected(ReadText(kGoldenDir / (name + ".trace")));
    std::vector<std::string> want;
    for (std::string l; std::getline(expected, l);) want.push_back(l);
    std::string closing;
    for (const std::string mode : {"", " --no-picture"}) {
        auto r = RunSim(GameDir("golden_" + name + (old ? "_v1" : "")),
                        "--replay " + path.string() + mode);
        ASSERT_EQ(r.status, 0) << mode << ": " << r.err;
        for (size_t f = 0; f < std::max(want.size(), r.trace.size()); ++f) {
            const std::string a = f < want.size() ? want[f] : "(none)";
            const std::string b = f < r.trace.size() ? r.trace[f] : "(none)";
            ASSERT_EQ(a, b) << mode << " differs first at frame " << f << ": "
                            << FirstDifference(a, b)
                            << "\n(a change meant? tools/rerecord.sh build)";
        }
        const std::string summary = r.out.substr(0, r.out.find(" hash="));
        if (mode[0]) { EXPECT_EQ(summary, closing); }
        if (!mode[0]) {
            const size_t at = r.out.find(" hash=") + 6;
            const std::string hash = r.out.substr(at, r.out.find_first_of(" \n", at) - at);
            EXPECT_THAT(
                ReadText(kGoldenDir / "pictures.txt"),
                HasSubstr(path.parent_path().filename().string() + "/" + name + " " + hash + "\n"))
                << "the pictures differ: " << r.out << "(a change meant? tools/rerecord.sh build)";
        }
        EXPECT_EQ(r.out.find(" hash=none") != std::string::npos, mode[0] != 0) << r.out;
        closing = summary;
    }
}

INSTANTIATE_TEST_SUITE_P(Recordings, GoldenReplay, ::testing::ValuesIn(GoldenRecordings()),
                         [](const ::testing::TestParamInfo<std::filesystem::path>& recording) {
                             std::string name = recording.param.parent_path().filename().string() +
                                                "_" + recording.param.stem().string();
                             for (char& c : name)
                                 if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
                             return name;
                         });

TEST(GoldenReplays, AllArePlayed) { EXPECT_GE(GoldenRecordings().size(), 7u); }

// A recording proves what it means: played by other rules, or altered, it stops at the first
// checkpoint that differs, in one line naming the frame; one of other rules is not played.
TEST(Recordings, AGameThatDepartsIsStoppedWhereItDeparts) {
    const auto dir = GameDir("departing");
    const std::string golden =
        ReadText(std::filesystem::path(KORAVEL_SOURCE_DIR) / "tests/replays/level1-cleared.kvr");
    auto play = [&](const std::string& text, const std::string& options = "") {
        std::ofstream(dir / "game.kvr", std::ios::binary) << text;
        return RunSim(dir, "--no-picture --replay " + (dir / "game.kvr").string() + options);
    };
    auto oneLine = [](const SimRun& r) { return std::count(r.err.begin(), r.err.end(), '\n'); };
    // Another seed: another game from the first frame, which the first checkpoint catches.
    const std::string reseeded = Spliced(golden, golden.find(" seed 3 "), 8, " seed 4 ");
    auto r = play(reseeded);
    EXPECT_EQ(r.status, 3);
    EXPECT_EQ(oneLine(r), 1);
    EXPECT_THAT(r.err, HasSubstr("departs from its recording by frame 250 "));
    EXPECT_EQ(r.trace.size(), 250u) << "it stops there";
    // As a build with one more input query each frame would play it (a pause key read in the
    // loop): every recorded event arrives a poll a frame sooner. Not a silently new score.
    std::string shifted;
    std::istringstream lines(golden);
    for (std::string l; std::getline(lines, l);) {
        const auto at = l.find(" @");
        if (at != std::string::npos)
            l = l.substr(0, at + 2) +
                std::to_string(std::stoll(l.substr(at + 2)) - std::stoll(l.substr(0, l.find(' '))));
        shifted += l + "\n";
    }
    r = play(shifted);
    EXPECT_EQ(r.status, 3);
    EXPECT_THAT(r.err, HasSubstr("departs from its recording by frame 250 "));
    // A later checkpoint altered alone: the game plays to it.
    const auto sum = golden.find("\n500 check ") + 11;
    r = play(Spliced(golden, sum, 1, golden[sum] == '0' ? "1" : "0"));
    EXPECT_EQ(r.status, 3);
    EXPECT_THAT(r.err, HasSubstr("by frame 500 "));
    EXPECT_EQ(r.trace.size(), 500u);
    // Other rules: refused before a frame is played, unless re-recording asks for it.
    const std::string other = Spliced(golden, golden.find(" rules 1\n"), 9, " rules 7\n");
    r = play(other);
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(oneLine(r), 1);
    EXPECT_THAT(r.err, HasSubstr("made by a build with rules 7; this one plays rules 1"));
    EXPECT_TRUE(r.trace.empty());
    EXPECT_EQ(play(other, " --any-rules").status, 0);
    // The untouched recording plays to its end.
    EXPECT_EQ(play(golden).status, 0);
}

// The day's field is a seed: the first game of a run starts on the same level however long the
// title was watched (nothing before a game draws on the generator), so every player of the day
// meets the same molecule.
TEST(Recordings, ASeedsFirstGameIsOneFieldHoweverLongTheTitleRan) {
    const auto dir = GameDir("one_field");
    std::vector<std::string> fields;
    for (int click : {30, 700, 1300}) {
        const std::string script =
            std::to_string(click) + " press left\n" + std::to_string(click + 2) + " release left\n";
        const auto r =
            RunSim(dir, "--no-picture --entities --seed 750467063 --frames 3200", script);
        ASSERT_EQ(r.status, 0) << r.err;
        const auto play = std::find_if(r.trace.begin(), r.trace.end(), [](const std::string& l) {
            return Field(l, "screen") == "play";
        });
        ASSERT_NE(play, r.trace.end()) << "no play after a click at frame " << click;
        fields.push_back(play->substr(play->find("\"nucs\":"))); // every entity's place
    }
    EXPECT_EQ(fields[1], fields[0]);
    EXPECT_EQ(fields[2], fields[0]);
}

TEST(Recordings, RoundTripAndHostileFilesAreRefusedInOneLine) {
    const auto dir = GameDir("recording");
    auto r = RunSim(dir, "--seed -9223372036854775808 --bot random --frames 1500 --record " +
                             (dir / "run.kvr").string()); // the lowest seed records too
    ASSERT_EQ(r.status, 0) << r.err;
    auto again = RunSim(dir, "--replay " + (dir / "run.kvr").string());
    ASSERT_EQ(again.status, 0) << again.err;
    EXPECT_EQ(again.trace, r.trace);
    const std::string good = ReadText(dir / "run.kvr");
    const std::string noEnd = good.substr(0, good.rfind("1500 end"));
    // Its machine says who played; an attempt's token travels with it and changes nothing.
    const size_t second = good.find('\n') + 1;
    EXPECT_EQ(good.substr(second, good.find('\n', second) - second),
              "# koravel machine koravel-sim --bot random");
    const std::string token = "# koravel attempt " + std::string(32, 'c') + "\n";
    std::ofstream(dir / "attempt.kvr") << Spliced(good, second, 0, token);
    auto attempted = RunSim(dir, "--replay " + (dir / "attempt.kvr").string() + " --record " +
                                     (dir / "again.kvr").string());
    ASSERT_EQ(attempted.status, 0) << attempted.err;
    EXPECT_EQ(attempted.trace, r.trace);
    EXPECT_EQ(ReadText(dir / "again.kvr").substr(0, good.find('\n', second) + token.size() + 1),
              Spliced(good, second, 0, token).substr(0, good.find('\n', second) + token.size() + 1))
        << "a recording made of a replay keeps its origin";
    const std::string v1 = "# koravel replay 1 seed 1\n",
                      v2 = "# koravel replay 2 seed 1 rules 1\n";
    // Forged and broken ones are refused in one line, saying why where the case names it.
    const std::pair<std::string, std::string> cases[] = {
        {v1 + "0 move 1 1 @1\n1099511627776 end\n", "at most 720000"},
        {v1 + "0 move 1 1 @1\n50000 end\n", "frames after its last event"},
        {v1 + "700000 move 1 1 @1\n730000 end\n", "at most 720000"},
        {v1 + "# koravel table 100 1 -410d0a\n5 end\n", "not one the game lets"}, // "A\r\n"
        {v1 + "# koravel table 100 1 -4100\n5 end\n", "not one the game lets"},
        {v1 + "# koravel table 100 1 -41424344\n5 end\n", "not one the game lets"},
        {"# koravel replay 1 seed 99999999999999999999\n5 end\n", "seed"},
        {v1 + "5 press left @9\n4 release left @2\n9 end\n", "rising '@' polls"},
        {"", ""},
        {noEnd, ""},                                             // truncated
        {"# koravel replay 9 seed 1\n5 end\n", ""},              // a later version
        {v1 + "99999999999999999 press left @3\n100 end\n", ""}, // absurd frame
        {v1 + std::string(5000000, '7') + "\n1 end\n", ""},      // a huge line
        {v1 + "5 press left\n9 end\n", ""},                      // no poll
        {"junk\x01\x02\n", ""},
        {v2 + "# koravel attempt 0123\n5 end\n", ""},                          // a short token
        {v2 + "# koravel attempt " + std::string(32, 'C') + "\n5 end\n", ""},  // not lower case
        {v2 + token + token + "5 end\n", ""},                                  // two attempts
        {v2 + "# koravel machine " + std::string(201, 'm') + "\n5 end\n", ""}, // a long one
        {v2 + "# koravel machine a\x01b\n5 end\n", ""},                        // control bytes
        {v2 + "# koravel table 1 1 -41\n" + token + "5 end\n", ""},            // after the table
        {v1 + token + "5 end\n", ""},                                          // in version 1
        {v2 + "# koravel devices keyboard mouse\n5 end\n", ""},                // out of order
        {v2 + "# koravel devices mouse mouse\n5 end\n", ""},                   // twice
        {v2 + "# koravel devices joystick\n5 end\n", ""},                      // not a device
    };
    for (const auto& [text, says] : cases) {
        std::ofstream(dir / "bad.kvr", std::ios::binary) << text;
        auto bad = RunSim(dir, "--replay " + (dir / "bad.kvr").string());
        EXPECT_EQ(bad.status, 2) << text.substr(0, 60);
        EXPECT_EQ(std::count(bad.err.begin(), bad.err.end(), '\n'), 1) << bad.err;
        EXPECT_THAT(bad.err, HasSubstr(says));
    }
}

} // namespace
