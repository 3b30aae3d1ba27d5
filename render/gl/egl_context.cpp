// A GL 3.3 core context without any display: Mesa's surfaceless platform,
// or else the first EGL device (GPU drivers that offer no surfaceless
// platform). Drawing goes to framebuffer objects only.
#include <epoxy/egl.h>

#include <cstring>

#include "render/gl/gl_device.h"

namespace {

bool HasExtension(const char* list, const char* name) {
    if (!list) return false;
    const size_t length = std::strlen(name);
    for (const char* p = list; (p = std::strstr(p, name)) != nullptr; p += length) {
        if ((p == list || p[-1] == ' ') && (p[length] == ' ' || p[length] == '\0')) return true;
    }
    return false;
}

EGLDisplay OpenDisplay(std::string* error) {
    const char* client = eglQueryString(EGL_NO_DISPLAY, EGL_EXTENSIONS);
    if (!HasExtension(client, "EGL_EXT_platform_base")) {
        *error = "EGL has no platform extension (EGL_EXT_platform_base)";
        return EGL_NO_DISPLAY;
    }
    if (HasExtension(client, "EGL_MESA_platform_surfaceless")) {
        EGLDisplay display =
            eglGetPlatformDisplayEXT(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY, nullptr);
        if (display != EGL_NO_DISPLAY) return display;
    }
    if (HasExtension(client, "EGL_EXT_platform_device") &&
        HasExtension(client, "EGL_EXT_device_enumeration")) {
        EGLDeviceEXT device = nullptr;
        EGLint count = 0;
        if (eglQueryDevicesEXT(1, &device, &count) && count > 0) {
            EGLDisplay display = eglGetPlatformDisplayEXT(EGL_PLATFORM_DEVICE_EXT, device, nullptr);
            if (display != EGL_NO_DISPLAY) return display;
        }
    }
    *error = "no surfaceless or device EGL platform is available";
    return EGL_NO_DISPLAY;
}

class CEGLContext : public CHeadlessGLContext {
public:
    CEGLContext(EGLDisplay display, EGLContext context) : m_display(display), m_context(context) {}
    ~CEGLContext() override {
        if (eglGetCurrentContext() == m_context) {
            eglMakeCurrent(m_display, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
        }
        eglDestroyContext(m_display, m_context);
        // The display is shared by every context of the process (EGL hands
        // out one per platform), so it is left initialised.
    }
    void MakeCurrent() override {
        eglMakeCurrent(m_display, EGL_NO_SURFACE, EGL_NO_SURFACE, m_context);
    }

private:
    EGLDisplay m_display;
    EGLContext m_context;
};

}  // namespace

std::unique_ptr<CHeadlessGLContext> CHeadlessGLContext::Create(std::string* error) {
    std::string ignored;
    if (!error) error = &ignored;
    EGLDisplay display = OpenDisplay(error);
    if (display == EGL_NO_DISPLAY) return nullptr;
    EGLint major = 0, minor = 0;
    if (!eglInitialize(display, &major, &minor)) {
        *error = "eglInitialize failed";
        return nullptr;
    }
    const char* extensions = eglQueryString(display, EGL_EXTENSIONS);
    if (!HasExtension(extensions, "EGL_KHR_surfaceless_context") ||
        !HasExtension(extensions, "EGL_KHR_create_context")) {
        *error = "EGL cannot make a context without a surface";
        return nullptr;
    }
    if (!eglBindAPI(EGL_OPENGL_API)) {
        *error = "EGL does not offer desktop OpenGL";
        return nullptr;
    }
    const EGLint configAttributes[] = {EGL_RENDERABLE_TYPE, EGL_OPENGL_BIT, EGL_SURFACE_TYPE, 0,
                                       EGL_NONE};
    EGLConfig config = nullptr;
    EGLint configs = 0;
    if (!eglChooseConfig(display, configAttributes, &config, 1, &configs) || configs < 1) {
        config = nullptr;  // EGL_KHR_no_config_context lets this through
        if (!HasExtension(extensions, "EGL_KHR_no_config_context")) {
            *error = "EGL has no configuration for desktop OpenGL";
            return nullptr;
        }
    }
    const EGLint contextAttributes[] = {EGL_CONTEXT_MAJOR_VERSION_KHR, 3,
                                        EGL_CONTEXT_MINOR_VERSION_KHR, 3,
                                        EGL_CONTEXT_OPENGL_PROFILE_MASK_KHR,
                                        EGL_CONTEXT_OPENGL_CORE_PROFILE_BIT_KHR,
                                        EGL_NONE};
    EGLContext context = eglCreateContext(display, config, EGL_NO_CONTEXT, contextAttributes);
    if (context == EGL_NO_CONTEXT) {
        *error = "EGL could not create an OpenGL 3.3 core context";
        return nullptr;
    }
    if (!eglMakeCurrent(display, EGL_NO_SURFACE, EGL_NO_SURFACE, context)) {
        eglDestroyContext(display, context);
        *error = "EGL could not make the context current";
        return nullptr;
    }
    return std::make_unique<CEGLContext>(display, context);
}
