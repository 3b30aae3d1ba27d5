#include "tests/golden/test_pictures.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "tests/tga_file.h"

namespace {

constexpr double kPi = 3.14159265358979323846;

struct SColour {
    int r, g, b, a;
};

// pixel(x, row): row 0 is the first row stored, which the loader makes the
// texture's top row (v = 0).
using PixelFn = std::function<SColour(int x, int row)>;

uint8_t Byte(int value) { return static_cast<uint8_t>(std::clamp(value, 0, 255)); }

// Uncompressed true-colour TGA, 24 or 32 bits a pixel.
bool WriteTga(const std::string& path, int width, int height, int depth, const PixelFn& pixel) {
    const std::string header = TgaHeader(width, height, depth, depth == 32 ? 8 : 0);
    std::vector<uint8_t> bytes(header.begin(), header.end());
    for (int row = 0; row < height; ++row) {
        for (int x = 0; x < width; ++x) {
            const SColour c = pixel(x, row);
            bytes.push_back(Byte(c.b));
            bytes.push_back(Byte(c.g));
            bytes.push_back(Byte(c.r));
            if (depth == 32) bytes.push_back(Byte(c.a));
        }
    }
    FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) return false;
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    return std::fclose(file) == 0 && written;
}

SColour Scale(SColour c, double k) {
    return {static_cast<int>(c.r * k), static_cast<int>(c.g * k), static_cast<int>(c.b * k), c.a};
}

// Soft bars: 0 between them, 1 in their middles.
double Wave(double position, double period) { return 0.5 - 0.5 * std::cos(2 * kPi * position / period); }

// A colour ramp for the flare: white at u = 0 through yellow and red to blue.
SColour FlareRamp(int x) {
    const double u = x / 255.0;
    return {static_cast<int>(255 * std::sqrt(1 - u)), static_cast<int>(255 * (1 - u) * (1 - u)),
            static_cast<int>(255 * u), 255};
}

}  // namespace

