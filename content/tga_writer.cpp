#include "content/tga_writer.h"

#include <cmath>
#include <stdexcept>

namespace {

uint8_t ToByte(float value) { return static_cast<uint8_t>(std::lround(Clamp01(value) * 255.0f)); }

void PutLittle16(std::vector<uint8_t>* out, int value) {
    out->push_back(static_cast<uint8_t>(value & 0xFF));
    out->push_back(static_cast<uint8_t>((value >> 8) & 0xFF));
}

}  // namespace

std::vector<uint8_t> EncodeTGA(const CImage& image, int bitsPerPixel) {
    if (bitsPerPixel != 24 && bitsPerPixel != 32) throw std::invalid_argument("TGA depth must be 24 or 32");
    if (image.Width() > 0xFFFF || image.Height() > 0xFFFF) throw std::invalid_argument("picture too large for TGA");

    const size_t bytesPerPixel = static_cast<size_t>(bitsPerPixel / 8);
    std::vector<uint8_t> out;
    out.reserve(18 + static_cast<size_t>(image.Width()) * static_cast<size_t>(image.Height()) * bytesPerPixel);
    out.push_back(0);                              // no image ID
    out.push_back(0);                              // no colour map
    out.push_back(2);                              // uncompressed true colour
    for (int i = 0; i < 5; ++i) out.push_back(0);  // colour-map fields (no colour map)
    PutLittle16(&out, 0);                          // x origin
    PutLittle16(&out, 0);                          // y origin
    PutLittle16(&out, image.Width());
    PutLittle16(&out, image.Height());
    out.push_back(static_cast<uint8_t>(bitsPerPixel));
    // Bottom-left origin; a 32-bit file declares its 8 alpha bits.
    out.push_back(bitsPerPixel == 32 ? 8 : 0);

    for (int y = 0; y < image.Height(); ++y) {
        for (int x = 0; x < image.Width(); ++x) {
            const SColor& c = image.At(x, y);
            out.push_back(ToByte(c.b));
            out.push_back(ToByte(c.g));
            out.push_back(ToByte(c.r));
            if (bitsPerPixel == 32) out.push_back(ToByte(c.a));
        }
    }
    return out;
}
