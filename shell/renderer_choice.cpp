#include "shell/renderer_choice.h"

#include <algorithm>
#include <cctype>

bool IsSoftwareGLRenderer(const std::string& renderer) {
    std::string lower = renderer;
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    for (const char* name : {"llvmpipe", "softpipe", "swrast"}) {
        if (lower.find(name) != std::string::npos) return true;
    }
    return false;
}

bool ChooseRenderer(ERenderer requested, const std::string& glRenderer, const std::string& noGL,
                    SRendererChoice* choice) {
    switch (requested) {
        case ERenderer::kCpu:
            *choice = {true, "--renderer cpu"};
            return true;
        case ERenderer::kGpu:
            if (glRenderer.empty()) return false;
            *choice = {false, "--renderer gpu (OpenGL renderer " + glRenderer + ")"};
            return true;
        case ERenderer::kAuto:
            if (glRenderer.empty()) {
                *choice = {true, "no OpenGL 3.3 core context (" + noGL + ")"};
            } else if (IsSoftwareGLRenderer(glRenderer)) {
                *choice = {true, "the OpenGL renderer is " + glRenderer + ", a software one"};
            } else {
                *choice = {false, "the OpenGL renderer is " + glRenderer};
            }
            return true;
    }
    return false;
}
