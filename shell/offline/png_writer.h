// Writes a frame as an 8-bit RGB PNG.
#pragma once

#include <cstdint>
#include <string>

// bgra: width * height pixels, 4 bytes each (blue, green, red, alpha), rows
// top first; alpha is dropped. False, with the reason in *error, when the
// file cannot be written.
bool WritePngRgb(const std::string& path, const uint8_t* bgra, int width, int height, std::string* error);
