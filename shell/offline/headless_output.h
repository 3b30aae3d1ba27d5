// Where the runs without a window draw: an OpenGL 3.3 core context without
// a display (EGL), or the CPU; presented frames go to the run's own sink
// (a capture's frames) or nowhere. The music is only decoded, never played,
// and the timer advances exactly one frame period (1/fps s) per pass, so
// that a run is the same every time.
#pragma once

#include <memory>
#include <string>

#include "render/gl/gl_device.h"
#include "shell/display_device.h"
#include "shell/offline/fixed_counter.h"

class IPresentSink;

class CHeadlessOutput : public IRendererHost {
public:
    explicit CHeadlessOutput(const SFrameRate& fps);
    ~CHeadlessOutput() override;
    CHeadlessOutput(const CHeadlessOutput&) = delete;
    CHeadlessOutput& operator=(const CHeadlessOutput&) = delete;

    // Makes the device on the chosen backend (saying which and why); its
    // presented frames go to `sink` when there is one. False, with the
    // reason in *error, when this machine cannot render headless.
    bool Open(const SDisplayRequest& request, IPresentSink* sink, std::string* error);

    CRasterDevice& Device() const { return m_display.Device(); }
    const CDisplayDevice& Display() const { return m_display; }
    // The timer's position in frame periods since it started.
    int64_t TimerSteps() const { return m_counter.Steps(); }

    bool OfferOpenGL(std::string* glRenderer, std::string* noGL, std::string* error) override;
    bool PrepareForCpu(std::string* error) override;
    std::string NoOpenGL(const std::string& noGL) const override;
    // Without a display only a size asked for is known.
    void NativeSize(int* width, int* height) const override;

private:
    CFixedCounter m_counter;
    std::unique_ptr<CHeadlessGLContext> m_context;
    // Released before the context it may draw on.
    CDisplayDevice m_display;
};
