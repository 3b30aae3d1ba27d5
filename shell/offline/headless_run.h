// What capture and benchmark share: the demo with no window and no sound
// device, drawn on an offscreen GL context or by the CPU backend, on a clock that advances exactly one frame
// period (1/fps s) per pass, so that a run is the same every time.
#pragma once

#include <memory>
#include <string>

#include "render/gl/gl_device.h"
#include "shell/offline/fixed_counter.h"
#include "shell/renderer_choice.h"

// Hides g_device or shows it again (see RasterDeviceSetHidden).
void HideHeadlessDevice(bool hidden);

class CHeadlessRun {
public:
    explicit CHeadlessRun(const SFrameRate& fps);
    ~CHeadlessRun();
    CHeadlessRun(const CHeadlessRun&) = delete;
    CHeadlessRun& operator=(const CHeadlessRun&) = delete;

    // Makes the context (unless the CPU draws) and the device (g_device),
    // and says on standard error which backend draws and why. False, with
    // the reason in *error, when this machine cannot render headless.
    bool Start(ERenderer renderer, int threads, std::string* error);

    // Which backend draws ("cpu (AVX2, 2 threads)") and why.
    const std::string& RendererName() const { return m_rendererName; }
    const std::string& RendererWhy() const { return m_rendererWhy; }

    // The timer's position in frame periods since it started.
    int64_t TimerSteps() const { return m_counter.Steps(); }

private:
    CFixedCounter m_counter;
    std::unique_ptr<CHeadlessGLContext> m_context;
    std::string m_rendererName;
    std::string m_rendererWhy;
};
