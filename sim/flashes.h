// What flashes in the pictures of a run, for players whom flashing troubles: whole-screen
// flashes (the picture's mean brightness jumping by a tenth of full or more from one frame to
// the next), most of them within any second, and the changes of the reticle's colour.
#pragma once
#include <cstdint>
#include <deque>

class FlashCount {
  public:
    // One picture, with the reticle of size pw at (x, y) (its colour is read at the tips of its
    // cross, green or magenta), or x < 0 when none is drawn.
    void See(const uint32_t* pixels, int width, int height, int x, int y, int pw);
    int MostInASecond() const { return most_; }
    int ReticleChanges() const { return reticleChanges_; }

  private:
    double lastBrightness_ = -1;
    std::deque<uint64_t> recent_; // the frames of the flashes of the last second
    uint64_t frame_ = 0;
    int most_ = 0;
    uint32_t lastReticle_ = 0;
    int reticleChanges_ = 0;
};
