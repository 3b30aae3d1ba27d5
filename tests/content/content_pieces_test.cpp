// The generator's building blocks: TGA bytes, text, blur and canvas units.
#include <gtest/gtest.h>

#include <cmath>
#include <stdexcept>

#include "content/canvas.h"
#include "content/image.h"
#include "content/text_renderer.h"
#include "content/tga_writer.h"

namespace {

const std::string kFontDir = QB_FONT_DIR;

TEST(ContentTgaWriter, StoresBottomRowFirstInBlueGreenRedOrder) {
    CImage image(3, 2);
    image.At(0, 0) = Rgb(1.0f, 0.0f, 0.0f);         // bottom left
    image.At(2, 1) = Rgb(0.5f, 0.25f, 1.0f, 0.5f);  // top right
    image.At(1, 1) = Rgb(1.7f, -0.2f, 0.0f, 2.0f);  // out of range: clamped

    const std::vector<uint8_t> tga = EncodeTGA(image, 24);
    ASSERT_EQ(tga.size(), 18u + 3u * 2u * 3u);
    EXPECT_EQ(tga[2], 2);                    // uncompressed true colour
    EXPECT_EQ(tga[12] | (tga[13] << 8), 3);  // width
    EXPECT_EQ(tga[14] | (tga[15] << 8), 2);  // height
    EXPECT_EQ(tga[16], 24);
    EXPECT_EQ(tga[17], 0);  // bottom-left origin, no alpha bits
    EXPECT_EQ((std::vector<uint8_t>{tga[18], tga[19], tga[20]}), (std::vector<uint8_t>{0, 0, 255}));
    const size_t topRight = 18 + (1 * 3 + 2) * 3;
    EXPECT_EQ((std::vector<uint8_t>{tga[topRight], tga[topRight + 1], tga[topRight + 2]}),
              (std::vector<uint8_t>{255, 64, 128}));
    const size_t topMiddle = 18 + (1 * 3 + 1) * 3;
    EXPECT_EQ((std::vector<uint8_t>{tga[topMiddle], tga[topMiddle + 1], tga[topMiddle + 2]}),
              (std::vector<uint8_t>{0, 0, 255}));

    const std::vector<uint8_t> tga32 = EncodeTGA(image, 32);
    ASSERT_EQ(tga32.size(), 18u + 3u * 2u * 4u);
    EXPECT_EQ(tga32[16], 32);
    EXPECT_EQ(tga32[17], 8);  // eight alpha bits, still bottom-left
    EXPECT_EQ(tga32[18 + (1 * 3 + 2) * 4 + 3], 128);
    EXPECT_EQ(tga32[18 + (1 * 3 + 1) * 4 + 3], 255);
    EXPECT_EQ(tga32[18 + 3], 255);  // Rgb defaults to opaque

    EXPECT_THROW(EncodeTGA(image, 16), std::invalid_argument);
}

TEST(ContentTextRenderer, SetsGlyphsWithStretchAndTracking) {
    const CFont font(kFontDir + "/DejaVuSans-Bold.ttf");
    const STextMask plain = font.Render("HI", 40.0f, 1.0f, 0.0f);
    ASSERT_GT(plain.width, 0);
    // Capitals of a 40-pixel em stand about 29 pixels tall, on the baseline.
    EXPECT_GE(plain.height, 26);
    EXPECT_LE(plain.height, 32);
    EXPECT_EQ(plain.baseline, 0);
    float darkest = 1.0f, brightest = 0.0f;
    for (float c : plain.coverage) {
        darkest = std::fmin(darkest, c);
        brightest = std::fmax(brightest, c);
    }
    EXPECT_EQ(darkest, 0.0f);
    EXPECT_EQ(brightest, 1.0f);

    const STextMask wide = font.Render("HI", 40.0f, 2.0f, 0.0f);
    EXPECT_NEAR(wide.width, 2 * plain.width, 4);
    EXPECT_NEAR(wide.height, plain.height, 1);
    const STextMask spaced = font.Render("HI", 40.0f, 1.0f, 10.0f);
    EXPECT_NEAR(spaced.width, plain.width + 10, 1);

    const STextMask descending = font.Render("gy", 40.0f, 1.0f, 0.0f);
    EXPECT_GT(descending.baseline, 5);

    EXPECT_THROW(font.Render("caf\xc3\xa9", 40.0f, 1.0f, 0.0f), std::invalid_argument);
    EXPECT_THROW(font.Render("x", 0.0f, 1.0f, 0.0f), std::invalid_argument);
    try {
        CFont missing(kFontDir + "/NoSuchFont.ttf");
        FAIL() << "a missing font must throw";
    } catch (const std::runtime_error& e) {
        EXPECT_NE(std::string(e.what()).find("NoSuchFont.ttf"), std::string::npos);
    }
}

TEST(ContentImageOps, BlurSpreadsLightWithoutLosingIt) {
    CImage image(21, 21);
    image.At(10, 10) = Rgb(1.0f, 0.5f, 0.0f, 1.0f);
    const CImage blurred = GaussianBlur(image, 2.0f);
    float sum = 0.0f;
    for (int y = 0; y < 21; ++y) {
        for (int x = 0; x < 21; ++x) sum += blurred.At(x, y).r;
    }
    EXPECT_NEAR(sum, 1.0f, 1e-4f);
    EXPECT_LT(blurred.At(10, 10).r, 0.1f);
    EXPECT_GT(blurred.At(12, 10).r, 0.01f);
    EXPECT_FLOAT_EQ(blurred.At(12, 10).r, blurred.At(10, 8).r);  // round, not streaked
    EXPECT_NEAR(blurred.At(10, 10).g, 0.5f * blurred.At(10, 10).r, 1e-6f);

    // Layers are premultiplied: half-covered white over black is mid grey.
    CImage base(1, 1);
    base.At(0, 0) = Rgb(0.0f, 0.0f, 0.0f);
    CImage layer(1, 1);
    layer.BlendOver(0, 0, Rgb(1.0f, 1.0f, 1.0f), 0.5f);
    CompositeOver(&base, layer);
    EXPECT_FLOAT_EQ(base.At(0, 0).r, 0.5f);
    EXPECT_FLOAT_EQ(base.At(0, 0).a, 1.0f);
    EXPECT_THROW(CompositeOver(&base, CImage(2, 1)), std::invalid_argument);
}

TEST(ContentCanvas, PaintsInShownUnitsOnSqueezedPictures) {
    // 8 x 4 pixels shown as a 16 x 16 box: a unit is half a pixel across
    // and a quarter pixel up.
    CImage image(8, 4);
    CCanvas canvas(&image, 16.0f, 16.0f);
    EXPECT_FLOAT_EQ(canvas.Pixel(), 4.0f);
    canvas.ShadeBox(0.0f, 0.0f, 8.0f, 16.0f, [](float, float, const SColor&) { return Rgb(1, 1, 1); });
    for (int x = 0; x < 8; ++x) EXPECT_EQ(image.At(x, 2).r, x < 4 ? 1.0f : 0.0f) << "column " << x;

    CImage glow(16, 16);
    CCanvas glowCanvas(&glow, 16.0f, 16.0f);
    glowCanvas.Glow(8.0f, 8.0f, 2.0f, Rgb(1, 0, 0));
    EXPECT_GT(glow.At(7, 7).r, 0.85f);
    EXPECT_NEAR(glow.At(7, 7).r, glow.At(8, 8).r, 1e-6f);
    EXPECT_LT(glow.At(11, 7).r, glow.At(9, 7).r);
    EXPECT_EQ(glow.At(0, 0).r, 0.0f);  // beyond three radii nothing is added

    EXPECT_THROW(CCanvas(&image, 0.0f, 1.0f), std::invalid_argument);
}

}  // namespace
