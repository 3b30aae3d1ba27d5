#include "shell/win_main.h"

#include <SDL.h>

#include <cstdio>
#include <string>

#include "render/d3d8.h"
#include "render/gl/gl_device.h"
#include "resources/report.h"
#include "runtime/message_pump.h"
#include "shell/demo_driver.h"
#include "shell/author_mode.h"
#include "shell/display_device.h"
#include "shell/interactive_start.h"
#include "shell/message_loop.h"
#include "shell/sdl_presenter.h"
#include "shell/shell_globals.h"
#include "shell/stop_signals.h"

namespace {

constexpr int kWidth = 1024;
constexpr int kHeight = 768;

void ShowDesktopMessageBox(const char* caption, const char* text) {
    // Without a desktop this fails; the text is on standard error already.
    SDL_ShowSimpleMessageBox(0, caption, text, nullptr);
}

// For failures before the device exists: the run cannot start at all.
int FailStart(const std::string& reason) {
    ShowMessageBox("Quellbrook", reason.c_str());
    if (g_glContext) SDL_GL_DeleteContext(g_glContext);
    g_glContext = nullptr;
    if (g_window) SDL_DestroyWindow(g_window);
    g_window = nullptr;
    SDL_Quit();
    return -1;
}

constexpr const char* kHeadlessHint =
    ". --windowed needs a display too; use --capture DIR to render the demo to files without one.";

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

int WinMain(const SOptions& options) {
    const bool windowed = options.windowed;
    const ERenderer renderer = options.renderer;
    const int threads = options.threads;
    // SIGINT and SIGTERM are ours to handle (SDL would turn them into a quit
    // message that only a pumping "beginScene" sees).
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    InstallStopSignals();
    if (SDL_Init(SDL_INIT_VIDEO) != 0) {
        return FailStart(std::string("Cannot open a window: ") + SDL_GetError() + kHeadlessHint);
    }
    if (NoDisplay()) {
        return FailStart(std::string("No display to show the demo on: no X11 or Wayland desktop could be reached") +
                         kHeadlessHint);
    }
    SetMessageBoxHook(ShowDesktopMessageBox);

    const Uint32 flags = SDL_WINDOW_RESIZABLE | SDL_WINDOW_ALLOW_HIGHDPI | (windowed ? 0 : SDL_WINDOW_FULLSCREEN_DESKTOP);
    std::string glRenderer, noGL;
    if (renderer != ERenderer::kCpu) {
        SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 3);
        SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 3);
        SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_CORE);
        SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
        SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 0);
        g_window = SDL_CreateWindow("Quellbrook", SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, kWidth, kHeight,
                                    flags | SDL_WINDOW_OPENGL);
        if (!g_window) return FailStart(std::string("Cannot open a window: ") + SDL_GetError() + kHeadlessHint);
        g_glContext = SDL_GL_CreateContext(g_window);
        if (g_glContext) {
            SDL_GL_MakeCurrent(g_window, g_glContext);
            glRenderer = CurrentGLRenderer();
        } else {
            noGL = SDL_GetError();
        }
    }
    SRendererChoice choice;
    if (!ChooseRenderer(renderer, glRenderer, noGL, &choice)) {
        return FailStart("Cannot create an OpenGL 3.3 core context: " + noGL +
                         " (the graphics driver must offer OpenGL 3.3 core; on Debian, Mesa's comes with "
                         "libgl1-mesa-dri)");
    }
    std::string error;
    // The CPU draws into a window of its own, without OpenGL.
    static CSdlPresenter presenter;
    if (choice.cpu) {
        if (g_glContext) SDL_GL_DeleteContext(g_glContext);
        g_glContext = nullptr;
        if (g_window) SDL_DestroyWindow(g_window);
        g_window = SDL_CreateWindow("Quellbrook", SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, kWidth, kHeight,
                                    flags);
        if (!g_window) return FailStart(std::string("Cannot open a window: ") + SDL_GetError() + kHeadlessHint);
        if (!presenter.Create(g_window, kWidth, kHeight, &error)) return FailStart(error);
    }
    ReportF("quellbrook", 0, "drawing with %s: %s", DescribeRenderer(choice, threads).c_str(), choice.why.c_str());

    SDL_ShowCursor(SDL_DISABLE);
    CpuShowFn show;
    if (choice.cpu) show = [](const uint8_t* bgra, int width, int height) { presenter.Show(bgra, width, height); };
    if (!CreateDisplayDevice(g_window, choice, threads, show, &error)) return FailStart(error);

    SPresentTarget target;
    if (choice.cpu) {
        // The size only has to be known for the frame to be shown; SDL
        // scales it.
        target.drawableSize = [](int* width, int* height) { SDL_GetWindowSize(g_window, width, height); };
        target.swap = [] { presenter.Present(); };
    } else {
        // Presentation waits for the display's refresh.
        SDL_GL_SetSwapInterval(1);
        target.drawableSize = [](int* width, int* height) { SDL_GL_GetDrawableSize(g_window, width, height); };
        target.swap = [] { SDL_GL_SwapWindow(g_window); };
    }
    RasterDeviceSetPresentTarget(g_device, target);
    SetPumpMessagesHook(PumpWindowMessages);

    SDemoHooks hooks;
    hooks.stopRequested = [] {
        if (const int signal = StopSignal()) {
            SetDemoExitStatus(StopSignalExitStatus(signal));
            ExitDemo();
        }
        if (QuitWaiting()) ExitDemo();
        return false;
    };
    if (options.author) {
        if (!RunAuthorMode(options)) SetDemoExitStatus(1);
    } else {
        CInteractiveStart start(options);
        if (!RunDemo(start.Wrap(hooks)) || !start.CheckReached()) SetDemoExitStatus(1);
    }

    // The quit request goes through the queue, so every message before it is
    // handled as during the run.
    SDL_Event quit;
    SDL_zero(quit);
    quit.type = SDL_QUIT;
    SDL_PushEvent(&quit);
    PumpWindowMessages();
    return 0;
}
