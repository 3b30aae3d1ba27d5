// "cube1": a small lit cube tumbling about two axes in the upper left of the
// screen while the ambient light cycles through colours. The one effect that
// uses fixed-function lighting.
#pragma once

#include "render/vertex_buffer.h"
#include "runtime/effect.h"

class CEffectCube1 : public CEffect {
public:
    // Fills the mesh and hands the material and light 0 to the device; they
    // are set only here, as no other effect touches lighting.
    int Init(int width, int height) override;
    int Render(float step) override;
    void SaveState(CEffectState* state) const override;
    void LoadState(CEffectState* state) override;

    // Tumble angle in radians, shared by every object of the class; grows by
    // twice the step on each drawn frame.
    static float s_angle;

private:
    CVertexBuffer m_mesh;  // 36 position + normal vertices: 12 triangles
    D3DMATERIAL8 m_material{};
    D3DLIGHT8 m_light{};
};

// Writes the cube of the given half-size, centred on the origin, as 36
// vertices (x y z, nx ny nz: 24 bytes each) into `vertices`: 12 triangles
// wound clockwise seen from outside, each corner's normal pointing out along
// its diagonal so the faces shade smoothly.
void BuildCubeMesh(void* vertices, float halfSize);
