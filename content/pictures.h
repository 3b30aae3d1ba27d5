// Every picture the effects load, painted from code.
#pragma once

#include <string>
#include <vector>

#include "content/image.h"
#include "content/text_renderer.h"

struct SPicture {
    std::string path;  // relative to the directory the demo runs in
    int bitsPerPixel;  // 24, or 32 where the effect's blending reads alpha
    CImage image;
};

struct SFonts {
    const CFont* sans;
    const CFont* sansBold;
    const CFont* serif;
};

// The title sequence: captions with their blurred twins, the snowy
// background with its blurred twin, and the circle.
void PaintTitlePictures(const SFonts& fonts, std::vector<SPicture>* out);
// The credits added over the pixel board.
void PaintCreditPictures(const SFonts& fonts, std::vector<SPicture>* out);
// Sprites, sheets and gradients: particle glow, faint background, bezier
// sheet, flare gradient and outline frames, zoom-blur spinner.
void PaintGlowPictures(std::vector<SPicture>* out);
// The five nested frames of the old zoom.
void PaintFramePictures(std::vector<SPicture>* out);

// All of them, in a fixed order.
std::vector<SPicture> PaintAllPictures(const SFonts& fonts);
