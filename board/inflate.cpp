#include "board/inflate.h"

#include <zlib.h>

bool LooksGzipped(const std::string& bytes) {
    return bytes.size() >= 2 && uint8_t(bytes[0]) == 0x1f && uint8_t(bytes[1]) == 0x8b;
}

std::optional<std::string> Gunzip(const std::string& bytes, size_t max) {
    z_stream z{};
    if (inflateInit2(&z, 16 + MAX_WBITS) != Z_OK) return std::nullopt;
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(bytes.data()));
    z.avail_in = uInt(bytes.size());
    std::string out;
    char chunk[65536];
    int result = Z_OK;
    while (result == Z_OK) {
        z.next_out = reinterpret_cast<Bytef*>(chunk);
        z.avail_out = sizeof chunk;
        result = inflate(&z, Z_NO_FLUSH);
        out.append(chunk, sizeof chunk - z.avail_out);
        if (out.size() > max) result = Z_BUF_ERROR;
        if (result == Z_OK && z.avail_in == 0 && z.avail_out != 0) result = Z_DATA_ERROR;
    }
    inflateEnd(&z);
    if (result != Z_STREAM_END) return std::nullopt;
    return out;
}
