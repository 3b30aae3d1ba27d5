#include "content/icon.h"

#include <algorithm>
#include <cmath>

#include "content/canvas.h"
#include "content/shapes.h"

namespace {

constexpr float kSize = static_cast<float>(kIconSize);
constexpr float kCentre = kSize / 2.0f;
// The tile leaves a margin, as desktop icons do, so it sits among others.
constexpr float kTileHalf = 120.0f;
constexpr float kTileCorner = 44.0f;
constexpr float kRingX = 122.0f;
constexpr float kRingY = 138.0f;
constexpr float kRingRadius = 64.0f;
constexpr float kRingWidth = 15.0f;

// Signed distance to the rounded tile: negative inside.
float TileDistance(float x, float y) {
    const float qx = std::fabs(x - kCentre) - (kTileHalf - kTileCorner);
    const float qy = std::fabs(y - kCentre) - (kTileHalf - kTileCorner);
    const float outside = std::hypot(std::max(qx, 0.0f), std::max(qy, 0.0f));
    return outside + std::min(std::max(qx, qy), 0.0f) - kTileCorner;
}

// The brook: a wave along the segment from the ring's lower right outwards;
// returns the distance to it, and how far along it (0..1) in *along.
float BrookDistance(float x, float y, float* along) {
    constexpr float kFromX = 150.0f, kFromY = 96.0f, kToX = 214.0f, kToY = 40.0f;
    constexpr float kWaves = 1.5f, kAmplitude = 7.0f;
    const float dx = kToX - kFromX, dy = kToY - kFromY;
    const float length = std::hypot(dx, dy);
    const float ux = dx / length, uy = dy / length;
    const float px = x - kFromX, py = y - kFromY;
    const float s = px * ux + py * uy;
    const float t = std::clamp(s / length, 0.0f, 1.0f);
    const float across = -px * uy + py * ux;
    const float wave = kAmplitude * std::sin(6.28318530718f * kWaves * t);
    *along = t;
    return std::hypot(across - wave, s - t * length);
}

// Sparse stars in the tile's upper part, from the same hash every build.
float Stars(float x, float y) {
    const float cell = 18.0f;
    const float cx = std::floor(x / cell), cy = std::floor(y / cell);
    const float jitterX = ValueNoise(cx * 7.31f, cy * 3.17f, 11u);
    const float jitterY = ValueNoise(cx * 5.13f, cy * 9.71f, 23u);
    const float chance = ValueNoise(cx * 2.77f, cy * 4.43f, 37u);
    if (chance < 0.62f) return 0.0f;
    const float sx = (cx + 0.2f + 0.6f * jitterX) * cell, sy = (cy + 0.2f + 0.6f * jitterY) * cell;
    const float r = std::hypot(x - sx, y - sy);
    return std::exp(-r * r / 1.6f) * (chance - 0.55f) * 2.2f;
}

SColor ShadeIcon(float x, float y, float pixel) {
    const float coverage = 1.0f - SmoothStep(-pixel, pixel, TileDistance(x, y));
    if (coverage <= 0.0f) return SColor{};

    // Night sky: deep blue at the top to violet at the bottom, a faint veil.
    const float height = (y - (kCentre - kTileHalf)) / (2.0f * kTileHalf);
    SColor c = Mix(Rgb(0.24f, 0.09f, 0.40f), Rgb(0.03f, 0.04f, 0.16f), Clamp01(height));
    c = Mix(c, Rgb(0.35f, 0.25f, 0.75f), 0.25f * SmoothStep(0.45f, 0.8f, FractalNoise(x / 40.0f, y / 40.0f, 4, 53u)));
    const float star = Stars(x, y) * SmoothStep(0.35f, 0.7f, height);
    c = Mix(c, Rgb(0.9f, 0.95f, 1.0f), Clamp01(star));

    // The ring: white-hot inside through gold to orange at its rim, with a
    // halo of the same light around it.
    const float r = std::hypot(x - kRingX, y - kRingY);
    const float ringDistance = std::fabs(r - kRingRadius);
    const float halo = 0.55f * std::exp(-std::pow(ringDistance / 14.0f, 2.0f));
    c = Mix(c, Rgb(1.0f, 0.55f, 0.18f), Clamp01(halo));
    const float ring = 1.0f - SmoothStep(kRingWidth / 2.0f - pixel, kRingWidth / 2.0f + pixel, ringDistance);
    const float heat = Clamp01((r - (kRingRadius - kRingWidth / 2.0f)) / kRingWidth);
    c = Mix(c, Mix(Rgb(1.0f, 0.95f, 0.78f), Rgb(1.0f, 0.52f, 0.12f), heat), ring);

    // The brook, icy blue, thinning as it runs off.
    float along = 0.0f;
    const float brookDistance = BrookDistance(x, y, &along);
    const float brookWidth = 6.5f - 3.0f * along;
    c = Mix(c, Rgb(0.45f, 0.75f, 1.0f), 0.5f * std::exp(-std::pow(brookDistance / 9.0f, 2.0f)));
    const float brook = 1.0f - SmoothStep(brookWidth - pixel, brookWidth + pixel, brookDistance);
    c = Mix(c, Rgb(0.85f, 0.95f, 1.0f), brook);

    c.a = 1.0f;
    SColor premultiplied = Scale(c, coverage);
    premultiplied.a = coverage;
    return premultiplied;
}

}  // namespace

CImage PaintIcon() {
    CImage image(kIconSize, kIconSize);
    CCanvas canvas(&image, kSize, kSize);
    const float pixel = canvas.Pixel();
    canvas.Shade([pixel](float x, float y, const SColor&) { return ShadeIcon(x, y, pixel); });
    return image;
}
