// The device a run draws on: what draws it (OpenGL on the output's context,
// or the CPU), chosen and said once, then g_direct3d and g_device over that
// backend, kept typed for the run and its output.
#pragma once

#include <string>

#include "shell/command_line.h"
#include "shell/frame_size.h"
#include "shell/renderer_choice.h"

class CRasterDevice;
class IGLRasterBackend;

// What an output does while the renderer is chosen.
class IRendererHost {
public:
    virtual ~IRendererHost() = default;
    // Makes an OpenGL 3.3 core context current for the run: its GL_RENDERER
    // in *glRenderer, or "" with the reason in *noGL. False, with *error,
    // when the output cannot go on at all.
    virtual bool OfferOpenGL(std::string* glRenderer, std::string* noGL, std::string* error) = 0;
    // The CPU draws: drops any context and gets ready to show its frames.
    // False, with *error, when it cannot.
    virtual bool PrepareForCpu(std::string* error) = 0;
    // Why gpu, asked for, cannot be had, in the output's words.
    virtual std::string NoOpenGL(const std::string& noGL) const = 0;
    // The output's own size, for --size native (once it is open).
    virtual void NativeSize(int* width, int* height) const = 0;
};

// What a run asks of its display.
struct SDisplayRequest {
    ERenderer renderer = ERenderer::kAuto;
    int threads = 0;
    int width = kDefaultFrameWidth;  // the frame
    int height = kDefaultFrameHeight;
    bool nativeSize = false;
    int supersample = 1;
};
// As the command line asks.
SDisplayRequest DisplayRequest(const SOptions& options);

class CDisplayDevice {
public:
    CDisplayDevice() = default;
    // Releases g_device and g_direct3d.
    ~CDisplayDevice();
    CDisplayDevice(const CDisplayDevice&) = delete;
    CDisplayDevice& operator=(const CDisplayDevice&) = delete;

    // Chooses what draws with the host's help, says on standard error which
    // backend draws and why, and makes the device without a depth buffer,
    // its back buffer the frame's picture as drawn. False, with the reason
    // in *error, when the run cannot draw.
    bool Open(const SDisplayRequest& request, IRendererHost* host, std::string* error);

    CRasterDevice& Device() const { return *m_device; }
    // Null when the CPU draws.
    IGLRasterBackend* GL() const { return m_gl; }
    bool Cpu() const { return m_choice.cpu; }
    // Which backend draws ("cpu (AVX2, 2 threads)") and why.
    const std::string& Name() const { return m_name; }
    const std::string& Why() const { return m_choice.why; }
    const SFrameSize& Size() const { return m_size; }

private:
    // *noPicture: the backend was made but could not make the pictures.
    bool Create(int threads, std::string* error, bool* noPicture);

    SFrameSize m_size;
    SRendererChoice m_choice;
    std::string m_name;
    CRasterDevice* m_device = nullptr;
    IGLRasterBackend* m_gl = nullptr;
};
