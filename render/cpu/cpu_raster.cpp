#include "render/cpu/cpu_raster.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <thread>
#include <unordered_map>
#include <vector>

#include "render/cpu/span_kernels.h"
#include "render/cpu/triangle_setup.h"
#include "render/cpu/worker_pool.h"

namespace {

// Rows a worker takes at a time. Small enough to share a frame's work out
// evenly, large enough that a triangle seldom straddles many bands.
constexpr int kBandRows = 32;
// Draws wait until something needs their result; past this many vertices
// they are drawn anyway, to bound the memory they hold.
constexpr size_t kMaxPendingVertices = 3u << 20;
// Past this many, pending triangles go to the workers in the background.
constexpr size_t kBackgroundVertices = 3u * 8192;
constexpr int kMaxWorkers = 64;

struct SImage {
    int width = 0;
    int height = 0;
    std::vector<uint32_t> pixels;  // BGRA, rows top first
};

// A clear or a draw into the current target, waiting to be carried out.
struct SCommand {
    bool clear = false;
    SRasterRect rect{};  // clears
    uint32_t colour = 0;
    SRasterState state;  // draws: triangles [firstTriangle, endTriangle)
    size_t firstTriangle = 0;
    size_t endTriangle = 0;
};

EBlendMode BlendMode(const SRasterState& s) {
    if (!s.blendEnable) return kBlendOff;
    const D3DBLEND src = s.srcBlend, dest = s.destBlend;
    if (src == D3DBLEND_ZERO && dest == D3DBLEND_SRCALPHA) return kBlendZeroSrcAlpha;
    if (src == D3DBLEND_SRCALPHA && dest == D3DBLEND_INVSRCALPHA) return kBlendSrcAlphaInvSrcAlpha;
    if (src == D3DBLEND_SRCALPHA && dest == D3DBLEND_ONE) return kBlendSrcAlphaOne;
    if (src == D3DBLEND_ONE && dest == D3DBLEND_ONE) return kBlendOneOne;
    if (src == D3DBLEND_SRCALPHA && dest == D3DBLEND_SRCALPHA) return kBlendSrcAlphaSrcAlpha;
    return kBlendGeneric;
}

EFactor Factor(D3DBLEND blend) {
    return blend >= D3DBLEND_ZERO && blend <= D3DBLEND_INVDESTCOLOR
               ? static_cast<EFactor>(blend - D3DBLEND_ZERO)
               : kFactorZero;
}

// The operations the device accepts; anything else combines as
// BLENDDIFFUSEALPHA, as in the OpenGL backend.
ECombine Combine(D3DTEXTUREOP op) {
    if (op == D3DTOP_SELECTARG1) return kCombineArg1;
    if (op == D3DTOP_SELECTARG2) return kCombineArg2;
    if (op == D3DTOP_MODULATE) return kCombineModulate;
    return kCombineBlendDiffuseAlpha;
}

EAddress Address(DWORD mode, int size) {
    if (mode == D3DTADDRESS_CLAMP) return kAddressClamp;
    return (size & (size - 1)) == 0 ? kAddressWrapMask : kAddressWrap;
}

bool HasAvx2() {
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx2");
}

class CCpuRasterBackend : public IRasterBackend {
public:
    CCpuRasterBackend(const SCpuRasterOptions& options, const SKernelTable& kernels)
        : m_pool(CpuRasterWorkers(options.threads)), m_kernels(kernels), m_shortcuts(options.shortcuts) {}

    // What is still to be drawn can no longer be seen.
    ~CCpuRasterBackend() override { Abandon(); }

    uint32_t CreateImage(int width, int height) override {
        if (width <= 0 || height <= 0) return 0;
        SImage image;
        image.width = width;
        image.height = height;
        image.pixels.assign(static_cast<size_t>(width) * height, 0);
        const uint32_t id = m_nextId++;
        m_images.emplace(id, std::move(image));
        return id;
    }

    void DestroyImage(uint32_t id) override {
        // Drawing into the image goes with it; drawing elsewhere may still
        // sample it.
        if (m_target == id) {
            Abandon();
            m_target = 0;
        } else {
            Flush();
        }
        m_images.erase(id);
    }

    void UploadImage(uint32_t id, const uint8_t* bgra, int pitch) override {
        Flush();
        SImage* image = Find(id);
        if (!image) return;
        for (int y = 0; y < image->height; ++y) {
            std::memcpy(&image->pixels[static_cast<size_t>(y) * image->width],
                        bgra + static_cast<ptrdiff_t>(y) * pitch, static_cast<size_t>(image->width) * 4);
        }
    }

