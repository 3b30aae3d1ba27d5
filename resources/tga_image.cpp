#include "resources/tga_image.h"

#include <algorithm>
#include <new>
#include <utility>

namespace {

// Image types: colour-mapped, true colour and grey, each also run-length
// encoded (+8). Only true colour is shown.
constexpr uint8_t kRunLengthTrueColour = 10;
constexpr uint8_t kColourMapped = 1;
constexpr uint8_t kGrey = 3;
constexpr uint8_t kRunLengthFlag = 8;

// Image descriptor bits: where the first stored pixel lies.
constexpr uint8_t kRightToLeft = 0x10;
constexpr uint8_t kTopOrigin = 0x20;

bool ShownType(uint8_t type) {
    const uint8_t base = type & static_cast<uint8_t>(~kRunLengthFlag);
    return base != kColourMapped && base != kGrey;
}

// Copies one file pixel; a 24-bit one gets alpha 0.
void PutPixel(const uint8_t* from, size_t bytesPerPixel, uint8_t* to) {
    to[0] = from[0];
    to[1] = from[1];
    to[2] = from[2];
    to[3] = bytesPerPixel == 4 ? from[3] : 0;
}

// Stored pixels one after another. A last partial pixel keeps the bytes it
// has, as a plain read into the zeroed buffer would.
void DecodeRaw(const uint8_t* data, size_t size, size_t bytesPerPixel, STgaImage* image) {
    const size_t count = image->pixels.size() / 4;
    const size_t whole = std::min(count, size / bytesPerPixel);
    for (size_t k = 0; k < whole; ++k) PutPixel(data + k * bytesPerPixel, bytesPerPixel, &image->pixels[4 * k]);
    if (whole < count) {
        for (size_t b = 0; b < size % bytesPerPixel; ++b) image->pixels[4 * whole + b] = data[whole * bytesPerPixel + b];
    }
    image->needed = count * bytesPerPixel;
}

// Packets of a count byte (low 7 bits + 1 pixels) followed by one pixel to
// repeat (top bit set) or by that many pixels. Returns the pixels decoded;
// a packet reaching past the last pixel is cut there.
size_t DecodeRunLength(const uint8_t* data, size_t size, size_t bytesPerPixel, STgaImage* image) {
    const size_t count = image->pixels.size() / 4;
    size_t done = 0;
    size_t at = 0;
    while (done < count && at < size) {
        const uint8_t packet = data[at++];
        const size_t length = std::min<size_t>((packet & 0x7F) + 1u, count - done);
        if (packet & 0x80) {
            if (size - at < bytesPerPixel) break;
            for (size_t k = 0; k < length; ++k) PutPixel(data + at, bytesPerPixel, &image->pixels[4 * (done + k)]);
            at += bytesPerPixel;
            done += length;
        } else {
            const size_t stored = std::min(length, (size - at) / bytesPerPixel);
            for (size_t k = 0; k < stored; ++k)
                PutPixel(data + at + k * bytesPerPixel, bytesPerPixel, &image->pixels[4 * (done + k)]);
            at += stored * bytesPerPixel;
            done += stored;
            if (stored < length) break;
        }
    }
    return done;
}

void SwapPixels(uint8_t* a, uint8_t* b) { std::swap_ranges(a, a + 4, b); }

// Puts the pixels in the order of a bottom-left file of the same picture.
void ToBottomLeft(uint8_t descriptor, STgaImage* image) {
    const size_t width = static_cast<size_t>(image->width);
    const size_t height = static_cast<size_t>(image->height);
    const size_t rowBytes = width * 4;
    uint8_t* pixels = image->pixels.data();
    if (descriptor & kTopOrigin) {
        for (size_t row = 0; row < height / 2; ++row)
            std::swap_ranges(pixels + row * rowBytes, pixels + (row + 1) * rowBytes,
                             pixels + (height - 1 - row) * rowBytes);
    }
    if (descriptor & kRightToLeft) {
        for (size_t row = 0; row < height; ++row) {
            uint8_t* first = pixels + row * rowBytes;
            for (size_t x = 0; x < width / 2; ++x) SwapPixels(first + 4 * x, first + 4 * (width - 1 - x));
        }
    }
}

// The image ID and a colour map that a true-colour file may carry come
// before the pixels; neither is used.
size_t PixelDataOffset(const uint8_t* header) {
    const size_t idLength = header[0];
    const size_t mapEntries = header[5] + 256u * header[6];
    const size_t mapEntryBytes = (header[7] + 7u) / 8u;
    return kTgaHeaderBytes + idLength + (header[1] == 1 ? mapEntries * mapEntryBytes : 0);
}

}  // namespace

ETgaStatus CheckTgaHeader(const uint8_t* header, STgaImage* image, uint64_t* usefulBytes) {
    image->width = header[12] + 256 * header[13];
    image->height = header[14] + 256 * header[15];
    image->depth = header[16];
    image->runLength = header[2] == kRunLengthTrueColour;
    if ((image->depth != 24 && image->depth != 32) || !ShownType(header[2])) return ETgaStatus::kUnsupported;
    if (image->width <= 0 || image->height <= 0 || image->width > kMaxTgaSize || image->height > kMaxTgaSize)
        return ETgaStatus::kBadSize;
    const uint64_t count = static_cast<uint64_t>(image->width) * static_cast<uint64_t>(image->height);
    const uint64_t bytesPerPixel = static_cast<uint64_t>(image->depth / 8);
    // At worst a run-length file spends a packet byte on every pixel.
    *usefulBytes = PixelDataOffset(header) + count * (bytesPerPixel + (image->runLength ? 1 : 0));
    return ETgaStatus::kOk;
}

ETgaStatus DecodeTga(const uint8_t* bytes, size_t size, STgaImage* image) {
    if (size < kTgaHeaderBytes) return ETgaStatus::kTooShort;
    uint64_t useful = 0;
    const ETgaStatus header = CheckTgaHeader(bytes, image, &useful);
    if (header != ETgaStatus::kOk) return header;
    const uint8_t descriptor = bytes[17];

    const size_t count = static_cast<size_t>(image->width) * static_cast<size_t>(image->height);
    try {
        image->pixels.assign(count * 4, 0);
    } catch (const std::bad_alloc&) {
        return ETgaStatus::kNoMemory;
    }
    const size_t skipped = PixelDataOffset(bytes);
    const size_t dataSize = size > skipped ? size - skipped : 0;
    const uint8_t* data = bytes + std::min(skipped, size);
    const size_t bytesPerPixel = static_cast<size_t>(image->depth / 8);

    bool complete = false;
    if (image->runLength) {
        image->have = DecodeRunLength(data, dataSize, bytesPerPixel, image);
        image->needed = count;
        complete = image->have == count;
    } else {
        // Type 2, and anything else not refused above, is read as
        // uncompressed true colour, as it always was.
        DecodeRaw(data, dataSize, bytesPerPixel, image);
        image->have = size;
        image->needed += skipped;
        complete = size >= image->needed;
    }
    ToBottomLeft(descriptor, image);
    return complete ? ETgaStatus::kOk : ETgaStatus::kCutShort;
}
