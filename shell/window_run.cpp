#include "shell/window_run.h"

#include <SDL.h>

#include <memory>
#include <string>

#include "render/core/raster_device.h"
#include "resources/report.h"
#include "shell/author_mode.h"
#include "shell/author_panel.h"
#include "shell/cpu_window_output.h"
#include "shell/display_device.h"
#include "shell/gl_window_output.h"
#include "shell/interactive_run.h"
#include "shell/panel_renderers.h"
#include "shell/stop_signals.h"
#include "shell/window.h"

namespace {

// The window first tries OpenGL; when the CPU is to draw, a plain window
// with SDL's renderer takes its place.
class CWindowHost : public IRendererHost {
public:
    CWindowHost(CWindow* window, const SOptions& options)
        : m_window(window),
          m_options(options),
          m_gl(window, options.windowed, options.width, options.height) {}

    bool OfferOpenGL(std::string* glRenderer, std::string* noGL, std::string* error) override {
        return m_gl.Open(glRenderer, noGL, error);
    }
    bool PrepareForCpu(std::string* error) override {
        m_gl.Close();
        return m_cpu.Open(m_window, m_options.windowed, m_options.width, m_options.height, error);
    }
    std::string NoOpenGL(const std::string& noGL) const override {
        return "Cannot create an OpenGL 3.3 core context: " + noGL +
               " (the graphics driver must offer OpenGL 3.3 core; on Debian, Mesa's comes with libgl1-mesa-dri)";
    }

    void NativeSize(int* width, int* height) const override { m_window->NativeSize(width, height); }

    // The output that shows the device's frames; null, with the reason, when
    // it cannot.
    IPresentSink* Sink(const CDisplayDevice& display, std::string* error) {
        if (!display.Cpu()) {
            m_gl.Attach(display.GL());
            return &m_gl;
        }
        return m_cpu.Attach(display.Device(), error) ? &m_cpu : nullptr;
    }
    // Author mode's panel, over the output's frames.
    std::unique_ptr<IPanelRenderer> PanelRenderer(const CDisplayDevice& display) const {
        return display.Cpu() ? CreateSdlPanelRenderer(m_cpu.Renderer()) : CreateGLPanelRenderer();
    }
    void SetOverlay(IWindowOverlay* overlay) {
        m_cpu.SetOverlay(overlay);
        m_gl.SetOverlay(overlay);
    }

private:
    CWindow* m_window;
    const SOptions& m_options;
    CGLWindowOutput m_gl;
    CCpuWindowOutput m_cpu;
};

}  // namespace

int RunInWindow(const SOptions& options) {
    InstallStopSignals();
    CWindow window;
    CWindowHost host(&window, options);
    // Released before the context it may draw on.
    CDisplayDevice display;
    std::string error;
    IPresentSink* sink = nullptr;
    if (!window.Start(&error) || !display.Open(DisplayRequest(options), &host, &error) ||
        !(sink = host.Sink(display, &error))) {
        ShowMessageBox("Quellbrook", error.c_str());
        return 1;
    }
    display.Device().SetPresentSink(sink);
    if (!options.author) {
        SDL_ShowCursor(SDL_DISABLE);
        return RunInteractive(options, &display.Device());
    }
    // The pointer is for the panel.
    const std::unique_ptr<IPanelRenderer> renderer = host.PanelRenderer(display);
    CAuthorPanel panel(renderer.get(), display.Name());
    host.SetOverlay(&panel);
    const int status = RunAuthorMode(options, display.Size(), &display.Device(), &panel);
    host.SetOverlay(nullptr);
    return status;
}
