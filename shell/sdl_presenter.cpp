#include "shell/sdl_presenter.h"

#include <SDL.h>

bool CSdlPresenter::Create(SDL_Window* window, int width, int height, std::string* error) {
    m_renderer = SDL_CreateRenderer(window, -1, SDL_RENDERER_PRESENTVSYNC);
    if (!m_renderer) {
        *error = std::string("Cannot draw in the window: ") + SDL_GetError();
        return false;
    }
    // Scaled smoothly, letterboxed to the frame's aspect.
    SDL_SetHint(SDL_HINT_RENDER_SCALE_QUALITY, "linear");
    SDL_RenderSetLogicalSize(m_renderer, width, height);
    // ARGB8888 is B, G, R, A in memory on this little-endian machine.
    m_texture = SDL_CreateTexture(m_renderer, SDL_PIXELFORMAT_ARGB8888, SDL_TEXTUREACCESS_STREAMING, width, height);
    if (!m_texture) {
        *error = std::string("Cannot draw in the window: ") + SDL_GetError();
        return false;
    }
    m_width = width;
    m_height = height;
    return true;
}

void CSdlPresenter::Show(const uint8_t* bgra, int width, int height) {
    if (width != m_width || height != m_height) return;
    SDL_UpdateTexture(m_texture, nullptr, bgra, width * 4);
    SDL_SetRenderDrawColor(m_renderer, 0, 0, 0, 255);
    SDL_RenderClear(m_renderer);
    SDL_RenderCopy(m_renderer, m_texture, nullptr, nullptr);
}

void CSdlPresenter::Present() { SDL_RenderPresent(m_renderer); }
