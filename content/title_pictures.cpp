// The title sequence's pictures. The background fills the 640 x 480
// screen; caption one shows in a 480 x 140 box above the centre line,
// caption two in a 280 x 70 box; both are added onto the background, so
// their black stays transparent.
#include <cmath>

#include "content/canvas.h"
#include "content/picture_helpers.h"
#include "content/pictures.h"
#include "content/prng.h"
#include "content/shapes.h"

namespace {

constexpr float kScreenW = 640.0f;
constexpr float kScreenH = 480.0f;

// Strokes of width `width` with a soft edge of one pixel, plus a halo.
float StrokeCover(float distance, float width, float pixel) {
    return 1.0f - SmoothStep(width - pixel, width + pixel, distance);
}

CImage PaintSnowyNight() {
    CImage image(512, 512);
    CCanvas canvas(&image, kScreenW, kScreenH);
    const float pixel = canvas.Pixel();

    // Sky: deep blue at the top, lighter near the horizon, a faint aurora.
    canvas.Shade([](float x, float y, const SColor&) {
        const float t = y / kScreenH;
        SColor sky = Mix(Rgb(0.10f, 0.15f, 0.32f), Rgb(0.01f, 0.02f, 0.08f), std::pow(t, 0.8f));
        const float band = std::exp(-std::pow((y - 360.0f - 30.0f * std::sin(x / 110.0f)) / 38.0f, 2.0f));
        const float curtain = FractalNoise(x / 40.0f, y / 160.0f, 4, 11u);
        const float aurora = band * SmoothStep(0.35f, 0.8f, curtain) * 0.22f;
        sky.r += aurora * 0.2f;
        sky.g += aurora * 0.9f;
        sky.b += aurora * 0.6f;
        return sky;
    });

    CContentRandom random(20240601u);
    for (int i = 0; i < 170; ++i) {
        const float x = static_cast<float>(random.Range(0.0, kScreenW));
        const float y = static_cast<float>(random.Range(120.0, kScreenH));
        const float brightness = static_cast<float>(random.Range(0.15, 0.8));
        canvas.Glow(x, y, static_cast<float>(random.Range(0.7, 1.5)),
                    Rgb(brightness * 0.9f, brightness * 0.95f, brightness));
    }

    // The moon, upper right, with a wide soft halo and faint maria.
    const float moonX = 560.0f, moonY = 405.0f, moonR = 32.0f;
    canvas.Glow(moonX, moonY, 70.0f, Rgb(0.10f, 0.12f, 0.18f));
    canvas.ShadeBox(moonX - moonR - 2, moonY - moonR - 2, moonX + moonR + 2, moonY + moonR + 2,
                    [=](float x, float y, const SColor& below) {
                        const float d = std::hypot(x - moonX, y - moonY);
                        const float cover = 1.0f - SmoothStep(moonR - pixel, moonR + pixel, d);
                        const float maria = FractalNoise(x / 14.0f, y / 14.0f, 3, 5u);
                        const SColor surface =
                            Mix(Rgb(0.97f, 0.96f, 0.88f), Rgb(0.75f, 0.76f, 0.74f), SmoothStep(0.45f, 0.7f, maria));
                        return Mix(below, surface, cover);
                    });

    // Two snowy hills; the far one bluer and darker.
    canvas.Shade([pixel](float x, float y, const SColor& below) {
        const float far = 120.0f + 28.0f * std::sin(x / 95.0f + 0.6f) + 12.0f * std::sin(x / 37.0f + 1.3f);
        const float near = 72.0f + 24.0f * std::sin(x / 140.0f + 2.1f) + 9.0f * std::sin(x / 53.0f);
        SColor c = below;
        const float farCover = 1.0f - SmoothStep(far - pixel, far + pixel, y);
        c = Mix(c, Mix(Rgb(0.22f, 0.28f, 0.45f), Rgb(0.38f, 0.45f, 0.62f), Clamp01(y / far)), farCover);
        const float nearCover = 1.0f - SmoothStep(near - pixel, near + pixel, y);
        const float sparkle = FractalNoise(x / 3.0f, y / 3.0f, 2, 9u);
        SColor snow = Mix(Rgb(0.45f, 0.52f, 0.70f), Rgb(0.78f, 0.84f, 0.95f), Clamp01(y / near));
        snow = Mix(snow, Rgb(0.95f, 0.97f, 1.0f), SmoothStep(0.82f, 0.9f, sparkle) * 0.6f);
        return Mix(c, snow, nearCover);
    });

    // Falling flakes, then the large crystal on the lower right.
    for (int i = 0; i < 45; ++i) {
        const float cx = static_cast<float>(random.Range(10.0, kScreenW - 10.0));
        const float cy = static_cast<float>(random.Range(20.0, kScreenH - 20.0));
        const float radius = static_cast<float>(random.Range(4.0, 11.0));
        const float alpha = static_cast<float>(random.Range(0.35, 0.8));
        canvas.ShadeBox(cx - radius - 3, cy - radius - 3, cx + radius + 3, cy + radius + 3,
                        [=](float x, float y, const SColor& below) {
                            const float d = SnowflakeDistance(x - cx, y - cy, radius);
                            return Mix(below, Rgb(0.9f, 0.95f, 1.0f), StrokeCover(d, 0.7f, pixel) * alpha);
                        });
    }
    const float flakeX = 492.0f, flakeY = 150.0f, flakeR = 105.0f;
    canvas.ShadeBox(flakeX - flakeR - 40, flakeY - flakeR - 40, flakeX + flakeR + 40, flakeY + flakeR + 40,
                    [=](float x, float y, const SColor& below) {
                        const float d = SnowflakeDistance(x - flakeX, y - flakeY, flakeR);
                        SColor c = below;
                        const float halo = std::exp(-d / 9.0f) * 0.35f;
                        c.r += halo * 0.6f;
                        c.g += halo * 0.75f;
                        c.b += halo;
                        return Mix(c, Rgb(0.88f, 0.94f, 1.0f), StrokeCover(d, 3.2f, pixel));
                    });
    return image;
}

CImage PaintTitleCaption(const SFonts& fonts) {
    // 512 x 128 texels shown as 480 x 140: the canvas squeezes to match.
    CImage image(512, 128);
    CCanvas canvas(&image, 480.0f, 140.0f);
    const std::string title = "QUELLBROOK";
    const float tracking = 4.0f;
    STextStyle style;
    style.font = fonts.sansBold;
    style.tracking = tracking;
    style.size = FitTextSize(canvas, *style.font, title, 440.0f, 70.0f, tracking);
    style.colour = VerticalRamp(Rgb(0.45f, 0.68f, 1.0f), Rgb(1.0f, 1.0f, 1.0f), 45.0f, 100.0f);
    style.glow = Rgb(0.15f, 0.35f, 0.9f);
    style.glowSigmaPixels = 6.0f;
    PaintGlowingText(&canvas, title, 240.0f, 52.0f, style);
    // A thin rule under the name, fading out toward its ends.
    const float pixel = canvas.Pixel();
    canvas.ShadeBox(20.0f, 30.0f, 460.0f, 40.0f, [pixel](float x, float y, const SColor& below) {
        const float cover = 1.0f - SmoothStep(0.8f - pixel, 0.8f + pixel, std::fabs(y - 35.0f));
        const float ends = SmoothStep(20.0f, 120.0f, x) * SmoothStep(460.0f, 360.0f, x);
        return Mix(below, Rgb(0.6f, 0.8f, 1.0f), cover * ends);
    });
    return image;
}

CImage PaintSubtitleCaption(const SFonts& fonts) {
    CImage image(256, 64);
    CCanvas canvas(&image, 280.0f, 70.0f);
    const std::string subtitle = "made of sound and light";
    STextStyle style;
    style.font = fonts.serif;
    style.tracking = 1.0f;
    style.size = FitTextSize(canvas, *style.font, subtitle, 260.0f, 34.0f, style.tracking);
    style.colour = VerticalRamp(Rgb(0.95f, 0.72f, 0.45f), Rgb(1.0f, 0.95f, 0.82f), 22.0f, 48.0f);
    style.glow = Rgb(0.55f, 0.3f, 0.1f);
    style.glowSigmaPixels = 3.0f;
    PaintGlowingText(&canvas, subtitle, 140.0f, 27.0f, style);
    return image;
}

CImage PaintCircle() {
    CImage image(64, 64);
    CCanvas canvas(&image, 64.0f, 64.0f);
    canvas.Shade([](float x, float y, const SColor&) {
        const float cover = 1.0f - SmoothStep(29.0f, 31.0f, std::hypot(x - 32.0f, y - 32.0f));
        return Rgb(cover, cover, cover, cover);
    });
    return image;
}

}  // namespace

void PaintTitlePictures(const SFonts& fonts, std::vector<SPicture>* out) {
    // The blurred twins are brightened a little: spreading the same light
    // over more pixels would otherwise make them look dimmer than the sharp
    // pictures they fade into.
    CImage title = PaintTitleCaption(fonts);
    CImage titleBlur = Brightened(GaussianBlur(title, 5.0f), 1.6f);
    out->push_back({"Data/quelrate.tga", 24, std::move(title)});
    out->push_back({"Data/quelblur.tga", 24, std::move(titleBlur)});

    CImage subtitle = PaintSubtitleCaption(fonts);
    CImage subtitleBlur = Brightened(GaussianBlur(subtitle, 3.0f), 1.6f);
    out->push_back({"Data/moonshade.tga", 24, std::move(subtitle)});
    out->push_back({"Data/moonblur.tga", 24, std::move(subtitleBlur)});

    CImage night = PaintSnowyNight();
    CImage nightBlur = GaussianBlur(night, 6.0f);
    out->push_back({"Data/snowflake.tga", 24, std::move(night)});
    out->push_back({"Data/snowblur.tga", 24, std::move(nightBlur)});

    out->push_back({"Data/circle.tga", 32, PaintCircle()});
}
