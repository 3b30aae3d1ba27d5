#include "shell/cpu_window_output.h"

#include <SDL.h>

#include "render/core/letterbox.h"
#include "shell/shell_globals.h"
#include "shell/window.h"
#include "shell/window_overlay.h"

CCpuWindowOutput::~CCpuWindowOutput() {
    // The window, which the renderer belongs to, may be gone already.
    if (m_texture && g_window) SDL_DestroyTexture(m_texture);
    if (m_renderer && g_window) SDL_DestroyRenderer(m_renderer);
}

bool CCpuWindowOutput::Open(CWindow* window, bool windowed, int width, int height, std::string* error) {
    if (!window->Open(windowed, false, width, height, error)) return false;
    m_renderer = SDL_CreateRenderer(g_window, -1, SDL_RENDERER_PRESENTVSYNC);
    if (!m_renderer) {
        *error = std::string("Cannot draw in the window: ") + SDL_GetError();
        return false;
    }
    // Scaled smoothly.
    SDL_SetHint(SDL_HINT_RENDER_SCALE_QUALITY, "linear");
    return true;
}

bool CCpuWindowOutput::Attach(const CRasterDevice& device, std::string* error) {
    // ARGB8888 is B, G, R, A in memory on this little-endian machine.
    m_width = device.PictureWidth();
    m_height = device.PictureHeight();
    m_texture =
        SDL_CreateTexture(m_renderer, SDL_PIXELFORMAT_ARGB8888, SDL_TEXTUREACCESS_STREAMING, m_width, m_height);
    if (!m_texture) {
        *error = std::string("Cannot draw in the window: ") + SDL_GetError();
        return false;
    }
    return true;
}

void CCpuWindowOutput::OnPresent(CRasterDevice& device) {
    void* pixels = nullptr;
    int pitch = 0;
    if (SDL_LockTexture(m_texture, nullptr, &pixels, &pitch) != 0) return;
    device.ReadPicture(static_cast<uint8_t*>(pixels), pitch);
    SDL_UnlockTexture(m_texture);
    int width = 0, height = 0;
    SDL_GetRendererOutputSize(m_renderer, &width, &height);
    const SRasterRect rect = Letterbox(m_width, m_height, width, height);
    const SDL_Rect dest{rect.x, rect.y, rect.width, rect.height};
    SDL_SetRenderDrawColor(m_renderer, 0, 0, 0, 255);
    SDL_RenderClear(m_renderer);
    SDL_RenderCopy(m_renderer, m_texture, nullptr, &dest);
    if (m_overlay) m_overlay->DrawOverlay(width, height);
    SDL_RenderPresent(m_renderer);
}
