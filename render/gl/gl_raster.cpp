#include "render/gl/gl_raster.h"

#include <epoxy/gl.h>

#include <unordered_map>

namespace {

// Direct3D puts pixel centres on integer coordinates, OpenGL on halves, so
// geometry moves right and down by (almost) half a pixel. Stopping a hair
// short makes an edge that runs exactly through pixel centres fall the way
// Direct3D's top-left fill rule wants, whatever rule the GL applies to ties;
// 1/256 is one step of the usual 8-bit sub-pixel grid. The fragment shader
// takes the same hair back out of the texture coordinates.
constexpr float kShiftX = 0.5f - 1.0f / 128.0f;
constexpr float kShiftY = 0.5f - 1.0f / 256.0f;

const char* const kVertexShader = R"(#version 330 core
layout(location = 0) in vec4 aPosition;  // screen x, y, depth, 1/w
layout(location = 1) in vec4 aColor;
layout(location = 2) in vec2 aTexCoord;
uniform vec2 uTargetSize;
uniform vec2 uShift;
out vec4 vColor;
out vec2 vTexCoord;
void main() {
    float w = 1.0 / aPosition.w;
    // Row 0 of every image is its top row, so screen y maps to GL y unflipped.
    vec2 ndc = (aPosition.xy + uShift) / uTargetSize * 2.0 - 1.0;
    gl_Position = vec4(ndc * w, (aPosition.z * 2.0 - 1.0) * w, w);
    vColor = aColor;
    vTexCoord = aTexCoord;
}
)";

// Texture stage 0 of the fixed-function pipeline. Operation and argument
// codes are Direct3D's.
const char* const kFragmentShader = R"(#version 330 core
in vec4 vColor;
in vec2 vTexCoord;
uniform sampler2D uTexture;
uniform bool uHasTexture;
uniform vec2 uCentreError;
uniform ivec3 uColorOp;  // operation, argument 1, argument 2
uniform ivec3 uAlphaOp;
out vec4 fragColor;

const int OP_DISABLE = 1;
const int OP_SELECTARG1 = 2;
const int OP_SELECTARG2 = 3;
const int OP_MODULATE = 4;
const int OP_BLENDDIFFUSEALPHA = 12;
const int ARG_TEXTURE = 2;

vec4 Argument(int arg, vec4 texel) {
    // At stage 0 "current" is the diffuse colour.
    return arg == ARG_TEXTURE ? texel : vColor;
}

vec4 Combine(int op, vec4 a1, vec4 a2) {
    if (op == OP_SELECTARG1) return a1;
    if (op == OP_SELECTARG2) return a2;
    if (op == OP_MODULATE) return a1 * a2;
    return a1 * vColor.a + a2 * (1.0 - vColor.a);  // OP_BLENDDIFFUSEALPHA
}

void main() {
    vec2 uv = vTexCoord - dFdx(vTexCoord) * uCentreError.x - dFdy(vTexCoord) * uCentreError.y;
    vec4 texel = uHasTexture ? texture(uTexture, uv) : vec4(0.0, 0.0, 0.0, 1.0);
    if (uColorOp.x == OP_DISABLE) {
        fragColor = vColor;
        return;
    }
    vec3 rgb = Combine(uColorOp.x, Argument(uColorOp.y, texel), Argument(uColorOp.z, texel)).rgb;
    float alpha = uAlphaOp.x == OP_DISABLE
        ? vColor.a
        : Combine(uAlphaOp.x, Argument(uAlphaOp.y, texel), Argument(uAlphaOp.z, texel)).a;
    fragColor = vec4(rgb, alpha);
}
)";

GLenum BlendFactor(D3DBLEND blend) {
    switch (blend) {
        case D3DBLEND_ZERO: return GL_ZERO;
        case D3DBLEND_ONE: return GL_ONE;
        case D3DBLEND_SRCCOLOR: return GL_SRC_COLOR;
        case D3DBLEND_INVSRCCOLOR: return GL_ONE_MINUS_SRC_COLOR;
        case D3DBLEND_SRCALPHA: return GL_SRC_ALPHA;
        case D3DBLEND_INVSRCALPHA: return GL_ONE_MINUS_SRC_ALPHA;
        case D3DBLEND_DESTALPHA: return GL_DST_ALPHA;
        case D3DBLEND_INVDESTALPHA: return GL_ONE_MINUS_DST_ALPHA;
        case D3DBLEND_DESTCOLOR: return GL_DST_COLOR;
        default: return GL_ONE_MINUS_DST_COLOR;  // D3DBLEND_INVDESTCOLOR
    }
}

