// qb_fuzz_seeds DIR: writes the small valid files the fuzzers start from,
// one folder per fuzzer: DIR/timeline, DIR/tga and DIR/flare.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "tests/tga_file.h"

namespace {

void Write(const std::filesystem::path& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out) {
        std::fprintf(stderr, "qb_fuzz_seeds: cannot write %s\n", path.string().c_str());
        std::exit(1);
    }
}

// An uncompressed true-colour TGA whose pixel bytes run through a pattern.
std::string Tga(int width, int height, int depth) {
    std::string bytes = TgaHeader(width, height, depth);
    const int count = width * height * depth / 8;
    for (int k = 0; k < count; ++k) bytes.push_back(static_cast<char>((k * 37) & 0xFF));
    return bytes;
}

std::string Lines(const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& line : lines) text += line + "\r\n";
    return text;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: qb_fuzz_seeds DIR\n");
        return 2;
    }
    const std::filesystem::path dir = argv[1];
    for (const char* area : {"timeline", "tga", "tga_header", "flare"}) std::filesystem::create_directories(dir / area);

    Write(dir / "timeline/scene.txt",
          Lines({"# frame", "e 0 s i0 sbeginScene", "e 0 s i1 sclearScreen", "e 0 s i9 sendScene",
                 "e 0 s i3 sfade", "l 100 f i3 i1 f0.5", "e 200 p sfade", "l 300 h i3", "l 400 s i3",
                 "F 500", "%"}));
    Write(dir / "timeline/layers.txt",
          Lines({"e 0 s i0x10 scube1", "l 10 f i16 i2 f-1e9", "g 20 x i7", "e 30 p sflare", "l 40 h i511"}) + "%");
    Write(dir / "tga/rgb_2x2.tga", Tga(2, 2, 24));
    Write(dir / "tga/argb_3x2.tga", Tga(3, 2, 32));
    // Run-length encoded, top-left, with an image ID: the other decoding roads.
    const std::vector<uint8_t> picture = {1, 2, 3, 4, 1, 2, 3, 4, 9, 8, 7, 6, 5, 5, 5, 5, 6, 6, 6, 6, 7, 7, 7, 7};
    Write(dir / "tga/rle_top_3x2.tga", TgaFile(3, 2, 32, picture, {true, true, false, "seed"}));
    // The size of the file, then its first bytes: a picture in a file past
    // 4 GiB, a header refused at 2^32 pixels, one cut short.
    const auto sized = [](uint64_t size, const std::string& start) {
        std::string bytes;
        for (int k = 0; k < 8; ++k) bytes.push_back(static_cast<char>((size >> (8 * k)) & 0xFF));
        return bytes + start;
    };
    Write(dir / "tga_header/sparse_4gib.bin", sized((uint64_t{1} << 32) + 18, Tga(3, 2, 32)));
    Write(dir / "tga_header/huge_header.bin", sized(uint64_t{1} << 32, TgaHeader(65535, 65535, 32)));
    Write(dir / "tga_header/rle_cut.bin", sized(40, TgaFile(3, 2, 32, picture, {true, true, false, "seed"})));
    Write(dir / "flare/profile_24.tga", Tga(256, 2, 24));
    Write(dir / "flare/profile_32.tga", Tga(256, 1, 32));
    return 0;
}
