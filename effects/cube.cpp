#include "effects/cube.h"

#include <cmath>

#include "render/d3dmath.h"
#include "resources/texture.h"

float CEffectCube1::s_angle = 0.0f;

namespace {

struct SCorner {
    D3DVECTOR position;
    D3DVECTOR normal;
};
static_assert(sizeof(SCorner) == 24, "a corner is one 24-byte position + normal vertex");

constexpr float kHalfSize = 0.35f;
constexpr float kFieldOfView = static_cast<float>(3.14159265358979323846 / 4.0);

// Corner indices of the 12 triangles, two per face: z = +h, y = -h, x = +h,
// z = -h, x = -h, y = +h.
constexpr int kTriangleCorners[36] = {
    0, 1, 2, 2, 3, 0,  //
    4, 5, 1, 1, 0, 4,  //
    2, 1, 5, 5, 6, 2,  //
    6, 5, 4, 4, 7, 6,  //
    4, 0, 3, 3, 7, 4,  //
    6, 7, 3, 3, 2, 6,  //
};

// Ambient green or blue: 127 * wave + 128 truncated, 1 ... 255.
DWORD AmbientChannel(double wave) { return static_cast<DWORD>(static_cast<int>(127.0 * wave + 128.0)); }

}  // namespace

void BuildCubeMesh(void* vertices, float h) {
    const D3DVECTOR positions[8] = {
        {-h, -h, h}, {h, -h, h}, {h, h, h}, {-h, h, h},
        {-h, -h, -h}, {h, -h, -h}, {h, h, -h}, {-h, h, -h},
    };
    SCorner corners[8];
    for (int c = 0; c < 8; ++c) {
        corners[c].position = positions[c];
        VecNormalize(&corners[c].normal, &positions[c]);
    }
    auto* out = static_cast<BYTE*>(vertices);
    for (int v = 0; v < 36; ++v) BlockCopy(out + v * sizeof(SCorner), &corners[kTriangleCorners[v]], sizeof(SCorner));
}

int CEffectCube1::Init(int width, int height) {
    (void)width;
    (void)height;
    m_mesh.Create(36, kVertexKindNormal);
    // A buffer the device could not make gives no memory to fill.
    if (BYTE* vertices = m_mesh.Lock(0, 36)) BuildCubeMesh(vertices, kHalfSize);
    m_mesh.Unlock();

    m_material = D3DMATERIAL8{};
    m_material.Diffuse = {0.5f, 0.5f, 0.5f, 1.0f};
    m_material.Ambient = {0.5f, 0.5f, 0.5f, 1.0f};
    g_device->SetMaterial(&m_material);

    m_light = D3DLIGHT8{};
    m_light.Type = D3DLIGHT_DIRECTIONAL;
    m_light.Diffuse = {0.5f, 0.5f, 0.5f, 0.0f};
    m_light.Direction = {0.0f, 0.0f, 1.0f};
    m_light.Range = 1000.0f;
    g_device->SetLight(0, &m_light);
    g_device->LightEnable(0, TRUE);
    return 0;
}

int CEffectCube1::Render(float step) {
    const float t = s_angle;
    g_device->SetTexture(0, nullptr);

    const double angle = t;
    const D3DCOLOR ambient = (127u << 16) | (AmbientChannel(std::cos(angle)) << 8) | AmbientChannel(std::sin(angle));
    g_device->SetRenderState(D3DRS_AMBIENT, ambient);
    // No depth buffer: the convex cube relies on back-face culling alone.
    g_device->SetRenderState(D3DRS_CULLMODE, D3DCULL_CCW);
    g_device->SetRenderState(D3DRS_LIGHTING, TRUE);
    g_device->SetRenderState(D3DRS_ALPHABLENDENABLE, FALSE);
    g_device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_ONE);
    // The lit vertex colour is the output.
    g_device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_DISABLE);
    g_device->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_DIFFUSE);
    g_device->SetTextureStageState(0, D3DTSS_COLORARG2, D3DTA_TEXTURE);
    g_device->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_DISABLE);

    // Rotate about Y, then about X, by the same angle; then move up and left.
    D3DMATRIX world;
    D3DMATRIX other;
    MatRotateX(&world, t);
    MatRotateY(&other, t);
    MatMultiply(&world, &other, &world);
    MatTranslate(&other, -1.2f, 0.9f, 0.0f);
    MatMultiply(&world, &world, &other);
    g_device->SetTransform(D3DTS_WORLD, &world);

    const D3DVECTOR eye = {0.0f, 0.0f, -5.0f};
    const D3DVECTOR at = {0.0f, 0.0f, 0.0f};
    const D3DVECTOR up = {0.0f, 1.0f, 0.0f};
    D3DMATRIX view;
    g_device->SetTransform(D3DTS_VIEW, MatLookAt(&view, &eye, &at, &up));
    D3DMATRIX projection;
    // Square aspect on the 4:3 screen, as the show was designed.
    g_device->SetTransform(D3DTS_PROJECTION,
                           MatPerspective(&projection, kFieldOfView, 1.0f, 1.0f, 100.0f));

    m_mesh.Draw(D3DPT_TRIANGLELIST, 0, 12);
    s_angle = t + 2.0f * step;
    return 0;
}

void CEffectCube1::SaveState(CEffectState* state) const {
    state->Put(s_angle);
}

void CEffectCube1::LoadState(CEffectState* state) {
    state->Take(&s_angle);
}
