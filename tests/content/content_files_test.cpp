// What the build wrote into the demo directory: every picture the effects
// load, in the shape they need, and the song.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <filesystem>
#include <string>

#include "content/content_generator.h"
#include "content_probes.h"
#include "tests/png_file.h"

namespace {

const std::string kDemoDir = QB_DEMO_DIR;

struct SExpected {
    const char* name;
    int depth;  // 32 where the effect blends with the picture's alpha
};

const SExpected kPictures[] = {
    {"circflare", 32}, {"bg", 32},       {"bez1", 32},      {"quelrate", 24}, {"quelblur", 24},
    {"moonshade", 24}, {"moonblur", 24}, {"snowflake", 24}, {"snowblur", 24}, {"circle", 32},
    {"coders", 24},    {"music", 24},    {"happy", 24},     {"anim", 24},     {"grad", 24},
    {"lrame1", 24},    {"lrame2", 24},   {"lrame3", 24},    {"lrame4", 24},   {"lrame5", 24},
};

std::string PicturePath(const std::string& name) { return kDemoDir + "/Data/" + name + ".tga"; }

STgaFile Load(const std::string& name) {
    STgaFile tga;
    std::string error;
    EXPECT_TRUE(ReadTga(PicturePath(name), &tga, &error)) << error;
    return tga;
}

bool IsPowerOfTwo(int n) { return n > 0 && (n & (n - 1)) == 0; }

double MeanColour(const STgaFile& tga, int firstRow, int rows) {
    double sum = 0.0;
    for (int row = firstRow; row < firstRow + rows; ++row) {
        for (int x = 0; x < tga.width; ++x) sum += tga.At(x, row, 0) + tga.At(x, row, 1) + tga.At(x, row, 2);
    }
    return sum / (3.0 * tga.width * rows);
}

// Mean step between horizontal neighbours: how sharp a picture is.
double MeanEdge(const STgaFile& tga) {
    double sum = 0.0;
    for (int row = 0; row < tga.height; ++row) {
        for (int x = 1; x < tga.width; ++x) {
            for (int c = 0; c < 3; ++c) sum += std::abs(tga.At(x, row, c) - tga.At(x - 1, row, c));
        }
    }
    return sum / (3.0 * (tga.width - 1) * tga.height);
}

int BrightestBorderChannel(const STgaFile& tga) {
    int brightest = 0;
    for (int x = 0; x < tga.width; ++x) {
        for (int c = 0; c < 3; ++c) brightest = std::max({brightest, tga.At(x, 0, c), tga.At(x, tga.height - 1, c)});
    }
    for (int row = 0; row < tga.height; ++row) {
        for (int c = 0; c < 3; ++c) brightest = std::max({brightest, tga.At(0, row, c), tga.At(tga.width - 1, row, c)});
    }
    return brightest;
}

TEST(ContentFiles, EveryPictureIsAnUncompressedPowerOfTwoTga) {
    for (const SExpected& expected : kPictures) {
        SCOPED_TRACE(expected.name);
        const STgaFile tga = Load(expected.name);
        EXPECT_EQ(tga.depth, expected.depth);
        EXPECT_TRUE(IsPowerOfTwo(tga.width)) << tga.width;
        EXPECT_TRUE(IsPowerOfTwo(tga.height)) << tga.height;
        EXPECT_EQ(tga.descriptor & 0x30, 0) << "rows must be stored bottom first";
        EXPECT_EQ(tga.fileSize, 18u + static_cast<size_t>(tga.width) * tga.height * tga.BytesPerPixel());
    }
    // The flare's buffers are sized for outlines 256 samples around, read as
    // 3-byte pixels.
    const STgaFile anim = Load("anim");
    EXPECT_EQ(anim.width, 256);
    EXPECT_EQ(anim.depth, 24);
    EXPECT_GE(anim.height, 16);
}

TEST(ContentFiles, PicturesAreUprightWhenStoredBottomRowFirst) {
    // The snowy hills lie at the bottom of the night scene, the dark sky above.
    const STgaFile night = Load("snowflake");
    const int band = night.height / 8;
    EXPECT_GT(MeanColour(night, 0, band), MeanColour(night, night.height - band, band) + 40.0);
    EXPECT_GT(MeanColour(night, 0, night.height), 20.0);
}

TEST(ContentFiles, BlurredTwinsMatchTheirSharpPictures) {
    const std::pair<const char*, const char*> twins[] = {
        {"quelrate", "quelblur"}, {"moonshade", "moonblur"}, {"snowflake", "snowblur"}};
    for (const auto& [sharpName, blurName] : twins) {
        SCOPED_TRACE(blurName);
        const STgaFile sharp = Load(sharpName);
        const STgaFile blur = Load(blurName);
        ASSERT_EQ(blur.width, sharp.width);
        ASSERT_EQ(blur.height, sharp.height);
        const double sharpMean = MeanColour(sharp, 0, sharp.height);
        const double blurMean = MeanColour(blur, 0, blur.height);
        // Softer: smaller steps between neighbours for the light it holds.
        EXPECT_LT(MeanEdge(blur) / blurMean, 0.6 * MeanEdge(sharp) / sharpMean);
        EXPECT_GT(blurMean, 0.7 * sharpMean);
        EXPECT_LT(blurMean, 2.0 * sharpMean);
    }
}

TEST(ContentFiles, AddedPicturesFadeToBlackAtTheirEdges) {
    // These are added onto the screen: any colour at the border would show
    // the picture's square.
    for (const char* name :
         {"quelrate", "quelblur", "moonshade", "moonblur", "coders", "music", "happy", "circflare", "circle"}) {
        SCOPED_TRACE(name);
        const STgaFile tga = Load(name);
        EXPECT_LE(BrightestBorderChannel(tga), 3);
        EXPECT_GT(MeanColour(tga, 0, tga.height), 2.0) << "the picture must show something";
    }
    // The particle glow weights itself by its alpha: solid in the middle,
    // clear at the corners.
    const STgaFile glow = Load("circflare");
    EXPECT_GT(glow.At(glow.width / 2, glow.height / 2, 3), 200);
    EXPECT_EQ(glow.At(0, 0, 3), 0);
}

TEST(ContentFiles, FlareGradientAndOutlinesSuitTheFlare) {
    // Read along one row only: every row must be the same.
    const STgaFile grad = Load("grad");
    for (int row = 1; row < grad.height; ++row) {
        for (int x = 0; x < grad.width; ++x) ASSERT_EQ(grad.At(x, row, 2), grad.At(x, 0, 2)) << x << "," << row;
    }
    EXPECT_GT(grad.At(10, 0, 2), 200);            // hot centre
    EXPECT_LE(grad.At(grad.width - 1, 0, 2), 8);  // dark rim
    EXPECT_LE(grad.At(grad.width - 1, 0, 0), 8);

    const STgaFile anim = Load("anim");
    int largestStep = 0;
    int lowest = 255, highest = 0;
    for (int row = 0; row < anim.height; ++row) {
        for (int x = 0; x < anim.width; ++x) {
            const int v = anim.At(x, row, 0);
            ASSERT_EQ(anim.At(x, row, 1), v);  // grey, so a viewer shows the sample
            lowest = std::min(lowest, v);
            highest = std::max(highest, v);
            if (row > 0) largestStep = std::max(largestStep, std::abs(v - anim.At(x, row - 1, 0)));
        }
    }
    EXPECT_GT(highest - lowest, 60) << "the outline must move";
    EXPECT_LE(highest, 160) << "keep the disc on screen";
    EXPECT_GT(largestStep, 0);
    // The loop closes: the last frame leads into the first as smoothly as
    // any frame into the next.
    for (int x = 0; x < anim.width; ++x) {
        EXPECT_LE(std::abs(anim.At(x, 0, 0) - anim.At(x, anim.height - 1, 0)), largestStep) << x;
    }
}

TEST(ContentFiles, SongIsStereoCdRateAndUnclipped) {
    SDecodedMp3 song;
    std::string error;
    ASSERT_TRUE(DecodeMp3(kDemoDir + "/Data/song.mp3", &song, &error)) << error;
    EXPECT_EQ(song.sampleRate, 44100);
    EXPECT_EQ(song.channels, 2);
    EXPECT_GT(song.seconds, 150.0);
    EXPECT_LT(song.seconds, 180.0);
    EXPECT_EQ(song.fullScaleSamples, 0u);
    EXPECT_GT(song.peak, 16000) << "too quiet";
}

TEST(ContentFiles, GeneratingAgainGivesTheSameBytes) {
    const std::filesystem::path again =
        std::filesystem::temp_directory_path() / ("qb_content_again_" + std::to_string(::getpid()));
    std::filesystem::remove_all(again);
    GenerateContent(SContentPaths{again.string(), QB_FONT_DIR});

    size_t compared = 0;
    for (const auto& entry : std::filesystem::directory_iterator(again / "Data")) {
        SCOPED_TRACE(entry.path().filename().string());
        const std::vector<uint8_t> fresh = ReadWholeFile(entry.path().string());
        const std::vector<uint8_t> built = ReadWholeFile(kDemoDir + "/Data/" + entry.path().filename().string());
        EXPECT_FALSE(fresh.empty());
        EXPECT_TRUE(fresh == built);
        ++compared;
    }
    EXPECT_EQ(compared, std::size(kPictures) + 1);  // and the song

    const std::filesystem::path icon = again / "quellbrook.png";
    GenerateIcon(icon.string());
    EXPECT_TRUE(ReadWholeFile(icon.string()) == ReadWholeFile(QB_ICON_FILE)) << "the icon";
    std::filesystem::remove_all(again);
}

TEST(ContentFiles, IconIsARoundedOpaqueTileOnClearCorners) {
    SRgbaImage icon;
    bool rgba8 = false;
    ASSERT_TRUE(ReadRgbaPng(QB_ICON_FILE, &icon, &rgba8));
    EXPECT_TRUE(rgba8);
    ASSERT_EQ(icon.width, 256);
    ASSERT_EQ(icon.height, 256);
    const auto at = [&](int x, int y, int channel) { return int(icon.rgba[(size_t(y) * 256 + x) * 4 + channel]); };
    // Clear beyond the tile's margin and in its rounded corners.
    for (const auto& [x, y] : {std::pair{0, 0}, {255, 0}, {0, 255}, {255, 255}, {12, 12}, {243, 243}, {128, 2}}) {
        EXPECT_EQ(at(x, y, 3), 0) << x << "," << y;
    }
    // Solid inside it, the ring brighter than the night around it.
    int opaque = 0;
    for (int y = 16; y < 240; ++y)
        for (int x = 16; x < 240; ++x) opaque += at(x, y, 3) == 255;
    EXPECT_GT(opaque, 224 * 224 * 95 / 100);
    const auto light = [&](int x, int y) { return at(x, y, 0) + at(x, y, 1) + at(x, y, 2); };
    const int ringTop = light(122, 256 - 138 - 64);  // rows stored top first
    const int sky = light(40, 40);
    EXPECT_GT(ringTop, sky + 300) << ringTop << " against " << sky;
}

}  // namespace
