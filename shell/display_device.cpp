#include "shell/display_device.h"

#include <cstring>
#include <memory>

#include "render/core/raster_device.h"
#include "render/core/raster_direct3d.h"
#include "render/cpu/cpu_raster.h"
#include "render/d3d8.h"
#include "render/gl/gl_device.h"
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

SDisplayRequest DisplayRequest(const SOptions& options) {
    SDisplayRequest request;
    request.renderer = options.renderer;
    request.threads = options.threads;
    request.width = options.width;
    request.height = options.height;
    request.nativeSize = options.nativeSize;
    request.supersample = options.supersample;
    return request;
}

CDisplayDevice::~CDisplayDevice() { ReleaseDisplayDevice(); }

bool CDisplayDevice::Open(const SDisplayRequest& request, IRendererHost* host, std::string* error) {
    const auto resolveSize = [&] {
        int width = request.width, height = request.height;
        if (request.nativeSize) host->NativeSize(&width, &height);
        m_size = FrameSizeFor(width, height, request.supersample);
        return CheckDrawnSize(m_size, error);
    };
    std::string glRenderer, noGL, sizeProblem;
    if (request.renderer != ERenderer::kCpu) {
        if (!host->OfferOpenGL(&glRenderer, &noGL, error) || !resolveSize()) return false;
        if (!glRenderer.empty()) sizeProblem = GLSizeProblem(m_size.DrawnWidth(), m_size.DrawnHeight());
        if (request.renderer == ERenderer::kGpu && !sizeProblem.empty()) {
            *error = "cannot draw a " + SizeText(m_size.DrawnWidth(), m_size.DrawnHeight()) +
                     " picture with OpenGL: " + sizeProblem;
            return false;
        }
    }
    if (!ChooseRenderer(request.renderer, glRenderer, noGL, sizeProblem, &m_choice)) {
        *error = host->NoOpenGL(noGL);
        return false;
    }
    if (m_choice.cpu && (!host->PrepareForCpu(error) || !resolveSize())) return false;
    m_name = DescribeRenderer(m_choice, request.threads);
    ReportF("quellbrook", 0, "drawing with %s: %s", m_name.c_str(), m_choice.why.c_str());
    bool noPicture = false;
    if (Create(request.threads, error, &noPicture)) return true;
    if (!noPicture || m_choice.cpu || request.renderer != ERenderer::kAuto) return false;
    // The driver could not make the pictures (memory): the CPU can.
    m_choice = {true, "OpenGL could not make the picture (" + *error + ")"};
    if (!host->PrepareForCpu(error) || !resolveSize()) return false;
    m_name = DescribeRenderer(m_choice, request.threads);
    ReportF("quellbrook", 0, "drawing with %s instead: %s", m_name.c_str(), m_choice.why.c_str());
    return Create(request.threads, error, &noPicture);
}

bool CDisplayDevice::Create(int threads, std::string* error, bool* noPicture) {
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
    params.BackBufferWidth = static_cast<UINT>(m_size.DrawnWidth());
    params.BackBufferHeight = static_cast<UINT>(m_size.DrawnHeight());
    m_device = direct3d->CreateRasterDevice(std::move(backend), &params, &reason, m_size.supersample);
    // Everything after this assumes a device: without one the run cannot go on.
    if (!m_device) {
        m_gl = nullptr;
        *noPicture = true;
        *error = "cannot create the display device: " + reason;
        direct3d->Release();
        return false;
    }
    g_direct3d = direct3d;
    g_device = m_device;
    return true;
}
