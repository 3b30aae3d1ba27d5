#include "effects/bezier.h"

#include <cmath>
#include <vector>

#include "effects/flat_draw.h"
#include "render/d3dmath.h"

float CEffectBezier::s_time = 0.0f;

namespace {

constexpr int kBufferVertices = 648;
constexpr D3DCOLOR kPatchColour = 0x40FFFFFF;
constexpr float kSpin = 0.333333343f;
constexpr float kWanderY = 1.2343f;
constexpr float kQuarterPi = static_cast<float>(3.14159265358979323846 / 4);

}  // namespace

int CEffectBezier::Init(int width, int height) {
    (void)width;
    (void)height;
    subdivisions = 16;
    vertices.Create(kBufferVertices, kVertexKindColorUV);
    // Unevenly spaced in both directions: steps 0.5, 0.5, 1.
    const float spacing[4] = {-1.0f, -0.5f, 0.0f, 1.0f};
    for (int row = 0; row < 4; ++row)
        for (int column = 0; column < 4; ++column) control[row][column] = {spacing[column], spacing[row], 0.0f};
    texture.LoadTGA("Data/bez1.tga");
    return 0;
}

int CEffectBezier::Trigger() { return 0; }

void CEffectBezier::EvalCurve(float s, const D3DVECTOR a[4], D3DVECTOR* out) {
    const float r = 1.0f - s;
    const double w0 = static_cast<double>(s) * s * s;
    const double w1 = 3.0 * s * s * r;
    const double w2 = 3.0 * s * r * r;
    const double w3 = static_cast<double>(r) * r * r;
    auto blend = [&](float D3DVECTOR::*axis) {
        const float p0 = static_cast<float>(w0 * (a[0].*axis));
        const float p1 = static_cast<float>(w1 * (a[1].*axis));
        const float p2 = static_cast<float>(w2 * (a[2].*axis));
        const float p3 = static_cast<float>(w3 * (a[3].*axis));
        return static_cast<float>((static_cast<double>(p0) + p1) + (static_cast<double>(p3) + p2));
    };
    const D3DVECTOR result = {blend(&D3DVECTOR::x), blend(&D3DVECTOR::y), blend(&D3DVECTOR::z)};
    *out = result;
}

void CEffectBezier::BuildPatch() {
    const int n = subdivisions;
    const float steps = static_cast<float>(n);

    // The edge u = 0 runs down the last column of the net.
    const D3DVECTOR lastColumn[4] = {control[0][3], control[1][3], control[2][3], control[3][3]};
    std::vector<D3DVECTOR> curve(static_cast<size_t>(n) + 1);
    for (int i = 0; i <= n; ++i) EvalCurve(static_cast<float>(i) / steps, lastColumn, &curve[i]);

    vertices.Lock(0, 0);
    for (int q = 1; q <= n; ++q) {
        const float u0 = static_cast<float>(q - 1) / steps;
        const float u1 = static_cast<float>(q) / steps;
        D3DVECTOR rows[4];
        for (int r = 0; r < 4; ++r) EvalCurve(u1, control[r], &rows[r]);
        for (int j = 0; j <= n; ++j) {
            const float w = static_cast<float>(j) / steps;
            // Each pair joins the previous strip's edge (u0) to this one's (u1).
            const float uvFrom[2] = {u0, w};
            vertices.AddVertexUV(&curve[j].x, &kPatchColour, uvFrom);
            EvalCurve(w, rows, &curve[j]);
            const float uvTo[2] = {u1, w};
            vertices.AddVertexUV(&curve[j].x, &kPatchColour, uvTo);
        }
    }
    vertices.Unlock();
}

int CEffectBezier::Render(float step) {
    s_time += step;
    const float t = s_time;

    g_device->SetRenderState(D3DRS_CULLMODE, D3DCULL_CW);
    g_device->SetRenderState(D3DRS_LIGHTING, FALSE);
    g_device->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
    SetModulateStage(D3DTA_TEXTURE, D3DTA_DIFFUSE, D3DTOP_BLENDDIFFUSEALPHA);
    g_device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
    g_device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);

    D3DMATRIX world, view, projection;
    const float angle = t * kSpin;
    g_device->SetTransform(D3DTS_WORLD, MatRotateZ(&world, angle));
    const D3DVECTOR eye = {0.0f, 0.0f, -5.0f}, at = {0.0f, 0.0f, 0.0f}, up = {0.0f, 1.0f, 0.0f};
    g_device->SetTransform(D3DTS_VIEW, MatLookAt(&view, &eye, &at, &up));
    g_device->SetTransform(D3DTS_PROJECTION,
                           MatPerspective(&projection, kQuarterPi, 1.0f, 1.0f, 100.0f));

    // The frame shows the net as it was before this frame's move.
    BuildPatch();

    // The net moves once per drawn frame, not per second.
    for (int r = 0; r < 4; ++r) {
        for (int c = 0; c < 4; ++c) {
            const double k = r + c;
            D3DVECTOR& p = control[r][c];
            p.x += static_cast<float>(0.02 * std::sin(k + t));
            p.y = static_cast<float>(p.y + 0.02 * std::cos(k + static_cast<double>(kWanderY * t)));
        }
    }

    // A picture that failed to load leaves a null texture: nothing is bound.
    g_device->SetTexture(0, texture.texture);
    const int n = subdivisions;
    for (int i = 0; i < n; ++i) vertices.Draw(D3DPT_TRIANGLESTRIP, 2 * (n + 1) * i, 2 * n);
    return 0;
}

void CEffectBezier::SaveState(CEffectState* state) const {
    state->Put(s_time);
    state->Put(control);
}

void CEffectBezier::LoadState(CEffectState* state) {
    state->Take(&s_time);
    state->Take(&control);
}
