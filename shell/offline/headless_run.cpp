#include "shell/offline/headless_run.h"

#include "audio/bass.h"
#include "render/core/raster_direct3d.h"
#include "shell/display_device.h"
#include "shell/shell_globals.h"

void HideHeadlessDevice(bool hidden) { RasterDeviceSetHidden(g_device, hidden); }

CHeadlessRun::CHeadlessRun(int fps) : m_counter(fps) {}

CHeadlessRun::~CHeadlessRun() {
    ReleaseDisplayDevice();
    g_timer.SetSource(nullptr);
}

bool CHeadlessRun::Start(std::string* error) {
    // The music is only decoded (to be written out), never played.
    BassUseNoSoundOutput(true);
    g_timer.SetSource(&m_counter);

    std::string reason;
    m_context = CHeadlessGLContext::Create(&reason);
    if (!m_context) {
        *error = "cannot render without a display: no OpenGL 3.3 core context through EGL (" + reason +
                 "); Mesa's software renderer gives one (Debian packages libegl-mesa0 and libgl1-mesa-dri)";
        return false;
    }
    m_context->MakeCurrent();
    return CreateDisplayDevice(nullptr, error);
}
