#include "sim/inflate.h"

#include <zlib.h>

bool LooksGzipped(const std::vector<uint8_t>& bytes) {
    return bytes.size() >= 2 && bytes[0] == 0x1f && bytes[1] == 0x8b;
}

std::optional<std::vector<uint8_t>> Gunzip(const std::vector<uint8_t>& bytes, size_t max) {
    z_stream z{};
    if (inflateInit2(&z, 16 + MAX_WBITS) != Z_OK) return std::nullopt;
    z.next_in = const_cast<Bytef*>(bytes.data());
    z.avail_in = uInt(bytes.size());
    std::vector<uint8_t> out;
    uint8_t chunk[65536];
    int result = Z_OK;
    while (result == Z_OK) {
        z.next_out = chunk;
        z.avail_out = sizeof chunk;
        result = inflate(&z, Z_NO_FLUSH);
        out.insert(out.end(), chunk, chunk + (sizeof chunk - z.avail_out));
        if (out.size() > max) result = Z_BUF_ERROR;
        if (result == Z_OK && z.avail_in == 0 && z.avail_out != 0) result = Z_DATA_ERROR;
    }
    inflateEnd(&z);
    if (result != Z_STREAM_END) return std::nullopt;
    return out;
}
