#include "render/gl/gl_raster.h"

#include <epoxy/gl.h>

#include <algorithm>
#include <chrono>
#include <deque>
#include <initializer_list>
#include <string>
#include <thread>
#include <unordered_map>
#include <vector>

#include "render/software_gl.h"
#include "resources/report.h"

namespace {

// Direct3D puts pixel centres on integer coordinates, OpenGL on halves, so
// geometry moves right and down by (almost) half a pixel. Stopping a hair
// short makes an edge that runs exactly through pixel centres fall the way
// Direct3D's top-left fill rule wants, whatever rule the GL applies to ties;
// 1/256 is one step of the usual 8-bit sub-pixel grid. The fragment shader
// takes the same hair back out of the texture coordinates.
constexpr float kShiftX = 0.5f - 1.0f / 128.0f;
constexpr float kShiftY = 0.5f - 1.0f / 256.0f;

const char* const kVersion = "#version 330 core\n";

const char* const kVertexShader = R"(
layout(location = 0) in vec4 aPosition;  // screen x, y, depth, 1/w
layout(location = 1) in vec4 aColor;
layout(location = 2) in vec2 aTexCoord;
uniform vec2 uViewSize;
uniform vec2 uShift;
COLOR_INTERPOLATION out vec4 vColor;
#if HAS_TEXTURE
out vec2 vTexCoord;
#endif
void main() {
    float w = 1.0 / aPosition.w;
    // Row 0 of every image is its top row, so screen y maps to GL y unflipped.
    vec2 ndc = (aPosition.xy + uShift) / uViewSize * 2.0 - 1.0;
    gl_Position = vec4(ndc * w, (aPosition.z * 2.0 - 1.0) * w, w);
    vColor = aColor;
#if HAS_TEXTURE
    vTexCoord = aTexCoord;
#endif
}
)";

// Texture stage 0 of the fixed-function pipeline, compiled once for each
// combination of operations, arguments and texture presence that is drawn
// (the combination comes first, as #defines with Direct3D's codes), so that
// each program does only its own work: llvmpipe runs every instruction of a
// general shader for every pixel. COLOR_INTERPOLATION (in both stages) is
// flat for batches whose triangles each have one colour, which then needs no
// interpolation at all.
const char* const kFragmentShader = R"(
COLOR_INTERPOLATION in vec4 vColor;
#if HAS_TEXTURE
in vec2 vTexCoord;
#endif
uniform sampler2D uTexture;
uniform vec2 uCentreError;
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
    if (COLOR_OP == OP_DISABLE) {
        fragColor = vColor;
        return;
    }
#if HAS_TEXTURE
    vec2 uv = vTexCoord - dFdx(vTexCoord) * uCentreError.x - dFdy(vTexCoord) * uCentreError.y;
    vec4 texel = texture(uTexture, uv);
#else
    vec4 texel = vec4(0.0, 0.0, 0.0, 1.0);
#endif
    vec3 rgb = Combine(COLOR_OP, Argument(COLOR_ARG1, texel), Argument(COLOR_ARG2, texel)).rgb;
    float alpha = ALPHA_OP == OP_DISABLE
        ? vColor.a
        : Combine(ALPHA_OP, Argument(ALPHA_ARG1, texel), Argument(ALPHA_ARG2, texel)).a;
    fragColor = vec4(rgb, alpha);
}
)";

// What selects a fragment program: the stage-0 operations and arguments and
// whether a texture is bound.
struct SShaderKey {
    DWORD colorOp, colorArg1, colorArg2, alphaOp, alphaArg1, alphaArg2;
    bool hasTexture;
    bool flatColor;

    bool operator==(const SShaderKey& o) const {
        return colorOp == o.colorOp && colorArg1 == o.colorArg1 && colorArg2 == o.colorArg2 &&
               alphaOp == o.alphaOp && alphaArg1 == o.alphaArg1 && alphaArg2 == o.alphaArg2 &&
               hasTexture == o.hasTexture && flatColor == o.flatColor;
    }
};

