#include "tests/render/headless_device_fixture.h"

#include <cstdlib>

std::unique_ptr<CHeadlessGLContext> HeadlessDeviceTest::s_context;
std::string HeadlessDeviceTest::s_error;

void HeadlessDeviceTest::SetUpTestSuite() {
    // Software rendering gives the same pixels on every machine.
    setenv("LIBGL_ALWAYS_SOFTWARE", "1", 0);
    s_context = CHeadlessGLContext::Create(&s_error);
}

void HeadlessDeviceTest::TearDownTestSuite() { s_context.reset(); }

void HeadlessDeviceTest::SetUp() {
    ASSERT_TRUE(s_context) << "no headless OpenGL context: " << s_error;
    s_context->MakeCurrent();
    m_d3d = Direct3DCreate8(D3D_SDK_VERSION);
    ASSERT_NE(m_d3d, nullptr);
    D3DPRESENT_PARAMETERS params{};
    params.BackBufferWidth = kWidth;
    params.BackBufferHeight = kHeight;
    params.BackBufferFormat = D3DFMT_A8R8G8B8;
    ASSERT_EQ(m_d3d->CreateDevice(0, D3DDEVTYPE_HAL, nullptr, D3DCREATE_SOFTWARE_VERTEXPROCESSING, &params,
                                  &m_device),
              D3D_OK)
        << RasterDeviceLastError();
    g_device = m_device;
}

void HeadlessDeviceTest::TearDown() {
    g_device = nullptr;
    if (m_device) {
        EXPECT_EQ(m_device->Release(), 0u);
    }
    if (m_d3d) m_d3d->Release();
}
