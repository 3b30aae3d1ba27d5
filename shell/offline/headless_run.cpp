#include "shell/offline/headless_run.h"

#include "audio/bass.h"
#include "render/core/raster_direct3d.h"
#include "resources/report.h"
#include "shell/display_device.h"
#include "shell/shell_globals.h"

void HideHeadlessDevice(bool hidden) { RasterDeviceSetHidden(g_device, hidden); }

CHeadlessRun::CHeadlessRun(const SFrameRate& fps) : m_counter(fps) {}

CHeadlessRun::~CHeadlessRun() {
    ReleaseDisplayDevice();
    g_timer.SetSource(nullptr);
}

bool CHeadlessRun::Start(ERenderer renderer, int threads, std::string* error) {
    // The music is only decoded (to be written out), never played.
    BassUseNoSoundOutput(true);
    g_timer.SetSource(&m_counter);

    std::string glRenderer, noGL;
    if (renderer != ERenderer::kCpu) {
        m_context = CHeadlessGLContext::Create(&noGL);
        if (m_context) {
            m_context->MakeCurrent();
            glRenderer = CurrentGLRenderer();
        }
    }
    SRendererChoice choice;
    if (!ChooseRenderer(renderer, glRenderer, noGL, &choice)) {
        *error = "cannot render without a display: no OpenGL 3.3 core context through EGL (" + noGL +
                 "); Mesa's software renderer gives one (Debian packages libegl-mesa0 and libgl1-mesa-dri)";
        return false;
    }
    // The CPU draws without the context.
    if (choice.cpu) m_context.reset();
    m_rendererName = DescribeRenderer(choice, threads);
    m_rendererWhy = choice.why;
    ReportF("quellbrook", 0, "drawing with %s: %s", m_rendererName.c_str(), m_rendererWhy.c_str());
    return CreateDisplayDevice(nullptr, choice, threads, nullptr, error);
}