GLint Filter(D3DTEXTUREFILTERTYPE filter) {
    return filter == D3DTEXF_LINEAR ? GL_LINEAR : GL_NEAREST;
}

GLint Address(DWORD address) {
    return address == D3DTADDRESS_CLAMP ? GL_CLAMP_TO_EDGE : GL_REPEAT;
}

GLuint CompileShader(GLenum type, const char* source, std::string* error) {
    const GLuint shader = glCreateShader(type);
    glShaderSource(shader, 1, &source, nullptr);
    glCompileShader(shader);
    GLint ok = GL_FALSE;
    glGetShaderiv(shader, GL_COMPILE_STATUS, &ok);
    if (ok == GL_TRUE) return shader;
    char log[1024] = {};
    glGetShaderInfoLog(shader, sizeof log, nullptr, log);
    *error = std::string("shader compilation failed: ") + log;
    glDeleteShader(shader);
    return 0;
}

// Forgets earlier errors so the next check sees only its own call's. A
// bounded loop, since a lost context may keep reporting.
void ClearErrors() {
    for (int i = 0; i < 16 && glGetError() != GL_NO_ERROR; ++i) {
    }
}

struct SImage {
    GLuint texture = 0;
    GLuint framebuffer = 0;
    int width = 0;
    int height = 0;
};

class CGLRasterBackend : public IRasterBackend {
public:
    ~CGLRasterBackend() override {
        for (auto& entry : m_images) Release(entry.second);
        glDeleteBuffers(1, &m_vertexBuffer);
        glDeleteVertexArrays(1, &m_vertexArray);
        glDeleteSamplers(1, &m_sampler);
        glDeleteProgram(m_program);
    }

    bool Init(std::string* error) {
        const GLuint vs = CompileShader(GL_VERTEX_SHADER, kVertexShader, error);
        if (!vs) return false;
        const GLuint fs = CompileShader(GL_FRAGMENT_SHADER, kFragmentShader, error);
        if (!fs) {
            glDeleteShader(vs);
            return false;
        }
        m_program = glCreateProgram();
        glAttachShader(m_program, vs);
        glAttachShader(m_program, fs);
        glLinkProgram(m_program);
        glDeleteShader(vs);
        glDeleteShader(fs);
        GLint ok = GL_FALSE;
        glGetProgramiv(m_program, GL_LINK_STATUS, &ok);
        if (ok != GL_TRUE) {
            *error = "shader program failed to link";
            return false;
        }
        m_uTargetSize = glGetUniformLocation(m_program, "uTargetSize");
        m_uHasTexture = glGetUniformLocation(m_program, "uHasTexture");
        m_uColorOp = glGetUniformLocation(m_program, "uColorOp");
        m_uAlphaOp = glGetUniformLocation(m_program, "uAlphaOp");
        glUseProgram(m_program);
        glUniform1i(glGetUniformLocation(m_program, "uTexture"), 0);
        glUniform2f(glGetUniformLocation(m_program, "uShift"), kShiftX, kShiftY);
        glUniform2f(glGetUniformLocation(m_program, "uCentreError"), 0.5f - kShiftX,
                    0.5f - kShiftY);

        glGenVertexArrays(1, &m_vertexArray);
        glBindVertexArray(m_vertexArray);
        glGenBuffers(1, &m_vertexBuffer);
        glBindBuffer(GL_ARRAY_BUFFER, m_vertexBuffer);
        const GLsizei stride = sizeof(SRasterVertex);
        glEnableVertexAttribArray(0);
        glVertexAttribPointer(0, 4, GL_FLOAT, GL_FALSE, stride,
                              reinterpret_cast<const void*>(offsetof(SRasterVertex, x)));
        glEnableVertexAttribArray(1);
        glVertexAttribPointer(1, 4, GL_FLOAT, GL_FALSE, stride,
                              reinterpret_cast<const void*>(offsetof(SRasterVertex, r)));
        glEnableVertexAttribArray(2);
        glVertexAttribPointer(2, 2, GL_FLOAT, GL_FALSE, stride,
                              reinterpret_cast<const void*>(offsetof(SRasterVertex, u)));
        glGenSamplers(1, &m_sampler);
        glBindSampler(0, m_sampler);

        glDisable(GL_DEPTH_TEST);
        glDisable(GL_CULL_FACE);  // culled on the CPU, where winding is judged
        glDisable(GL_SCISSOR_TEST);
        glDisable(GL_DITHER);
        glBlendEquation(GL_FUNC_ADD);
        glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
        glPixelStorei(GL_PACK_ALIGNMENT, 4);
        if (glGetError() != GL_NO_ERROR) {
            *error = "OpenGL reported an error while setting up";
            return false;
        }
        return true;
    }

