// What a koravel-sim run plays, mixed on the virtual clock into a 44100 Hz 16-bit stereo wave.
#pragma once
#include <cstdint>
#include <string>

#include "engine/files.h"

class AudioOut {
  public:
    static constexpr int kRate = 44100;
    bool Open(const std::string& path);
    // Mixes everything due up to this virtual time.
    void Advance(int64_t micros);
    // Writes the final lengths into the header; false when the file could not be written.
    bool Close();
    ~AudioOut() { Close(); }

  private:
    Stream file_; // written atomically: an old wave stays whole until the new one is
    uint64_t frames_ = 0;
    bool ok_ = true;
};
