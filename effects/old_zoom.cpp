#include "effects/old_zoom.h"

#include <cmath>
#include <cstdint>

#include "effects/flat_draw.h"
#include "render/d3dmath.h"

float CEffectOldZoom::s_time = 0.0f;
int CEffectOldZoom::s_zoomPhase = 1;

namespace {

constexpr int kZoomIn = 1;
constexpr int kZoomOut = 2;
// Zooming in turns to zooming out after this many seconds.
constexpr float kTurnTime = 10.0f;
// The veil is drawn over the first seconds only.
constexpr float kOverlayTime = 3.0f;
constexpr D3DCOLOR kWhite = 0xFFFFFFFF;

}  // namespace

int CEffectOldZoom::Init(int width, int height) {
    char name[] = "Data/lrame1.tga";
    for (int i = 0; i < kFrames; ++i) {
        name[10] = static_cast<char>('1' + i);
        m_frameTextures[i].LoadTGA(name);
    }
    // Frame 1 is the largest square (half-size 512), each next one half as big.
    for (int e = 9; e >= 5; --e) {
        CVertexBuffer& quad = m_frameQuads[9 - e];
        quad.Create(4, kVertexKindColorUV);
        quad.Lock(0, 0);
        const float b = static_cast<float>(static_cast<int>(std::pow(2.0, e)));
        const float corners[4][4] = {{-b, -b, 0, 0}, {b, -b, 1, 0}, {b, b, 1, 1}, {-b, b, 0, 1}};
        for (const auto& corner : corners) {
            const float position[3] = {corner[0], corner[1], 0.0f};
            quad.AddVertexUV(position, &kWhite, &corner[2]);
        }
        quad.Unlock();
    }
    m_overlay.Create(4, kVertexKindColor);
    m_width = width;
    m_height = height;
    return 0;
}

int CEffectOldZoom::Render(float step) {
    s_time += step;
    const float a = s_time;

    SetModulateStage(D3DTA_DIFFUSE, D3DTA_TEXTURE, D3DTOP_DISABLE);
    SetLinearFiltering();
    g_device->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
    g_device->SetRenderState(D3DRS_ZFUNC, D3DCMP_NEVER);
    g_device->SetRenderState(D3DRS_LIGHTING, FALSE);
    SetBlend(D3DBLEND_SRCALPHA, D3DBLEND_INVSRCALPHA);

    // One nesting level passes every two seconds, in a 1024 x 768 space
    // turning slowly about the centre.
    const long double exponent =
        s_zoomPhase == kZoomIn ? a * 0.5L : (static_cast<long double>(20.0f) - a) * 0.5L;
    const float s = static_cast<float>(std::pow(2.0L, exponent));
    D3DMATRIX world, scale, rotation, view, projection;
    MatMultiply(&view, MatScale(&scale, s, s, s), MatRotateZ(&rotation, static_cast<float>(a * 0.1)));
    MatOrtho(&projection, 1024.0f, 768.0f, -1.0f, 1.0f);
    g_device->SetTransform(D3DTS_WORLD, MatIdentity(&world));
    g_device->SetTransform(D3DTS_VIEW, &view);
    g_device->SetTransform(D3DTS_PROJECTION, &projection);
    if (s_zoomPhase == kZoomIn && a > kTurnTime) s_zoomPhase = kZoomOut;

    // Largest first, each smaller frame over it; a frame whose picture
    // failed to load binds no texture.
    for (int i = 0; i < kFrames; ++i) DrawPictureQuad(m_frameQuads[i], m_frameTextures[i]);

    SetOverlayStates();
    if (a < kOverlayTime) DrawOverlay(a);
    return 0;
}

int CEffectOldZoom::Trigger() {
    for (const CTexture& frame : m_frameTextures) g_device->SetTexture(0, frame.texture);
    return 0;
}

// Set whether or not the veil is drawn; they stay for the next layer.
void CEffectOldZoom::SetOverlayStates() {
    SetFlatTransforms(m_width, m_height);
    g_device->SetRenderState(D3DRS_ZFUNC, D3DCMP_LESSEQUAL);
    SetModulateStage(D3DTA_TEXTURE, D3DTA_DIFFUSE, D3DTOP_BLENDDIFFUSEALPHA);
    SetLinearFiltering();
    // Colour and alpha then come from the vertices alone.
    SetUntexturedStage();
    SetUnlitNoCull();
    SetBlend(D3DBLEND_SRCALPHA, D3DBLEND_INVSRCALPHA);
}

// A grey of level c at opacity c / 255 over the whole screen: white at
// a = 0, fading towards a = 3.
void CEffectOldZoom::DrawOverlay(float a) {
    const int n = static_cast<int>(static_cast<long double>(a) * 0.333333343f * 255.0f);
    const uint8_t c = static_cast<uint8_t>(255 - n);
    const D3DCOLOR colour = 0x01010101u * c;
    const float hw = static_cast<float>(m_width / 2);
    const float hh = static_cast<float>(m_height / 2);
    const float corners[4][3] = {{-hw, hh, 0}, {hw, hh, 0}, {hw, -hh, 0}, {-hw, -hh, 0}};
    DrawColourQuad(m_overlay, corners, colour);
}

void CEffectOldZoom::SaveState(CEffectState* state) const {
    state->Put(s_time);
    state->Put(s_zoomPhase);
}

void CEffectOldZoom::LoadState(CEffectState* state) {
    state->Take(&s_time);
    state->Take(&s_zoomPhase);
}
