// A floating-point RGBA picture for painting, and the operations the
// pictures are built from (blending, blurring, scaling).
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

struct SColor {
    float r = 0.0f;
    float g = 0.0f;
    float b = 0.0f;
    float a = 0.0f;
};

inline SColor Rgb(float r, float g, float b, float a = 1.0f) { return SColor{r, g, b, a}; }
// Straight mix of every channel, t = 0 gives from, t = 1 gives to.
SColor Mix(const SColor& from, const SColor& to, float t);
SColor Scale(const SColor& c, float factor);  // colour channels only
// Smooth 0 -> 1 step between edge0 and edge1 (either order).
float SmoothStep(float edge0, float edge1, float x);
float Clamp01(float x);

class CImage {
public:
    // Starts transparent black.
    CImage(int width, int height);

    int Width() const { return m_width; }
    int Height() const { return m_height; }
    // Row 0 is the bottom row of the picture: the row a TGA file stores
    // first, and the one the effects draw at the bottom of the screen.
    SColor& At(int x, int y) { return m_pixels[Index(x, y)]; }
    const SColor& At(int x, int y) const { return m_pixels[Index(x, y)]; }

    // Paints the straight colour c over the pixel with the given coverage
    // (c.a is multiplied in). Pixels hold premultiplied colour, so painting
    // on transparent black leaves colour already weighted by coverage.
    void BlendOver(int x, int y, const SColor& c, float coverage);

private:
    size_t Index(int x, int y) const {
        return static_cast<size_t>(y) * static_cast<size_t>(m_width) + static_cast<size_t>(x);
    }

    int m_width;
    int m_height;
    std::vector<SColor> m_pixels;
};

// Gaussian blur of every channel; the edges repeat their outermost pixels.
CImage GaussianBlur(const CImage& source, float sigmaPixels);
// Paints a premultiplied layer over base (same size).
void CompositeOver(CImage* base, const CImage& layer);
// Adds the layer's premultiplied colour, times strength, as light; the
// alpha becomes the larger of the two.
void CompositeAdd(CImage* base, const CImage& layer, float strength);
// 8-bit RGBA bytes, top row first, colour divided by alpha: what PNG files
// hold.
std::vector<uint8_t> ToStraightRgba(const CImage& image);