    uint32_t CreateImage(int width, int height) override {
        SImage image;
        image.width = width;
        image.height = height;
        glGenTextures(1, &image.texture);
        glBindTexture(GL_TEXTURE_2D, image.texture);
        // Only level 0 exists; sampling never looks for other levels.
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, 0);
        ClearErrors();
        glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, width, height, 0, GL_BGRA, GL_UNSIGNED_BYTE,
                     nullptr);
        if (glGetError() != GL_NO_ERROR) {
            Release(image);
            return 0;
        }
        glGenFramebuffers(1, &image.framebuffer);
        glBindFramebuffer(GL_FRAMEBUFFER, image.framebuffer);
        glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, image.texture, 0);
        const bool complete = glCheckFramebufferStatus(GL_FRAMEBUFFER) == GL_FRAMEBUFFER_COMPLETE;
        BindTarget();
        if (!complete) {
            Release(image);
            return 0;
        }
        const uint32_t id = m_nextId++;
        m_images[id] = image;
        return id;
    }

    void DestroyImage(uint32_t id) override {
        auto it = m_images.find(id);
        if (it == m_images.end()) return;
        if (m_target == id) m_target = 0;
        Release(it->second);
        m_images.erase(it);
    }

    void UploadImage(uint32_t id, const uint8_t* bgra, int pitch) override {
        const SImage* image = Find(id);
        if (!image) return;
        glBindTexture(GL_TEXTURE_2D, image->texture);
        glPixelStorei(GL_UNPACK_ROW_LENGTH, pitch / 4);
        glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, image->width, image->height, GL_BGRA,
                        GL_UNSIGNED_BYTE, bgra);
        glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
    }

    void DownloadImage(uint32_t id, std::vector<uint8_t>* bgra) override {
        const SImage* image = Find(id);
        if (!image) {
            bgra->clear();
            return;
        }
        bgra->resize(static_cast<size_t>(image->width) * image->height * 4);
        glBindFramebuffer(GL_READ_FRAMEBUFFER, image->framebuffer);
        glReadPixels(0, 0, image->width, image->height, GL_BGRA, GL_UNSIGNED_BYTE, bgra->data());
        BindTarget();
    }

    void SetTarget(uint32_t id) override {
        m_target = id;
        BindTarget();
    }

    void Clear(D3DCOLOR color, const SRasterRect* rect) override {
        if (!Find(m_target)) return;
        if (m_windowBound) BindTarget();
        auto channel = [color](int shift) { return static_cast<float>((color >> shift) & 0xFF) / 255.0f; };
        glClearColor(channel(16), channel(8), channel(0), channel(24));
        if (rect) {
            glEnable(GL_SCISSOR_TEST);
            glScissor(rect->x, rect->y, rect->width, rect->height);
        }
        glClear(GL_COLOR_BUFFER_BIT);
        glDisable(GL_SCISSOR_TEST);
    }

    void DrawTriangles(const SRasterState& state, const SRasterVertex* vertices,
                       size_t count) override {
        if (count == 0 || !Find(m_target)) return;
        if (m_windowBound) BindTarget();
        const SImage* texture = Find(state.texture);
        glActiveTexture(GL_TEXTURE0);
        glBindTexture(GL_TEXTURE_2D, texture ? texture->texture : 0);
        glUniform1i(m_uHasTexture, texture ? 1 : 0);
        glSamplerParameteri(m_sampler, GL_TEXTURE_MAG_FILTER, Filter(state.magFilter));
        glSamplerParameteri(m_sampler, GL_TEXTURE_MIN_FILTER, Filter(state.minFilter));
        glSamplerParameteri(m_sampler, GL_TEXTURE_WRAP_S, Address(state.addressU));
        glSamplerParameteri(m_sampler, GL_TEXTURE_WRAP_T, Address(state.addressV));
        glUniform3i(m_uColorOp, static_cast<GLint>(state.colorOp), static_cast<GLint>(state.colorArg1),
                    static_cast<GLint>(state.colorArg2));
        glUniform3i(m_uAlphaOp, static_cast<GLint>(state.alphaOp), static_cast<GLint>(state.alphaArg1),
                    static_cast<GLint>(state.alphaArg2));
        if (state.blendEnable) {
            glEnable(GL_BLEND);
            // One pair of factors for colour and alpha alike, as Direct3D 8 has.
            glBlendFunc(BlendFactor(state.srcBlend), BlendFactor(state.destBlend));
        } else {
            glDisable(GL_BLEND);
        }
        glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(count * sizeof(SRasterVertex)),
                     vertices, GL_STREAM_DRAW);
        glDrawArrays(GL_TRIANGLES, 0, static_cast<GLsizei>(count));
        ++m_drawCalls;
    }

    void CopyRect(uint32_t source, const SRasterRect& rect, uint32_t dest, int destX,
                  int destY) override {
        const SImage* from = Find(source);
        const SImage* to = Find(dest);
        if (!from || !to) return;
        glBindFramebuffer(GL_READ_FRAMEBUFFER, from->framebuffer);
        glBindFramebuffer(GL_DRAW_FRAMEBUFFER, to->framebuffer);
        glBlitFramebuffer(rect.x, rect.y, rect.x + rect.width, rect.y + rect.height, destX, destY,
                          destX + rect.width, destY + rect.height, GL_COLOR_BUFFER_BIT, GL_NEAREST);
        BindTarget();
    }

    void ShowImage(uint32_t id, int windowWidth, int windowHeight) override {
        const SImage* image = Find(id);
        if (!image || windowWidth <= 0 || windowHeight <= 0) return;
        // The largest rectangle of the image's aspect that fits, centred.
        int width = windowWidth;
        int height = static_cast<int>(static_cast<int64_t>(windowWidth) * image->height / image->width);
        if (height > windowHeight) {
            height = windowHeight;
            width = static_cast<int>(static_cast<int64_t>(windowHeight) * image->width / image->height);
        }
        const int x = (windowWidth - width) / 2;
        const int y = (windowHeight - height) / 2;
        glBindFramebuffer(GL_DRAW_FRAMEBUFFER, 0);
        glViewport(0, 0, windowWidth, windowHeight);
        glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
        glClear(GL_COLOR_BUFFER_BIT);
        glBindFramebuffer(GL_READ_FRAMEBUFFER, image->framebuffer);
        // The window's rows run bottom up, the image's top down: flip.
        glBlitFramebuffer(0, 0, image->width, image->height, x, y + height, x + width, y,
                          GL_COLOR_BUFFER_BIT, GL_LINEAR);
        glBindFramebuffer(GL_READ_FRAMEBUFFER, 0);
        // Swapping needs the window's framebuffer bound; the image target
        // comes back before the next draw or clear.
        m_windowBound = true;
    }

    void Finish() override { glFinish(); }

    uint64_t DrawCallCount() const override { return m_drawCalls; }

