#include "effects/intro.h"

float CEffectIntro::s_time = 0.0f;

namespace {

constexpr float kTwoThirds = 0.6666667f;
constexpr float kOneThird = 0.33333334f;

// Fade levels: the elapsed part of an interval scaled to 0 ... 255 and
// truncated toward zero.
int Rise(float t, float start, float rate) {
    return static_cast<int>((static_cast<double>(t) - start) * rate * 255.0f);
}
int Fall(float t, float start, float rate) { return 255 - Rise(t, start, rate); }

}  // namespace

int CEffectIntro::Init(int w, int h) {
    caption1.LoadTGA("Data/quelrate.tga");
    caption2.LoadTGA("Data/moonshade.tga");
    blurredCaption1.LoadTGA("Data/quelblur.tga");
    blurredCaption2.LoadTGA("Data/moonblur.tga");
    circle.LoadTGA("Data/circle.tga");
    background.LoadTGA("Data/snowflake.tga");
    blurredBackground.LoadTGA("Data/snowblur.tga");
    quad.Create(4, kVertexKindColorUV);
    width = w;
    height = h;
    return 0;
}

int CEffectIntro::Trigger() {
    g_device->SetTexture(0, caption1.texture);
    g_device->SetTexture(0, caption2.texture);
    g_device->SetTexture(0, circle.texture);
    return 0;
}

// v = 1 at the top edge: the picture's first stored row is its top.
void CEffectIntro::DrawQuad(const CTexture& picture, int alpha, const SFlatBox& box) {
    FillPictureQuad(quad, box, (static_cast<D3DCOLOR>(alpha) << 24) | 0xFFFFFF);
    DrawPictureQuad(quad, picture);
}

void CEffectIntro::SetPictureStates() {
    // The vertex alpha passes through untouched and drives the fades.
    SetModulateStage(D3DTA_DIFFUSE, D3DTA_TEXTURE, D3DTOP_DISABLE);
    SetLinearFiltering();
    SetUnlitNoCull();
}

int CEffectIntro::Render(float step) {
    const float t = s_time;

    SetFlatTransforms(width, height);

    const float hw = static_cast<float>(width / 2);
    const float hh = static_cast<float>(height / 2);
    const SFlatBox screen = {-hw, hw, -hh, hh};
    // The captions' places are fixed and do not follow the screen size.
    const SFlatBox boxA = {-330.0f, 150.0f, 0.0f, 140.0f};
    const SFlatBox boxB = {-230.0f, 50.0f, 35.0f, 105.0f};

    if (t < 25.0f) {
        SetPictureStates();
        g_device->SetRenderState(D3DRS_ALPHABLENDENABLE, FALSE);
        // The left and top edges sit a tenth of a pixel in.
        const SFlatBox inset = {static_cast<float>(-hw + 0.1), hw, -hh, static_cast<float>(hh - 0.1)};
        DrawQuad(background, 255, inset);
    }

    // Each interval includes its start and excludes its end; a clock that is
    // not a number lies in none of them.
    auto during = [t](float from, float to) { return t >= from && t < to; };
    // Captions are added to the screen, weighted by the quad's alpha.
    auto caption = [this](const CTexture& picture, int alpha, const SFlatBox& box) {
        SetBlend(D3DBLEND_SRCALPHA, D3DBLEND_ONE);
        DrawQuad(picture, alpha, box);
    };
    if (during(11.5f, 12.0f)) {
        caption(blurredCaption1, Rise(t, 11.5f, 2.0f), boxA);
    } else if (during(12.0f, 13.5f)) {
        caption(blurredCaption1, Fall(t, 12.0f, kTwoThirds), boxA);
        caption(caption1, Rise(t, 12.0f, kTwoThirds), boxA);
    } else if (during(13.5f, 15.0f)) {
        caption(caption1, 255, boxA);
    } else if (during(15.0f, 18.0f)) {
        caption(caption1, Fall(t, 15.0f, kOneThird), boxA);
    } else if (during(18.0f, 18.5f)) {
        caption(blurredCaption2, Rise(t, 18.0f, 2.0f), boxB);
    } else if (during(18.5f, 20.0f)) {
        caption(blurredCaption2, Fall(t, 18.5f, kTwoThirds), boxB);
        caption(caption2, Rise(t, 18.5f, kTwoThirds), boxB);
    } else if (during(20.0f, 21.5f)) {
        caption(caption2, 255, boxB);
    } else if (during(21.5f, 22.5f)) {
        caption(caption2, Fall(t, 21.5f, 1.0f), boxB);
    } else if (during(25.0f, 28.0f)) {
        // The blurred background is added over whatever lies below.
        SetPictureStates();
        caption(blurredBackground, Rise(t, 25.0f, kOneThird), screen);
    }

    s_time = t + step;
    return 0;
}

void CEffectIntro::SaveState(CEffectState* state) const {
    state->Put(s_time);
}

void CEffectIntro::LoadState(CEffectState* state) {
    state->Take(&s_time);
}
