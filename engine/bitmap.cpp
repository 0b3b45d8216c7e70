#include "engine/bitmap.h"

#include "engine/files.h"

namespace {

// Large enough for any sprite sheet, small enough that a forged header cannot exhaust memory.
constexpr int64_t kMaxSide = 16384;
constexpr int64_t kMaxPixels = 16 * 1024 * 1024;
constexpr size_t kMaxFileBytes = 256u * 1024 * 1024;

uint32_t U16(const uint8_t* p) { return uint32_t(p[0]) | uint32_t(p[1]) << 8; }
uint32_t U32(const uint8_t* p) { return U16(p) | U16(p + 2) << 16; }
int32_t S32(const uint8_t* p) { return int32_t(U32(p)); }

uint32_t Rgb(uint8_t r, uint8_t g, uint8_t b, uint8_t a = 255) {
    return uint32_t(a) << 24 | uint32_t(r) << 16 | uint32_t(g) << 8 | b;
}

} // namespace

std::optional<Bitmap> DecodeBitmap(const uint8_t* data, size_t size) {
    if (!data || size < 54 || data[0] != 'B' || data[1] != 'M') return std::nullopt;
    const uint32_t pixelOffset = U32(data + 10);
    const uint32_t headerSize = U32(data + 14);
    const int32_t width = S32(data + 18);
    const int32_t rawHeight = S32(data + 22);
    const uint32_t bpp = U16(data + 28);
    const uint32_t compression = U32(data + 30);
    uint32_t coloursUsed = U32(data + 46);

    // Larger (V4, V5) headers are common; the palette sits right after whichever header is there.
    if (headerSize < 40 || headerSize > size - 14) return std::nullopt;
    if (bpp != 1 && bpp != 4 && bpp != 8 && bpp != 24 && bpp != 32) return std::nullopt;
    // Run-length data read as raw rows would be garbage: refuse rather than show it.
    const bool bitfields32 = bpp == 32 && compression == 3;
    if (compression != 0 && !bitfields32) return std::nullopt;
    if (rawHeight == INT32_MIN) return std::nullopt;
    const bool topDown = rawHeight < 0;
    const int64_t height = topDown ? -int64_t(rawHeight) : rawHeight;
    if (width <= 0 || height <= 0 || width > kMaxSide || height > kMaxSide ||
        int64_t(width) * height > kMaxPixels)
        return std::nullopt;

    std::vector<uint32_t> palette;
    if (bpp <= 8) {
        const uint32_t full = 1u << bpp;
        if (coloursUsed == 0 || coloursUsed > full) coloursUsed = full;
        const size_t at = 14 + size_t(headerSize);
        if (at + size_t(coloursUsed) * 4 > size) return std::nullopt;
        palette.resize(full, Rgb(0, 0, 0)); // indices beyond a short palette read as black
        for (uint32_t i = 0; i < coloursUsed; ++i) {
            const uint8_t* e = data + at + size_t(i) * 4;
            palette[i] = Rgb(e[2], e[1], e[0]);
        }
    }

    const size_t rowBytes = ((size_t(width) * bpp + 31) / 32) * 4;
    if (pixelOffset < 14 + headerSize || pixelOffset > size) return std::nullopt;
    if ((size - pixelOffset) / rowBytes < size_t(height)) return std::nullopt;

    Bitmap bmp;
    bmp.width = width;
    bmp.height = int(height);
    bmp.pixels.resize(size_t(width) * size_t(height));
    for (int64_t row = 0; row < height; ++row) {
        const uint8_t* src = data + pixelOffset + size_t(row) * rowBytes;
        const int64_t destRow = topDown ? row : height - 1 - row;
        uint32_t* dst = bmp.pixels.data() + size_t(destRow) * size_t(width);
        for (int32_t col = 0; col < width; ++col) {
            switch (bpp) {
            case 1:
                dst[col] = palette[(src[col / 8] >> (7 - col % 8)) & 1];
                break;
            case 4:
                dst[col] = palette[(src[col / 2] >> (col % 2 ? 0 : 4)) & 15];
                break;
            case 8:
                dst[col] = palette[src[col]];
                break;
            case 24: {
                const uint8_t* p = src + col * 3;
                dst[col] = Rgb(p[2], p[1], p[0]);
                break;
            }
            default: {
                const uint8_t* p = src + col * 4;
                dst[col] = Rgb(p[2], p[1], p[0], p[3]);
                break;
            }
            }
        }
    }
    return bmp;
}

std::optional<Bitmap> LoadBitmapFile(const std::string& path) {
    auto bytes = ReadWholeFile(path, kMaxFileBytes);
    if (!bytes) return std::nullopt;
    return DecodeBitmap(bytes->data(), bytes->size());
}
