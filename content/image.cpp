#include "content/image.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>

SColor Mix(const SColor& from, const SColor& to, float t) {
    return SColor{from.r + (to.r - from.r) * t, from.g + (to.g - from.g) * t, from.b + (to.b - from.b) * t,
                  from.a + (to.a - from.a) * t};
}

SColor Scale(const SColor& c, float factor) { return SColor{c.r * factor, c.g * factor, c.b * factor, c.a}; }

float Clamp01(float x) { return x < 0.0f ? 0.0f : (x > 1.0f ? 1.0f : x); }

float SmoothStep(float edge0, float edge1, float x) {
    const float t = Clamp01((x - edge0) / (edge1 - edge0));
    return t * t * (3.0f - 2.0f * t);
}

CImage::CImage(int width, int height) : m_width(width), m_height(height) {
    if (width <= 0 || height <= 0) throw std::invalid_argument("picture size must be positive");
    m_pixels.resize(static_cast<size_t>(width) * static_cast<size_t>(height));
}

void CImage::BlendOver(int x, int y, const SColor& c, float coverage) {
    SColor& d = At(x, y);
    const float a = Clamp01(c.a * coverage);
    d.r += (c.r - d.r) * a;
    d.g += (c.g - d.g) * a;
    d.b += (c.b - d.b) * a;
    d.a = a + d.a * (1.0f - a);
}

namespace {

std::vector<float> GaussianKernel(float sigma) {
    const int radius = std::max(1, static_cast<int>(std::ceil(sigma * 3.0f)));
    std::vector<float> kernel(static_cast<size_t>(2 * radius + 1));
    float sum = 0.0f;
    for (int i = -radius; i <= radius; ++i) {
        const float w = std::exp(-0.5f * static_cast<float>(i * i) / (sigma * sigma));
        kernel[static_cast<size_t>(i + radius)] = w;
        sum += w;
    }
    for (float& w : kernel) w /= sum;
    return kernel;
}

// One pass along x (horizontal) or y, reading source and writing target.
void BlurPass(const CImage& source, CImage* target, const std::vector<float>& kernel, bool horizontal) {
    const int radius = static_cast<int>(kernel.size() / 2);
    const int w = source.Width();
    const int h = source.Height();
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            SColor sum;
            for (int k = -radius; k <= radius; ++k) {
                const int sx = horizontal ? std::clamp(x + k, 0, w - 1) : x;
                const int sy = horizontal ? y : std::clamp(y + k, 0, h - 1);
                const SColor& s = source.At(sx, sy);
                const float weight = kernel[static_cast<size_t>(k + radius)];
                sum.r += s.r * weight;
                sum.g += s.g * weight;
                sum.b += s.b * weight;
                sum.a += s.a * weight;
            }
            target->At(x, y) = sum;
        }
    }
}

}  // namespace

CImage GaussianBlur(const CImage& source, float sigmaPixels) {
    if (!(sigmaPixels > 0.0f)) return source;
    const std::vector<float> kernel = GaussianKernel(sigmaPixels);
    CImage across(source.Width(), source.Height());
    BlurPass(source, &across, kernel, true);
    CImage result(source.Width(), source.Height());
    BlurPass(across, &result, kernel, false);
    return result;
}

namespace {

void CheckSameSize(const CImage& base, const CImage& layer) {
    if (base.Width() != layer.Width() || base.Height() != layer.Height()) {
        throw std::invalid_argument("layer size differs from the picture");
    }
}

}  // namespace

void CompositeOver(CImage* base, const CImage& layer) {
    CheckSameSize(*base, layer);
    for (int y = 0; y < layer.Height(); ++y) {
        for (int x = 0; x < layer.Width(); ++x) {
            const SColor& l = layer.At(x, y);
            SColor& d = base->At(x, y);
            const float keep = 1.0f - Clamp01(l.a);
            d = SColor{l.r + d.r * keep, l.g + d.g * keep, l.b + d.b * keep, l.a + d.a * keep};
        }
    }
}

void CompositeAdd(CImage* base, const CImage& layer, float strength) {
    CheckSameSize(*base, layer);
    for (int y = 0; y < layer.Height(); ++y) {
        for (int x = 0; x < layer.Width(); ++x) {
            const SColor& l = layer.At(x, y);
            SColor& d = base->At(x, y);
            d.r += l.r * strength;
            d.g += l.g * strength;
            d.b += l.b * strength;
            d.a = std::max(d.a, Clamp01(l.a * strength));
        }
    }
}

std::vector<uint8_t> ToStraightRgba(const CImage& image) {
    const auto toByte = [](float value) { return static_cast<uint8_t>(std::lround(Clamp01(value) * 255.0f)); };
    std::vector<uint8_t> out;
    out.reserve(static_cast<size_t>(image.Width()) * static_cast<size_t>(image.Height()) * 4);
    for (int y = image.Height() - 1; y >= 0; --y) {
        for (int x = 0; x < image.Width(); ++x) {
            const SColor& c = image.At(x, y);
            const float unweight = c.a > 0.0f ? 1.0f / c.a : 0.0f;
            out.push_back(toByte(c.r * unweight));
            out.push_back(toByte(c.g * unweight));
            out.push_back(toByte(c.b * unweight));
            out.push_back(toByte(c.a));
        }
    }
    return out;
}
