// The Direct3D object whose devices draw with OpenGL 3.3 core.
#include "render/gl/gl_device.h"

#include <epoxy/gl.h>

#include "render/core/raster_direct3d.h"

IDirect3D8* Direct3DCreate8(UINT sdkVersion) {
    if (sdkVersion != D3D_SDK_VERSION) return nullptr;
    return new CRasterDirect3D([](std::string* error) -> std::unique_ptr<IRasterBackend> {
        return CreateGLRasterBackend(error);
    });
}

std::string CurrentGLRenderer() {
    const GLubyte* name = glGetString(GL_RENDERER);
    return name ? reinterpret_cast<const char*>(name) : "";
}

std::string GLSizeProblem(int width, int height) {
    GLint texture = 0;
    GLint viewport[2] = {0, 0};
    glGetIntegerv(GL_MAX_TEXTURE_SIZE, &texture);
    glGetIntegerv(GL_MAX_VIEWPORT_DIMS, viewport);
    if (width > texture || height > texture) {
        return "its textures are at most " + std::to_string(texture) + " pixels a side (GL_MAX_TEXTURE_SIZE)";
    }
    if (width > viewport[0] || height > viewport[1]) {
        return "its viewports are at most " + std::to_string(viewport[0]) + " x " + std::to_string(viewport[1]) +
               " (GL_MAX_VIEWPORT_DIMS)";
    }
    return "";
}
