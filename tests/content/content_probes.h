// Readers for the generated files, independent of the generator's code.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

struct STgaFile {
    int imageType = 0;
    int width = 0;
    int height = 0;
    int depth = 0;
    int descriptor = 0;
    size_t fileSize = 0;
    std::vector<uint8_t> pixels;  // as stored: rows bottom first, B G R (A)

    int BytesPerPixel() const { return depth / 8; }
    // Channel 0 blue, 1 green, 2 red, 3 alpha; row 0 is the first stored.
    int At(int x, int row, int channel) const {
        return pixels[(static_cast<size_t>(row) * static_cast<size_t>(width) + static_cast<size_t>(x)) *
                          static_cast<size_t>(BytesPerPixel()) +
                      static_cast<size_t>(channel)];
    }
};

// Reads an uncompressed true-colour TGA; false with *error set otherwise.
bool ReadTga(const std::string& path, STgaFile* out, std::string* error);

struct SDecodedMp3 {
    long sampleRate = 0;
    int channels = 0;
    double seconds = 0.0;
    size_t fullScaleSamples = 0;  // samples at the 16-bit limits: clipping
    int peak = 0;                 // largest magnitude of any sample
};

// Decodes a whole MP3 file with libmpg123 (gapless, so the length is the
// encoder's input length); false with *error set when it cannot.
bool DecodeMp3(const std::string& path, SDecodedMp3* out, std::string* error);

std::vector<uint8_t> ReadWholeFile(const std::string& path);
