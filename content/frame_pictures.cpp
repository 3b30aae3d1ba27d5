// The old zoom's five nested frames. Frame i is drawn as an opaque square
// and frame i + 1, half its size, covers its middle, so of frames 1 to 4
// only the ring between the edge and half the size is ever seen; frame 5
// is seen whole and fills the screen at the deepest zoom, where only its
// middle (about 0.4 of its half-size) is on screen.
#include <cmath>
#include <string>

#include "content/canvas.h"
#include "content/pictures.h"
#include "content/shapes.h"

namespace {

constexpr float kTwoPi = 6.28318530718f;

struct SPalette {
    SColor deep;
    SColor bright;
};

const SPalette kPalettes[5] = {
    {Rgb(0.03f, 0.06f, 0.22f), Rgb(0.25f, 0.55f, 0.95f)},  // night blue
    {Rgb(0.02f, 0.16f, 0.16f), Rgb(0.25f, 0.90f, 0.70f)},  // teal
    {Rgb(0.14f, 0.03f, 0.20f), Rgb(0.80f, 0.35f, 0.95f)},  // violet
    {Rgb(0.22f, 0.05f, 0.02f), Rgb(1.00f, 0.55f, 0.18f)},  // ember
    {Rgb(0.04f, 0.04f, 0.12f), Rgb(0.50f, 0.42f, 0.26f)},  // gold night, dim so the centrepiece stands out
};

// A gilded moulding lit from the upper left, over the outer band.
SColor Moulding(float px, float py, float m, float pixel) {
    const float t = (m - 0.93f) / 0.07f;
    // The outward normal of the side this point lies on.
    const bool sideways = std::fabs(px) >= std::fabs(py);
    const float nx = sideways ? (px > 0.0f ? 1.0f : -1.0f) : 0.0f;
    const float ny = sideways ? 0.0f : (py > 0.0f ? 1.0f : -1.0f);
    const float facing = -0.7071f * nx + 0.7071f * ny;
    const float slope = std::cos(3.14159265f * t);
    const float shade = 0.72f + 0.38f * slope * facing;
    const float groove = 1.0f - 0.6f * std::exp(-std::pow((t - 0.5f) / 0.06f, 2.0f));
    SColor gold = Scale(Rgb(0.86f, 0.66f, 0.28f), shade * groove);
    const float edge = SmoothStep(0.0f, pixel * 2.0f, std::fmin(m - 0.93f, 1.0f - m));
    return Mix(Rgb(0.08f, 0.05f, 0.02f), gold, edge);
}

// The painted area inside the moulding.
SColor Painting(int level, float px, float py, float m) {
    const SPalette& palette = kPalettes[level - 1];
    const float r = std::hypot(px, py);
    const float angle = std::atan2(py, px);
    // Lighter toward the middle: the eye is led into the next frame.
    SColor c = Mix(palette.bright, palette.deep, SmoothStep(0.35f, 0.9f, m));
    const float rays = 0.5f + 0.5f * std::cos(12.0f * angle + static_cast<float>(level));
    c = Scale(c, 0.75f + 0.25f * rays);
    // A ring of lamps along the square at 0.7.
    const float lampAngle = std::remainder(angle + 0.13f * static_cast<float>(level), kTwoPi / 24.0f);
    const float lamp = std::exp(-std::pow(std::hypot(m - 0.7f, r * lampAngle) / 0.022f, 2.0f));
    c = Mix(c, Rgb(1.0f, 0.97f, 0.85f), lamp * 0.9f);
    // Thin square rules at 0.6 and 0.82.
    const float rule = std::exp(-std::pow((m - 0.6f) / 0.004f, 2.0f)) + std::exp(-std::pow((m - 0.82f) / 0.004f, 2.0f));
    c = Mix(c, palette.bright, Clamp01(rule) * 0.8f);
    return c;
}

// The last frame's centre: a gilded snowflake with a halo, small enough to
// stay on screen at the deepest zoom.
SColor Centrepiece(float px, float py, const SColor& below, float pixel) {
    const float d = SnowflakeDistance(px, py, 0.36f);
    SColor c = below;
    const float halo = std::exp(-d / 0.03f) * 0.3f;
    c.r += halo;
    c.g += halo * 0.85f;
    c.b += halo * 0.5f;
    const float stroke = 1.0f - SmoothStep(0.012f - pixel, 0.012f + pixel, d);
    return Mix(c, Rgb(1.0f, 0.95f, 0.78f), stroke);
}

CImage PaintFrame(int level) {
    CImage image(512, 512);
    CCanvas canvas(&image, 2.0f, 2.0f);
    const float pixel = canvas.Pixel();
    canvas.Shade([level, pixel](float x, float y, const SColor&) {
        const float px = x - 1.0f;
        const float py = y - 1.0f;
        const float m = std::fmax(std::fabs(px), std::fabs(py));
        SColor c;
        if (m >= 0.93f) {
            c = Moulding(px, py, m, pixel);
        } else if (m >= 0.90f) {
            c = Rgb(0.03f, 0.02f, 0.02f);
        } else {
            c = Painting(level, px, py, m);
            if (level == 5) c = Centrepiece(px, py, c, pixel);
        }
        c.a = 1.0f;
        return c;
    });
    return image;
}

}  // namespace

void PaintFramePictures(std::vector<SPicture>* out) {
    for (int level = 1; level <= 5; ++level) {
        out->push_back({"Data/lrame" + std::to_string(level) + ".tga", 24, PaintFrame(level)});
    }
}
