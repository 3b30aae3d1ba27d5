// Writes 8-bit PNG files: the frames of a capture and the program's icon.
#pragma once

#include <cstdint>
#include <string>

// rgba: width * height pixels, 4 bytes each, rows top first. False, with the
// reason in *error, when the file cannot be written.

// Frames are opaque: alpha is dropped.
bool WritePngRgb(const std::string& path, const uint8_t* rgba, int width, int height, std::string* error);
// Alpha is kept, straight (not premultiplied) as PNG defines it.
bool WritePngRgba(const std::string& path, const uint8_t* rgba, int width, int height, std::string* error);
