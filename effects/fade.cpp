#include "effects/fade.h"

#include "effects/flat_draw.h"

int CEffectFade::Init(int width, int height) {
    m_width = width;
    m_height = height;
    m_quad.Create(4, kVertexKindColor);
    return 0;
}

int CEffectFade::SetParam(int which, float value) {
    switch (which) {
    case 0: m_startLevel = value; break;
    case 1: m_endLevel = value; break;
    case 2: m_duration = value; break;
    default: break;
    }
    m_elapsed = 0.0f;
    return 0;
}

int CEffectFade::Render(float step) {
    m_elapsed += step;
    // Not clamped: past the duration the level keeps going along the same line.
    const float t = m_elapsed / m_duration;
    m_level = (1.0f - t) * m_startLevel + t * m_endLevel;
    // A duration of 0, or infinite levels, give NaN here: it is drawn as black,
    // and the clamp keeps the alpha conversion below in range.
    if (m_level > 1.0f) m_level = 1.0f;
    if (!(m_level >= 0.0f)) m_level = 0.0f;

    // Multiply the back buffer by the vertex alpha: dest = dest * a.
    SetUnlitNoCull();
    SetBlend(D3DBLEND_ZERO, D3DBLEND_SRCALPHA);
    SetUntexturedStage();
    SetFlatTransforms(m_width, m_height);

    const D3DCOLOR colour = static_cast<D3DCOLOR>(static_cast<int>(m_level * 255.0f)) << 24;
    // Twice the visible area each way, so the whole screen is covered.
    const float w = static_cast<float>(m_width);
    const float h = static_cast<float>(m_height);
    const float corners[4][3] = {{w, h, 0.0f}, {w, -h, 0.0f}, {-w, -h, 0.0f}, {-w, h, 0.0f}};
    DrawColourQuad(m_quad, corners, colour);
    return 0;
}

void CEffectFade::SaveState(CEffectState* state) const {
    state->Put(m_startLevel);
    state->Put(m_endLevel);
    state->Put(m_level);
    state->Put(m_duration);
    state->Put(m_elapsed);
}

void CEffectFade::LoadState(CEffectState* state) {
    state->Take(&m_startLevel);
    state->Take(&m_endLevel);
    state->Take(&m_level);
    state->Take(&m_duration);
    state->Take(&m_elapsed);
}
