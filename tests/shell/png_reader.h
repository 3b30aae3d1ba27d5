// Reads a PNG back for checks: its size, colour type and RGB pixels.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct SPngImage {
    bool ok = false;
    int width = 0;
    int height = 0;
    bool rgb8 = false;  // 8-bit RGB without alpha, as written
    std::vector<uint8_t> rgb;
};

SPngImage ReadPng(const std::string& path);
