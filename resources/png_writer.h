// Writes 8-bit PNG files: the frames of a capture and the program's icon.
#pragma once

#include <cstdint>
#include <string>

// Both take width * height pixels, 4 bytes each, rows top first. The file
// appears under `path` only whole and on disk. False, with the system's
// reason in *error, when it cannot be written; nothing is then left under
// `path`.

// Frames are opaque: from blue, green, red, alpha bytes (the device's
// order), alpha dropped.
bool WritePngRgb(const std::string& path, const uint8_t* bgra, int width, int height, std::string* error);
// From red, green, blue, alpha bytes; alpha kept, straight (not
// premultiplied) as PNG defines it.
bool WritePngRgba(const std::string& path, const uint8_t* rgba, int width, int height, std::string* error);
