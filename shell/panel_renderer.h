// How the author panel's Dear ImGui frames reach the window: the SDL
// platform side and a renderer for the output in use (OpenGL, or SDL's 2D
// renderer for the CPU's frames).
#pragma once

#include <string>

struct ImDrawData;

class IPanelRenderer {
public:
    virtual ~IPanelRenderer() = default;
    // With the panel's ImGui context current. False, with the reason, when
    // the panel cannot be drawn (the run goes on without it).
    virtual bool Start(std::string* error) = 0;
    virtual void Stop() = 0;
    virtual void NewFrame() = 0;
    virtual void Render(ImDrawData* data) = 0;
};
