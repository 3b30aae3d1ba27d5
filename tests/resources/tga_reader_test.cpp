// Reading TGA pictures from files of any size: a header that refuses the
// picture is all that is read, and no more is read than the picture can use.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "resources/tga_reader.h"
#include "tests/pattern_file.h"
#include "tests/tga_file.h"

namespace {

constexpr uint64_t kFourGigabytes = uint64_t{1} << 32;

// Every size the 16-bit fields can state, in files past 4 GiB: the refused
// ones cost the 18 header bytes and nothing is allocated for them.
TEST(TgaReader, ARefusedHeaderIsAllThatIsRead) {
    for (const int width : {0, 1, 3, 8192, 8193, 16384, 65535}) {
        for (const int height : {0, 2, 8193, 16384, 65535}) {
            for (const int depth : {0, 8, 16, 24, 32}) {
                for (const uint8_t type : {1, 2, 3, 10, 11}) {
                    const bool shown = width >= 1 && width <= 8192 && height >= 1 && height <= 8192 &&
                                       (depth == 24 || depth == 32) && (type == 2 || type == 10);
                    // Large pictures that are shown are read in the next test.
                    if (shown && static_cast<uint64_t>(width) * height > 64) continue;
                    CPatternFile file(TgaHeader(width, height, depth, 0, type), kFourGigabytes + 18);
                    STgaImage image;
                    uint64_t size = 0;
                    const ETgaStatus status = ReadTga(&file, &image, &size);
                    const std::string what = std::to_string(width) + " x " + std::to_string(height) + " at " +
                                             std::to_string(depth) + ", type " + std::to_string(type);
                    EXPECT_EQ(size, kFourGigabytes + 18) << what;
                    EXPECT_EQ(image.width, width) << what;
                    EXPECT_EQ(image.height, height) << what;
                    if (shown) {
                        EXPECT_EQ(status, ETgaStatus::kOk) << what;
                        EXPECT_LE(file.BytesRead(), 18u + 64u * 5u) << what;
                    } else {
                        EXPECT_TRUE(status == ETgaStatus::kUnsupported || status == ETgaStatus::kBadSize) << what;
                        EXPECT_EQ(file.BytesRead(), 18u) << what;
                        EXPECT_TRUE(image.pixels.empty()) << what;
                    }
                }
            }
        }
    }
}

// A picture in a file far longer than it is the same picture as in a file of
// just its bytes, and no more of the file is read than that picture can use.
TEST(TgaReader, AShownPictureReadsOnlyWhatItCanUse) {
    struct SCase {
        const char* what;
        std::string header;
    };
    std::vector<SCase> cases = {{"uncompressed 24-bit", TgaHeader(300, 200, 24)},
                                {"uncompressed 32-bit, top first", TgaHeader(8192, 3, 32, 0x20)},
                                {"run-length 24-bit", TgaHeader(300, 200, 24, 0, 10)},
                                {"run-length 32-bit, right to left", TgaHeader(17, 8192, 32, 0x10, 10)},
                                {"with an image ID", TgaHeader(64, 64, 32, 0, 2, 255)}};
    std::string mapped = TgaHeader(64, 64, 24);
    mapped[1] = 1;                    // a colour map the true-colour pixels do not use
    mapped[5] = static_cast<char>(0x34);
    mapped[6] = static_cast<char>(0x12);
    mapped[7] = 24;
    cases.push_back({"with a colour map", mapped});

    for (const SCase& test : cases) {
        const CPatternFile picture(test.header, 1u << 22);
        const std::string bytes = picture.Bytes();
        STgaImage expected;
        const ETgaStatus expectedStatus =
            DecodeTga(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), &expected);

        CPatternFile file(test.header, kFourGigabytes + 12345);
        STgaImage image;
        uint64_t size = 0;
        EXPECT_EQ(ReadTga(&file, &image, &size), expectedStatus) << test.what;
        EXPECT_EQ(image.pixels, expected.pixels) << test.what;
        const uint64_t pixels = static_cast<uint64_t>(image.width) * static_cast<uint64_t>(image.height);
        EXPECT_LE(file.BytesRead(), 18u + 255u + 0x1234u * 3u + pixels * 5u) << test.what;
    }

    // A file shorter than its picture is read whole and said to be cut.
    const std::string header = TgaHeader(100, 100, 24);
    CPatternFile cut(header, 18 + 1000);
    STgaImage image;
    uint64_t size = 0;
    EXPECT_EQ(ReadTga(&cut, &image, &size), ETgaStatus::kCutShort);
    EXPECT_EQ(image.have, 1018u);
    EXPECT_EQ(image.needed, 18u + 100u * 100u * 3u);
    CPatternFile tiny(header.substr(0, 10), 10);
    EXPECT_EQ(ReadTga(&tiny, &image, &size), ETgaStatus::kTooShort);
    EXPECT_EQ(size, 10u);
}

}  // namespace
