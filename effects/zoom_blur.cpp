#include "effects/zoom_blur.h"

#include <cmath>

#include "effects/flat_draw.h"
#include "render/d3dmath.h"

float CEffectZoomBlur::s_time = 0.0f;

namespace {

constexpr int kTargetSize = 256;
// White; the alpha sets how much of each layer survives the blending.
constexpr D3DCOLOR kVertexColour = 0x47FFFFFF;
// The enlargement of last frame's picture that makes the trails zoom.
constexpr float kZoom = 1.15f;

IDirect3DSurface8* TopLevelOf(const CTexture& texture) {
    IDirect3DSurface8* surface = nullptr;
    texture.texture->GetSurfaceLevel(0, &surface);
    return surface;
}

void Release(IDirect3DSurface8* surface) {
    if (surface) surface->Release();
}

// The layer's flat space, unlit, texture colour with alpha blending texture
// alpha towards the vertex alpha. On the render target its viewport squeezes
// the same space onto the 256 x 256 picture.
void SetPictureStates(int width, int height) {
    SetFlatTransforms(width, height);
    SetModulateStage(D3DTA_DIFFUSE, D3DTA_TEXTURE, D3DTOP_BLENDDIFFUSEALPHA);
    SetLinearFiltering();
    SetUnlitNoCull();
}

}  // namespace

int CEffectZoomBlur::Init(int width, int height) {
    m_spinner.LoadTGA("Data/happy.tga");
    m_feedbackTarget.CreateRenderTarget(kTargetSize, kTargetSize);
    m_feedbackCopy.Create(kTargetSize, kTargetSize, D3DFMT_A8R8G8B8);
    m_height = height;
    m_width = width;
    m_quad.Create(4, kVertexKindColorUV);

    // The picture starts opaque black; it is never cleared again.
    if (!m_feedbackTarget.texture) return 0;
    IDirect3DSurface8* saved = nullptr;
    g_device->GetRenderTarget(&saved);
    IDirect3DSurface8* target = TopLevelOf(m_feedbackTarget);
    if (target) {
        g_device->SetRenderTarget(target, nullptr);
        g_device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000, 1.0f, 0);
        g_device->SetRenderTarget(saved, nullptr);
    }
    Release(target);
    Release(saved);
    return 0;
}

int CEffectZoomBlur::Render(float step) {
    const float t = s_time;
    // Without both off-screen pictures there is nothing to feed back; the
    // clock still runs so the animation keeps its pace.
    if (m_feedbackTarget.texture && m_feedbackCopy.texture) DrawFrame(t);
    s_time = t + step;
    return 0;
}

void CEffectZoomBlur::DrawFrame(float t) {
    const float hw = static_cast<float>(m_width / 2);
    const float hh = static_cast<float>(m_height / 2);
    const float qw = static_cast<float>(m_width / 4);
    const float qh = static_cast<float>(m_height / 4);

    IDirect3DSurface8* saved = nullptr;
    g_device->GetRenderTarget(&saved);
    IDirect3DSurface8* target = TopLevelOf(m_feedbackTarget);
    IDirect3DSurface8* copy = TopLevelOf(m_feedbackCopy);
    if (target && copy) {
        g_device->CopyRects(target, nullptr, 0, copy, nullptr);

        g_device->SetRenderTarget(target, nullptr);
        SetPictureStates(m_width, m_height);
        D3DMATRIX world;
        g_device->SetTransform(D3DTS_WORLD, MatScale(&world, kZoom, kZoom, kZoom));

        // Last frame's picture, its width swinging with sin t (mirrored
        // while it is negative). While sin t is 0 the width is infinite and
        // there is no quad to draw, so the frame goes without it. Drawn
        // into the target with v = 1 along the lower edge.
        const float x = static_cast<float>(m_width / (2.5 * std::sin(static_cast<double>(t))));
        if (std::isfinite(x)) {
            FillPictureQuad(m_quad, {-x, x, hh, -hh}, kVertexColour);
            SetBlend(D3DBLEND_SRCALPHA, D3DBLEND_SRCALPHA);
            DrawPictureQuad(m_quad, m_feedbackCopy);
        }

        // The spinner, half the screen's size, turned by t and added; none
        // is bound when its picture failed to load.
        FillPictureQuad(m_quad, {-qw, qw, qh, -qh}, kVertexColour);
        g_device->SetTransform(D3DTS_WORLD, MatRotateZ(&world, t));
        SetBlend(D3DBLEND_ONE, D3DBLEND_ONE);
        DrawPictureQuad(m_quad, m_spinner);

        // The whole picture added over the screen; v = 1 at the top, so the
        // screen shows the target upside down.
        g_device->SetRenderTarget(saved, nullptr);
        SetPictureStates(m_width, m_height);
        SetBlend(D3DBLEND_ONE, D3DBLEND_ONE);
        FillPictureQuad(m_quad, {-hw, hw, -hh, hh}, kVertexColour);
        DrawPictureQuad(m_quad, m_feedbackTarget);
    }
    Release(target);
    Release(saved);
    Release(copy);
}

void CEffectZoomBlur::SaveState(CEffectState* state) const {
    state->Put(s_time);
}

void CEffectZoomBlur::LoadState(CEffectState* state) {
    state->Take(&s_time);
}
