// A fixture for tests that draw the same frames with each raster backend:
// the OpenGL one on the process's one headless context (EGL, software
// rendering), and the CPU one. A fresh device per test, installed as
// g_device and released (to a count of 0) afterwards.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "render/core/raster_device.h"

enum class ETestBackend { kGL, kCpu };

// "GL" or "Cpu", for test names.
std::string TestBackendName(const ::testing::TestParamInfo<ETestBackend>& info);

// A device of the given size on the backend; null, with the reason in
// *error, when none can be made.
CRasterDevice* CreateTestDevice(ETestBackend backend, int width, int height, std::string* error);

// The picture as RGBA, rows top first.
std::vector<uint8_t> ReadBackRgba(CRasterDevice* device);

class BackendDeviceTest : public ::testing::TestWithParam<ETestBackend> {
protected:
    static constexpr int kWidth = 1024;
    static constexpr int kHeight = 768;

    void SetUp() override;
    void TearDown() override;

    std::vector<uint8_t> ReadBack() { return ReadBackRgba(m_device); }

    CRasterDevice* m_device = nullptr;
};