    void DownloadImage(uint32_t id, uint8_t* bgra, int pitch) override {
        Flush();
        const SImage* image = Find(id);
        if (!image) return;
        for (int y = 0; y < image->height; ++y) {
            std::memcpy(bgra + static_cast<ptrdiff_t>(y) * pitch, &image->pixels[static_cast<size_t>(y) * image->width],
                        static_cast<size_t>(image->width) * 4);
        }
    }

    void SetTarget(uint32_t id) override {
        if (id == m_target) return;
        Flush();
        m_target = id;
    }

    void Clear(D3DCOLOR colour, const SRasterRect* rect) override {
        const SImage* target = Find(m_target);
        if (!target) return;
        SCommand command;
        command.clear = true;
        command.rect = rect ? *rect : SRasterRect{0, 0, target->width, target->height};
        command.colour = colour;  // A8R8G8B8 is BGRA in memory
        m_pending.commands.push_back(command);
    }

    void DrawTriangles(const SRasterState& state, const SRasterVertex* vertices,
                       size_t count) override {
        ++m_drawCalls;
        count -= count % 3;
        if (count == 0 || !Find(m_target)) return;
        std::vector<SCommand>& commands = m_pending.commands;
        std::vector<SRasterVertex>& pending = m_pending.vertices;
        const size_t first = pending.size() / 3;
        if (commands.empty() || commands.back().clear || commands.back().state != state) {
            SCommand command;
            command.state = state;
            command.firstTriangle = first;
            commands.push_back(command);
        }
        pending.insert(pending.end(), vertices, vertices + count);
        commands.back().endTriangle = pending.size() / 3;
        // Enough for the workers to start on while the device goes on with
        // its vertices.
        if (m_pool.Size() > 1 && pending.size() >= kBackgroundVertices) Launch(true);
        if (pending.size() >= kMaxPendingVertices) Flush();
    }

    void CopyRect(uint32_t source, const SRasterRect& rect, uint32_t dest, int destX,
                  int destY) override {
        Flush();
        const SImage* from = Find(source);
        SImage* to = Find(dest);
        if (!from || !to || from == to) return;
        // Only the part inside both images is copied.
        const int x0 = std::max({rect.x, 0, rect.x - destX});
        const int y0 = std::max({rect.y, 0, rect.y - destY});
        const int x1 = std::min({rect.x + rect.width, from->width, rect.x + to->width - destX});
        const int y1 = std::min({rect.y + rect.height, from->height, rect.y + to->height - destY});
        for (int y = y0; y < y1; ++y) {
            std::memcpy(&to->pixels[static_cast<size_t>(y - rect.y + destY) * to->width + (x0 - rect.x + destX)],
                        &from->pixels[static_cast<size_t>(y) * from->width + x0],
                        static_cast<size_t>(std::max(x1 - x0, 0)) * 4);
        }
    }

    void Finish() override { Flush(); }

    uint64_t DrawCallCount() const override { return m_drawCalls; }

private:
    // What one worker set up: its triangles, and for every band the ones
    // that reach it, in drawing order.
    struct SSetupShare {
        std::vector<STriangle> triangles;
        std::vector<std::vector<uint32_t>> bands;
    };

    // A draw's kernels and context, fixed before the workers start.
    struct SDrawPlan {
        SDrawContext context;
        const DrawRowsFn (*kernels)[2][kBlendModeCount];  // [perspective][flat][blend]
        EBlendMode blend;
        bool textured;
    };

    SImage* Find(uint32_t id) {
        auto it = m_images.find(id);
        return it == m_images.end() ? nullptr : &it->second;
    }

    SDrawPlan Plan(const SRasterState& s, SImage* target) {
        SDrawPlan plan{};
        SDrawContext& c = plan.context;
        c.target = target->pixels.data();
        c.width = target->width;
        c.height = target->height;
        // The state names only a texture the stage reads. The target itself
        // is not sampled: the workers are writing it.
        const SImage* texture = s.texture != m_target ? Find(s.texture) : nullptr;
        ETextureMode mode = kTexNone;
        if (texture) {
            c.texels = texture->pixels.data();
            c.texWidth = texture->width;
            c.texHeight = texture->height;
            c.addressU = Address(s.addressU, texture->width);
            c.addressV = Address(s.addressV, texture->height);
            // Without mip levels, magnification and minification differ only
            // in the filter; a triangle takes the magnification filter.
            mode = s.magFilter == D3DTEXF_LINEAR ? kTexLinear : kTexPoint;
        }
        // Normalised: a disabled alpha operation arrives as the diffuse
        // alpha selected.
        c.disabled = s.colorOp == D3DTOP_DISABLE;
        c.colour = Combine(s.colorOp);
        c.alpha = Combine(s.alphaOp);
        c.colourArg1 = s.colorArg1 == D3DTA_TEXTURE;
        c.colourArg2 = s.colorArg2 == D3DTA_TEXTURE;
        c.alphaArg1 = s.alphaArg1 == D3DTA_TEXTURE;
        c.alphaArg2 = s.alphaArg2 == D3DTA_TEXTURE;
        c.srcFactor = Factor(s.srcBlend);
        c.destFactor = Factor(s.destBlend);
        c.shortcuts = m_shortcuts;
        plan.blend = BlendMode(s);
        plan.kernels = m_kernels.draw[mode];
        plan.textured = mode != kTexNone;
        return plan;
    }

