// Wave files, the mixer, and what koravel-sim's --audio hears.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "engine/mixer.h"
#include "engine/sound.h"
#include "engine/wave.h"
#include "tests/sim_helpers.h"

namespace {

void Put(std::vector<uint8_t>& v, uint32_t x, int bytes) {
    for (int i = 0; i < bytes; ++i) v.push_back(uint8_t(x >> (8 * i)));
}
void Tag(std::vector<uint8_t>& v, const char* t) {
    for (int i = 0; i < 4; ++i) v.push_back(uint8_t(t[i]));
}

std::vector<uint8_t> MakeWave(int channels, int bits, int rate, const std::vector<int>& samples,
                              uint32_t fmtLength = 16, bool listChunk = false,
                              bool oddChunk = false) {
    std::vector<uint8_t> v;
    Tag(v, "RIFF");
    Put(v, 0, 4);
    Tag(v, "WAVE");
    Tag(v, "fmt ");
    Put(v, fmtLength, 4);
    Put(v, 1, 2);
    Put(v, uint32_t(channels), 2);
    Put(v, uint32_t(rate), 4);
    Put(v, uint32_t(rate * channels * bits / 8), 4);
    Put(v, uint32_t(channels * bits / 8), 2);
    Put(v, uint32_t(bits), 2);
    for (uint32_t i = 16; i < fmtLength; ++i) v.push_back(0);
    if (listChunk) {
        Tag(v, "LIST");
        Put(v, 4, 4);
        Tag(v, "INFO");
    }
    if (oddChunk) {
        Tag(v, "note");
        Put(v, 3, 4);
        for (uint8_t b : {'a', 'b', 'c', '\0'}) v.push_back(b); // three bytes and the pad
    }
    Tag(v, "data");
    Put(v, uint32_t(samples.size() * size_t(bits / 8)), 4);
    for (int s : samples) Put(v, uint32_t(s), bits / 8);
    return v;
}

std::optional<Wave> Decode(const std::vector<uint8_t>& v) { return DecodeWave(v.data(), v.size()); }

TEST(WaveFile, ReadsTheFourFormatsAndSkipsOtherChunks) {
    auto w = Decode(MakeWave(1, 8, 11025, {128, 255, 0}));
    ASSERT_TRUE(w);
    EXPECT_EQ(w->frames, 3);
    EXPECT_EQ(w->samples, (std::vector<int16_t>{0, 127 << 8, -128 << 8}));
    w = Decode(MakeWave(2, 16, 44100, {1000, -1000 & 0xffff, 5, 6}, 18, true));
    ASSERT_TRUE(w);
    EXPECT_EQ(w->frames, 2);
    EXPECT_EQ(w->samples[1], -1000);
    EXPECT_TRUE(Decode(MakeWave(2, 8, 8000, {1, 2})));
    EXPECT_TRUE(Decode(MakeWave(1, 16, 22050, {1, 2}, 16, false, true))); // odd chunk, padded
}

TEST(WaveFile, RefusesBrokenAndHostileFiles) {
    const auto good = MakeWave(1, 16, 22050, {1, 2, 3, 4});
    for (size_t cut = 0; cut < good.size() - 1; ++cut)
        EXPECT_FALSE(Decode(std::vector<uint8_t>(good.begin(), good.begin() + long(cut)))) << cut;
    auto patched = [&](size_t at, uint32_t value, int bytes) {
        auto v = good;
        for (int i = 0; i < bytes; ++i) v[at + size_t(i)] = uint8_t(value >> (8 * i));
        return Decode(v);
    };
    EXPECT_FALSE(patched(20, 3, 2));          // not plain PCM
    EXPECT_FALSE(patched(22, 0, 2));          // no channels
    EXPECT_FALSE(patched(22, 6, 2));          // six channels
    EXPECT_FALSE(patched(24, 0, 4));          // rate 0
    EXPECT_FALSE(patched(34, 24, 2));         // 24 bits
    EXPECT_FALSE(patched(16, 8, 4));          // "fmt " too short
    EXPECT_FALSE(patched(16, 0xfffffff0, 4)); // "fmt " beyond the file
    EXPECT_FALSE(patched(40, 0xffffffff, 4)); // a data chunk of gigabytes
    EXPECT_TRUE(patched(32, 0, 2));           // block alignment is not used
    EXPECT_FALSE(patched(36, 'X', 1));        // no data chunk at all
    EXPECT_FALSE(LoadWaveFile("/nonexistent.wav"));
    EXPECT_FALSE(LoadSound("/nonexistent.wav"));
    EXPECT_FALSE(PlaySound(nullptr));
    StopChannel(nullptr);
}

class Mixer : public ::testing::Test {
  protected:
    void SetUp() override { MixerReset(); }
    static Wave Constant(int value, int frames, int rate = 44100) {
        Wave w;
        w.rate = rate, w.channels = 1, w.bits = 16, w.frames = frames;
        w.samples.assign(size_t(frames), int16_t(value));
        return w;
    }
    static std::vector<int16_t> Render(int frames) {
        std::vector<int16_t> out(size_t(frames) * 2);
        MixerRender(out.data(), frames, 44100);
        return out;
    }
};

TEST_F(Mixer, OverlappingVoicesAddUpAndBendBelowFullScale) {
    auto mixOf = [&](std::vector<Wave> waves, int voices = 1) {
        MixerReset();
        for (const Wave& w : waves)
            for (int i = 0; i < voices; ++i) MixerStart(&w, false);
        const int16_t first = Render(1)[0];
        MixerReset(); // before the waves go
        return int(first);
    };
    EXPECT_EQ(mixOf({Constant(1000, 100), Constant(1000, 100)}), 2000);
    const int loud = mixOf({Constant(30000, 100), Constant(30000, 100)});
    EXPECT_GT(loud, 30000); // bent towards the top, not wrapped
    EXPECT_LT(loud, 32767);
    // Summed first, then limited: as 30000 alone.
    EXPECT_EQ(mixOf({Constant(30000, 4), Constant(30000, 4), Constant(-30000, 4)}), 27839);
    EXPECT_EQ(mixOf({Constant(30000, 4)}), 27839);
    // The curve: the identity up to the knee, rising all the way, and full scale out of reach
    // even for every voice at full scale, either way.
    int previous = -1;
    for (int v = 0; v <= 32767; v += 7) {
        const int got = mixOf({Constant(v, 4)});
        if (v <= kLimiterKnee) { ASSERT_EQ(got, v); }
        ASSERT_GE(got, previous) << v;
        previous = got;
    }
    for (const int top : {32767, -32768}) {
        const int got = std::abs(mixOf({Constant(top, 4)}, kMaxVoices));
        EXPECT_GT(got, 32700);
        EXPECT_LT(got, 32767);
    }
}

TEST_F(Mixer, OneShotsEndAndFreeTheirVoicesLoopsRunUntilStopped) {
    const Wave shortOne = Constant(500, 10), hum = Constant(700, 7);
    MixerStart(&shortOne, false);
    const uint64_t humVoice = MixerStart(&hum, true);
    auto out = Render(12);
    EXPECT_EQ(out[9 * 2], 1200);
    EXPECT_EQ(out[11 * 2], 700);
    EXPECT_EQ(MixerVoices(), 1);
    out = Render(1000);
    for (size_t i = 0; i < out.size(); ++i) ASSERT_EQ(out[i], 700) << i; // seamless
    MixerStop(humVoice);
    out = Render(4);
    EXPECT_EQ(out[0], 0);
    EXPECT_EQ(MixerVoices(), 0);
    // A long soak of starts leaves nothing behind.
    for (int i = 0; i < 20000; ++i) {
        MixerStart(&shortOne, false);
        Render(16);
    }
    Render(16);
    EXPECT_EQ(MixerVoices(), 0);
}

TEST_F(Mixer, TheVoiceCapDropsTheOldestOneShotNeverTheHum) {
    const Wave hum = Constant(1, 100), oneShot = Constant(2, 100000);
    MixerStart(&hum, true);
    for (int i = 0; i < kMaxVoices + 5; ++i) MixerStart(&oneShot, false);
    auto out = Render(1);
    EXPECT_EQ(MixerVoices(), kMaxVoices);
    EXPECT_EQ(out[0], 1 + 2 * (kMaxVoices - 1)); // the hum kept, 31 one-shots
}

TEST_F(Mixer, EachSoundPlaysAtItsOwnRate) {
    Wave w = Constant(100, 2205, 22050); // 0.1 s
    MixerStart(&w, false);
    auto out = Render(4410 + 10);
    EXPECT_NE(out[4408 * 2], 0);
    EXPECT_EQ(out[4412 * 2], 0); // done after 0.1 s at 44100: twice the frames
    // Linear interpolation between samples at half the output rate.
    Wave ramp = Constant(0, 3, 22050);
    ramp.samples = {0, 1000, 2000};
    MixerReset();
    MixerStart(&ramp, false);
    out = Render(4);
    EXPECT_EQ(out[2], 500);
    EXPECT_EQ(out[4], 1000);
}

TEST(SimAudio, TheRunIsHeardOnTheVirtualClock) {
    const auto dir = GameDir("audio");
    const std::string script = "10 press left\n12 release left\n";
    auto r = RunSim(dir, "--frames 380 --audio " + (dir / "run.wav").string(), script);
    ASSERT_EQ(r.status, 0) << r.err;
    auto wave = LoadWaveFile((dir / "run.wav").string());
    ASSERT_TRUE(wave);
    EXPECT_EQ(wave->rate, 44100);
    EXPECT_EQ(wave->channels, 2);
    const int ms = Num(r.trace.back(), "ms");
    EXPECT_NEAR(double(wave->frames), ms * 44.1, 1.0);
    // Silence until the zoom sound starts with the first zoom frame's work.
    int zoomMs = -1;
    for (const auto& l : r.trace)
        if (zoomMs < 0 && Field(l, "sounds").find("zoom") != std::string::npos)
            zoomMs = Num(l, "ms");
    ASSERT_GT(zoomMs, 0);
    int64_t first = -1;
    for (int64_t i = 0; i < wave->frames && first < 0; ++i)
        if (wave->samples[size_t(i) * 2] != 0) first = i;
    EXPECT_GT(first, int64_t((zoomMs - 40) * 44.1)); // within the frame before it was presented
    EXPECT_LE(first, int64_t((zoomMs + 2) * 44.1));  // its first samples fade in from 0
}

} // namespace
