#include "resources/png_writer.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "resources/output_file.h"
#include "tests/png_file.h"
#include "tests/shell/test_files.h"

namespace {

constexpr int kWidth = 5;
constexpr int kHeight = 3;

// Every byte different, so a swapped channel or row shows.
std::vector<uint8_t> Pattern() {
    std::vector<uint8_t> rgba(kWidth * kHeight * 4);
    for (size_t i = 0; i < rgba.size(); ++i) rgba[i] = static_cast<uint8_t>(i * 13);
    return rgba;
}

// Frames come in the device's blue, green, red, alpha order.
TEST(PngWriter, WritesRgbRowsTopFirstAndDropsAlpha) {
    CTempDir dir;
    const std::vector<uint8_t> bgra = Pattern();
    std::string error;
    ASSERT_TRUE(WritePngRgb(dir / "frame.png", bgra.data(), kWidth, kHeight, &error)) << error;

    SRgbImage image;
    bool rgb8 = false;
    ASSERT_TRUE(ReadRgbPng(dir / "frame.png", &image, &rgb8));
    EXPECT_TRUE(rgb8);
    EXPECT_EQ(image.width, kWidth);
    EXPECT_EQ(image.height, kHeight);
    for (int pixel = 0; pixel < kWidth * kHeight; ++pixel) {
        for (int c = 0; c < 3; ++c) EXPECT_EQ(image.rgb[pixel * 3 + c], bgra[pixel * 4 + 2 - c]) << pixel;
    }
}

TEST(PngWriter, KeepsAlphaWhenAskedTo) {
    CTempDir dir;
    const std::vector<uint8_t> rgba = Pattern();
    std::string error;
    ASSERT_TRUE(WritePngRgba(dir / "icon.png", rgba.data(), kWidth, kHeight, &error)) << error;

    SRgbaImage image;
    bool rgba8 = false;
    ASSERT_TRUE(ReadRgbaPng(dir / "icon.png", &image, &rgba8));
    EXPECT_TRUE(rgba8);
    EXPECT_EQ(image.width, kWidth);
    EXPECT_EQ(image.height, kHeight);
    EXPECT_EQ(image.rgba, rgba);
}

TEST(PngWriter, NamesThePathItCannotWrite) {
    CTempDir dir;
    const std::vector<uint8_t> rgba = Pattern();
    std::string error;
    EXPECT_FALSE(WritePngRgb(dir / "no/such/dir/frame.png", rgba.data(), kWidth, kHeight, &error));
    EXPECT_NE(error.find("no/such/dir/frame.png"), std::string::npos) << error;
    error.clear();
    EXPECT_FALSE(WritePngRgba(dir / "empty.png", rgba.data(), 0, kHeight, &error));
    EXPECT_NE(error.find("empty.png"), std::string::npos) << error;
}

// A disk that fills while a frame is written: the system's reason, and
// nothing cut short under the frame's name. The frame is made under its
// hidden name, here a link to /dev/full, where every write fails so.
TEST(PngWriter, AFullDiskLeavesNoFrameAndSaysWhy) {
    CTempDir dir;
    const int width = 640;
    const int height = 480;
    std::vector<uint8_t> bgra(static_cast<size_t>(width) * height * 4);
    for (size_t i = 0; i < bgra.size(); ++i) bgra[i] = static_cast<uint8_t>(i * 7919 >> 3);
    const std::string frame = dir / "000007.png";
    std::filesystem::create_symlink("/dev/full", HiddenName(frame));
    std::string error;
    EXPECT_FALSE(WritePngRgb(frame, bgra.data(), width, height, &error));
    EXPECT_EQ(error, frame + ": No space left on device");
    EXPECT_EQ(DirectoryNames(dir.Path()), std::vector<std::string>{}) << "neither the frame nor its hidden name";
}

}  // namespace
