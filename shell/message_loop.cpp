#include "shell/message_loop.h"

#include <cstdlib>

#include "shell/shell_globals.h"

SDL_GLContext g_glContext = nullptr;

namespace {

int g_exitStatus = 0;

// Keys the system keeps for itself (menus, window shortcuts): they must not
// end the run, so Alt+Tab or Alt+F4 behave as the desktop expects.
bool IsSystemKey(const SDL_Keysym& key) {
    return key.sym == SDLK_F10 || key.sym == SDLK_LALT || key.sym == SDLK_RALT || (key.mod & KMOD_ALT) != 0;
}

bool EndsRun(const SDL_Event& event) {
    if (event.type == SDL_QUIT) return true;
    return event.type == SDL_KEYDOWN && !IsSystemKey(event.key.keysym);
}

}  // namespace

int WindowProc(const SDL_Event& event) {
    if (event.type == SDL_WINDOWEVENT && event.window.event == SDL_WINDOWEVENT_CLOSE) {
        SDL_Event quit;
        SDL_zero(quit);
        quit.type = SDL_QUIT;
        SDL_PushEvent(&quit);
    }
    return 0;
}

int PumpWindowMessages() {
    SDL_Event event;
    while (SDL_PollEvent(&event)) {
        if (EndsRun(event)) ExitDemo();
        WindowProc(event);
    }
    return 0;
}

bool QuitWaiting() {
    SDL_PumpEvents();
    if (SDL_PeepEvents(nullptr, 0, SDL_PEEKEVENT, SDL_QUIT, SDL_QUIT) > 0) return true;
    SDL_Event events[16];
    int count = 0;
    while ((count = SDL_PeepEvents(events, 16, SDL_PEEKEVENT, SDL_WINDOWEVENT, SDL_WINDOWEVENT)) > 0) {
        for (int i = 0; i < count; ++i)
            if (events[i].window.event == SDL_WINDOWEVENT_CLOSE) return true;
        // Window events other than closing carry nothing the run needs.
        SDL_FlushEvent(SDL_WINDOWEVENT);
    }
    return false;
}

void SetDemoExitStatus(int status) { g_exitStatus = status; }

void ExitDemo() {
    ReleaseDisplayDevice();
    if (g_glContext) SDL_GL_DeleteContext(g_glContext);
    g_glContext = nullptr;
    if (g_window) SDL_DestroyWindow(g_window);
    g_window = nullptr;
    std::exit(g_exitStatus);
}
