#include "shell/display_device.h"

#include <cstring>
#include <memory>

#include "render/core/raster_device.h"
#include "render/core/raster_direct3d.h"
#include "render/cpu/cpu_raster.h"
#include "render/d3d8.h"
#include "render/gl/gl_raster.h"
#include "resources/report.h"
#include "shell/shell_globals.h"

namespace {

// The backend for the user: "cpu (AVX2, 2 threads)" or "gpu (OpenGL 3.3 core)".
std::string DescribeRenderer(const SRendererChoice& choice, int threads) {
    if (!choice.cpu) return "gpu (OpenGL 3.3 core)";
    const int workers = CpuRasterWorkers(threads);
    return std::string("cpu (") + CpuSimdName(ECpuSimd::kAuto) + ", " + std::to_string(workers) +
           (workers == 1 ? " thread)" : " threads)");
}

}  // namespace

CDisplayDevice::~CDisplayDevice() { ReleaseDisplayDevice(); }

bool CDisplayDevice::Open(ERenderer requested, int threads, IRendererHost* host, std::string* error) {
    std::string glRenderer, noGL;
    if (requested != ERenderer::kCpu && !host->OfferOpenGL(&glRenderer, &noGL, error)) return false;
    if (!ChooseRenderer(requested, glRenderer, noGL, &m_choice)) {
        *error = host->NoOpenGL(noGL);
        return false;
    }
    if (m_choice.cpu && !host->PrepareForCpu(error)) return false;
    m_name = DescribeRenderer(m_choice, threads);
    ReportF("quellbrook", 0, "drawing with %s: %s", m_name.c_str(), m_choice.why.c_str());
    return Create(threads, error);
}

bool CDisplayDevice::Create(int threads, std::string* error) {
    std::unique_ptr<IRasterBackend> backend;
    std::string reason;
    if (m_choice.cpu) {
        SCpuRasterOptions options;
        options.threads = threads;
        backend = CreateCpuRasterBackend(options, &reason);
    } else {
        std::unique_ptr<IGLRasterBackend> gl = CreateGLRasterBackend(&reason);
        m_gl = gl.get();
        backend = std::move(gl);
    }
    if (!backend) {
        m_gl = nullptr;
        *error = m_choice.cpu ? "cannot create the display device: " + reason
                              : "cannot create the display device (OpenGL 3.3 core is needed): " + reason;
        return false;
    }
    auto* direct3d = new CRasterDirect3D();
    // Only the format of the desktop's mode is used.
    D3DDISPLAYMODE mode;
    std::memset(&mode, 0, sizeof(mode));
    direct3d->GetAdapterDisplayMode(0, &mode);

    D3DPRESENT_PARAMETERS params;
    std::memset(&params, 0, sizeof(params));
    params.BackBufferFormat = mode.Format;
    params.Windowed = FALSE;
    params.SwapEffect = D3DSWAPEFFECT_COPY_VSYNC;
    params.BackBufferCount = 1;
    params.BackBufferWidth = 1024;
    params.BackBufferHeight = 768;
    m_device = direct3d->CreateRasterDevice(std::move(backend), &params, &reason);
    // Everything after this assumes a device: without one the run cannot go on.
    if (!m_device) {
        m_gl = nullptr;
        *error = "cannot create the display device: " + reason;
        direct3d->Release();
        return false;
    }
    g_direct3d = direct3d;
    g_device = m_device;
    return true;
}
