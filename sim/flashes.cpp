#include "sim/flashes.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace {

constexpr uint64_t kFramesASecond = 33; // 30 ms frames
constexpr uint32_t kGreen = 0x00ff00, kMagenta = 0xff00ff;

} // namespace

void FlashCount::See(const uint32_t* pixels, int width, int height, int x, int y, int pw) {
    ++frame_;
    // Every third pixel is plenty for the brightness of the whole picture.
    int64_t sum = 0, seen = 0;
    for (int i = 0; i < width * height; i += 3, ++seen) {
        const uint32_t p = pixels[i];
        sum +=
            2126 * int64_t(p >> 16 & 255) + 7152 * int64_t(p >> 8 & 255) + 722 * int64_t(p & 255);
    }
    const double brightness = double(sum) / (255.0 * 10000 * double(std::max<int64_t>(seen, 1)));
    if (lastBrightness_ >= 0 && std::abs(brightness - lastBrightness_) >= 0.1) {
        recent_.push_back(frame_);
        while (recent_.front() + kFramesASecond <= frame_) recent_.pop_front();
        most_ = std::max(most_, int(recent_.size()));
    }
    lastBrightness_ = brightness;
    if (x < 0) return;
    // The cross's four tips: the trail, drawn over the reticle, covers one or two at most.
    int green = 0, magenta = 0;
    for (const auto& [dx, dy] : {std::pair{0, -pw}, {0, pw}, {-pw, 0}, {pw, 0}}) {
        const int px = x + dx, py = y + dy;
        if (px < 0 || py < 0 || px >= width || py >= height) continue;
        const uint32_t colour = pixels[py * width + px] & 0xffffff;
        green += colour == kGreen;
        magenta += colour == kMagenta;
    }
    if (green == magenta) return;
    const uint32_t colour = green > magenta ? kGreen : kMagenta;
    if (lastReticle_ && colour != lastReticle_) ++reticleChanges_;
    lastReticle_ = colour;
}
