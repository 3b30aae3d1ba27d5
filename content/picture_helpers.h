// Steps several pictures share: glowing text and brightness changes.
#pragma once

#include <functional>
#include <string>

#include "content/canvas.h"

struct STextStyle {
    const CFont* font;
    float size;      // em height in canvas units
    float tracking;  // extra units between letters
    std::function<SColor(float x, float y)> colour;
    SColor glow;  // colour of the halo around the letters
    float glowSigmaPixels;
};

// Paints text with a blurred halo under it onto the canvas's picture.
void PaintGlowingText(CCanvas* canvas, const std::string& text, float centreX, float baselineY,
                      const STextStyle& style);
// The largest size up to maxSize at which the text fits in maxWidth units.
float FitTextSize(const CCanvas& canvas, const CFont& font, const std::string& text, float maxWidth, float maxSize,
                  float tracking);
// A copy with colour channels scaled.
CImage Brightened(const CImage& image, float factor);
// A vertical colour ramp between two colours across [bottom, top].
std::function<SColor(float x, float y)> VerticalRamp(SColor atBottom, SColor atTop, float bottom, float top);
