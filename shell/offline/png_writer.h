// Writes a frame as an 8-bit RGB PNG.
#pragma once

#include <cstdint>
#include <string>

// rgba: width * height pixels, 4 bytes each, rows top first; alpha is
// dropped. The file appears under `path` only whole and on disk. False,
// with the system's reason in *error, when it cannot be written; nothing
// is then left under `path`.
bool WritePngRgb(const std::string& path, const uint8_t* rgba, int width, int height, std::string* error);
