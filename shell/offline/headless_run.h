// What capture and benchmark share: the demo on an offscreen GL context with
// no window and no sound device, on a clock that advances exactly one frame
// period (1/fps s) per pass, so that a run is the same every time.
#pragma once

#include <memory>
#include <string>

#include "render/gl/gl_device.h"
#include "shell/offline/fixed_counter.h"

// Hides g_device or shows it again (see RasterDeviceSetHidden).
void HideHeadlessDevice(bool hidden);

class CHeadlessRun {
public:
    explicit CHeadlessRun(int fps);
    ~CHeadlessRun();
    CHeadlessRun(const CHeadlessRun&) = delete;
    CHeadlessRun& operator=(const CHeadlessRun&) = delete;

    // Makes the context and the device (g_device). False, with the reason in
    // *error, when this machine cannot render headless.
    bool Start(std::string* error);

    // The timer's position in frame periods since it started.
    int64_t TimerSteps() const { return m_counter.Last(); }

private:
    CFixedCounter m_counter;
    std::unique_ptr<CHeadlessGLContext> m_context;
};
