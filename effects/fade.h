// "fade": darkens everything drawn before it in the frame by a brightness
// level that moves linearly from a start level towards an end level.
#pragma once

#include "render/vertex_buffer.h"
#include "runtime/effect.h"

class CEffectFade : public CEffect {
public:
    int Init(int width, int height) override;
    int Render(float step) override;
    void SaveState(CEffectState* state) const override;
    void LoadState(CEffectState* state) override;
    // which 0: start level, 1: end level, 2: duration in seconds; every call,
    // whatever `which`, restarts the fade's clock.
    int SetParam(int which, float value) override;

private:
    CVertexBuffer m_quad;  // 4 position + colour vertices
    int m_width = 0;
    int m_height = 0;
    // All zero until the timeline sets them: black until the parameters arrive.
    float m_startLevel = 0.0f;
    float m_endLevel = 0.0f;
    float m_level = 0.0f;  // the brightness last drawn, in [0, 1]
    float m_duration = 0.0f;
    float m_elapsed = 0.0f;
};
