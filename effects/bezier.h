// "bezier": a translucent textured sheet, a bicubic patch over a 4 x 4 net of
// control points that wander a little every frame, spinning about the view
// axis.
#pragma once

#include "render/d3d8.h"
#include "render/vertex_buffer.h"
#include "resources/texture.h"
#include "runtime/effect.h"

class CEffectBezier : public CEffect {
public:
    int Init(int width, int height) override;
    int Render(float step) override;
    void SaveState(CEffectState* state) const override;
    void LoadState(CEffectState* state) override;
    int Trigger() override;

    // The cubic through the four points a[0..3] at s: s = 1 gives a[0],
    // s = 0 gives a[3].
    static void EvalCurve(float s, const D3DVECTOR a[4], D3DVECTOR* out);
    // Tessellates the current net into the vertex buffer: N strips of
    // 2 (N + 1) vertices.
    void BuildPatch();

    // Running time in seconds of every bezier sheet, advanced only while drawn.
    static float s_time;

    CTexture texture;
    CVertexBuffer vertices;
    int subdivisions = 0;
    D3DVECTOR control[4][4] = {};  // [row][column]
};