bool WriteTestPictures(const std::string& dataDir) {
    const auto at = [&](const char* name) { return dataDir + "/" + name; };
    bool ok = true;

    // Intro background (and the fade's picture): red grows to the right,
    // green with the stored row, a dark grid every 64 pixels and a white
    // square at the first stored pixels, which the intro shows bottom left.
    ok &= WriteTga(at("snowflake.tga"), 256, 256, 24, [](int x, int row) {
        if (x < 32 && row < 32) return SColour{255, 255, 255, 255};
        if (x % 64 < 3 || row % 64 < 3) return SColour{0, 0, 0, 255};
        return SColour{x, row, 64, 255};
    });
    // Blurred background: soft blue rings about the centre.
    ok &= WriteTga(at("snowblur.tga"), 256, 256, 24, [](int x, int row) {
        const double r = std::hypot(x - 127.5, row - 127.5);
        return SColour{0, 64, static_cast<int>(255 * Wave(r, 32)), 255};
    });
    // Caption 1: five yellow blocks over a yellow underline (first rows
    // stored, so the line shows under the blocks); its blur is soft bars.
    ok &= WriteTga(at("quelrate.tga"), 256, 64, 24, [](int x, int row) {
        const bool block = row >= 16 && row < 48 && x % 48 >= 8 && x % 48 < 40 && x < 240;
        const bool line = row >= 4 && row < 10 && x >= 8 && x < 232;
        return block || line ? SColour{255, 255, 0, 255} : SColour{0, 0, 0, 255};
    });
    ok &= WriteTga(at("quelblur.tga"), 256, 64, 24, [](int x, int row) {
        return Scale({255, 255, 0, 255}, Wave(x + 16, 48) * Wave(row, 64));
    });
    // Caption 2: three cyan stripes and a bar at the left edge; its blur is
    // soft stripes.
    ok &= WriteTga(at("moonshade.tga"), 128, 32, 24, [](int x, int row) {
        const bool stripe = row % 8 >= 2 && row % 8 < 5 && row >= 8;
        return stripe || x < 8 ? SColour{0, 255, 255, 255} : SColour{0, 0, 0, 255};
    });
    ok &= WriteTga(at("moonblur.tga"), 128, 32, 24, [](int, int row) {
        return Scale({0, 255, 255, 255}, Wave(row, 8));
    });
    ok &= WriteTga(at("circle.tga"), 16, 16, 32, [](int, int) { return SColour{128, 128, 128, 255}; });

    // Test texture: a glow with a bright ring, black and transparent outside
    // it, over a checkered orange and blue background.
    ok &= WriteTga(at("circflare.tga"), 64, 64, 32, [](int x, int row) {
        const double r = std::hypot(x - 31.5, row - 31.5) / 32;
        const double glow = std::max(0.0, 1 - r);
        const double ring = std::max(0.0, 1 - std::fabs(r - 0.75) * 10);
        const int level = static_cast<int>(255 * std::min(1.0, glow * glow + ring));
        return SColour{level, level, level, level};
    });
    ok &= WriteTga(at("bg.tga"), 128, 128, 32, [](int x, int row) {
        return (x / 16 + row / 16) % 2 ? SColour{255, 160, 0, 255} : SColour{0, 128, 255, 255};
    });

    // Bezier sheet: red and white checks with a green mark at texture (0, 0).
    ok &= WriteTga(at("bez1.tga"), 128, 128, 32, [](int x, int row) {
        if (x < 32 && row < 32) return SColour{0, 255, 0, 255};
        return (x / 16 + row / 16) % 2 ? SColour{255, 255, 255, 255} : SColour{255, 0, 0, 255};
    });

    // Pixel board: a red ramp for the upper quarter, green rings for the lower.
    ok &= WriteTga(at("coders.tga"), 128, 64, 24, [](int x, int row) {
        if (x < 16 && row < 16) return SColour{255, 255, 255, 255};
        return SColour{2 * x, 0, 2 * row, 255};
    });
    ok &= WriteTga(at("music.tga"), 128, 64, 24, [](int x, int row) {
        const double r = std::hypot(x - 63.5, (row - 31.5) * 2);
        return SColour{0, static_cast<int>(255 * Wave(r, 24)), 0, 255};
    });

    // Zoom blur spinner: a yellow face, eyes above and mouth below in the
    // stored order, so any flip shows; transparent around it.
    ok &= WriteTga(at("happy.tga"), 64, 64, 32, [](int x, int row) {
        const double r = std::hypot(x - 31.5, row - 31.5);
        const bool rim = r > 25 && r < 30;
        const bool eye = std::hypot(x - 22, row - 22) < 5 || std::hypot(x - 42, row - 22) < 5;
        const bool mouth = row > 38 && row < 44 && x > 18 && x < 46;
        return rim || eye || mouth ? SColour{255, 220, 0, 255} : SColour{0, 0, 0, 0};
    });

    // Flare: a five-lobed outline turning one step per row (the blue byte is
    // the radius sample), coloured by the ramp along the gradient's rows.
    ok &= WriteTga(at("anim.tga"), 256, 16, 24, [](int x, int row) {
        const double angle = 2 * kPi * x / 256;
        return SColour{0, 0, static_cast<int>(60 + 50 * std::sin(5 * angle + 2 * kPi * row / 16)), 255};
    });
    ok &= WriteTga(at("grad.tga"), 256, 4, 24, [](int x, int) { return FlareRamp(x); });

    // Old zoom frames: a border in the frame's own colour round dark
    // diagonal stripes of it, with a white square at the first stored pixels.
    const SColour frameColours[5] = {{255, 0, 0, 255}, {0, 255, 0, 255}, {0, 96, 255, 255},
                                     {255, 255, 0, 255}, {255, 0, 255, 255}};
    for (int i = 0; i < 5; ++i) {
        const std::string name = "lrame" + std::to_string(i + 1) + ".tga";
        const SColour colour = frameColours[i];
        ok &= WriteTga(at(name.c_str()), 128, 128, 24, [colour](int x, int row) {
            if (x < 16 && row < 16) return SColour{255, 255, 255, 255};
            if (x < 12 || x >= 116 || row < 12 || row >= 116) return colour;
            return Scale(colour, (x + row) % 32 < 16 ? 0.4 : 0.15);
        });
    }
    return ok;
}
