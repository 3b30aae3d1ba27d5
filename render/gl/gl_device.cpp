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
