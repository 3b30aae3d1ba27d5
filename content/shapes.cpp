#include "content/shapes.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr float kPi = 3.14159265358979f;

// Integer hash to 0..1: noise must not depend on a generator's call order.
float Hash(int32_t x, int32_t y, uint32_t seed) {
    uint32_t h = static_cast<uint32_t>(x) * 0x8DA6B343u ^ static_cast<uint32_t>(y) * 0xD8163841u ^ seed * 0xCB1AB31Fu;
    h ^= h >> 13;
    h *= 0x5BD1E995u;
    h ^= h >> 15;
    return static_cast<float>(h & 0xFFFFFFu) / 16777215.0f;
}

}  // namespace

float SegmentDistance(float px, float py, float ax, float ay, float bx, float by) {
    const float dx = bx - ax;
    const float dy = by - ay;
    const float lengthSq = dx * dx + dy * dy;
    const float t = lengthSq > 0.0f ? std::clamp(((px - ax) * dx + (py - ay) * dy) / lengthSq, 0.0f, 1.0f) : 0.0f;
    const float ex = px - (ax + t * dx);
    const float ey = py - (ay + t * dy);
    return std::sqrt(ex * ex + ey * ey);
}

float SnowflakeDistance(float px, float py, float radius) {
    // Fold the plane into one 30-degree wedge: six arms, each mirrored.
    const float r = std::sqrt(px * px + py * py);
    float angle = std::atan2(py, px);
    const float sector = kPi / 3.0f;
    angle = std::fmod(angle + 2.0f * kPi, sector);
    if (angle > sector * 0.5f) angle = sector - angle;
    const float x = r * std::cos(angle);
    const float y = r * std::sin(angle);

    float d = SegmentDistance(x, y, 0.0f, 0.0f, radius, 0.0f);
    // Side branches leave the arm at 60 degrees, shorter toward the tip.
    const float branchAt[3] = {0.35f, 0.58f, 0.78f};
    const float branchLength[3] = {0.30f, 0.24f, 0.14f};
    const float c60 = 0.5f;
    const float s60 = 0.8660254f;
    for (int i = 0; i < 3; ++i) {
        const float bx = radius * branchAt[i];
        const float length = radius * branchLength[i];
        d = std::min(d, SegmentDistance(x, y, bx, 0.0f, bx + length * c60, length * s60));
    }
    // A small hexagon ring around the centre.
    const float hexRadius = radius * 0.16f;
    d = std::min(d, SegmentDistance(x, y, hexRadius, 0.0f, hexRadius * c60, hexRadius * s60));
    return d;
}

float ValueNoise(float x, float y, uint32_t seed) {
    const float fx = std::floor(x);
    const float fy = std::floor(y);
    const int32_t ix = static_cast<int32_t>(fx);
    const int32_t iy = static_cast<int32_t>(fy);
    float tx = x - fx;
    float ty = y - fy;
    tx = tx * tx * (3.0f - 2.0f * tx);
    ty = ty * ty * (3.0f - 2.0f * ty);
    const float a = Hash(ix, iy, seed);
    const float b = Hash(ix + 1, iy, seed);
    const float c = Hash(ix, iy + 1, seed);
    const float d = Hash(ix + 1, iy + 1, seed);
    return (a + (b - a) * tx) + ((c + (d - c) * tx) - (a + (b - a) * tx)) * ty;
}

float FractalNoise(float x, float y, int octaves, uint32_t seed) {
    float sum = 0.0f;
    float weight = 0.5f;
    float total = 0.0f;
    for (int i = 0; i < octaves; ++i) {
        sum += ValueNoise(x, y, seed + static_cast<uint32_t>(i)) * weight;
        total += weight;
        x *= 2.0f;
        y *= 2.0f;
        weight *= 0.5f;
    }
    return sum / total;
}
