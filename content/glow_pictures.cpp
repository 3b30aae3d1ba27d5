// Pictures that are added as light or laid on thinly: their colour must
// fall to black wherever nothing should show, because the effects add or
// blend the whole square they are drawn on.
#include <cmath>

#include "content/canvas.h"
#include "content/pictures.h"
#include "content/shapes.h"

namespace {

constexpr float kTwoPi = 6.28318530718f;

// Particle sprite, added with its alpha as weight: a hot core and a faint
// ring, both black at the square's edge so no sprite shows its corners.
CImage PaintParticleGlow() {
    CImage image(128, 128);
    CCanvas canvas(&image, 2.0f, 2.0f);
    canvas.Shade([](float x, float y, const SColor&) {
        const float r = std::hypot(x - 1.0f, y - 1.0f);
        float light = 0.95f * std::exp(-7.0f * r * r) + 0.22f * std::exp(-std::pow((r - 0.68f) / 0.07f, 2.0f));
        light *= 1.0f - SmoothStep(0.85f, 0.98f, r);
        return Rgb(light, light, light, Clamp01(light));
    });
    return image;
}

// The faint backdrop under the particles: blue-violet nebula. It is
// blended at a few percent, so it is painted at full strength.
CImage PaintNebula() {
    CImage image(256, 256);
    CCanvas canvas(&image, 256.0f, 256.0f);
    canvas.Shade([](float x, float y, const SColor&) {
        const float cloud = FractalNoise(x / 48.0f, y / 48.0f, 5, 31u);
        const float veil = FractalNoise(x / 24.0f + 7.0f, y / 24.0f, 4, 47u);
        const float glow = SmoothStep(0.35f, 0.8f, cloud);
        SColor c = Mix(Rgb(0.10f, 0.05f, 0.30f), Rgb(0.55f, 0.35f, 1.0f), glow);
        c = Mix(c, Rgb(0.2f, 0.8f, 1.0f), SmoothStep(0.6f, 0.85f, veil) * 0.5f);
        return Rgb(c.r, c.g, c.b, 1.0f);
    });
    return image;
}

// The bezier sheet: a plasma with a bright grid. Alpha is the sheet's
// opacity, so the grid lines are solid and the cells half clear.
CImage PaintSheet() {
    CImage image(256, 256);
    CCanvas canvas(&image, 256.0f, 256.0f);
    const float pixel = canvas.Pixel();
    canvas.Shade([pixel](float x, float y, const SColor&) {
        const float u = x / 256.0f * kTwoPi;
        const float v = y / 256.0f * kTwoPi;
        const float plasma = std::sin(u * 2.0f) + std::sin(v * 3.0f + u) + std::sin((u + v) * 2.0f);
        SColor c = Rgb(0.5f + 0.5f * std::sin(plasma * 1.3f), 0.5f + 0.5f * std::sin(plasma * 1.3f + 2.1f),
                       0.5f + 0.5f * std::sin(plasma * 1.3f + 4.2f), 0.45f);
        c = Mix(c, Rgb(0.55f, 0.6f, 0.75f, 0.45f), 0.3f);  // calmer than a pure rainbow
        const float gx = std::fabs(std::fmod(x, 32.0f) - 16.0f);
        const float gy = std::fabs(std::fmod(y, 32.0f) - 16.0f);
        const float line = SmoothStep(14.8f - pixel, 15.2f, std::fmax(gx, gy));
        c = Mix(c, Rgb(1.0f, 1.0f, 1.0f, 1.0f), line);
        return c;
    });
    return image;
}

// Flare colours along u: white-hot centre through orange and violet to
// black at the rim. Every row is the same, so which row the effect reads
// does not matter.
CImage PaintFlareGradient() {
    struct SStop {
        float at;
        SColor colour;
    };
    const SStop stops[] = {
        {0.00f, Rgb(0.95f, 0.92f, 0.80f)}, {0.15f, Rgb(0.90f, 0.75f, 0.38f)}, {0.35f, Rgb(0.80f, 0.40f, 0.12f)},
        {0.55f, Rgb(0.60f, 0.12f, 0.30f)}, {0.75f, Rgb(0.30f, 0.05f, 0.42f)}, {0.90f, Rgb(0.08f, 0.03f, 0.20f)},
        {1.00f, Rgb(0.00f, 0.00f, 0.00f)},
    };
    CImage image(256, 16);
    for (int x = 0; x < image.Width(); ++x) {
        const float u = (static_cast<float>(x) + 0.5f) / static_cast<float>(image.Width());
        SColor c = stops[0].colour;
        for (size_t i = 1; i < sizeof(stops) / sizeof(stops[0]); ++i) {
            if (u <= stops[i].at) {
                c = Mix(stops[i - 1].colour, stops[i].colour, (u - stops[i - 1].at) / (stops[i].at - stops[i - 1].at));
                break;
            }
        }
        c.a = 1.0f;
        for (int y = 0; y < image.Height(); ++y) image.At(x, y) = c;
    }
    return image;
}

// The flare's outline frames: row f is frame f (the file's first row is
// the first frame), column c the radius push at angle 360 c / 256 as the
// pixel's blue byte, 0..255 for 0..127.5 units. The rows loop seamlessly:
// every term repeats after the 128 frames.
CImage PaintFlareOutlines() {
    constexpr int kColumns = 256;
    constexpr int kFrames = 128;
    CImage image(kColumns, kFrames);
    for (int f = 0; f < kFrames; ++f) {
        const float tau = kTwoPi * static_cast<float>(f) / static_cast<float>(kFrames);
        for (int c = 0; c < kColumns; ++c) {
            const float theta = kTwoPi * static_cast<float>(c) / static_cast<float>(kColumns);
            const float push = 46.0f + 26.0f * std::sin(5.0f * theta + tau) * (0.7f + 0.3f * std::sin(tau)) +
                               14.0f * std::sin(8.0f * theta - 2.0f * tau) + 9.0f * std::sin(3.0f * theta + 3.0f * tau);
            const float v = Clamp01(push / 255.0f);
            image.At(c, f) = Rgb(v, v, v);
        }
    }
    return image;
}

// The zoom blur's spinner: a smiling sun in line art. It is added into a
// feedback loop every frame, so its fill stays dim and the lines carry it.
// 256 x 256 texels show as a 320 x 240 box.
CImage PaintHappySun() {
    CImage image(256, 256);
    CCanvas canvas(&image, 320.0f, 240.0f);
    const float pixel = canvas.Pixel();
    canvas.Shade([pixel](float x, float y, const SColor&) {
        const float dx = x - 160.0f;
        const float dy = y - 120.0f;
        const float r = std::hypot(dx, dy);
        const float angle = std::atan2(dy, dx);
        auto line = [pixel](float distance, float width) {
            return 1.0f - SmoothStep(width - pixel, width + pixel, distance);
        };
        float ink = line(std::fabs(r - 72.0f), 3.0f);                                   // face
        ink = std::fmax(ink, line(std::hypot(dx + 26.0f, (dy - 20.0f) * 0.7f), 9.0f));  // eyes
        ink = std::fmax(ink, line(std::hypot(dx - 26.0f, (dy - 20.0f) * 0.7f), 9.0f));
        const float smile = std::fabs(std::hypot(dx, dy - 12.0f) - 46.0f);
        ink = std::fmax(ink, line(smile, 3.0f) * (dy < -6.0f ? 1.0f : 0.0f));  // mouth: lower arc only
        // Twelve rays between radius 84 and 112, tapering outwards.
        const float ray = std::fabs(std::remainder(angle, kTwoPi / 12.0f)) * r;
        const float rayWidth = 5.0f * (1.0f - SmoothStep(84.0f, 112.0f, r)) + 0.5f;
        const float rays = line(ray, rayWidth) * SmoothStep(82.0f, 86.0f, r) * (1.0f - SmoothStep(110.0f, 114.0f, r));
        const float fill = (1.0f - SmoothStep(70.0f, 72.0f, r)) * 0.16f;
        const SColor yellow = Rgb(1.0f, 0.85f, 0.25f);
        const SColor orange = Rgb(1.0f, 0.45f, 0.1f);
        SColor c = Scale(yellow, fill);
        c = Mix(c, yellow, ink);
        c = Mix(c, orange, rays);
        c.a = 1.0f;
        return c;
    });
    return image;
}

}  // namespace

void PaintGlowPictures(std::vector<SPicture>* out) {
    out->push_back({"Data/circflare.tga", 32, PaintParticleGlow()});
    out->push_back({"Data/bg.tga", 32, PaintNebula()});
    out->push_back({"Data/bez1.tga", 32, PaintSheet()});
    out->push_back({"Data/grad.tga", 24, PaintFlareGradient()});
    out->push_back({"Data/anim.tga", 24, PaintFlareOutlines()});
    out->push_back({"Data/happy.tga", 24, PaintHappySun()});
}
