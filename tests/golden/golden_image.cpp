#include "tests/golden/golden_image.h"

#include <cstdlib>

SRgbImage BoxDownscale(const std::vector<uint8_t>& rgba, int width, int height, int factor) {
    SRgbImage out;
    out.width = width / factor;
    out.height = height / factor;
    out.rgb.resize(static_cast<size_t>(out.width) * out.height * 3);
    const int area = factor * factor;
    for (int y = 0; y < out.height; ++y) {
        for (int x = 0; x < out.width; ++x) {
            for (int c = 0; c < 3; ++c) {
                int sum = 0;
                for (int dy = 0; dy < factor; ++dy) {
                    const size_t row = static_cast<size_t>(y * factor + dy) * width;
                    for (int dx = 0; dx < factor; ++dx) sum += rgba[(row + x * factor + dx) * 4 + c];
                }
                out.rgb[(static_cast<size_t>(y) * out.width + x) * 3 + c] =
                    static_cast<uint8_t>((sum + area / 2) / area);
            }
        }
    }
    return out;
}

SImageDifference CompareImages(const SRgbImage& actual, const SRgbImage& expected, int allowance) {
    SImageDifference result;
    for (int y = 0; y < actual.height; ++y) {
        for (int x = 0; x < actual.width; ++x) {
            const size_t at = (static_cast<size_t>(y) * actual.width + x) * 3;
            int worst = 0;
            for (int c = 0; c < 3; ++c) {
                const int d = std::abs(static_cast<int>(actual.rgb[at + c]) - expected.rgb[at + c]);
                if (d > worst) worst = d;
            }
            if (worst > allowance) ++result.pixelsOver;
            if (worst > result.largest) {
                result.largest = worst;
                result.largestX = x;
                result.largestY = y;
            }
        }
    }
    return result;
}
