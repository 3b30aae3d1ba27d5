// "zoomblur": a feedback zoom drawn through a 256 x 256 off-screen picture
// that is never cleared, so a spinning picture leaves zooming, fading trails.
#pragma once

#include "render/vertex_buffer.h"
#include "resources/texture.h"
#include "runtime/effect.h"

class CEffectZoomBlur : public CEffect {
public:
    int Init(int width, int height) override;
    int Render(float step) override;
    void SaveState(CEffectState* state) const override;
    void LoadState(CEffectState* state) override;
    int Trigger() override { return 0; }

    // The effect's own running time in seconds, shared by the class; it
    // advances only on frames the effect is drawn.
    static float s_time;

private:
    void DrawFrame(float t);

    CVertexBuffer m_quad;
    CTexture m_feedbackTarget;  // the picture, kept from frame to frame
    CTexture m_spinner;
    CTexture m_feedbackCopy;    // last frame's picture, drawn back enlarged
    int m_width = 0;
    int m_height = 0;
};
