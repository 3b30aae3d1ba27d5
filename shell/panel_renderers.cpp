#include "shell/panel_renderers.h"

#include <SDL.h>
#include <imgui.h>
#include <backends/imgui_impl_sdl.h>
#include <backends/imgui_impl_sdlrenderer.h>

#include "render/gl/gl_panel.h"
#include "shell/shell_globals.h"

namespace {

class CGLPanel : public IPanelRenderer {
public:
    bool Start(std::string* error) override {
        if (!ImGui_ImplSDL2_InitForOpenGL(g_window, SDL_GL_GetCurrentContext())) {
            *error = "Dear ImGui cannot take the window's input";
            return false;
        }
        if (m_gl.Start(error)) return true;
        ImGui_ImplSDL2_Shutdown();
        return false;
    }
    void Stop() override {
        m_gl.Stop();
        ImGui_ImplSDL2_Shutdown();
    }
    void NewFrame() override {
        m_gl.NewFrame();
        ImGui_ImplSDL2_NewFrame();
    }
    void Render(ImDrawData* data) override { m_gl.Render(data); }

private:
    CGLPanelRenderer m_gl;
};

class CSdlPanel : public IPanelRenderer {
public:
    explicit CSdlPanel(SDL_Renderer* renderer) : m_renderer(renderer) {}

    bool Start(std::string* error) override {
        if (!ImGui_ImplSDL2_InitForSDLRenderer(g_window)) {
            *error = "Dear ImGui cannot take the window's input";
            return false;
        }
        if (ImGui_ImplSDLRenderer_Init(m_renderer)) return true;
        *error = "Dear ImGui's SDL renderer cannot start";
        ImGui_ImplSDL2_Shutdown();
        return false;
    }
    void Stop() override {
        ImGui_ImplSDLRenderer_Shutdown();
        ImGui_ImplSDL2_Shutdown();
    }
    void NewFrame() override {
        ImGui_ImplSDLRenderer_NewFrame();
        ImGui_ImplSDL2_NewFrame();
    }
    void Render(ImDrawData* data) override { ImGui_ImplSDLRenderer_RenderDrawData(data); }

private:
    SDL_Renderer* m_renderer;
};

}  // namespace

std::unique_ptr<IPanelRenderer> CreateGLPanelRenderer() { return std::make_unique<CGLPanel>(); }

std::unique_ptr<IPanelRenderer> CreateSdlPanelRenderer(SDL_Renderer* renderer) {
    return std::make_unique<CSdlPanel>(renderer);
}
