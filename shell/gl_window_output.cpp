#include "shell/gl_window_output.h"

#include <SDL.h>

#include "render/core/letterbox.h"
#include "render/gl/gl_device.h"
#include "shell/shell_globals.h"
#include "shell/window.h"
#include "shell/window_overlay.h"

CGLWindowOutput::~CGLWindowOutput() { Close(); }

bool CGLWindowOutput::Open(std::string* glRenderer, std::string* noGL, std::string* error) {
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 3);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 3);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_CORE);
    SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
    SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 0);
    if (!m_window->Open(m_windowed, true, m_width, m_height, error)) return false;
    m_context = SDL_GL_CreateContext(g_window);
    if (!m_context) {
        *noGL = SDL_GetError();
        return true;
    }
    SDL_GL_MakeCurrent(g_window, m_context);
    *glRenderer = CurrentGLRenderer();
    return true;
}

void CGLWindowOutput::Close() {
    m_backend = nullptr;
    if (m_context) SDL_GL_DeleteContext(m_context);
    m_context = nullptr;
    m_window->Close();
}

void CGLWindowOutput::Attach(IGLRasterBackend* backend) {
    m_backend = backend;
    // Presentation waits for the display's refresh.
    SDL_GL_SetSwapInterval(1);
}

void CGLWindowOutput::OnPresent(CRasterDevice& device) {
    if (!m_backend) return;
    int width = 0, height = 0;
    SDL_GL_GetDrawableSize(g_window, &width, &height);
    const uint32_t image = device.PictureImage();
    m_backend->ShowImage(image, Letterbox(device.PictureWidth(), device.PictureHeight(), width, height), width,
                         height);
    if (m_overlay) m_overlay->DrawOverlay(width, height);
    SDL_GL_SwapWindow(g_window);
}
