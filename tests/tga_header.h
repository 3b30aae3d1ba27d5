// The 18-byte header of an uncompressed true-colour TGA, as the tests write
// pictures (good and broken) for the loaders to read.
#pragma once

#include <cstdint>
#include <string>

// Width and height are stored as 16-bit little-endian values, so sizes past
// 65535 wrap as they would in a real file. `descriptor` is the last byte:
// alpha bits and the origin flag.
inline std::string TgaHeader(int width, int height, int depth, uint8_t descriptor = 0) {
    std::string bytes(18, '\0');
    bytes[2] = 2;  // uncompressed true colour
    bytes[12] = static_cast<char>(width & 0xFF);
    bytes[13] = static_cast<char>((width >> 8) & 0xFF);
    bytes[14] = static_cast<char>(height & 0xFF);
    bytes[15] = static_cast<char>((height >> 8) & 0xFF);
    bytes[16] = static_cast<char>(depth);
    bytes[17] = static_cast<char>(descriptor);
    return bytes;
}
