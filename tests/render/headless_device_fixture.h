// A fixture for tests that draw real frames with the OpenGL device: one
// headless context per test suite, a fresh 1024 x 768 device per test,
// installed as g_device and released (to a count of 0) afterwards.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "render/d3d8.h"
#include "render/gl/gl_device.h"

class HeadlessDeviceTest : public ::testing::Test {
protected:
    static constexpr int kWidth = 1024;
    static constexpr int kHeight = 768;

    static void SetUpTestSuite();
    static void TearDownTestSuite();

    // Fails the test when no context or device can be made; a derived SetUp
    // should return when HasFatalFailure() says so.
    void SetUp() override;
    void TearDown() override;

    IDirect3D8* m_d3d = nullptr;
    IDirect3DDevice8* m_device = nullptr;

private:
    static std::unique_ptr<CHeadlessGLContext> s_context;
    static std::string s_error;
};
