// What ends a played run, with a real window on SDL's display-less video
// driver and synthesised events: the pump records it, nothing exits.
#include <gtest/gtest.h>

#include <SDL.h>

#include <csignal>
#include <cstdlib>

#include "shell/shell_globals.h"
#include "shell/stop_signals.h"
#include "shell/window_pump.h"

namespace {

class WindowPump : public ::testing::Test {
protected:
    void SetUp() override {
        setenv("SDL_VIDEODRIVER", "dummy", 1);
        ASSERT_EQ(SDL_Init(SDL_INIT_VIDEO), 0) << SDL_GetError();
        g_window = SDL_CreateWindow("Quellbrook", 0, 0, 64, 48, 0);
        ASSERT_NE(g_window, nullptr) << SDL_GetError();
        // Whatever the window produced by being created.
        SDL_PumpEvents();
        SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);
    }
    void TearDown() override {
        if (g_window) SDL_DestroyWindow(g_window);
        g_window = nullptr;
        SDL_Quit();
    }

    static void PushKey(SDL_Keycode key, Uint16 modifiers, Uint32 type = SDL_KEYDOWN) {
        SDL_Event event;
        SDL_zero(event);
        event.type = type;
        event.key.state = type == SDL_KEYDOWN ? SDL_PRESSED : SDL_RELEASED;
        event.key.keysym.sym = key;
        event.key.keysym.mod = modifiers;
        SDL_PushEvent(&event);
    }
    static void Push(Uint32 type) {
        SDL_Event event;
        SDL_zero(event);
        event.type = type;
        SDL_PushEvent(&event);
    }
    static void PushWindowClose() {
        SDL_Event close;
        SDL_zero(close);
        close.type = SDL_WINDOWEVENT;
        close.window.event = SDL_WINDOWEVENT_CLOSE;
        close.window.windowID = SDL_GetWindowID(g_window);
        SDL_PushEvent(&close);
    }
    static int Waiting() { return SDL_PeepEvents(nullptr, 0, SDL_PEEKEVENT, SDL_FIRSTEVENT, SDL_LASTEVENT); }
};

// A key press or a quit request is recorded where the pump meets it; the
// messages after it stay queued, unhandled.
TEST_F(WindowPump, KeyPressOrQuitRequestStopsTheRun) {
    CWindowPump keyed;
    PushKey(SDLK_F10, 0);  // handled like any other message
    PushKey(SDLK_SPACE, 0);
    Push(SDL_MOUSEMOTION);
    EXPECT_FALSE(keyed.StopRequested());
    keyed.Pump();
    EXPECT_TRUE(keyed.StopRequested());
    EXPECT_EQ(keyed.ExitStatus(), 0);
    EXPECT_EQ(Waiting(), 1) << "the motion after the key";

    SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);
    CWindowPump quit;
    Push(SDL_QUIT);
    quit.Pump();
    EXPECT_TRUE(quit.StopRequested());
}

// Closing the window asks for the quit that the next pump meets; between
// layers the close is seen even when no "beginScene" pumps.
TEST_F(WindowPump, ClosingTheWindowStopsTheRunWithOrWithoutAPump) {
    CWindowPump pumped;
    PushWindowClose();
    pumped.Pump();
    EXPECT_FALSE(pumped.StopRequested()) << "the close only asked for a quit";
    pumped.Pump();
    EXPECT_TRUE(pumped.StopRequested());

    SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);
    CWindowPump unpumped;
    PushKey(SDLK_SPACE, 0);
    EXPECT_FALSE(unpumped.StopRequested());
    EXPECT_EQ(SDL_PeepEvents(nullptr, 0, SDL_PEEKEVENT, SDL_KEYDOWN, SDL_KEYDOWN), 1) << "keys stay for the pump";
    PushWindowClose();
    SDL_Delay(25);  // past the pause between two looks at the queue
    EXPECT_TRUE(unpumped.StopRequested());
    EXPECT_TRUE(QuitWaiting());
    SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);
    Push(SDL_QUIT);
    EXPECT_TRUE(QuitWaiting());
}

TEST_F(WindowPump, SystemKeysAndOtherMessagesDoNotStopTheRun) {
    CWindowPump pump;
    PushKey(SDLK_LALT, KMOD_LALT);
    PushKey(SDLK_RALT, KMOD_RALT);
    PushKey(SDLK_F10, 0);
    PushKey(SDLK_F4, KMOD_LALT);
    PushKey(SDLK_x, KMOD_RALT);
    PushKey(SDLK_a, 0, SDL_KEYUP);
    Push(SDL_MOUSEMOTION);
    Push(SDL_TEXTINPUT);
    pump.Pump();
    // Every waiting message was handled in the one call.
    EXPECT_EQ(Waiting(), 0);
    SDL_Delay(25);
    EXPECT_FALSE(pump.StopRequested());
}

// SIGINT and SIGTERM stop a run with 128 + their number.
TEST_F(WindowPump, SignalsStopTheRunWithTheirStatus) {
    InstallStopSignals();
    CWindowPump pump;
    EXPECT_FALSE(pump.StopRequested());
    std::raise(SIGTERM);
    EXPECT_TRUE(pump.StopRequested());
    EXPECT_EQ(pump.ExitStatus(), 128 + SIGTERM);
    CSignalPump headless;
    EXPECT_TRUE(headless.StopRequested());
}

}  // namespace