    // Commands in the order given, with what drawing them needs. Recorded
    // while pending, then drawn: the workers first set up the triangles
    // (each a share of them, in order), then draw bands of rows, each band
    // by one worker through all commands in order, so every pixel sees the
    // same operations in the same order whoever draws it.
    struct SBatch {
        std::vector<SCommand> commands;
        std::vector<SRasterVertex> vertices;
        std::vector<SDrawPlan> plans;
        std::vector<SSetupShare> shares;
        SImage* target = nullptr;
        int workers = 0;  // setting up, one share each
        int bands = 0;
        std::atomic<int> setUp{0};  // workers done setting up
        std::atomic<int> nextBand{0};
    };

    // Draws everything recorded so far and returns when it is done.
    void Flush() {
        Launch(false);
        FinishFlight();
    }

    // Hands the pending batch to the workers, after the one in flight. A
    // background batch goes to the pool's threads alone while the caller
    // goes on recording; otherwise the caller works on it too.
    void Launch(bool background) {
        FinishFlight();
        SBatch& batch = m_flight;
        std::swap(batch.commands, m_pending.commands);
        std::swap(batch.vertices, m_pending.vertices);
        m_pending.commands.clear();
        m_pending.vertices.clear();
        if (batch.commands.empty()) return;
        batch.target = Find(m_target);
        if (!batch.target) {
            batch.commands.clear();
            return;
        }
        batch.plans.resize(batch.commands.size());
        for (size_t i = 0; i < batch.commands.size(); ++i) {
            if (!batch.commands[i].clear) batch.plans[i] = Plan(batch.commands[i].state, batch.target);
        }
        batch.workers = background ? m_pool.Size() - 1 : m_pool.Size();
        batch.shares.resize(static_cast<size_t>(batch.workers));
        batch.bands = (batch.target->height + kBandRows - 1) / kBandRows;
        batch.setUp = 0;
        batch.nextBand = 0;
        m_inFlight = true;
        if (background) {
            m_pool.Start([this](int worker) { Work(worker); });
        } else {
            m_pool.Run([this](int worker) { Work(worker); });
            m_inFlight = false;
            batch.commands.clear();
        }
    }

    // Drops what is pending and stops the batch in flight at the bands it
    // has begun: its target is going.
    void Abandon() {
        m_pending.commands.clear();
        m_pending.vertices.clear();
        if (m_inFlight) m_flight.nextBand.store(m_flight.bands);
        FinishFlight();
    }

    // Helps with the batch in flight, then waits for it.
    void FinishFlight() {
        if (!m_inFlight) return;
        DrawBands();
        m_pool.Wait();
        m_inFlight = false;
        m_flight.commands.clear();
    }

    void Work(int worker) {
        SetUpShare(worker);
        ++m_flight.setUp;
        DrawBands();
    }

    void DrawBands() {
        SBatch& batch = m_flight;
        // Every share must be set up before any band is drawn.
        while (batch.setUp.load() < batch.workers) std::this_thread::yield();
        for (int band; (band = batch.nextBand.fetch_add(1)) < batch.bands;) DrawBand(band);
    }

