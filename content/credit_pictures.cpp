// The credits the pixel board adds over itself: "coders" fills the upper
// left quarter of the 640 x 480 screen, "music" the lower right. Each
// 512 x 256 picture shows as a 320 x 240 box and is added at full
// strength, so black is transparent.
#include <cmath>

#include "content/canvas.h"
#include "content/picture_helpers.h"
#include "content/pictures.h"

namespace {

struct SCredit {
    const char* heading;
    const char* lines[2];
    SColor headingLow;
    SColor headingHigh;
    SColor glow;
};

CImage PaintCredit(const SFonts& fonts, const SCredit& credit) {
    CImage image(512, 256);
    CCanvas canvas(&image, 320.0f, 240.0f);
    STextStyle heading;
    heading.font = fonts.sansBold;
    heading.tracking = 6.0f;
    heading.size = FitTextSize(canvas, *heading.font, credit.heading, 280.0f, 60.0f, heading.tracking);
    heading.colour = VerticalRamp(credit.headingLow, credit.headingHigh, 130.0f, 175.0f);
    heading.glow = credit.glow;
    heading.glowSigmaPixels = 7.0f;
    PaintGlowingText(&canvas, credit.heading, 160.0f, 130.0f, heading);

    const float pixel = canvas.Pixel();
    const SColor rule = credit.headingLow;
    canvas.ShadeBox(20.0f, 108.0f, 300.0f, 118.0f, [=](float x, float y, const SColor& below) {
        const float cover = 1.0f - SmoothStep(0.9f - pixel, 0.9f + pixel, std::fabs(y - 113.0f));
        const float ends = SmoothStep(20.0f, 90.0f, x) * SmoothStep(300.0f, 230.0f, x);
        return Mix(below, rule, cover * ends * 0.8f);
    });

    STextStyle body;
    body.font = fonts.sans;
    body.tracking = 0.5f;
    body.colour = [](float, float) { return Rgb(0.82f, 0.84f, 0.88f); };
    body.glow = Scale(credit.glow, 0.5f);
    body.glowSigmaPixels = 3.0f;
    for (int i = 0; i < 2; ++i) {
        body.size = FitTextSize(canvas, *body.font, credit.lines[i], 290.0f, 20.0f, body.tracking);
        PaintGlowingText(&canvas, credit.lines[i], 160.0f, 78.0f - 30.0f * static_cast<float>(i), body);
    }
    return image;
}

}  // namespace

void PaintCreditPictures(const SFonts& fonts, std::vector<SPicture>* out) {
    const SCredit code{"CODE",
                       {"C++17 on OpenGL 3.3", "every pixel made at build time"},
                       Rgb(0.2f, 0.75f, 0.95f),
                       Rgb(0.85f, 1.0f, 1.0f),
                       Rgb(0.05f, 0.3f, 0.5f)};
    const SCredit music{"MUSIC",
                        {"synthesised from scratch", "drums, bass, pads and lead"},
                        Rgb(0.95f, 0.45f, 0.2f),
                        Rgb(1.0f, 0.92f, 0.7f),
                        Rgb(0.5f, 0.15f, 0.05f)};
    out->push_back({"Data/coders.tga", 24, PaintCredit(fonts, code)});
    out->push_back({"Data/music.tga", 24, PaintCredit(fonts, music)});
}
