#include "resources/png_writer.h"

#include <png.h>

#include <cerrno>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <vector>

namespace {

// What a file keeps of the 4-byte pixels given.
enum class EChannels { kRgbFromBgra, kRgba };

// One row as the file stores it, in `row`'s bytes.
void StoredRow(const uint8_t* pixels, int width, EChannels channels, uint8_t* row) {
    if (channels == EChannels::kRgba) {
        std::memcpy(row, pixels, static_cast<size_t>(width) * 4);
        return;
    }
    for (int x = 0; x < width; ++x, pixels += 4, row += 3) {
        row[0] = pixels[2];
        row[1] = pixels[1];
        row[2] = pixels[0];
    }
}

// libpng reports errors by longjmp; only plain data lives across it. The
// rows are converted one at a time, so a frame of any size needs no copy.
bool WriteRows(FILE* file, const uint8_t* pixels, int width, int height, EChannels channels, uint8_t* row,
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
    const size_t pitch = static_cast<size_t>(width) * 4;
    for (int y = 0; y < height; ++y) {
        StoredRow(pixels + pitch * static_cast<size_t>(y), width, channels, row);
        png_write_row(png, row);
    }
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return true;
}

bool WriteFile(const std::string& path, const uint8_t* pixels, int width, int height, EChannels channels,
               std::string* error) {
    if (!pixels || width <= 0 || height <= 0) {
        *error = path + ": no image to write";
        return false;
    }
    std::vector<uint8_t> row(static_cast<size_t>(width) * 4);
    FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) {
        *error = path + ": " + std::strerror(errno);
        return false;
    }
    std::string reason;
    const bool written = WriteRows(file, pixels, width, height, channels, row.data(), &reason);
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

bool WritePngRgb(const std::string& path, const uint8_t* bgra, int width, int height, std::string* error) {
    return WriteFile(path, bgra, width, height, EChannels::kRgbFromBgra, error);
}

bool WritePngRgba(const std::string& path, const uint8_t* rgba, int width, int height, std::string* error) {
    return WriteFile(path, rgba, width, height, EChannels::kRgba, error);
}
