// The window when OpenGL draws: the window made for OpenGL, its 3.3 core
// context, and presentation (the back buffer scaled into the window with its
// shape kept, black around it, shown at the display's refresh).
#pragma once

#include <string>

#include "render/core/raster_device.h"

class CWindow;
class IGLRasterBackend;
class IWindowOverlay;

class CGLWindowOutput : public IPresentSink {
public:
    // width x height: the window's size when windowed.
    CGLWindowOutput(CWindow* window, bool windowed, int width, int height)
        : m_window(window), m_windowed(windowed), m_width(width), m_height(height) {}
    // Deletes the context: the device drawing on it must be gone by then.
    ~CGLWindowOutput() override;
    CGLWindowOutput(const CGLWindowOutput&) = delete;
    CGLWindowOutput& operator=(const CGLWindowOutput&) = delete;

    // Opens the window for OpenGL and makes its context current: the
    // context's GL_RENDERER, or "" with the reason in *noGL. False, with
    // *error, when even the window cannot be opened.
    bool Open(std::string* glRenderer, std::string* noGL, std::string* error);
    // Deletes the context and closes the window.
    void Close();
    // Shows frames through the device's backend from now on.
    void Attach(IGLRasterBackend* backend);
    // Drawn over each frame shown, before the swap; null for none.
    void SetOverlay(IWindowOverlay* overlay) { m_overlay = overlay; }

    void OnPresent(CRasterDevice& device) override;

private:
    CWindow* m_window;
    bool m_windowed;
    int m_width;
    int m_height;
    void* m_context = nullptr;  // SDL_GLContext
    IGLRasterBackend* m_backend = nullptr;
    IWindowOverlay* m_overlay = nullptr;
};
