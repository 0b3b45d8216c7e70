// Two games in one process, each in its own World, taking turns a frame at a time: each must
// play as it plays alone, which only holds if nothing of a game lives outside its World.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "engine/input.h"
#include "engine/rnd.h"
#include "record/checksum.h"
#include "record/trace.h"
#include "shell/mainloop.h"
#include "shell/startup.h"
#include "state/world.h"

namespace {

struct Game {
    std::unique_ptr<World> world = std::make_unique<World>();
    std::vector<std::string> trace;
    int64_t seed;
    int move = 0;
};

Game Begin(int64_t seed, int level) {
    Game g;
    g.seed = seed;
    UseWorld(*g.world);
    NewGameWorld();
    ResetInput();
    SeedRnd(seed);
    World& world = CurrentWorld();
    world.game.nummen = 3;
    world.game.level = level;
    world.game.playgame = kInGame;
    StartGame();
    return g;
}

// One frame of the game, steered round a wide circle whose speed depends on the seed.
void Step(Game& g) {
    UseWorld(*g.world);
    World& world = CurrentWorld();
    if (world.game.gameover != kGameGoesOn) return;
    const double a = 0.02 * double(g.seed % 7 + 3) * g.move++;
    DeliverInput({InputEvent::Move, int(400 + 320 * std::cos(a)), int(300 + 250 * std::sin(a))});
    PlayFrame();
    g.trace.push_back(TraceLine(PresentedFrames(), 0, true, {}) + " " +
                      std::to_string(StateChecksum()));
}

constexpr int kFrames = 1500;

// Gives the later tests back the program's World, however this one ends.
struct ProgramWorldBack {
    World& program = CurrentWorld();
    ~ProgramWorldBack() { UseWorld(program); }
};

} // namespace

TEST(TwoWorlds, GamesTakingTurnsFrameByFramePlayAsTheyPlayAlone) {
    const ProgramWorldBack back;
    Game a = Begin(11, 4);
    for (int f = 0; f < kFrames; ++f) Step(a);
    Game b = Begin(29, 9);
    for (int f = 0; f < kFrames; ++f) Step(b);

    Game a2 = Begin(11, 4);
    Game b2 = Begin(29, 9);
    for (int f = 0; f < kFrames; ++f) {
        Step(a2);
        Step(b2);
    }
    ASSERT_GT(a.trace.size(), 300u);
    ASSERT_GT(b.trace.size(), 300u);
    EXPECT_NE(a.trace, b.trace);
    ASSERT_EQ(a2.trace.size(), a.trace.size());
    ASSERT_EQ(b2.trace.size(), b.trace.size());
    for (size_t f = 0; f < a.trace.size(); ++f) ASSERT_EQ(a2.trace[f], a.trace[f]) << "frame " << f;
    for (size_t f = 0; f < b.trace.size(); ++f) ASSERT_EQ(b2.trace[f], b.trace[f]) << "frame " << f;
}
