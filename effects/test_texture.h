// "testTexture": a faint background picture under 100 glowing circle sprites
// that wander over the screen and shift colour over time.
#pragma once

#include <vector>

#include "render/vertex_buffer.h"
#include "resources/texture.h"
#include "runtime/effect.h"

class CEffectTestTexture : public CEffect {
public:
    int Init(int width, int height) override;
    int Render(float step) override;
    void SaveState(CEffectState* state) const override;
    void LoadState(CEffectState* state) override;
    // Binds the flare picture, then the background, which stays bound.
    int Trigger() override;

    // Appends the square (x +- s, y +- s) as four vertices of one colour, a
    // two-triangle fan with v = 0 along its lower edge.
    static void AddSprite(float x, float y, float z, float halfSize, D3DCOLOR colour, CVertexBuffer* buffer);

    // Running time shared by every object of the class; it advances only
    // while a layer holding the effect is drawn.
    static float s_time;

private:
    struct SParticle {
        float x, y, z;
        float halfSize;
        D3DCOLOR colour;
    };

    int m_width = 0;
    int m_height = 0;
    int m_particleCount = 0;
    std::vector<SParticle> m_particles;
    CVertexBuffer m_sprites;     // 4 position + colour + uv vertices per particle
    CVertexBuffer m_background;  // 4 position + colour + uv vertices
    CTexture m_flare;
    CTexture m_backgroundTexture;
};