struct SShaderKeyHash {
    size_t operator()(const SShaderKey& k) const {
        // Every code is below 16.
        return (k.colorOp << 0) ^ (k.colorArg1 << 4) ^ (k.colorArg2 << 8) ^ (k.alphaOp << 12) ^
               (k.alphaArg1 << 16) ^ (k.alphaArg2 << 20) ^
               (static_cast<size_t>(k.hasTexture) << 24) ^ (static_cast<size_t>(k.flatColor) << 25);
    }
};

SShaderKey ShaderKey(const SRasterState& state, bool flatColor) {
    // The state is normalised: a disabled stage already reads no texture.
    return {state.colorOp, state.colorArg1, state.colorArg2, state.alphaOp,
            state.alphaArg1, state.alphaArg2, state.texture != 0, flatColor};
}

const char* InterpolationDefine(bool flatColor) {
    return flatColor ? "#define COLOR_INTERPOLATION flat\n"
                     : "#define COLOR_INTERPOLATION smooth\n";
}

// Untextured programs pass no texture coordinates on, so that llvmpipe's
// geometry stage neither fetches nor sets them up.
const char* TextureDefine(bool hasTexture) {
    return hasTexture ? "#define HAS_TEXTURE 1\n" : "#define HAS_TEXTURE 0\n";
}

// True when each triangle's three vertices carry one colour.
bool TrianglesHaveOneColour(const SRasterVertex* vertices, size_t count) {
    auto same = [](const SRasterVertex& a, const SRasterVertex& b) {
        return a.r == b.r && a.g == b.g && a.b == b.b && a.a == b.a;
    };
    for (size_t i = 0; i + 2 < count; i += 3) {
        if (!same(vertices[i], vertices[i + 1]) || !same(vertices[i], vertices[i + 2])) {
            return false;
        }
    }
    return true;
}

std::string FragmentDefines(const SShaderKey& k) {
    return "#define COLOR_OP " + std::to_string(k.colorOp) + "\n#define COLOR_ARG1 " +
           std::to_string(k.colorArg1) + "\n#define COLOR_ARG2 " + std::to_string(k.colorArg2) +
           "\n#define ALPHA_OP " + std::to_string(k.alphaOp) + "\n#define ALPHA_ARG1 " +
           std::to_string(k.alphaArg1) + "\n#define ALPHA_ARG2 " + std::to_string(k.alphaArg2) + "\n" +
           TextureDefine(k.hasTexture) + InterpolationDefine(k.flatColor);
}

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
        case D3DBLEND_INVDESTCOLOR: return GL_ONE_MINUS_DST_COLOR;
    }
    return GL_ZERO;  // the device accepts no other value
}

GLint Filter(D3DTEXTUREFILTERTYPE filter) {
    return filter == D3DTEXF_LINEAR ? GL_LINEAR : GL_NEAREST;
}

GLint Address(DWORD address) {
    return address == D3DTADDRESS_CLAMP ? GL_CLAMP_TO_EDGE : GL_REPEAT;
}

// A shader's or program's log on one line, for a report.
std::string InfoLog(GLuint object, void (*read)(GLuint, GLsizei, GLsizei*, GLchar*)) {
    char log[1024] = {};
    read(object, sizeof log, nullptr, log);
    std::string text = log;
    for (char& c : text)
        if (c == '\n') c = ' ';
    while (!text.empty() && text.back() == ' ') text.pop_back();
    return text.empty() ? "(no log)" : text;
}

