// TGA files as the tests write them (good and broken) for the loaders to
// read: the bare 18-byte header, and whole pictures in the layouts common
// tools write.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// Width and height are stored as 16-bit little-endian values, so sizes past
// 65535 wrap as they would in a real file. `descriptor` is the last byte:
// alpha bits and the origin flags. `type` 2 is uncompressed true colour.
inline std::string TgaHeader(int width, int height, int depth, uint8_t descriptor = 0, uint8_t type = 2,
                             uint8_t idLength = 0) {
    std::string bytes(18, '\0');
    bytes[0] = static_cast<char>(idLength);
    bytes[2] = static_cast<char>(type);
    bytes[12] = static_cast<char>(width & 0xFF);
    bytes[13] = static_cast<char>((width >> 8) & 0xFF);
    bytes[14] = static_cast<char>(height & 0xFF);
    bytes[15] = static_cast<char>((height >> 8) & 0xFF);
    bytes[16] = static_cast<char>(depth);
    bytes[17] = static_cast<char>(descriptor);
    return bytes;
}

// How a picture is stored. The default is the standard layout: uncompressed,
// bottom row first, left to right, no image ID.
struct STgaLayout {
    bool runLength = false;
    bool topFirst = false;
    bool rightToLeft = false;
    std::string imageId;
};

// `picture` holds the pixels as one sees them, top row first, each depth / 8
// bytes (blue, green, red[, alpha]).
inline std::string TgaFile(int width, int height, int depth, const std::vector<uint8_t>& picture,
                           const STgaLayout& layout = STgaLayout()) {
    const uint8_t descriptor = static_cast<uint8_t>((layout.topFirst ? 0x20 : 0) | (layout.rightToLeft ? 0x10 : 0));
    std::string bytes = TgaHeader(width, height, depth, descriptor, layout.runLength ? 10 : 2,
                                  static_cast<uint8_t>(layout.imageId.size()));
    bytes += layout.imageId;
    const size_t pixelBytes = static_cast<size_t>(depth / 8);
    auto pixel = [&](int row, int column) {
        const int y = layout.topFirst ? row : height - 1 - row;
        const int x = layout.rightToLeft ? width - 1 - column : column;
        const size_t at = (static_cast<size_t>(y) * width + x) * pixelBytes;
        return std::string(picture.begin() + at, picture.begin() + at + pixelBytes);
    };
    for (int row = 0; row < height; ++row) {
        if (!layout.runLength) {
            for (int column = 0; column < width; ++column) bytes += pixel(row, column);
            continue;
        }
        // Packets within a row, as the format asks: runs of equal pixels as
        // one repeated pixel, everything else as raw packets.
        for (int column = 0; column < width;) {
            int run = 1;
            while (column + run < width && run < 128 && pixel(row, column + run) == pixel(row, column)) ++run;
            if (run > 1) {
                bytes += static_cast<char>(0x80 | (run - 1));
                bytes += pixel(row, column);
                column += run;
                continue;
            }
            int raw = 1;
            while (column + raw < width && raw < 128 &&
                   !(column + raw + 1 < width && pixel(row, column + raw) == pixel(row, column + raw + 1)))
                ++raw;
            bytes += static_cast<char>(raw - 1);
            for (int k = 0; k < raw; ++k) bytes += pixel(row, column + k);
            column += raw;
        }
    }
    return bytes;
}