    void SetUpShare(int worker) {
        SBatch& batch = m_flight;
        SSetupShare& share = batch.shares[static_cast<size_t>(worker)];
        const size_t triangles = batch.vertices.size() / 3;
        const size_t begin = triangles * worker / batch.workers;
        const size_t end = triangles * (worker + 1) / batch.workers;
        // Grown only: every element used is written before it is read, and
        // shrinking would have the next batch zero them again.
        if (share.triangles.size() < end - begin) share.triangles.resize(end - begin);
        share.bands.resize(static_cast<size_t>(batch.bands));
        for (auto& band : share.bands) band.clear();
        if (begin == end) return;
        // The command holding triangle `begin`, then onwards in step.
        const std::vector<SCommand>& commands = batch.commands;
        size_t command = 0;
        while (commands[command].clear || commands[command].endTriangle <= begin) ++command;
        size_t kept = 0;
        for (size_t i = begin; i < end; ++i) {
            while (commands[command].clear || commands[command].endTriangle <= i) ++command;
            STriangle& t = share.triangles[kept];
            if (!SetupTriangle(&batch.vertices[3 * i], batch.plans[command].textured, batch.target->width,
                               batch.target->height, static_cast<uint32_t>(command), &t)) {
                continue;
            }
            const int last = (t.rowEnd - 1) / kBandRows;
            for (int band = t.rowBegin / kBandRows; band <= last; ++band)
                share.bands[static_cast<size_t>(band)].push_back(static_cast<uint32_t>(kept));
            ++kept;
        }
    }

    void DrawBand(int band) {
        const SBatch& batch = m_flight;
        SImage& target = *batch.target;
        const int rowBegin = band * kBandRows;
        const int rowEnd = std::min(rowBegin + kBandRows, target.height);
        size_t cursor[kMaxWorkers] = {};
        for (size_t i = 0; i < batch.commands.size(); ++i) {
            const SCommand& command = batch.commands[i];
            if (command.clear) {
                const int y0 = std::max(command.rect.y, rowBegin);
                const int y1 = std::min(command.rect.y + command.rect.height, rowEnd);
                const int x0 = std::max(command.rect.x, 0);
                const int x1 = std::min(command.rect.x + command.rect.width, target.width);
                for (int y = y0; y < y1 && x0 < x1; ++y)
                    std::fill_n(&target.pixels[static_cast<size_t>(y) * target.width + x0], x1 - x0, command.colour);
                continue;
            }
            const SDrawPlan& plan = batch.plans[i];
            // Worker w set up triangles before those of worker w + 1, so
            // taking the shares in turn keeps the drawing order.
            for (int w = 0; w < batch.workers; ++w) {
                const SSetupShare& share = batch.shares[static_cast<size_t>(w)];
                const std::vector<uint32_t>& list = share.bands[static_cast<size_t>(band)];
                size_t& at = cursor[w];
                for (; at < list.size(); ++at) {
                    const STriangle& t = share.triangles[list[at]];
                    if (t.command != i) break;
                    plan.kernels[t.perspective][t.flat][plan.blend](plan.context, t, rowBegin, rowEnd);
                }
            }
        }
    }

    CWorkerPool m_pool;
    const SKernelTable& m_kernels;
    const bool m_shortcuts;
    std::unordered_map<uint32_t, SImage> m_images;
    uint32_t m_nextId = 1;
    uint32_t m_target = 0;
    uint64_t m_drawCalls = 0;
    SBatch m_pending;  // commands and vertices only
    SBatch m_flight;
    bool m_inFlight = false;
};

}  // namespace

bool CpuSimdAvailable(ECpuSimd simd) {
    switch (simd) {
        case ECpuSimd::kAuto:
        case ECpuSimd::kSse2: return true;
        case ECpuSimd::kAvx2: return HasAvx2();
    }
    return false;
}

ECpuSimd CpuSimdBest() { return HasAvx2() ? ECpuSimd::kAvx2 : ECpuSimd::kSse2; }

const char* CpuSimdName(ECpuSimd simd) {
    switch (simd) {
        case ECpuSimd::kAuto: return CpuSimdName(CpuSimdBest());
        case ECpuSimd::kSse2: return "SSE2";
        case ECpuSimd::kAvx2: return "AVX2";
    }
    return "";
}

int CpuRasterWorkers(int threads) {
    if (threads <= 0) threads = static_cast<int>(std::thread::hardware_concurrency());
    return std::clamp(threads, 1, kMaxWorkers);
}

std::unique_ptr<IRasterBackend> CreateCpuRasterBackend(const SCpuRasterOptions& options,
                                                       std::string* error) {
    if (!CpuSimdAvailable(options.simd)) {
        *error = std::string("this processor has no ") + CpuSimdName(options.simd);
        return nullptr;
    }
    const ECpuSimd simd = options.simd == ECpuSimd::kAuto ? CpuSimdBest() : options.simd;
    const SKernelTable& kernels = simd == ECpuSimd::kAvx2 ? Avx2Kernels() : Sse2Kernels();
    return std::make_unique<CCpuRasterBackend>(options, kernels);
}
