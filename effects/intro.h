// "intro": the opening titles. On its own clock it shows a background
// picture, fades two captions in and out over it (each first blurred, then
// cross-faded into the sharp picture), then fades a blurred background in
// and after that draws nothing.
#pragma once

#include "effects/flat_draw.h"
#include "render/d3d8.h"
#include "render/vertex_buffer.h"
#include "resources/texture.h"
#include "runtime/effect.h"

class CEffectIntro : public CEffect {
public:
    int Init(int width, int height) override;
    int Render(float step) override;
    void SaveState(CEffectState* state) const override;
    void LoadState(CEffectState* state) override;
    // Binds the two captions and then the circle, which stays bound.
    int Trigger() override;

    // Seconds the titles have been drawn; the schedule counts from the first
    // frame the layer is drawn and pauses while it is off.
    static float s_time;

    CTexture caption1;
    CTexture caption2;
    CTexture background;
    CTexture blurredBackground;
    CTexture circle;
    CTexture blurredCaption1;
    CTexture blurredCaption2;
    CVertexBuffer quad;
    int width = 0;
    int height = 0;

private:
    void DrawQuad(const CTexture& picture, int alpha, const SFlatBox& box);
    void SetPictureStates();
};
