#include "tests/png_file.h"

#include <png.h>

#include <cstring>
#include <utility>

bool ReadRgbPng(const std::string& path, SRgbImage* image, bool* storedAsRgb8) {
    png_image png;
    std::memset(&png, 0, sizeof(png));
    png.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&png, path.c_str())) return false;
    const bool rgb8 = png.format == PNG_FORMAT_RGB;
    png.format = PNG_FORMAT_RGB;
    std::vector<uint8_t> rgb(PNG_IMAGE_SIZE(png));
    const bool ok = png_image_finish_read(&png, nullptr, rgb.data(), 0, nullptr) != 0;
    png_image_free(&png);
    if (!ok) return false;
    image->width = static_cast<int>(png.width);
    image->height = static_cast<int>(png.height);
    image->rgb = std::move(rgb);
    if (storedAsRgb8) *storedAsRgb8 = rgb8;
    return true;
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
