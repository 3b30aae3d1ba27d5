#include "tests/png_file.h"

#include <png.h>

#include <cstring>
#include <utility>

namespace {

// Reads any PNG converted to `format`; false (outputs untouched) when it
// cannot be read.
bool ReadPngAs(const std::string& path, png_uint_32 format, int* width, int* height, std::vector<uint8_t>* pixels,
               bool* storedAsFormat) {
    png_image png;
    std::memset(&png, 0, sizeof(png));
    png.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&png, path.c_str())) return false;
    const bool stored = png.format == format;
    png.format = format;
    std::vector<uint8_t> read(PNG_IMAGE_SIZE(png));
    const bool ok = png_image_finish_read(&png, nullptr, read.data(), 0, nullptr) != 0;
    png_image_free(&png);
    if (!ok) return false;
    *width = static_cast<int>(png.width);
    *height = static_cast<int>(png.height);
    *pixels = std::move(read);
    if (storedAsFormat) *storedAsFormat = stored;
    return true;
}

}  // namespace

bool ReadRgbPng(const std::string& path, SRgbImage* image, bool* storedAsRgb8) {
    return ReadPngAs(path, PNG_FORMAT_RGB, &image->width, &image->height, &image->rgb, storedAsRgb8);
}

bool ReadRgbaPng(const std::string& path, SRgbaImage* image, bool* storedAsRgba8) {
    return ReadPngAs(path, PNG_FORMAT_RGBA, &image->width, &image->height, &image->rgba, storedAsRgba8);
}

bool WriteRgbPng(const std::string& path, const SRgbImage& image) {
    if (image.width <= 0 || image.height <= 0 ||
        image.rgb.size() != static_cast<size_t>(image.width) * image.height * 3) {
        return false;
    }
    png_image png;
    std::memset(&png, 0, sizeof(png));
    png.version = PNG_IMAGE_VERSION;
    png.width = static_cast<png_uint_32>(image.width);
    png.height = static_cast<png_uint_32>(image.height);
    png.format = PNG_FORMAT_RGB;
    const bool ok = png_image_write_to_file(&png, path.c_str(), 0, image.rgb.data(), 0, nullptr) != 0;
    png_image_free(&png);
    return ok;
}
