// Shows the CPU backend's frames in the window through SDL's 2D renderer:
// scaled to the window with the aspect kept, black borders, presentation
// waiting for the display's refresh.
#pragma once

#include <cstdint>
#include <string>

struct SDL_Renderer;
struct SDL_Texture;
struct SDL_Window;

class CSdlPresenter {
public:
    // False, with SDL's reason, when the window takes no renderer. The
    // renderer and its texture go with the window (SDL_DestroyWindow).
    bool Create(SDL_Window* window, int width, int height, std::string* error);
    // Puts a frame (BGRA rows top first) into the window's back buffer.
    void Show(const uint8_t* bgra, int width, int height);
    void Present();

private:
    SDL_Renderer* m_renderer = nullptr;
    SDL_Texture* m_texture = nullptr;
    int m_width = 0;
    int m_height = 0;
};
