// A player's controls, as koravel-sim plays them: the pause (nothing of the game moves, it is
// recorded and replays alike, Escape still leaves), the volume and mute (heard in --audio), the
// calm screen (nothing flashes) and the settings file they are kept in.
#include <gtest/gtest.h>

#include <cstring>

#include "engine/input.h"
#include "engine/steering.h"
#include "shell/controls.h"
#include "tests/sim_helpers.h"

namespace {

// A click that starts the game, then play from about frame 450 on (level 1 comes when the
// choice runs out).
const std::string kStart = "30 press left\n32 release left\n";

std::vector<int16_t> Samples(const std::filesystem::path& wav) {
    const std::string bytes = ReadText(wav);
    std::vector<int16_t> samples(bytes.size() > 44 ? (bytes.size() - 44) / 2 : 0);
    if (!samples.empty()) std::memcpy(samples.data(), bytes.data() + 44, samples.size() * 2);
    return samples;
}

int Peak(const std::vector<int16_t>& samples) {
    int peak = 0;
    for (const int16_t s : samples) peak = std::max(peak, std::abs(int(s)));
    return peak;
}

TEST(Controls, APausedGameHoldsStillIsRecordedAndReplaysAlike) {
    const auto dir = GameDir("pause");
    std::string script = kStart + "600 press pause\n601 release pause\n";
    for (int f = 602; f < 662; ++f) script += std::to_string(f) + " moveby 9 4\n";
    script += "662 press left\n663 release left\n670 press pause\n671 release pause\n";
    const auto r =
        RunSim(dir, "--seed 5 --frames 760 --record " + (dir / "p.kvr").string(), script);
    ASSERT_EQ(r.status, 0) << r.err;
    ASSERT_EQ(Field(r.trace[599], "screen"), "play");
    // From the press on, sixty frames and more of moves and a click: nothing of the game moves,
    // and nothing sounds.
    for (size_t f = 601; f < 670; ++f) {
        EXPECT_EQ(Field(r.trace[f], "screen"), "paused") << f;
        for (const char* field : {"x", "y", "score", "segs", "men", "nuc", "elec"})
            EXPECT_EQ(Field(r.trace[f], field), Field(r.trace[600], field)) << field << " " << f;
        EXPECT_EQ(Field(r.trace[f], "sounds"), "[]") << f;
    }
    // Then play goes on where it was: the mouse's moves meanwhile do not throw the point.
    EXPECT_EQ(Field(r.trace[672], "screen"), "play");
    EXPECT_LE(std::abs(Num(r.trace[672], "x") - Num(r.trace[600], "x")), 20);
    // Recorded: the recording says so, and replays frame for frame.
    const std::string kvr = ReadText(dir / "p.kvr");
    EXPECT_THAT(kvr, HasSubstr(" press pause @"));
    const auto again = RunSim(dir, "--replay " + (dir / "p.kvr").string());
    ASSERT_EQ(again.status, 0) << again.err;
    EXPECT_EQ(again.trace, std::vector<std::string>(r.trace.begin(), r.trace.end()));
    // A pause pressed on the attract screens is forgotten when a game starts.
    const auto early =
        RunSim(dir, "--seed 5 --frames 620", "10 press pause\n11 release pause\n" + kStart);
    ASSERT_EQ(early.status, 0) << early.err;
    EXPECT_EQ(Field(early.trace.back(), "screen"), "play");
    // Escape leaves a paused game.
    const auto left = RunSim(dir, "--seed 5 --frames 900",
                             kStart + "600 press pause\n601 release pause\n640 press esc\n"
                                      "642 release esc\n");
    ASSERT_EQ(left.status, 0) << left.err;
    EXPECT_EQ(Field(left.trace[639], "screen"), "paused");
    EXPECT_EQ(Field(left.trace.back(), "screen"), "title");
}

TEST(Controls, MuteSilencesTheMixAndTheVolumeStepsInTenths) {
    const auto dir = GameDir("volume");
    auto mix = [&](const std::string& keys) {
        const auto r =
            RunSim(dir, "--seed 5 --frames 700 --no-picture --audio " + (dir / "mix.wav").string(),
                   keys + kStart);
        EXPECT_EQ(r.status, 0) << r.err;
        return Samples(dir / "mix.wav");
    };
    const auto full = mix("");
    ASSERT_GT(Peak(full), 1000);
    const auto muted = mix("0 press key 77\n1 release key 77\n");
    ASSERT_EQ(muted.size(), full.size());
    EXPECT_EQ(Peak(muted), 0);
    std::string down;
    for (int i = 0; i < 5; ++i)
        down += std::to_string(2 * i) + " press key 189\n" + std::to_string(2 * i + 1) +
                " release key 189\n";
    const auto half = mix(down);
    EXPECT_NEAR(Peak(half), Peak(full) / 2, 2);
    // M again gives the sound back; plus goes back up to full, and no higher.
    const auto back =
        mix("0 press key 77\n1 release key 77\n2 press key 77\n3 release key 77\n" + down +
            "20 press key 187\n30 press key 187\n40 press key 187\n"
            "50 press key 187\n60 press key 187\n70 press key 187\n");
    EXPECT_EQ(back, full);
}

TEST(Controls, TheCalmScreenFlashesNothingAndOtherwiseChangesNoPicture) {
    const auto dir = GameDir("calm");
    const std::string replays = std::string(KORAVEL_SOURCE_DIR) + "/tests/replays/";
    for (const char* name : {"level1-cleared", "photon-death", "initials-entry",
                             "star-split-level60", "bond-crossed-level12"}) {
        const std::string replay = "--replay " + replays + name + ".kvr --flashes";
        const auto usual = RunSim(dir, replay);
        const auto calm = RunSim(dir, replay + " --calm");
        ASSERT_EQ(usual.status, 0) << usual.err;
        ASSERT_EQ(calm.status, 0) << calm.err;
        // The game the same frame for frame; only the pictures differ.
        EXPECT_EQ(calm.trace, usual.trace) << name;
        EXPECT_THAT(usual.out, HasSubstr("reticle-changes="));
        EXPECT_THAT(usual.out, Not(HasSubstr("reticle-changes=0\n")))
            << name << ": the reticle never flashed without the calm screen";
        EXPECT_THAT(calm.out, HasSubstr("reticle-changes=0\n")) << name << calm.out;
        int most = 99;
        std::sscanf(calm.out.c_str() + calm.out.find("most-in-a-second="), "most-in-a-second=%d",
                    &most);
        EXPECT_LE(most, 3) << name;
    }
}

// Keys steer as a mouse does: Space clicks the game into play, the arrows and W, A, S, D move
// the point, faster the longer they are held; recorded as motion, named in the header, and
// replayed to the same trace.
TEST(Controls, ArrowKeysAndSpaceSteerAndReplayAsTheyWerePlayed) {
    const auto dir = GameDir("keys");
    const std::string script = "30 press key 32\n32 release key 32\n500 press key 39\n"
                               "560 release key 39\n570 press key 87\n600 release key 87\n"
                               "605 press key 37\n606 press key 83\n615 release key 37\n"
                               "615 release key 83\n";
    const auto r =
        RunSim(dir, "--seed 5 --frames 640 --record " + (dir / "k.kvr").string(), script);
    ASSERT_EQ(r.status, 0) << r.err;
    ASSERT_EQ(Field(r.trace[499], "screen"), "play") << "Space did not start the game";
    EXPECT_EQ(Num(r.trace[499], "x"), 400);
    // Slowly first, then at about a brisk mouse's pace, to the field's edge.
    const int early = Num(r.trace[503], "x") - Num(r.trace[501], "x");
    const int later = Num(r.trace[530], "x") - Num(r.trace[528], "x");
    EXPECT_GT(early, 0);
    EXPECT_GT(later, early);
    EXPECT_LE(later, 2 * 10);
    EXPECT_EQ(Num(r.trace[559], "x"), 740);
    EXPECT_LT(Num(r.trace[600], "y"), 150); // W: up
    EXPECT_EQ(Num(r.trace[600], "x"), 740);
    EXPECT_LT(Num(r.trace[616], "x"), 740); // A and S at once: down and to the left
    EXPECT_GT(Num(r.trace[616], "y"), Num(r.trace[604], "y"));
    const std::string kvr = ReadText(dir / "k.kvr");
    EXPECT_THAT(kvr, HasSubstr("\n# koravel devices keyboard\n"));
    EXPECT_THAT(kvr, Not(HasSubstr("key 39"))) << "the arrows are motion, not keys";
    const auto again = RunSim(dir, "--replay " + (dir / "k.kvr").string());
    ASSERT_EQ(again.status, 0) << again.err;
    EXPECT_EQ(again.trace, r.trace);
}

// A pad: its stick steers in proportion (nothing within the dead zone), A is the left button
// and Start the pause key.
TEST(Controls, APadsStickAndButtonsAreMotionAClickAndThePause) {
    ResetInput();
    std::vector<InputEvent> heard;
    RecordInput([&](const InputEvent& e, uint64_t, uint64_t) { heard.push_back(e); });
    auto frame = [&] {
        heard.clear();
        SteerAfterPresent();
        SteerPump();
        return heard;
    };
    SteerStick(0.1, -0.15);
    EXPECT_TRUE(frame().empty());
    SteerStick(1, 0);
    auto moved = frame();
    ASSERT_EQ(moved.size(), 1u);
    EXPECT_EQ(moved[0].kind, InputEvent::MoveBy);
    EXPECT_EQ(moved[0].a, 26);
    EXPECT_EQ(moved[0].b, 0);
    SteerStick(0, -0.6); // in proportion
    moved = frame();
    ASSERT_EQ(moved.size(), 1u);
    EXPECT_TRUE(moved[0].b < 0 && moved[0].b > -26) << moved[0].b;
    SteerStick(0, 0);
    heard.clear();
    SteerPadButton(kPadA, true);
    SteerPadButton(kPadA, true); // held, not pressed again
    SteerPadButton(kPadA, false);
    SteerPadButton(kPadStart, true);
    ASSERT_EQ(heard.size(), 3u);
    EXPECT_EQ(heard[0].kind, InputEvent::Press);
    EXPECT_EQ(heard[1].kind, InputEvent::Release);
    EXPECT_EQ(heard[2].kind, InputEvent::KeyPress);
    EXPECT_EQ(heard[2].a, kKeyPause);
    EXPECT_EQ(InputDevicesUsed(), "gamepad");
    ResetInput();
}

TEST(Controls, SettingsAreKeptWholeAndAFileOfNonsenseGivesTheDefaults) {
    const auto dir = PrivateFolder("settings");
    const std::string path = (dir / "koravel" / "settings").string();
    EXPECT_EQ(LoadSettings(path).volume, 10); // none yet
    ASSERT_TRUE(SaveSettings(path, Settings{3, true, true}));
    const Settings kept = LoadSettings(path);
    EXPECT_EQ(kept.volume, 3);
    EXPECT_TRUE(kept.muted);
    EXPECT_TRUE(kept.calm);
    std::ofstream(path) << "volume 99\nmuted yes\ncalm 1\n\x01\x02 nonsense\n";
    const Settings odd = LoadSettings(path);
    EXPECT_EQ(odd.volume, 10);
    EXPECT_FALSE(odd.muted);
    EXPECT_TRUE(odd.calm); // the one good line
    std::ofstream(path) << std::string(100000, 'x');
    EXPECT_EQ(LoadSettings(path).volume, 10); // too large to be settings
}

} // namespace