// `sources` are joined; the first holds the #version line.
GLuint CompileShader(GLenum type, std::initializer_list<const char*> sources, std::string* error) {
    const GLuint shader = glCreateShader(type);
    const std::vector<const char*> parts(sources);
    glShaderSource(shader, static_cast<GLsizei>(parts.size()), parts.data(), nullptr);
    glCompileShader(shader);
    GLint ok = GL_FALSE;
    glGetShaderiv(shader, GL_COMPILE_STATUS, &ok);
    if (ok == GL_TRUE) return shader;
    *error = std::string("the driver refused to compile a shader: ") + InfoLog(shader, glGetShaderInfoLog);
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

// The GL viewport a target is drawn through. It reaches kViewMargin past
// the target on every side, because llvmpipe sends a whole draw down its
// slow path (clipping, and work for every vertex of the draw each time its
// output fills) once any one vertex lies outside the GL's clip volume: the
// small triangles of a detailed scene that cross the target's edge would
// otherwise make that happen in most batches. Triangles reaching further
// out are large and few; the GL clips them, which also keeps its
// interpolation across them as exact as on the target itself. Sizes are
// powers of two and the origin an integer, so that mapping positions to the
// viewport and back rounds once, where the origin is added.
constexpr int kViewMargin = 256;

struct SView {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;

    bool operator==(const SView& o) const {
        return x == o.x && y == o.y && width == o.width && height == o.height;
    }
    bool operator!=(const SView& o) const { return !(*this == o); }
};

struct SProgram {
    GLuint program = 0;  // 0 when the driver refused it: such draws are skipped
    GLint uViewSize = -1;
    GLint uShift = -1;
    SView view;  // what uViewSize and uShift are set for
};

// The origin and size of one axis of a target's view. A target too large
// for the margin within `maxSize` is drawn through a view of its own size,
// which is correct but slower.
void ViewAxis(int size, int maxSize, int* origin, int* viewSize) {
    int pow2 = 1;
    while (pow2 < size + 2 * kViewMargin && pow2 < maxSize) pow2 *= 2;
    if (pow2 >= size + 2 * kViewMargin && pow2 <= maxSize) {
        *origin = -kViewMargin;
        *viewSize = pow2;
    } else {
        *origin = 0;
        *viewSize = size;
    }
}

// Once this many vertices have been drawn since the driver was last flushed,
// it is flushed, so that a software rasteriser (llvmpipe) starts on them
// while the device transforms the next batch instead of after the frame.
constexpr size_t kFlushVertices = 3 * 4096;

// A renderer on the processor (llvmpipe) rasterises each flushed batch on
// threads of its own, one per core, that meet at a barrier at the start and
// the end of every batch. Were the device to block in the driver for room
// to queue more, it would be woken just as a batch ends and take a core
// from one of those threads as the next begins, and the other would wait at
// the barrier for as long as the device ran. So the device keeps at most
// this many batches unfinished, and while it waits it looks at the oldest
// every kPaceNap, waking at some moment within a batch, where the thread it
// displaces leaves the other work to do.
constexpr size_t kBatchesInFlight = 2;
constexpr std::chrono::microseconds kPaceNap{100};

class CGLRasterBackend : public IGLRasterBackend {
public:
    ~CGLRasterBackend() override {
        for (auto& entry : m_images) Release(&entry.second);
        for (auto& entry : m_programs) glDeleteProgram(entry.second.program);
        for (const auto& shaders : m_vertexShaders) {
            for (GLuint shader : shaders) glDeleteShader(shader);
        }
        glDeleteBuffers(1, &m_vertexBuffer);
        glDeleteVertexArrays(1, &m_vertexArray);
        glDeleteSamplers(1, &m_sampler);
        ForgetFences();
    }

    bool Init(std::string* error) {
        for (bool flatColor : {false, true}) {
            for (bool hasTexture : {false, true}) {
                GLuint& shader = m_vertexShaders[flatColor][hasTexture];
                shader = CompileShader(GL_VERTEX_SHADER,
                                       {kVersion, InterpolationDefine(flatColor), TextureDefine(hasTexture),
                                        kVertexShader},
                                       error);
                if (!shader) return false;
            }
        }
        // The program of the default stage state, so that a driver refusing
        // the shaders is found at start-up.
        SRasterState textured;
        textured.texture = 1;
        if (!Program(ShaderKey(NormalisedRasterState(textured), false), error)->program) return false;

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
        glGetIntegerv(GL_MAX_VIEWPORT_DIMS, m_maxViewport);
        const GLubyte* renderer = glGetString(GL_RENDERER);
        m_pace = renderer && IsSoftwareGLRenderer(reinterpret_cast<const char*>(renderer));
        glGenSamplers(1, &m_sampler);
        glBindSampler(0, m_sampler);
        glActiveTexture(GL_TEXTURE0);

        glDisable(GL_DEPTH_TEST);
        // Triangles arrive clipped; clipping them again to depth 0..1 could
        // only shave off what rounding put a hair outside.
        glEnable(GL_DEPTH_CLAMP);
        glDisable(GL_CULL_FACE);  // culled on the CPU, where winding is judged
        glDisable(GL_SCISSOR_TEST);
        glDisable(GL_DITHER);
        glDisable(GL_BLEND);
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
        BindTexture(image.texture);
        // Only level 0 exists; sampling never looks for other levels.
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, 0);
        ClearErrors();
        glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, width, height, 0, GL_BGRA, GL_UNSIGNED_BYTE,
                     nullptr);
        if (glGetError() != GL_NO_ERROR) {
            Release(&image);
            return 0;
        }
        glGenFramebuffers(1, &image.framebuffer);
        glBindFramebuffer(GL_FRAMEBUFFER, image.framebuffer);
        glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, image.texture, 0);
        const bool complete = glCheckFramebufferStatus(GL_FRAMEBUFFER) == GL_FRAMEBUFFER_COMPLETE;
        BindTarget();
        if (!complete) {
            Release(&image);
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
        Release(&it->second);
        m_images.erase(it);
    }

    void UploadImage(uint32_t id, const uint8_t* bgra, int pitch) override {
        const SImage* image = Find(id);
        if (!image) return;
        BindTexture(image->texture);
        glPixelStorei(GL_UNPACK_ROW_LENGTH, pitch / 4);
        glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, image->width, image->height, GL_BGRA,
                        GL_UNSIGNED_BYTE, bgra);
        glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
    }

    void DownloadImage(uint32_t id, uint8_t* bgra, int pitch) override {
        const SImage* image = Find(id);
        if (!image) return;
        glBindFramebuffer(GL_READ_FRAMEBUFFER, image->framebuffer);
        glPixelStorei(GL_PACK_ROW_LENGTH, pitch / 4);
        glReadPixels(0, 0, image->width, image->height, GL_BGRA, GL_UNSIGNED_BYTE, bgra);
        glPixelStorei(GL_PACK_ROW_LENGTH, 0);
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
        const bool flatColor = TrianglesHaveOneColour(vertices, count);
        std::string error;
        SProgram* program = Program(ShaderKey(state, flatColor), &error);
        // Said once: the refused program stays cached as refused.
        if (!error.empty()) Report("OpenGL", 0, error + "; what it draws is left out");
        if (!program->program) return;
        UseProgram(program);
        BindTexture(texture ? texture->texture : 0);
        if (texture) SetSampler(state);
        SetBlend(state);
        // One store, overwritten by each draw: a new store per draw costs
        // llvmpipe an allocation and its page faults every time. Writing
        // over the last draw's vertices does not wait: llvmpipe has consumed
        // them when the draw returns, and other drivers stage the update of
        // a buffer still in use.
        const size_t bytes = count * sizeof(SRasterVertex);
        if (bytes > m_vertexCapacity) {
            m_vertexCapacity = std::max(bytes, 2 * m_vertexCapacity);
            glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(m_vertexCapacity), nullptr,
                         GL_STREAM_DRAW);
        }
        glBufferSubData(GL_ARRAY_BUFFER, 0, static_cast<GLsizeiptr>(bytes), vertices);
        glDrawArrays(GL_TRIANGLES, 0, static_cast<GLsizei>(count));
        ++m_drawCalls;
        m_unflushedVertices += count;
        if (m_unflushedVertices >= kFlushVertices) {
            if (m_pace) Pace();
            glFlush();
            m_unflushedVertices = 0;
        }
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

    void ShowImage(uint32_t id, const SRasterRect& dest, int windowWidth, int windowHeight) override {
        const SImage* image = Find(id);
        if (!image || windowWidth <= 0 || windowHeight <= 0) return;
        glBindFramebuffer(GL_DRAW_FRAMEBUFFER, 0);
        glViewport(0, 0, windowWidth, windowHeight);
        glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
        glClear(GL_COLOR_BUFFER_BIT);
        glBindFramebuffer(GL_READ_FRAMEBUFFER, image->framebuffer);
        // The window's rows run bottom up, the image's top down: flip.
        const int top = windowHeight - dest.y;
        glBlitFramebuffer(0, 0, image->width, image->height, dest.x, top, dest.x + dest.width, top - dest.height,
                          GL_COLOR_BUFFER_BIT, GL_LINEAR);
        glBindFramebuffer(GL_READ_FRAMEBUFFER, 0);
        // Swapping needs the window's framebuffer bound; the image target
        // comes back before the next draw or clear.
        m_windowBound = true;
    }

    void Finish() override {
        glFinish();
        ForgetFences();
        m_unflushedVertices = 0;
    }

    uint64_t DrawCallCount() const override { return m_drawCalls; }

