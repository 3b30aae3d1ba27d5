// The TGA reader on files of any size up to 2^33 bytes: the input's first 8
// bytes are the file's size (little-endian, cut to 33 bits), the rest its
// first bytes, after which the file is a pattern made only where it is read.
// Whatever the header says, a refused picture costs its header and nothing
// more, a shown one no more than its pixels can use, and the picture read is
// the one the same bytes decode to.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "resources/tga_reader.h"
#include "tests/pattern_file.h"

namespace {

// The largest picture shown, at 4 bytes a pixel and one more for its packet,
// after the largest image ID and colour map.
constexpr uint64_t kMostBytesRead = 18 + 255 + 65535ull * 4 + 8192ull * 8192 * 5;
// Beyond this the bytes read are not decoded a second time to compare.
constexpr uint64_t kComparedBytes = 1 << 20;

void Require(bool holds) {
    if (!holds) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 8) return 0;
    uint64_t fileSize = 0;
    for (int k = 7; k >= 0; --k) fileSize = (fileSize << 8) | data[k];
    fileSize &= (uint64_t{1} << 33) - 1;
    CPatternFile file(std::string(reinterpret_cast<const char*>(data) + 8, size - 8), fileSize);

    STgaImage image;
    uint64_t told = 0;
    const ETgaStatus status = ReadTga(&file, &image, &told);
    Require(told == fileSize);
    switch (status) {
        case ETgaStatus::kTooShort:
            Require(file.BytesRead() == 0);
            return 0;
        case ETgaStatus::kUnsupported:
        case ETgaStatus::kBadSize:
            Require(file.BytesRead() == kTgaHeaderBytes && image.pixels.empty());
            return 0;
        case ETgaStatus::kOk:
        case ETgaStatus::kCutShort:
        case ETgaStatus::kNoMemory:
            break;
    }
    Require(file.BytesRead() <= kMostBytesRead);
    if (file.BytesRead() > kComparedBytes || status == ETgaStatus::kNoMemory) return 0;
    std::string read(file.BytesRead(), '\0');
    for (uint64_t at = 0; at < file.BytesRead(); ++at) read[at] = static_cast<char>(file.At(at));
    STgaImage decoded;
    const ETgaStatus again = DecodeTga(reinterpret_cast<const uint8_t*>(read.data()), read.size(), &decoded);
    Require(again == status && decoded.pixels == image.pixels && decoded.width == image.width &&
            decoded.height == image.height);
    return 0;
}
