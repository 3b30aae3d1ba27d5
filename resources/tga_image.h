// TGA pictures decoded from their bytes: uncompressed or run-length encoded
// true colour at 24 or 32 bits, any origin, with or without an image ID.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

enum class ETgaStatus {
    kOk,
    kTooShort,          // not even the 18-byte header
    kUnsupported,       // another depth, colour-mapped or grey
    kBadSize,           // 0 or more than kMaxTgaSize pixels a side
    kCutShort,          // decoded, but the file ends before its last pixel
    kNoMemory,
};

constexpr int kTgaHeaderBytes = 18;
constexpr int kMaxTgaSize = 8192;

struct STgaImage {
    int width = 0;
    int height = 0;
    int depth = 0;
    bool runLength = false;
    // width * height pixels of blue, green, red, alpha (0 for 24-bit files),
    // rows in the order a bottom-left file stores them: its first row first.
    // Pixels the file does not hold are zero.
    std::vector<uint8_t> pixels;
    // For kCutShort: what the file holds against what it should, in bytes
    // for an uncompressed file and in pixels for a run-length encoded one.
    size_t have = 0;
    size_t needed = 0;
};

// The header alone (kTgaHeaderBytes): sets width, height, depth and
// runLength, and says whether the picture can be shown at all. For kOk,
// *usefulBytes is the most bytes from the file's start that decoding can
// use, so a reader need take no more.
ETgaStatus CheckTgaHeader(const uint8_t* header, STgaImage* image, uint64_t* usefulBytes);

// Fills *image as far as the bytes allow; width, height and depth are set
// from the header whenever it is there.
ETgaStatus DecodeTga(const uint8_t* bytes, size_t size, STgaImage* image);
