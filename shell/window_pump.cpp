#include "shell/window_pump.h"

#include "shell/stop_signals.h"

namespace {

// How often the queue is looked at between layers for a close: often enough
// to end within a frame, seldom enough to cost nothing.
constexpr uint32_t kLookMilliseconds = 20;

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

void CWindowPump::Pump() {
    SDL_Event event;
    // The message that ends the run is neither handled nor followed by others.
    while (!m_ended && SDL_PollEvent(&event)) {
        if (EndsRun(event)) {
            m_ended = true;
            return;
        }
        WindowProc(event);
    }
}

bool CWindowPump::StopRequested() {
    if (m_ended || StopSignal() != 0) return true;
    const uint32_t now = SDL_GetTicks();
    if (now - m_lastLook < kLookMilliseconds) return false;
    m_lastLook = now;
    m_ended = QuitWaiting();
    return m_ended;
}

int CWindowPump::ExitStatus() const {
    const int signal = StopSignal();
    return signal ? StopSignalExitStatus(signal) : 0;
}
