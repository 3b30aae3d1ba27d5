#include "shell/renderer_choice.h"

#include "render/software_gl.h"

bool ChooseRenderer(ERenderer requested, const std::string& glRenderer, const std::string& noGL,
                    const std::string& sizeProblem, SRendererChoice* choice) {
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
            } else if (!sizeProblem.empty()) {
                *choice = {true, "the OpenGL renderer " + glRenderer + " cannot draw the picture: " + sizeProblem};
            } else {
                *choice = {false, "the OpenGL renderer is " + glRenderer};
            }
            return true;
    }
    return false;
}
