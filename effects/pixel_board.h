// "pixBoard": a swaying 16 x 16 board of small funnels of translucent
// coloured bands, each funnel's depth stretched by a travelling wave, with
// two flat pictures added over the upper-left and lower-right quarters.
#pragma once

#include <vector>

#include "render/d3d8.h"
#include "render/vertex_buffer.h"
#include "resources/texture.h"
#include "runtime/effect.h"

class CEffectPixelBoard : public CEffect {
public:
    int Init(int width, int height) override;
    int Render(float step) override;
    void SaveState(CEffectState* state) const override;
    void LoadState(CEffectState* state) override;
    int Trigger() override;

    // Seconds the board has been drawn; wave and sway pause while it is off.
    static float s_time;

    CTexture upperPicture;
    CTexture lowerPicture;
    CVertexBuffer funnel;
    CVertexBuffer quad;
    int width = 0;
    int height = 0;
    // Per-cell depth factor, [row][column].
    std::vector<std::vector<float>> depth;

private:
    void BuildFunnel();
    void DrawBoard(float t);
};
