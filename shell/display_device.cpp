#include "shell/display_device.h"

#include <cstring>

#include "render/core/raster_direct3d.h"
#include "render/cpu/cpu_raster.h"
#include "render/d3d8.h"
#include "render/gl/gl_device.h"
#include "shell/shell_globals.h"

bool CreateDisplayDevice(void* focusWindow, const SRendererChoice& choice, int threads, CpuShowFn show,
                         std::string* error) {
    IDirect3D8* direct3d = nullptr;
    if (choice.cpu) {
        direct3d = CreateRasterDirect3D([threads, show](std::string* reason) {
            SCpuRasterOptions options;
            options.threads = threads;
            options.show = show;
            return CreateCpuRasterBackend(options, reason);
        });
    } else {
        direct3d = Direct3DCreate8(D3D_SDK_VERSION);
    }
    if (!direct3d) {
        *error = "cannot start the display device: " + RasterDeviceLastError();
        return false;
    }
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

    IDirect3DDevice8* device = nullptr;
    const HRESULT result = direct3d->CreateDevice(0, D3DDEVTYPE_HAL, focusWindow,
                                                  D3DCREATE_SOFTWARE_VERTEXPROCESSING, &params, &device);
    // Everything after this assumes a device: without one the run cannot go on.
    if (result != D3D_OK || !device) {
        *error = choice.cpu ? "cannot create the display device: " + RasterDeviceLastError()
                            : "cannot create the display device (OpenGL 3.3 core is needed): " +
                                  RasterDeviceLastError();
        if (device) device->Release();
        direct3d->Release();
        return false;
    }
    g_direct3d = direct3d;
    g_device = device;
    return true;
}

std::string DescribeRenderer(const SRendererChoice& choice, int threads) {
    if (!choice.cpu) return "gpu (OpenGL 3.3 core)";
    const int workers = CpuRasterWorkers(threads);
    return std::string("cpu (") + CpuSimdName(ECpuSimd::kAuto) + ", " + std::to_string(workers) +
           (workers == 1 ? " thread)" : " threads)");
}
