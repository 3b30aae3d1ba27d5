#include "shell/window.h"

#include <SDL.h>

#include <algorithm>

#include "resources/report.h"
#include "shell/frame_size.h"
#include "shell/shell_globals.h"

namespace {

constexpr const char* kHeadlessHint =
    ". --windowed needs a display too; use --capture DIR to render the demo to files without one.";

void ShowDesktopMessageBox(const char* caption, const char* text) {
    // Without a desktop this fails; the text is on standard error already.
    SDL_ShowSimpleMessageBox(0, caption, text, nullptr);
}

// SDL falls back to drivers that show nothing when there is no desktop;
// playing to those would leave the user looking at nothing. A user who names
// such a driver in SDL_VIDEODRIVER gets it.
bool NoDisplay() {
    const char* driver = SDL_GetCurrentVideoDriver();
    const char* requested = SDL_getenv("SDL_VIDEODRIVER");
    if (requested && *requested) return false;
    return !driver || SDL_strcmp(driver, "offscreen") == 0 || SDL_strcmp(driver, "dummy") == 0;
}

}  // namespace

CWindow::~CWindow() {
    Close();
    SetMessageBoxHook(nullptr);
    SDL_Quit();
}

bool CWindow::Start(std::string* error) {
    // SIGINT and SIGTERM are the run's to handle (SDL would turn them into a
    // quit message that only a pumping "beginScene" sees).
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    if (SDL_Init(SDL_INIT_VIDEO) != 0) {
        *error = std::string("Cannot open a window: ") + SDL_GetError() + kHeadlessHint;
        return false;
    }
    if (NoDisplay()) {
        *error = std::string("No display to show the demo on: no X11 or Wayland desktop could be reached") +
                 kHeadlessHint;
        return false;
    }
    SetMessageBoxHook(ShowDesktopMessageBox);
    return true;
}

bool CWindow::Open(bool windowed, bool openGL, int width, int height, std::string* error) {
    Close();
    m_windowed = windowed;
    const Uint32 flags = SDL_WINDOW_RESIZABLE | SDL_WINDOW_ALLOW_HIGHDPI |
                         (windowed ? 0 : SDL_WINDOW_FULLSCREEN_DESKTOP) | (openGL ? SDL_WINDOW_OPENGL : 0);
    g_window = SDL_CreateWindow("Quellbrook", SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, width, height, flags);
    if (!g_window) {
        *error = std::string("Cannot open a window: ") + SDL_GetError() + kHeadlessHint;
        return false;
    }
    return true;
}

void CWindow::NativeSize(int* width, int* height) const {
    SDL_DisplayMode mode;
    if (!m_windowed && SDL_GetDesktopDisplayMode(SDL_GetWindowDisplayIndex(g_window), &mode) == 0) {
        *width = mode.w;
        *height = mode.h;
    } else {
        SDL_GetWindowSizeInPixels(g_window, width, height);
    }
    *width = std::clamp(*width, kMinFrameWidth, kMaxFrameWidth);
    *height = std::clamp(*height, kMinFrameHeight, kMaxFrameHeight);
}

void CWindow::Close() {
    if (g_window) SDL_DestroyWindow(g_window);
    g_window = nullptr;
}
