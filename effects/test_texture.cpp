#include "effects/test_texture.h"

#include <cmath>

#include "effects/flat_draw.h"
#include "runtime/random.h"

float CEffectTestTexture::s_time = 0.0f;

namespace {

constexpr int kParticleCount = 100;
constexpr D3DCOLOR kBackgroundColour = 0x10909090;  // grey 144, alpha 16

// 0 ... 1, exclusive of 1.
float RandomUnit() { return static_cast<float>(DemoRand()) / 32768.0f; }

}  // namespace

void CEffectTestTexture::AddSprite(float x, float y, float z, float s, D3DCOLOR colour, CVertexBuffer* buffer) {
    const float corners[4][3] = {{x - s, y - s, z}, {x + s, y - s, z}, {x + s, y + s, z}, {x - s, y + s, z}};
    const float uvs[4][2] = {{0.0f, 0.0f}, {1.0f, 0.0f}, {1.0f, 1.0f}, {0.0f, 1.0f}};
    for (int k = 0; k < 4; ++k) buffer->AddVertexUV(corners[k], &colour, uvs[k]);
}

int CEffectTestTexture::Init(int width, int height) {
    m_width = width;
    m_height = height;
    m_flare.LoadTGA("Data/circflare.tga");
    m_backgroundTexture.LoadTGA("Data/bg.tga");

    m_particleCount = kParticleCount;
    m_sprites.Create(4 * kParticleCount, kVertexKindColorUV);
    m_particles.resize(kParticleCount);
    // Three draws per particle, in this order: every run places them alike.
    for (SParticle& particle : m_particles) {
        particle.x = (RandomUnit() - 0.5f) * static_cast<float>(width);
        particle.y = (RandomUnit() - 0.5f) * static_cast<float>(height);
        particle.z = 0.0f;
        particle.halfSize = RandomUnit() * 80.0f + 20.0f;
        particle.colour = 0;  // set by each Render
    }

    m_background.Create(4, kVertexKindColorUV);
    m_background.Lock(0, 0);
    AddSprite(0.0f, -50.0f, 0.0f, static_cast<float>(width / 2), kBackgroundColour, &m_background);
    m_background.Unlock();
    return 0;
}

int CEffectTestTexture::Trigger() {
    g_device->SetTexture(0, m_flare.texture);
    g_device->SetTexture(0, m_backgroundTexture.texture);
    return 0;
}

int CEffectTestTexture::Render(float step) {
    s_time += step;
    const float time = s_time;

    // Colour = texture x diffuse; alpha blends by the diffuse alpha.
    SetModulateStage(D3DTA_DIFFUSE, D3DTA_TEXTURE, D3DTOP_BLENDDIFFUSEALPHA);
    SetLinearFiltering();

    SetUnlitNoCull();
    SetBlend(D3DBLEND_SRCALPHA, D3DBLEND_INVSRCALPHA);
    SetFlatTransforms(m_width, m_height);

    DrawPictureQuad(m_background, m_backgroundTexture);

    // Moved once per frame, not scaled by the step: the wander speeds up with
    // the frame rate, as the show was timed.
    for (int i = 0; i < m_particleCount; ++i) {
        SParticle& particle = m_particles[static_cast<size_t>(i)];
        // The angles are single precision; sines, sums and products double.
        const double a = static_cast<double>(static_cast<float>(i) + time);
        const int blue = static_cast<int>(64.0 * std::sin(a) + 128.0);
        const int green = static_cast<int>(64.0 * std::cos(a) + 128.0);
        const double drift = static_cast<double>(static_cast<float>(3 * i) + time);
        particle.x = static_cast<float>(particle.x + (std::sin(drift) + 1.5 * std::cos(a)));
        particle.y = static_cast<float>(particle.y + 2.0 * std::cos(1.43234 * i + time));
        particle.colour = 0x907F0000u + 256u * static_cast<D3DCOLOR>(green) + static_cast<D3DCOLOR>(blue);
    }

    m_sprites.Lock(0, 0);
    for (const SParticle& particle : m_particles)
        AddSprite(particle.x, particle.y, particle.z, particle.halfSize, particle.colour, &m_sprites);
    m_sprites.Unlock();

    // Additive glow.
    g_device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
    g_device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_ONE);
    g_device->SetTexture(0, m_flare.texture);
    for (int i = 0; i < m_particleCount; ++i) m_sprites.Draw(D3DPT_TRIANGLEFAN, 4 * i, 2);
    return 0;
}

void CEffectTestTexture::SaveState(CEffectState* state) const {
    state->Put(s_time);
    state->PutVector(m_particles);
}

void CEffectTestTexture::LoadState(CEffectState* state) {
    state->Take(&s_time);
    state->TakeVector(&m_particles);
}
