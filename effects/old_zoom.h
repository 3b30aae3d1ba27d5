// "oldzoom": an endless-looking zoom through five nested picture frames that
// reverses after ten seconds, with a white veil fading out over the first
// three.
#pragma once

#include "render/vertex_buffer.h"
#include "resources/texture.h"
#include "runtime/effect.h"

class CEffectOldZoom : public CEffect {
public:
    int Init(int width, int height) override;
    int Render(float step) override;
    void SaveState(CEffectState* state) const override;
    void LoadState(CEffectState* state) override;
    // Binds the five frame pictures in turn, leaving the fifth bound.
    int Trigger() override;

    // Shared by the class: the running time in seconds (it advances only on
    // frames the effect is drawn) and the zoom direction, 1 in, 2 out.
    static float s_time;
    static int s_zoomPhase;

private:
    static constexpr int kFrames = 5;

    void SetOverlayStates();
    void DrawOverlay(float a);

    CTexture m_frameTextures[kFrames];
    CVertexBuffer m_frameQuads[kFrames];
    CVertexBuffer m_overlay;
    int m_width = 0;
    int m_height = 0;
};
