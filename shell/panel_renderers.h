// The author panel's renderer for each window output: OpenGL on the
// window's context, or SDL's 2D renderer that shows the CPU's frames.
#pragma once

#include <memory>

#include "shell/panel_renderer.h"

struct SDL_Renderer;

// Both draw into the window g_window.
std::unique_ptr<IPanelRenderer> CreateGLPanelRenderer();
std::unique_ptr<IPanelRenderer> CreateSdlPanelRenderer(SDL_Renderer* renderer);
