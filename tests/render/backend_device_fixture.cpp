#include "tests/render/backend_device_fixture.h"

#include <cstdlib>
#include <memory>

#include "render/core/raster_direct3d.h"
#include "render/cpu/cpu_raster.h"
#include "render/gl/gl_device.h"

namespace {

// The one headless context of the process, made at the first GL device.
bool MakeGLContextCurrent(std::string* error) {
    // Software rendering gives the same pixels on every machine.
    setenv("LIBGL_ALWAYS_SOFTWARE", "1", 0);
    static std::string contextError;
    static std::unique_ptr<CHeadlessGLContext> context = CHeadlessGLContext::Create(&contextError);
    if (!context) {
        *error = "no headless OpenGL context: " + contextError;
        return false;
    }
    context->MakeCurrent();
    return true;
}

}  // namespace

std::string TestBackendName(const ::testing::TestParamInfo<ETestBackend>& info) {
    return info.param == ETestBackend::kGL ? "GL" : "Cpu";
}

CRasterDevice* CreateTestDevice(ETestBackend backend, int width, int height, std::string* error) {
    std::unique_ptr<IRasterBackend> raster;
    if (backend == ETestBackend::kCpu) {
        raster = CreateCpuRasterBackend({}, error);
    } else if (MakeGLContextCurrent(error)) {
        raster = CreateGLRasterBackend(error);
    }
    if (!raster) return nullptr;
    D3DPRESENT_PARAMETERS params{};
    params.BackBufferWidth = static_cast<UINT>(width);
    params.BackBufferHeight = static_cast<UINT>(height);
    params.BackBufferFormat = D3DFMT_A8R8G8B8;
    auto* direct3d = new CRasterDirect3D();
    CRasterDevice* device = direct3d->CreateRasterDevice(std::move(raster), &params, error);
    direct3d->Release();
    return device;
}

std::vector<uint8_t> ReadBackRgba(CRasterDevice* device) {
    std::vector<uint8_t> rgba(static_cast<size_t>(device->PictureWidth()) * device->PictureHeight() * 4);
    device->ReadPicture(rgba.data(), device->PictureWidth() * 4);
    for (size_t i = 0; i < rgba.size(); i += 4) std::swap(rgba[i], rgba[i + 2]);
    return rgba;
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
