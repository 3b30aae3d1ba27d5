#include "tests/render/backend_device_fixture.h"

#include <cstdlib>
#include <memory>

#include "render/cpu/cpu_raster.h"
#include "render/core/raster_direct3d.h"
#include "render/gl/gl_device.h"

std::string TestBackendName(const ::testing::TestParamInfo<ETestBackend>& info) {
    return info.param == ETestBackend::kGL ? "GL" : "Cpu";
}

IDirect3DDevice8* CreateTestDevice(ETestBackend backend, int width, int height, std::string* error) {
    IDirect3D8* d3d = nullptr;
    if (backend == ETestBackend::kCpu) {
        d3d = CreateRasterDirect3D([](std::string* reason) { return CreateCpuRasterBackend({}, reason); });
    } else {
        // Software rendering gives the same pixels on every machine.
        setenv("LIBGL_ALWAYS_SOFTWARE", "1", 0);
        static std::string contextError;
        static std::unique_ptr<CHeadlessGLContext> context = CHeadlessGLContext::Create(&contextError);
        if (!context) {
            *error = "no headless OpenGL context: " + contextError;
            return nullptr;
        }
        context->MakeCurrent();
        d3d = Direct3DCreate8(D3D_SDK_VERSION);
    }
    D3DPRESENT_PARAMETERS params{};
    params.BackBufferWidth = static_cast<UINT>(width);
    params.BackBufferHeight = static_cast<UINT>(height);
    params.BackBufferFormat = D3DFMT_A8R8G8B8;
    IDirect3DDevice8* device = nullptr;
    if (d3d->CreateDevice(0, D3DDEVTYPE_HAL, nullptr, D3DCREATE_SOFTWARE_VERTEXPROCESSING, &params,
                          &device) != D3D_OK) {
        *error = RasterDeviceLastError();
    }
    d3d->Release();
    return device;
}

void BackendDeviceTest::SetUp() {
    std::string error;
    m_device = CreateTestDevice(GetParam(), kWidth, kHeight, &error);
    ASSERT_NE(m_device, nullptr) << error;
    g_device = m_device;
}

void BackendDeviceTest::TearDown() {
    g_device = nullptr;
    if (m_device) {
        EXPECT_EQ(m_device->Release(), 0u);
    }
}

std::vector<uint8_t> BackendDeviceTest::ReadBack() {
    std::vector<uint8_t> rgba;
    RasterDeviceReadBackBuffer(m_device, &rgba);
    return rgba;
}
