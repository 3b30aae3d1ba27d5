// Dear ImGui's frames drawn with OpenGL 3.3 core into the window's own
// framebuffer, over the frame shown. No GL types here: the shell's panel
// calls these with its ImGui context current.
#pragma once

#include <string>

struct ImDrawData;

class CGLPanelRenderer {
public:
    CGLPanelRenderer() = default;
    ~CGLPanelRenderer();
    CGLPanelRenderer(const CGLPanelRenderer&) = delete;
    CGLPanelRenderer& operator=(const CGLPanelRenderer&) = delete;

    // On the context current on this thread; false, with the reason, when
    // ImGui's renderer cannot start on it.
    bool Start(std::string* error);
    void Stop();
    void NewFrame();
    // Draws into the window's framebuffer and leaves every piece of GL state
    // the raster backend keeps (program, texture, sampler, blending, buffers,
    // viewport, scissor, bindings) as it found it.
    void Render(ImDrawData* data);

private:
    bool m_started = false;
};
