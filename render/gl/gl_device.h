// What the shell and the tests need of OpenGL, without GL types: the
// backend, the renderer's name, and a context without a display.
#pragma once

#include <memory>
#include <string>

#include "render/d3d8.h"
#include "render/gl/gl_raster.h"

// The Direct3D object whose devices draw with OpenGL 3.3 core on the
// context current on this thread.
IDirect3D8* Direct3DCreate8(UINT sdkVersion);

// The GL_RENDERER string of the context current on this thread (the shell
// picks the CPU backend over a software one).
std::string CurrentGLRenderer();

// Why the context current on this thread cannot draw a width x height
// picture (the largest texture or viewport it makes), or "" when it can.
std::string GLSizeProblem(int width, int height);

// A GL 3.3 core context without any display (EGL, surfaceless platform).
class CHeadlessGLContext {
public:
    // Null, with a reason in *error, when no such context can be made.
    static std::unique_ptr<CHeadlessGLContext> Create(std::string* error);
    virtual ~CHeadlessGLContext() = default;
    virtual void MakeCurrent() = 0;
};
