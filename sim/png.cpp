#include "sim/png.h"

#include <png.h>

#include "engine/files.h"

#include <cstring>
#include <string>
#include <vector>

bool WritePng(const std::string& path, const uint32_t* pixels, int width, int height, int stride,
              bool blackIsClear) {
    const size_t channels = blackIsClear ? 4 : 3;
    std::vector<uint8_t> rgb(size_t(width) * size_t(height) * channels);
    for (size_t row = 0; row < size_t(height); ++row) {
        for (size_t col = 0; col < size_t(width); ++col) {
            const uint32_t p = pixels[row * size_t(stride) + col] & 0xffffffu;
            uint8_t* o = &rgb[(row * size_t(width) + col) * channels];
            o[0] = uint8_t(p >> 16), o[1] = uint8_t(p >> 8), o[2] = uint8_t(p);
            if (blackIsClear) o[3] = p ? 255 : 0;
        }
    }
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    image.width = png_uint_32(width);
    image.height = png_uint_32(height);
    image.format = blackIsClear ? PNG_FORMAT_RGBA : PNG_FORMAT_RGB;
    // Into memory first, so a full disk never leaves a cut picture in place of an old one.
    png_alloc_size_t size = 0;
    if (!png_image_write_get_memory_size(image, size, 0, rgb.data(), width * int(channels),
                                         nullptr))
        return false;
    std::string bytes(size, '\0');
    const int ok = png_image_write_to_memory(&image, bytes.data(), &size, 0, rgb.data(),
                                             width * int(channels), nullptr);
    png_image_free(&image);
    if (!ok) return false;
    bytes.resize(size);
    Stream out = WriteOutput(path);
    return out && WriteBytes(out, bytes) && CloseFile(out);
}
