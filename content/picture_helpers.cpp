#include "content/picture_helpers.h"

void PaintGlowingText(CCanvas* canvas, const std::string& text, float centreX, float baselineY,
                      const STextStyle& style) {
    CImage& image = canvas->Image();
    CImage halo(image.Width(), image.Height());
    CCanvas haloCanvas(&halo, canvas->UnitsWide(), canvas->UnitsHigh());
    const SColor glow = style.glow;
    haloCanvas.Text(
        *style.font, text, centreX, baselineY, style.size, [glow](float, float) { return glow; }, style.tracking);
    CompositeAdd(&image, GaussianBlur(halo, style.glowSigmaPixels), 1.0f);
    canvas->Text(*style.font, text, centreX, baselineY, style.size, style.colour, style.tracking);
}

float FitTextSize(const CCanvas& canvas, const CFont& font, const std::string& text, float maxWidth, float maxSize,
                  float tracking) {
    const float width = canvas.TextWidth(font, text, maxSize, tracking);
    if (width <= maxWidth) return maxSize;
    // Glyph widths grow close to linearly with size; a second step absorbs
    // the hinting's rounding.
    float size = maxSize * maxWidth / width;
    if (canvas.TextWidth(font, text, size, tracking) > maxWidth) size *= 0.97f;
    return size;
}

CImage Brightened(const CImage& image, float factor) {
    CImage result = image;
    for (int y = 0; y < result.Height(); ++y) {
        for (int x = 0; x < result.Width(); ++x) result.At(x, y) = Scale(result.At(x, y), factor);
    }
    return result;
}

std::function<SColor(float x, float y)> VerticalRamp(SColor atBottom, SColor atTop, float bottom, float top) {
    return [=](float, float y) { return Mix(atBottom, atTop, Clamp01((y - bottom) / (top - bottom))); };
}
