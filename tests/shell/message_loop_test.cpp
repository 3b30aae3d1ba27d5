#include <gtest/gtest.h>

#include <SDL.h>

#include <cstdio>
#include <cstdlib>

#include "render/recording_device.h"
#include "shell/message_loop.h"
#include "shell/shell_globals.h"

namespace {

// Say on standard error when they are released, so a test can see the exit
// sequence's order from outside the ended process. The device frees itself
// at its last release, as the real one does.
class CAnnouncingDevice : public CRecordingDevice {
public:
    ULONG Release() override {
        std::fprintf(stderr, "device released\n");
        const ULONG left = CRecordingDevice::Release();
        if (left == 0) delete this;
        return left;
    }
};

class CAnnouncingDirect3D : public IDirect3D8 {
public:
    ULONG AddRef() override { return 2; }
    ULONG Release() override {
        std::fprintf(stderr, "direct3d released\n");
        return 0;
    }
    HRESULT GetAdapterDisplayMode(UINT, D3DDISPLAYMODE*) override { return D3D_OK; }
    HRESULT CreateDevice(UINT, D3DDEVTYPE, void*, DWORD, D3DPRESENT_PARAMETERS*, IDirect3DDevice8**) override {
        return E_FAIL;
    }
};

// A real window on SDL's display-less video driver; events are synthesised.
class MessageLoop : public ::testing::Test {
protected:
    void SetUp() override {
        GTEST_FLAG_SET(death_test_style, "threadsafe");
        setenv("SDL_VIDEODRIVER", "dummy", 1);
        ASSERT_EQ(SDL_Init(SDL_INIT_VIDEO), 0) << SDL_GetError();
        g_window = SDL_CreateWindow("Quellbrook", 0, 0, 64, 48, 0);
        ASSERT_NE(g_window, nullptr) << SDL_GetError();
        // Whatever the window produced by being created.
        SDL_PumpEvents();
        SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);
        g_device = new CAnnouncingDevice;
        g_direct3d = &m_direct3d;
    }
    void TearDown() override {
        ReleaseDisplayDevice();
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

    CAnnouncingDirect3D m_direct3d;
};

TEST_F(MessageLoop, KeyPressEndsTheProcessThroughTheExitSequence) {
    EXPECT_EXIT(
        {
            PushKey(SDLK_F10, 0);  // handled like any other message
            PushKey(SDLK_SPACE, 0);
            PumpWindowMessages();
        },
        ::testing::ExitedWithCode(0), "device released\ndirect3d released\n");
}

TEST_F(MessageLoop, QuitRequestAndClosingTheWindowEndTheProcess) {
    EXPECT_EXIT(
        {
            Push(SDL_QUIT);
            PumpWindowMessages();
        },
        ::testing::ExitedWithCode(0), "device released");
    EXPECT_EXIT(
        {
            PushWindowClose();
            // The close asks for a quit, met by the frame's next pump.
            if (PumpWindowMessages() == 0) std::fprintf(stderr, "first pump returned\n");
            PumpWindowMessages();
            std::exit(3);
        },
        ::testing::ExitedWithCode(0), "first pump returned\ndevice released");
}

TEST_F(MessageLoop, SystemKeysAndOtherMessagesDoNotEndTheRun) {
    PushKey(SDLK_LALT, KMOD_LALT);
    PushKey(SDLK_RALT, KMOD_RALT);
    PushKey(SDLK_F10, 0);
    PushKey(SDLK_F4, KMOD_LALT);
    PushKey(SDLK_x, KMOD_RALT);
    PushKey(SDLK_a, 0, SDL_KEYUP);
    Push(SDL_MOUSEMOTION);
    Push(SDL_TEXTINPUT);
    EXPECT_EQ(PumpWindowMessages(), 0);
    // Every waiting message was handled in the one call.
    SDL_Event left;
    EXPECT_EQ(SDL_PeepEvents(&left, 1, SDL_PEEKEVENT, SDL_FIRSTEVENT, SDL_LASTEVENT), 0);
    EXPECT_EQ(PumpWindowMessages(), 0);
}

// Checked once per pass even when nothing pumps: a close or quit is seen,
// while keys stay queued for the pump (only "beginScene" ends on them).
TEST_F(MessageLoop, QuitWaitingSeesClosesAndLeavesKeysQueued) {
    PushKey(SDLK_SPACE, 0);
    Push(SDL_MOUSEMOTION);
    EXPECT_FALSE(QuitWaiting());
    SDL_Event key;
    EXPECT_EQ(SDL_PeepEvents(&key, 1, SDL_PEEKEVENT, SDL_KEYDOWN, SDL_KEYDOWN), 1);

    PushWindowClose();
    EXPECT_TRUE(QuitWaiting());
    SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);
    Push(SDL_QUIT);
    EXPECT_TRUE(QuitWaiting());
}

TEST_F(MessageLoop, FailedRunEndsWithItsStatus) {
    EXPECT_EXIT(
        {
            SetDemoExitStatus(1);
            Push(SDL_QUIT);
            PumpWindowMessages();
        },
        ::testing::ExitedWithCode(1), "direct3d released");
}

}  // namespace
