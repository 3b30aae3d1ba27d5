// Frames reduced to the stored golden size, and how far two of them differ.
#pragma once

#include <cstdint>
#include <vector>

#include "tests/png_file.h"

// Averages each factor x factor block of an RGBA frame (rows top first) into
// one RGB pixel, rounding to nearest; width and height must divide by factor.
SRgbImage BoxDownscale(const std::vector<uint8_t>& rgba, int width, int height, int factor);

struct SImageDifference {
    int pixelsOver = 0;     // pixels with some channel differing by more than the allowance
    int largest = 0;        // the largest channel difference anywhere
    int largestX = 0;       // where it is (the first such pixel, rows top first)
    int largestY = 0;
};

// The images must have the same size.
SImageDifference CompareImages(const SRgbImage& actual, const SRgbImage& expected, int allowance);
