// 8-bit RGB PNG files for the stored golden frames.
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
bool ReadRgbPng(const std::string& path, SRgbImage* image);
bool WriteRgbPng(const std::string& path, const SRgbImage& image);
