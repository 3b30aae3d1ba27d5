// Which raster backend draws, and why: the OpenGL one on a hardware
// driver, the CPU one where OpenGL is a software renderer or missing.
#pragma once

#include <string>

enum class ERenderer { kAuto, kGpu, kCpu };

struct SRendererChoice {
    bool cpu = false;
    std::string why;  // for the user: "the OpenGL renderer is llvmpipe (...), a software one"
};

// `glRenderer` is the GL_RENDERER string of the OpenGL 3.3 context made for
// the run, empty when none could be made, for the reason `noGL`;
// `sizeProblem` says why that context cannot draw the run's picture (empty
// when it can), which sends auto to the CPU. False when gpu is asked for and
// there is no context (the caller says why).
bool ChooseRenderer(ERenderer requested, const std::string& glRenderer, const std::string& noGL,
                    const std::string& sizeProblem, SRendererChoice* choice);
