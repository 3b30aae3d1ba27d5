#include "shell/offline/headless_output.h"

#include "audio/bass.h"
#include "render/core/raster_device.h"
#include "shell/shell_globals.h"

CHeadlessOutput::CHeadlessOutput(const SFrameRate& fps) : m_counter(fps) {}

CHeadlessOutput::~CHeadlessOutput() { g_timer.SetSource(nullptr); }

bool CHeadlessOutput::Open(const SDisplayRequest& request, IPresentSink* sink, std::string* error) {
    // The music is only decoded (to be written out), never played.
    BassUseNoSoundOutput(true);
    g_timer.SetSource(&m_counter);
    if (!m_display.Open(request, this, error)) return false;
    m_display.Device().SetPresentSink(sink);
    return true;
}

bool CHeadlessOutput::OfferOpenGL(std::string* glRenderer, std::string* noGL, std::string* error) {
    (void)error;  // without a context the CPU may still draw
    m_context = CHeadlessGLContext::Create(noGL);
    if (m_context) {
        m_context->MakeCurrent();
        *glRenderer = CurrentGLRenderer();
    }
    return true;
}

bool CHeadlessOutput::PrepareForCpu(std::string* error) {
    (void)error;
    // The CPU draws without the context.
    m_context.reset();
    return true;
}

std::string CHeadlessOutput::NoOpenGL(const std::string& noGL) const {
    return "cannot render without a display: no OpenGL 3.3 core context through EGL (" + noGL +
           "); Mesa's software renderer gives one (Debian packages libegl-mesa0 and libgl1-mesa-dri)";
}

void CHeadlessOutput::NativeSize(int* width, int* height) const {
    *width = kDefaultFrameWidth;
    *height = kDefaultFrameHeight;
}
