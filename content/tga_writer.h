// Uncompressed true-colour TGA files, the only picture format the demo reads.
#pragma once

#include <cstdint>
#include <vector>

#include "content/image.h"

// bitsPerPixel is 24 (blue, green, red) or 32 (blue, green, red, alpha).
// Rows are stored bottom row first (descriptor origin bits 0), as ordinary
// TGA files are, so a viewer shows the picture upright. Channels are
// written as painted, clamped to 0..1 and rounded to bytes: what the
// effects do with alpha differs per picture, so nothing is un-premultiplied.
std::vector<uint8_t> EncodeTGA(const CImage& image, int bitsPerPixel);