private:
    const SImage* Find(uint32_t id) const {
        auto it = m_images.find(id);
        return it == m_images.end() ? nullptr : &it->second;
    }

    void BindTarget() {
        m_windowBound = false;
        const SImage* target = Find(m_target);
        glBindFramebuffer(GL_FRAMEBUFFER, target ? target->framebuffer : 0);
        if (target) glViewport(0, 0, target->width, target->height);
        if (target) glUniform2f(m_uTargetSize, static_cast<float>(target->width),
                                static_cast<float>(target->height));
    }

    static void Release(SImage& image) {
        glDeleteFramebuffers(1, &image.framebuffer);
        glDeleteTextures(1, &image.texture);
        image = SImage();
    }

    GLuint m_program = 0;
    GLuint m_vertexArray = 0;
    GLuint m_vertexBuffer = 0;
    GLuint m_sampler = 0;
    GLint m_uTargetSize = -1;
    GLint m_uHasTexture = -1;
    GLint m_uColorOp = -1;
    GLint m_uAlphaOp = -1;
    std::unordered_map<uint32_t, SImage> m_images;
    uint32_t m_nextId = 1;
    uint32_t m_target = 0;
    uint64_t m_drawCalls = 0;
    bool m_windowBound = false;
};

}  // namespace

std::unique_ptr<IRasterBackend> CreateGLRasterBackend(std::string* error) {
    if (!epoxy_is_desktop_gl() || epoxy_gl_version() < 33) {
        *error = "an OpenGL 3.3 context is required";
        return nullptr;
    }
    auto backend = std::make_unique<CGLRasterBackend>();
    if (!backend->Init(error)) return nullptr;
    return backend;
}
