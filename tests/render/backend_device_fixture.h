// A fixture for tests that draw the same frames with each raster backend:
// the OpenGL one on a headless context, and the CPU one. A fresh device per
// test, installed as g_device and released (to a count of 0) afterwards.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "render/d3d8.h"

enum class ETestBackend { kGL, kCpu };

// "GL" or "Cpu", for test names.
std::string TestBackendName(const ::testing::TestParamInfo<ETestBackend>& info);

// A device of the given size on the backend; null, with the reason in
// *error, when none can be made. The OpenGL one shares one headless context
// per process.
IDirect3DDevice8* CreateTestDevice(ETestBackend backend, int width, int height, std::string* error);

class BackendDeviceTest : public ::testing::TestWithParam<ETestBackend> {
protected:
    static constexpr int kWidth = 1024;
    static constexpr int kHeight = 768;

    void SetUp() override;
    void TearDown() override;

    // The back buffer as RGBA, rows top first.
    std::vector<uint8_t> ReadBack();

    IDirect3DDevice8* m_device = nullptr;
};
