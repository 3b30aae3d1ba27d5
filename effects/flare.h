// "flare": a glowing, pulsing disc of nine rings and a centre fan, added onto
// the picture. Each row of a profile image is one frame of its outline.
#pragma once

#include <cstdint>
#include <vector>

#include "render/vertex_buffer.h"
#include "resources/texture.h"
#include "runtime/effect.h"

class CEffectFlare : public CEffect {
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
    static constexpr int kRings = 9;

    // Radius sample (0..255) of one outline frame, taken with a 3-byte stride.
    int Sample(int row, int column) const;
    void FillRing(int k, int row, double phase);
    void FillCentre(int row, double phase);

    int m_profileWidth = 0;   // radius samples per outline
    int m_profileHeight = 0;  // outline frames
    int m_profileDepth = 0;
    std::vector<uint8_t> m_profile;  // the file's pixel data; empty when not loaded
    CTexture m_gradient;
    CVertexBuffer m_rings[kRings];
    CVertexBuffer m_centre;
};
