#include "effects/pixel_board.h"

#include <cmath>

#include "effects/flat_draw.h"
#include "render/d3dmath.h"
#include "runtime/random.h"

float CEffectPixelBoard::s_time = 0.0f;

namespace {

constexpr int kCells = 16;
constexpr int kBands = 8;
constexpr int kBandVertices = 34;
constexpr int kFunnelCapacity = 384;
// Seven strips per cell; band 7 is built but never drawn.
constexpr int kDrawnBands = 7;
constexpr float kQuarterPi = static_cast<float>(3.14159265358979323846 / 4);
constexpr D3DCOLOR kWhite = 0xFFFFFFFF;

// A band channel: 64 ... 191.
DWORD BandChannel() { return static_cast<DWORD>(DemoRand() % 128 + 64); }

}  // namespace

int CEffectPixelBoard::Init(int w, int h) {
    width = w;
    height = h;
    BuildFunnel();
    // Render overwrites every value before reading it.
    depth.assign(kCells, std::vector<float>(kCells, 1.0f));
    upperPicture.LoadTGA("Data/coders.tga");
    lowerPicture.LoadTGA("Data/music.tga");
    quad.Create(4, kVertexKindColorUV);
    return 0;
}

int CEffectPixelBoard::Trigger() { return 0; }

void CEffectPixelBoard::BuildFunnel() {
    funnel.Create(kFunnelCapacity, kVertexKindColor);
    funnel.Lock(0, 0);
    for (int k = 0; k < kBands; ++k) {
        // Red, then green, then blue: the order the generator is read in
        // decides the colours.
        const DWORD red = BandChannel();
        const DWORD green = BandChannel();
        const DWORD blue = BandChannel();
        const D3DCOLOR colour = 0x20000000u | (red << 16) | (green << 8) | blue;

        const float innerRadius = static_cast<float>(k) / 45.0f + 0.1f;
        const float outerRadius = static_cast<float>(k + 1) / 45.0f + 0.1f;
        const float innerDepth = static_cast<float>(k) * 0.5f;
        const float outerDepth = static_cast<float>(k + 1) * 0.5f;
        auto addPair = [&](float angle) {
            const float inner[3] = {static_cast<float>(innerRadius * std::sin(angle)),
                                    static_cast<float>(innerRadius * std::cos(angle)), innerDepth};
            const float outer[3] = {static_cast<float>(outerRadius * std::sin(angle)),
                                    static_cast<float>(outerRadius * std::cos(angle)), outerDepth};
            funnel.AddVertex(inner, &colour);
            funnel.AddVertex(outer, &colour);
        };
        for (int j = 0; j < 16; ++j) addPair(static_cast<float>(j) * 0.06666667f * 6.2831855f);
        // Angle 0 once more closes the band.
        addPair(0.0f);
    }
    funnel.Unlock();
}

void CEffectPixelBoard::DrawBoard(float t) {
    D3DMATRIX view, projection;
    const D3DVECTOR eye = {0.0f, 0.0f, -10.0f}, at = {0.0f, 0.0f, 0.0f}, up = {0.0f, 1.0f, 0.0f};
    g_device->SetTransform(D3DTS_VIEW, MatLookAt(&view, &eye, &at, &up));
    g_device->SetTransform(D3DTS_PROJECTION, MatPerspective(&projection, kQuarterPi, 1.0f, 1.0f, 100.0f));

    SetUnlitNoCull();
    SetBlend(D3DBLEND_SRCALPHA, D3DBLEND_ONE);
    // Untextured: each band adds 32/255 of its vertex colour.
    SetUntexturedStage();

    // The travelling wave; a negative factor turns a funnel towards the viewer.
    for (int i = 0; i < kCells; ++i)
        for (int j = 0; j < kCells; ++j)
            depth[i][j] = static_cast<float>(0.25 * (std::cos(5.0 * (j + static_cast<double>(t))) +
                                                     std::sin(5.0 * (i + static_cast<double>(t)))) +
                                             0.2);

    // The whole board sways about the origin, which is not its centre.
    D3DMATRIX rotateX, rotateY, sway;
    MatMultiply(&sway, MatRotateX(&rotateX, std::sin(t)), MatRotateY(&rotateY, std::cos(t)));
    for (int i = 0; i < kCells; ++i) {
        for (int j = 0; j < kCells; ++j) {
            D3DMATRIX scale, move, world;
            MatScale(&scale, 1.0f, 1.0f, depth[i][j]);
            MatTranslate(&move, 0.4f * static_cast<float>(j) - 3.2f, 0.4f * static_cast<float>(i) - 3.2f, 0.0f);
            MatMultiply(&world, MatMultiply(&world, &move, &scale), &sway);
            g_device->SetTransform(D3DTS_WORLD, &world);
            // Each strip runs two vertices into the next band; those two
            // triangles are degenerate and cover nothing.
            for (int band = 0; band < kDrawnBands; ++band)
                funnel.Draw(D3DPT_TRIANGLESTRIP, band * kBandVertices, kBandVertices);
        }
    }
}

int CEffectPixelBoard::Render(float step) {
    const float t = s_time;
    DrawBoard(t);

    SetFlatTransforms(width, height);
    SetModulateStage(D3DTA_DIFFUSE, D3DTA_TEXTURE, D3DTOP_BLENDDIFFUSEALPHA);
    SetLinearFiltering();
    // The pictures are added at full strength.
    SetUnlitNoCull();
    SetBlend(D3DBLEND_ONE, D3DBLEND_ONE);

    // Upright (v = 1 along the top edge), over the upper-left and lower-right
    // quarters.
    const float hw = static_cast<float>(width / 2);
    const float hh = static_cast<float>(height / 2);
    FillPictureQuad(quad, {-hw, 0.0f, 0.0f, hh}, kWhite);
    DrawPictureQuad(quad, upperPicture);
    FillPictureQuad(quad, {0.0f, hw, -hh, 0.0f}, kWhite);
    DrawPictureQuad(quad, lowerPicture);

    s_time = t + step;
    return 0;
}

void CEffectPixelBoard::SaveState(CEffectState* state) const {
    state->Put(s_time);
}

void CEffectPixelBoard::LoadState(CEffectState* state) {
    state->Take(&s_time);
}
