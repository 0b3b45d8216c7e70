#include "sim/audio_out.h"

#include <algorithm>
#include <cstdio>
#include <vector>

#include "engine/mixer.h"

namespace {

void Put(std::vector<uint8_t>& v, uint32_t x, int bytes) {
    for (int i = 0; i < bytes; ++i) v.push_back(uint8_t(x >> (8 * i)));
}

std::vector<uint8_t> Header(uint64_t frames) {
    const uint32_t data = uint32_t(std::min<uint64_t>(frames * 4, 0xffffffffu - 36));
    std::vector<uint8_t> h;
    for (char c : std::string("RIFF")) h.push_back(uint8_t(c));
    Put(h, 36 + data, 4);
    for (char c : std::string("WAVEfmt ")) h.push_back(uint8_t(c));
    Put(h, 16, 4);
    Put(h, 1, 2);
    Put(h, 2, 2);
    Put(h, AudioOut::kRate, 4);
    Put(h, AudioOut::kRate * 4, 4);
    Put(h, 4, 2);
    Put(h, 16, 2);
    for (char c : std::string("data")) h.push_back(uint8_t(c));
    Put(h, data, 4);
    return h;
}

} // namespace

bool AudioOut::Open(const std::string& path) {
    file_ = WriteOutput(path);
    if (!file_) return false;
    const auto h = Header(0);
    ok_ = std::fwrite(h.data(), 1, h.size(), file_->file) == h.size();
    return ok_;
}

void AudioOut::Advance(int64_t micros) {
    if (!file_) return;
    const uint64_t due = uint64_t(std::max<int64_t>(micros, 0)) * kRate / 1000000;
    static int16_t block[4096 * 2];
    while (frames_ < due) {
        const int n = int(std::min<uint64_t>(4096, due - frames_));
        MixerRender(block, n, kRate);
        if (ok_ && std::fwrite(block, 4, size_t(n), file_->file) != size_t(n)) {
            ok_ = false;
            file_->failed = true, file_->error = errno; // said when it is closed
        }
        frames_ += uint64_t(n);
    }
}

bool AudioOut::Close() {
    if (!file_) return ok_;
    const auto h = Header(frames_);
    ok_ = ok_ && std::fseek(file_->file, 0, SEEK_SET) == 0 &&
          std::fwrite(h.data(), 1, h.size(), file_->file) == h.size();
    if (!ok_ && !file_->failed) file_->failed = true, file_->error = errno; // the old file stays
    ok_ = CloseFile(file_) && ok_;
    file_ = nullptr;
    return ok_;
}
