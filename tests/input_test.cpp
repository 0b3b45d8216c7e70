// Polled input: held states, hit counts, flushes, the virtual pointer and the clock.
#include <gtest/gtest.h>

#include <climits>

#include "engine/headless/headless.h"
#include "engine/input.h"

namespace {

void Queue(HeadlessEvent::Kind kind, int a = 0, int b = 0) { HeadlessQueue({kind, a, b}); }

class Input : public ::testing::Test {
  protected:
    void SetUp() override {
        FlushMouse();
        FlushKeys();
    }
};

TEST_F(Input, HitsCountPressesNotFramesHeld) {
    Queue(HeadlessEvent::Press, 1);
    EXPECT_EQ(MouseDown(1), 1);
    Queue(HeadlessEvent::Press, 1); // already held: a repeat adds nothing
    EXPECT_EQ(MouseDown(1), 1);
    EXPECT_EQ(MouseHit(1), 1);
    EXPECT_EQ(MouseHit(1), 0);
    Queue(HeadlessEvent::Release, 1);
    for (int i = 0; i < 2; ++i) {
        Queue(HeadlessEvent::Press, 1);
        Queue(HeadlessEvent::Release, 1);
    }
    EXPECT_EQ(MouseDown(1), 0);
    EXPECT_EQ(MouseHit(1), 2);
    EXPECT_EQ(MouseHit(1), 0);

    Queue(HeadlessEvent::KeyPress, 27);
    Queue(HeadlessEvent::KeyPress, 27);
    EXPECT_EQ(KeyDown(27), 1);
    EXPECT_EQ(KeyHit(27), 1);
    FlushKeys();
    EXPECT_EQ(KeyDown(27), 0);
}

TEST_F(Input, SideButtonsAndUnknownKeysAreIgnored) {
    for (int b : {-1, 0, 4, 5, 9, 1000}) {
        Queue(HeadlessEvent::Press, b);
        EXPECT_EQ(MouseDown(b), 0);
        EXPECT_EQ(MouseHit(b), 0);
    }
    for (int k : {-5, 0, 256, 70000}) {
        Queue(HeadlessEvent::KeyPress, k);
        EXPECT_EQ(KeyDown(k), 0);
        EXPECT_EQ(KeyHit(k), 0);
    }
    EXPECT_EQ(MouseHit(1), 0);
}

TEST_F(Input, PointerIsSetByMoveMouseAndMovedByMotion) {
    MoveMouse(400, 300);
    EXPECT_EQ(MouseX(), 400);
    EXPECT_EQ(MouseY(), 300);
    Queue(HeadlessEvent::MoveBy, 10, -4);
    EXPECT_EQ(MouseX(), 410);
    EXPECT_EQ(MouseY(), 296);
    MoveMouse(100, 100); // motion after a move adds to it: nothing lost, nothing twice
    Queue(HeadlessEvent::MoveBy, 3, 3);
    EXPECT_EQ(MouseX(), 103);
    Queue(HeadlessEvent::MoveBy, -100000, 100000); // the pointer stays on the surface
    EXPECT_EQ(MouseX(), 0);
    EXPECT_EQ(MouseY(), 599);
    Queue(HeadlessEvent::Move, 900, -20);
    EXPECT_EQ(MouseX(), 799);
    EXPECT_EQ(MouseY(), 0);
    Queue(HeadlessEvent::Wheel, 3);
    EXPECT_EQ(MouseZ(), 3);
    for (int i = 0; i < 3000; ++i) Queue(HeadlessEvent::Wheel, 1000000); // saturates, no overflow
    EXPECT_EQ(MouseZ(), INT_MAX);
    FlushMouse();
    EXPECT_EQ(MouseZ(), 0);
}

TEST_F(Input, SuspendAndResumeFlush) {
    Queue(HeadlessEvent::Press, 1);
    Queue(HeadlessEvent::KeyPress, 27);
    Queue(HeadlessEvent::Suspend);
    EXPECT_EQ(MouseHit(1), 0);
    Queue(HeadlessEvent::Resume);
    EXPECT_EQ(KeyHit(27), 0);
}

TEST_F(Input, DelayAdvancesTheVirtualClockOnly) {
    HeadlessSetMicros(0);
    Delay(-5);
    EXPECT_EQ(MilliSecs(), 0);
    Delay(30);
    EXPECT_EQ(MilliSecs(), 30);
    DelayMicros(1500);
    EXPECT_EQ(MicroSecs(), 31500);
    // Far past where a 32-bit millisecond clock would wrap, differences stay right.
    HeadlessSetMicros(int64_t(1) << 45);
    const int64_t t = MilliSecs();
    Delay(30);
    EXPECT_EQ(MilliSecs() - t, 30);
}

} // namespace
