// 8-bit PNG files: the stored golden frames, the frames the program
// captures and its icon, read back for checks.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct SRgbImage {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> rgb;  // rows top first, 3 bytes a pixel
};

// False (image untouched) when the file is missing or not a readable PNG.
// Any PNG is converted to 8-bit RGB; *storedAsRgb8, when asked for, says
// whether the file already held exactly that (no alpha, no palette).
bool ReadRgbPng(const std::string& path, SRgbImage* image, bool* storedAsRgb8 = nullptr);

struct SRgbaImage {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> rgba;  // rows top first, 4 bytes a pixel, straight alpha
};

// Any PNG converted to 8-bit RGBA; *storedAsRgba8 as above.
bool ReadRgbaPng(const std::string& path, SRgbaImage* image, bool* storedAsRgba8 = nullptr);

bool WriteRgbPng(const std::string& path, const SRgbImage& image);
