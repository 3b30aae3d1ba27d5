#include "resources/png_writer.h"

#include <png.h>

#include <cerrno>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <vector>

namespace {

// What a file keeps of 4-byte RGBA pixels.
enum class EChannels { kRgb, kRgba };

// libpng reports errors by longjmp; only plain data lives across it.
bool WriteRows(FILE* file, const uint8_t* pixels, int width, int height, EChannels channels,
               std::string* error) {
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!info) {
        png_destroy_write_struct(&png, nullptr);
        *error = "out of memory";
        return false;
    }
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        *error = "the PNG encoder failed";
        return false;
    }
    png_init_io(png, file);
    // Fast compression: a capture writes thousands of frames. Level 1 with
    // the "sub" filter alone is several times faster than the defaults and
    // still the same bytes for the same pixels.
    png_set_compression_level(png, 1);
    png_set_filter(png, PNG_FILTER_TYPE_BASE, PNG_FILTER_SUB);
    const int colourType = channels == EChannels::kRgba ? PNG_COLOR_TYPE_RGB_ALPHA : PNG_COLOR_TYPE_RGB;
    png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), 8, colourType,
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    const size_t stride = static_cast<size_t>(width) * (channels == EChannels::kRgba ? 4 : 3);
    for (int y = 0; y < height; ++y) {
        png_write_row(png, const_cast<png_bytep>(pixels + stride * static_cast<size_t>(y)));
    }
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return true;
}

bool WriteFile(const std::string& path, const uint8_t* rgba, int width, int height, EChannels channels,
               std::string* error) {
    if (!rgba || width <= 0 || height <= 0) {
        *error = path + ": no image to write";
        return false;
    }
    // Frames drop alpha, so their pixels are packed to 3 bytes first.
    std::vector<uint8_t> rgb;
    if (channels == EChannels::kRgb) {
        rgb.resize(static_cast<size_t>(width) * static_cast<size_t>(height) * 3);
        for (size_t pixel = 0, count = rgb.size() / 3; pixel < count; ++pixel) {
            std::memcpy(&rgb[pixel * 3], rgba + pixel * 4, 3);
        }
    }
    const uint8_t* pixels = channels == EChannels::kRgb ? rgb.data() : rgba;

    FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) {
        *error = path + ": " + std::strerror(errno);
        return false;
    }
    std::string reason;
    const bool written = WriteRows(file, pixels, width, height, channels, &reason);
    const bool flushed = std::fflush(file) == 0 && !std::ferror(file);
    const int flushErrno = errno;
    const bool closed = std::fclose(file) == 0;
    if (!written || !flushed || !closed) {
        *error = path + ": " + (written ? std::strerror(flushErrno) : reason);
        return false;
    }
    return true;
}

}  // namespace

bool WritePngRgb(const std::string& path, const uint8_t* rgba, int width, int height, std::string* error) {
    return WriteFile(path, rgba, width, height, EChannels::kRgb, error);
}

bool WritePngRgba(const std::string& path, const uint8_t* rgba, int width, int height, std::string* error) {
    return WriteFile(path, rgba, width, height, EChannels::kRgba, error);
}
