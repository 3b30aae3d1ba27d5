#include <gtest/gtest.h>

#include <string>

#include "render/software_gl.h"
#include "shell/renderer_choice.h"

namespace {

TEST(RendererChoice, SoftwareOpenGLGoesToTheCpuHardwareStays) {
    EXPECT_TRUE(IsSoftwareGLRenderer("llvmpipe (LLVM 15.0.6, 256 bits)"));
    EXPECT_TRUE(IsSoftwareGLRenderer("Gallium 0.4 on softpipe"));
    EXPECT_TRUE(IsSoftwareGLRenderer("Software Rasterizer (swrast)"));
    EXPECT_FALSE(IsSoftwareGLRenderer("Mesa Intel(R) UHD Graphics 620 (KBL GT2)"));
    EXPECT_FALSE(IsSoftwareGLRenderer("NVIDIA GeForce RTX 3060/PCIe/SSE2"));

    const std::string llvmpipe = "llvmpipe (LLVM 15.0.6, 256 bits)";
    const std::string intel = "Mesa Intel(R) UHD Graphics 620 (KBL GT2)";
    struct {
        ERenderer requested;
        std::string glRenderer;
        bool ok, cpu;
        const char* why;
        std::string sizeProblem;
    } cases[] = {
        {ERenderer::kAuto, intel, true, false, "the OpenGL renderer is Mesa Intel(R) UHD Graphics 620 (KBL GT2)", ""},
        {ERenderer::kAuto, llvmpipe, true, true,
         "the OpenGL renderer is llvmpipe (LLVM 15.0.6, 256 bits), a software one", ""},
        {ERenderer::kAuto, "", true, true, "no OpenGL 3.3 core context (eglInitialize failed)", ""},
        {ERenderer::kCpu, intel, true, true, "--renderer cpu", ""},
        {ERenderer::kGpu, llvmpipe, true, false, "--renderer gpu (OpenGL renderer llvmpipe (LLVM 15.0.6, 256 bits))", ""},
        {ERenderer::kGpu, "", false, false, "", ""},
        // A picture too large for the driver sends auto to the CPU.
        {ERenderer::kAuto, intel, true, true,
         "the OpenGL renderer Mesa Intel(R) UHD Graphics 620 (KBL GT2) cannot draw the picture: its textures are "
         "at most 8192 pixels a side (GL_MAX_TEXTURE_SIZE)",
         "its textures are at most 8192 pixels a side (GL_MAX_TEXTURE_SIZE)"},
    };
    for (const auto& c : cases) {
        SRendererChoice choice;
        EXPECT_EQ(ChooseRenderer(c.requested, c.glRenderer, "eglInitialize failed", c.sizeProblem, &choice), c.ok)
            << c.why;
        if (!c.ok) continue;
        EXPECT_EQ(choice.cpu, c.cpu) << c.why;
        EXPECT_EQ(choice.why, c.why);
    }
}

}  // namespace