private:
    const SImage* Find(uint32_t id) const {
        auto it = m_images.find(id);
        return it == m_images.end() ? nullptr : &it->second;
    }

    // The program for `key`, built at its first use. Its `program` is 0, with
    // the reason in *error, when the driver refused it.
    SProgram* Program(const SShaderKey& key, std::string* error) {
        auto found = m_programs.find(key);
        if (found != m_programs.end()) return &found->second;
        SProgram& entry = m_programs[key];
        const std::string defines = FragmentDefines(key);
        const GLuint fs =
            CompileShader(GL_FRAGMENT_SHADER, {kVersion, defines.c_str(), kFragmentShader}, error);
        if (!fs) return &entry;
        const GLuint program = glCreateProgram();
        glAttachShader(program, m_vertexShaders[key.flatColor][key.hasTexture]);
        glAttachShader(program, fs);
        glLinkProgram(program);
        glDeleteShader(fs);
        GLint ok = GL_FALSE;
        glGetProgramiv(program, GL_LINK_STATUS, &ok);
        if (ok != GL_TRUE) {
            *error = "the driver refused to link a shader program: " + InfoLog(program, glGetProgramInfoLog);
            glDeleteProgram(program);
            return &entry;
        }
        entry.program = program;
        entry.uViewSize = glGetUniformLocation(program, "uViewSize");
        entry.uShift = glGetUniformLocation(program, "uShift");
        glUseProgram(program);
        m_boundProgram = program;
        glUniform1i(glGetUniformLocation(program, "uTexture"), 0);
        glUniform2f(glGetUniformLocation(program, "uCentreError"), 0.5f - kShiftX, 0.5f - kShiftY);
        return &entry;
    }

    void UseProgram(SProgram* program) {
        if (m_boundProgram != program->program) {
            glUseProgram(program->program);
            m_boundProgram = program->program;
        }
        if (program->view != m_view) {
            glUniform2f(program->uViewSize, static_cast<float>(m_view.width),
                        static_cast<float>(m_view.height));
            glUniform2f(program->uShift, kShiftX - static_cast<float>(m_view.x),
                        kShiftY - static_cast<float>(m_view.y));
            program->view = m_view;
        }
    }

    // Marks the end of the batch about to be flushed, then waits until no
    // more than kBatchesInFlight batches are unfinished (see there).
    void Pace() {
        m_fences.push_back(glFenceSync(GL_SYNC_GPU_COMMANDS_COMPLETE, 0));
        while (m_fences.size() > kBatchesInFlight) {
            const GLenum state = glClientWaitSync(m_fences.front(), 0, 0);
            if (state == GL_TIMEOUT_EXPIRED) {
                std::this_thread::sleep_for(kPaceNap);
                continue;
            }
            // Finished, or the wait failed: either way nothing to wait for.
            glDeleteSync(m_fences.front());
            m_fences.pop_front();
        }
    }

    void ForgetFences() {
        for (GLsync fence : m_fences) glDeleteSync(fence);
        m_fences.clear();
    }

    // Unit 0 is the only texture unit used.
    void BindTexture(GLuint texture) {
        if (m_boundTexture == texture) return;
        glBindTexture(GL_TEXTURE_2D, texture);
        m_boundTexture = texture;
    }

    void SetSampler(const SRasterState& state) {
        const GLint sampler[4] = {Filter(state.magFilter), Filter(state.minFilter),
                                  Address(state.addressU), Address(state.addressV)};
        static constexpr GLenum kNames[4] = {GL_TEXTURE_MAG_FILTER, GL_TEXTURE_MIN_FILTER,
                                             GL_TEXTURE_WRAP_S, GL_TEXTURE_WRAP_T};
        for (int i = 0; i < 4; ++i) {
            if (m_samplerState[i] == sampler[i]) continue;
            glSamplerParameteri(m_sampler, kNames[i], sampler[i]);
            m_samplerState[i] = sampler[i];
        }
    }

    void SetBlend(const SRasterState& state) {
        if (state.blendEnable != m_blendEnabled) {
            if (state.blendEnable) {
                glEnable(GL_BLEND);
            } else {
                glDisable(GL_BLEND);
            }
            m_blendEnabled = state.blendEnable;
        }
        if (!state.blendEnable) return;
        const GLenum src = BlendFactor(state.srcBlend), dest = BlendFactor(state.destBlend);
        if (src == m_srcBlend && dest == m_destBlend) return;
        // One pair of factors for colour and alpha alike, as Direct3D 8 has.
        glBlendFunc(src, dest);
        m_srcBlend = src;
        m_destBlend = dest;
    }

    void BindTarget() {
        m_windowBound = false;
        const SImage* target = Find(m_target);
        glBindFramebuffer(GL_FRAMEBUFFER, target ? target->framebuffer : 0);
        if (!target) return;
        ViewAxis(target->width, m_maxViewport[0], &m_view.x, &m_view.width);
        ViewAxis(target->height, m_maxViewport[1], &m_view.y, &m_view.height);
        glViewport(m_view.x, m_view.y, m_view.width, m_view.height);
    }

    void Release(SImage* image) {
        glDeleteFramebuffers(1, &image->framebuffer);
        glDeleteTextures(1, &image->texture);
        // Deleting a bound texture unbinds it.
        if (m_boundTexture == image->texture) m_boundTexture = 0;
        *image = SImage();
    }

    GLuint m_vertexShaders[2][2] = {};  // [flat colour][textured]
    std::unordered_map<SShaderKey, SProgram, SShaderKeyHash> m_programs;
    GLuint m_vertexArray = 0;
    GLuint m_vertexBuffer = 0;
    size_t m_vertexCapacity = 0;  // bytes in m_vertexBuffer's store
    size_t m_unflushedVertices = 0;
    GLuint m_sampler = 0;
    // The GL state last set, so that what has not changed is not set again.
    GLuint m_boundProgram = 0;
    GLuint m_boundTexture = 0;
    GLint m_samplerState[4] = {-1, -1, -1, -1};
    bool m_blendEnabled = false;
    GLenum m_srcBlend = GL_NONE;
    GLenum m_destBlend = GL_NONE;
    bool m_pace = false;  // the renderer runs on the processor: see kBatchesInFlight
    std::deque<GLsync> m_fences;  // of the batches flushed and perhaps unfinished
    SView m_view;  // of the bound target
    GLint m_maxViewport[2] = {0, 0};
    std::unordered_map<uint32_t, SImage> m_images;
    uint32_t m_nextId = 1;
    uint32_t m_target = 0;
    uint64_t m_drawCalls = 0;
    bool m_windowBound = false;
};

}  // namespace

std::unique_ptr<IGLRasterBackend> CreateGLRasterBackend(std::string* error) {
    if (!epoxy_is_desktop_gl() || epoxy_gl_version() < 33) {
        *error = "an OpenGL 3.3 context is required";
        return nullptr;
    }
    auto backend = std::make_unique<CGLRasterBackend>();
    if (!backend->Init(error)) return nullptr;
    return backend;
}
