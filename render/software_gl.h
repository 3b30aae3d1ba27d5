// Recognises OpenGL renderers that run on the processor. The shell draws
// with the CPU backend instead of them; the GL backend, when told to use
// one anyway, paces itself so that it does not stall the renderer's threads.
#pragma once

#include <string>

// True for Mesa's software renderers (llvmpipe, softpipe, swrast), whose
// GL_RENDERER strings name them.
bool IsSoftwareGLRenderer(const std::string& renderer);
