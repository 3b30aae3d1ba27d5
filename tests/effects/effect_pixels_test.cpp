// Effects drawn by each raster backend over known colours, with the pixels
// worked out by hand from the blend each one asks for.
#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "effects/fade.h"
#include "effects/intro.h"
#include "effects/old_zoom.h"
#include "tests/effects/effect_fixture.h"
#include "tests/render/backend_device_fixture.h"

namespace {

struct SRgb {
    int r, g, b;
};

// Effects live as long as the process, as in the program: their textures
// and buffers are never released, so they must stay reachable.
template <typename T>
T& LiveEffect() {
    static auto* effects = new std::vector<std::unique_ptr<CEffect>>;
    effects->push_back(std::make_unique<T>());
    return static_cast<T&>(*effects->back());
}

class EffectPixels : public BackendDeviceTest {
protected:
    void SetUp() override {
        BackendDeviceTest::SetUp();
        if (HasFatalFailure()) return;
        m_directory.Enter();
        m_device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000, 1.0f, 0);
    }
    void TearDown() override {
        m_directory.Leave();
        BackendDeviceTest::TearDown();
    }

    // Pixel (x, y) of the back buffer, y from the top, each channel within
    // one level of the expected (rounding in blending may go either way).
    static ::testing::AssertionResult PixelNear(const std::vector<uint8_t>& rgba, int x, int y, const SRgb& expected) {
        const size_t at = (static_cast<size_t>(y) * kWidth + static_cast<size_t>(x)) * 4;
        if (rgba.size() < at + 4) return ::testing::AssertionFailure() << "no pixel " << x << ", " << y;
        const SRgb actual = {rgba[at], rgba[at + 1], rgba[at + 2]};
        if (std::abs(actual.r - expected.r) <= 1 && std::abs(actual.g - expected.g) <= 1 &&
            std::abs(actual.b - expected.b) <= 1)
            return ::testing::AssertionSuccess();
        return ::testing::AssertionFailure() << "pixel " << x << ", " << y << " is " << actual.r << " " << actual.g
                                             << " " << actual.b << ", expected " << expected.r << " " << expected.g
                                             << " " << expected.b;
    }

private:
    CScratchDirectory m_directory;
};

// The fade multiplies what is drawn by its alpha: 1 to 0 over 2 s, half a
// second in, is alpha 191, so each channel c becomes c x 191 / 255, over
// the whole screen.
TEST_P(EffectPixels, FadeMultipliesThePictureByItsLevel) {
    m_device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFFC86432, 1.0f, 0);  // 200, 100, 50
    CEffectFade& fade = LiveEffect<CEffectFade>();
    fade.Init(640, 480);
    fade.SetParam(0, 1.0f);
    fade.SetParam(1, 0.0f);
    fade.SetParam(2, 2.0f);
    fade.Render(0.5f);
    const std::vector<uint8_t> rgba = ReadBack();
    for (const auto& [x, y] : {std::pair<int, int>{0, 0}, {512, 384}, {kWidth - 1, kHeight - 1}})
        EXPECT_TRUE(PixelNear(rgba, x, y, {150, 75, 37}));  // 149.8, 74.9, 37.45
}

// The background is drawn opaque, a caption is added over it weighted by
// its quad's alpha: at 14 s fully, at 16.5 s at 128 / 255.
TEST_P(EffectPixels, IntroAddsCaptionsOverTheOpaqueBackground) {
    for (const char* name : {"quelrate", "moonshade", "quelblur", "moonblur", "circle", "snowblur"})
        WriteSolidTga(std::string("Data/") + name + ".tga", 4, 4, 24, 0xFF643214);  // 100, 50, 20
    WriteSolidTga("Data/snowflake.tga", 4, 4, 24, 0xFF204080);                   // 32, 64, 128
    CEffectIntro& intro = LiveEffect<CEffectIntro>();
    intro.Init(640, 480);

    // (-90, 70) in the caption's box and (0, -120) below it, in the
    // 640 x 480 space stretched over the 1024 x 768 screen.
    const int captionX = 368, captionY = 272, belowX = 512, belowY = 576;
    CEffectIntro::s_time = 14.0f;
    intro.Render(0.0f);
    std::vector<uint8_t> rgba = ReadBack();
    EXPECT_TRUE(PixelNear(rgba, captionX, captionY, {132, 114, 148}));
    EXPECT_TRUE(PixelNear(rgba, belowX, belowY, {32, 64, 128}));

    CEffectIntro::s_time = 16.5f;
    intro.Render(0.0f);
    rgba = ReadBack();
    EXPECT_TRUE(PixelNear(rgba, captionX, captionY, {82, 89, 138}));  // 82.2, 89.1, 138.04
    EXPECT_TRUE(PixelNear(rgba, belowX, belowY, {32, 64, 128}));
}

// The veil is grey c at opacity c / 255 over the frames: white at 0 s,
// c = 128 at 1.5 s, gone from 3 s, leaving the innermost frame at the
// centre as it is.
TEST_P(EffectPixels, OldZoomVeilFadesFromWhiteToThePicture) {
    for (int i = 1; i <= 4; ++i) WriteSolidTga("Data/lrame" + std::to_string(i) + ".tga", 4, 4, 24, 0xFF102030);
    WriteSolidTga("Data/lrame5.tga", 4, 4, 24, 0xFF00C864);  // 0, 200, 100
    CEffectOldZoom::s_zoomPhase = 1;
    CEffectOldZoom& zoom = LiveEffect<CEffectOldZoom>();
    zoom.Init(640, 480);

    struct SMoment {
        float seconds;
        SRgb centre;
    };
    // 128 x 128 / 255 + c x 127 / 255 at 1.5 s.
    for (const SMoment& moment : {SMoment{0.0f, {255, 255, 255}}, SMoment{1.5f, {64, 164, 114}},
                                  SMoment{3.0f, {0, 200, 100}}}) {
        SCOPED_TRACE(moment.seconds);
        CEffectOldZoom::s_time = moment.seconds;
        zoom.Render(0.0f);
        EXPECT_TRUE(PixelNear(ReadBack(), kWidth / 2, kHeight / 2, moment.centre));
    }
}

INSTANTIATE_TEST_SUITE_P(Backends, EffectPixels, ::testing::Values(ETestBackend::kGL, ETestBackend::kCpu),
                         TestBackendName);

}  // namespace
