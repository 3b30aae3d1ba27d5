// The window when the CPU draws: a plain window and SDL's 2D renderer. At
// each Present the picture goes straight into a streaming texture of its
// size, which is scaled into the window with its shape kept, black around
// it, and shown at the display's refresh.
#pragma once

#include <string>

#include "render/core/raster_device.h"

struct SDL_Renderer;
struct SDL_Texture;
class CWindow;
class IWindowOverlay;

class CCpuWindowOutput : public IPresentSink {
public:
    CCpuWindowOutput() = default;
    ~CCpuWindowOutput() override;
    CCpuWindowOutput(const CCpuWindowOutput&) = delete;
    CCpuWindowOutput& operator=(const CCpuWindowOutput&) = delete;

    // Opens the window (width x height when windowed) and its renderer.
    // False, with SDL's reason, when the window takes no renderer.
    bool Open(CWindow* window, bool windowed, int width, int height, std::string* error);
    // Gets ready for the device's pictures. False, with SDL's reason, when
    // the renderer takes no texture of their size.
    bool Attach(const CRasterDevice& device, std::string* error);

    // Drawn over each frame shown, before it is presented; null for none.
    void SetOverlay(IWindowOverlay* overlay) { m_overlay = overlay; }
    SDL_Renderer* Renderer() const { return m_renderer; }

    void OnPresent(CRasterDevice& device) override;

private:
    SDL_Renderer* m_renderer = nullptr;
    SDL_Texture* m_texture = nullptr;
    int m_width = 0;
    int m_height = 0;
    IWindowOverlay* m_overlay = nullptr;
};
