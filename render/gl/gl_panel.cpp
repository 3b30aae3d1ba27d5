#include "render/gl/gl_panel.h"

#include <imgui.h>
#include <backends/imgui_impl_opengl3.h>

CGLPanelRenderer::~CGLPanelRenderer() { Stop(); }

bool CGLPanelRenderer::Start(std::string* error) {
    m_started = ImGui_ImplOpenGL3_Init("#version 330 core");
    if (!m_started) *error = "Dear ImGui's OpenGL 3 renderer cannot start on this context";
    return m_started;
}

void CGLPanelRenderer::Stop() {
    if (m_started) ImGui_ImplOpenGL3_Shutdown();
    m_started = false;
}

void CGLPanelRenderer::NewFrame() { ImGui_ImplOpenGL3_NewFrame(); }

void CGLPanelRenderer::Render(ImDrawData* data) {
    // ImGui's renderer saves and restores the state it changes, the
    // framebuffer binding aside: it draws into the window's, which the
    // backend binds again itself before its next draw.
    ImGui_ImplOpenGL3_RenderDrawData(data);
}
