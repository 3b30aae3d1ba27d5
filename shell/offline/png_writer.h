// Writes a frame as an 8-bit RGB PNG.
#pragma once

#include <cstdint>
#include <string>

// rgba: width * height pixels, 4 bytes each, rows top first; alpha is
// dropped. False, with the reason in *error, when the file cannot be written.
bool WritePngRgb(const std::string& path, const uint8_t* rgba, int width, int height, std::string* error);
