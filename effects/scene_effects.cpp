#include "effects/scene_effects.h"

#include "render/d3d8.h"
#include "runtime/message_pump.h"

int CEffectClearScreen::Init(int width, int height) {
    (void)width;
    (void)height;
    red = 0;
    green = 0;
    blue = 0;
    return 0;
}

int CEffectClearScreen::Render(float step) {
    (void)step;
    const D3DCOLOR color = 0xFF000000u | (static_cast<D3DCOLOR>(red & 255) << 16) |
                           (static_cast<D3DCOLOR>(green & 255) << 8) |
                           static_cast<D3DCOLOR>(blue & 255);
    g_device->Clear(0, nullptr, D3DCLEAR_TARGET, color, 1.0f, 0);
    return 0;
}

int CEffectBeginScene::Render(float step) {
    (void)step;
    g_device->BeginScene();
    // The frame is where window messages are handled; a key press met here
    // ends the run after this layer, before anything is drawn.
    PumpMessages();
    return 0;
}

int CEffectDoneScene::Render(float step) {
    (void)step;
    g_device->EndScene();
    g_device->Present(nullptr, nullptr, nullptr, nullptr);
    return 0;
}
