#include "render/core/raster_device.h"

#include <algorithm>
#include <new>
#include <string>
#include <utility>

#include "render/core/box_filter.h"

namespace {

// Largest texture side the device offers, whatever the rasteriser could do.
constexpr UINT kMaxTextureSize = 8192;
// Vertex buffers past this size are refused rather than risked.
constexpr UINT kMaxVertexBufferBytes = 64u << 20;
// A batch is drawn once it holds this many vertices: that bounds its memory,
// and lets the rasteriser start on a long run of draws with equal states
// while the next part of it is transformed.
constexpr size_t kMaxBatchVertices = 3 * 4096;

D3DMATRIX Identity() {
    D3DMATRIX m{};
    m._11 = m._22 = m._33 = m._44 = 1.0f;
    return m;
}

bool IsBlend(DWORD v) { return v >= D3DBLEND_ZERO && v <= D3DBLEND_INVDESTCOLOR; }

bool IsTextureOp(DWORD v) {
    return v == D3DTOP_DISABLE || v == D3DTOP_SELECTARG1 || v == D3DTOP_SELECTARG2 ||
           v == D3DTOP_MODULATE || v == D3DTOP_BLENDDIFFUSEALPHA;
}

bool IsArgument(DWORD v) { return v == D3DTA_DIFFUSE || v == D3DTA_CURRENT || v == D3DTA_TEXTURE; }

bool IsFilter(DWORD v) { return v == D3DTEXF_POINT || v == D3DTEXF_LINEAR; }

}  // namespace

CRasterDevice* CRasterDevice::Create(std::unique_ptr<IRasterBackend> backend, int width, int height,
                                     std::string* error, int supersample) {
    const uint32_t image = backend->CreateImage(width, height);
    if (!image) {
        *error = "the " + std::to_string(width) + " x " + std::to_string(height) + " back buffer could not be created";
        return nullptr;
    }
    uint32_t picture = 0;
    if (supersample > 1) {
        picture = backend->CreateImage(width / supersample, height / supersample);
        if (!picture) {
            backend->DestroyImage(image);
            *error = "the " + std::to_string(width / supersample) + " x " + std::to_string(height / supersample) +
                     " picture could not be created";
            return nullptr;
        }
    }
    return new CRasterDevice(std::move(backend), image, width, height, std::max(supersample, 1), picture);
}

CRasterDevice::CRasterDevice(std::unique_ptr<IRasterBackend> backend, uint32_t backBuffer,
                             int width, int height, int supersample, uint32_t picture)
    : m_backend(std::move(backend)),
      m_backBuffer(new CRasterSurface(this, nullptr, backBuffer, width, height, true)),
      m_target(m_backBuffer),
      m_supersample(supersample),
      m_picture(picture) {
    m_target->AddRef();
    m_fixed.world = m_fixed.view = m_fixed.projection = Identity();
    m_backend->SetTarget(m_target->image());
}

CRasterDevice::~CRasterDevice() {
    if (m_texture) m_texture->Release();
    if (m_stream) m_stream->Release();
    m_target->Release();
    // Objects the program still holds outlive the device but lose their
    // images, which go with the backend.
    for (CRasterTexture* texture : m_textures) texture->Orphan();
    m_backBuffer->Orphan();
    m_backBuffer->Release();
    if (m_picture) m_backend->DestroyImage(m_picture);
}

ULONG CRasterDevice::AddRef() { return ++m_refs; }

ULONG CRasterDevice::Release() {
    const ULONG refs = --m_refs;
    if (refs == 0) delete this;
    return refs;
}

HRESULT CRasterDevice::BeginScene() {
    if (m_inScene) return D3DERR_INVALIDCALL;
    m_inScene = true;
    return D3D_OK;
}

HRESULT CRasterDevice::EndScene() {
    if (!m_inScene) return D3DERR_INVALIDCALL;
    m_inScene = false;
    return D3D_OK;
}

HRESULT CRasterDevice::Clear(DWORD count, const D3DRECT* rects, DWORD flags, D3DCOLOR color,
                             float z, DWORD stencil) {
    (void)z;
    (void)stencil;
    // There is no depth or stencil buffer: only the target can be cleared.
    if ((flags & D3DCLEAR_TARGET) == 0) return D3D_OK;
    const uint32_t target = m_target->image();
    const int width = static_cast<int>(m_target->Width());
    const int height = static_cast<int>(m_target->Height());
    if (count == 0 || !rects) {
        if (m_hidden) {
            m_deferred.Clear(target, width, height, color, nullptr);
            return D3D_OK;
        }
        BeforeWriting(target, true);
        Flush();
        m_backend->Clear(color, nullptr);
        return D3D_OK;
    }
    if (!m_hidden) BeforeWriting(target, false);
    Flush();
    // Rectangles are clipped to the viewport, which is the whole target.
    for (DWORD i = 0; i < count; ++i) {
        const LONG x1 = std::max<LONG>(rects[i].x1, 0), y1 = std::max<LONG>(rects[i].y1, 0);
        const LONG x2 = std::min<LONG>(rects[i].x2, width), y2 = std::min<LONG>(rects[i].y2, height);
        if (x1 >= x2 || y1 >= y2) continue;
        const SRasterRect rect{x1, y1, x2 - x1, y2 - y1};
        if (m_hidden) {
            m_deferred.Clear(target, width, height, color, &rect);
        } else {
            m_backend->Clear(color, &rect);
        }
    }
    return D3D_OK;
}

HRESULT CRasterDevice::Present(const RECT* source, const RECT* dest, void* windowOverride,
                               const void* dirtyRegion) {
    (void)source;
    (void)dest;
    (void)windowOverride;
    (void)dirtyRegion;
    // A hidden frame is neither shown nor counted.
    if (m_hidden) return D3D_OK;
    BeforeReading(m_backBuffer->image());
    Flush();
    if (m_presentSink) m_presentSink->OnPresent(*this);
    ++m_presentCount;
    return D3D_OK;
}

HRESULT CRasterDevice::CreateTexture(UINT width, UINT height, UINT levels, DWORD usage,
                                     D3DFORMAT format, D3DPOOL pool, IDirect3DTexture8** texture) {
    (void)levels;  // only level 0 is ever written or sampled, so only it is made
    if (!texture) return D3DERR_INVALIDCALL;
    *texture = nullptr;
    const bool renderTarget = (usage & D3DUSAGE_RENDERTARGET) != 0;
    if (format != D3DFMT_A8R8G8B8 || (usage & ~D3DUSAGE_RENDERTARGET) != 0 ||
        (renderTarget && pool != D3DPOOL_DEFAULT) || pool > D3DPOOL_SYSTEMMEM) {
        return D3DERR_INVALIDCALL;
    }
    if (width == 0 || height == 0 || width > kMaxTextureSize || height > kMaxTextureSize) {
        return D3DERR_INVALIDCALL;
    }
    Flush();
    const uint32_t image = m_backend->CreateImage(static_cast<int>(width), static_cast<int>(height));
    if (!image) return D3DERR_OUTOFVIDEOMEMORY;
    try {
        *texture = new CRasterTexture(this, image, static_cast<int>(width),
                                      static_cast<int>(height), renderTarget);
    } catch (const std::bad_alloc&) {
        m_backend->DestroyImage(image);
        return E_OUTOFMEMORY;
    }
    m_textures.insert(static_cast<CRasterTexture*>(*texture));
    return D3D_OK;
}

HRESULT CRasterDevice::CreateVertexBuffer(UINT length, DWORD usage, DWORD fvf, D3DPOOL pool,
                                          IDirect3DVertexBuffer8** buffer) {
    (void)usage;
    (void)fvf;  // drawing reads the format set with SetVertexShader
    (void)pool;
    if (!buffer) return D3DERR_INVALIDCALL;
    *buffer = nullptr;
    if (length == 0) return D3DERR_INVALIDCALL;
    if (length > kMaxVertexBufferBytes) return D3DERR_OUTOFVIDEOMEMORY;
    try {
        *buffer = new CSystemVertexBuffer(std::vector<uint8_t>(length, 0));
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
    return D3D_OK;
}

HRESULT CRasterDevice::GetRenderTarget(IDirect3DSurface8** surface) {
    if (!surface) return D3DERR_INVALIDCALL;
    m_target->AddRef();
    *surface = m_target;
    return D3D_OK;
}

CRasterSurface* CRasterDevice::OwnSurface(IDirect3DSurface8* surface) const {
    auto* own = dynamic_cast<CRasterSurface*>(surface);
    return own && own->device() == this ? own : nullptr;
}

HRESULT CRasterDevice::SetRenderTarget(IDirect3DSurface8* target, IDirect3DSurface8* depthStencil) {
    if (depthStencil) return D3DERR_INVALIDCALL;  // there are no depth buffers
    if (!target) return D3D_OK;  // null keeps the current target
    CRasterSurface* surface = OwnSurface(target);
    if (!surface || !surface->renderTarget()) return D3DERR_INVALIDCALL;
    Flush();
    surface->AddRef();
    m_target->Release();
    m_target = surface;
    // The viewport follows: it covers the whole of the new target.
    m_backend->SetTarget(surface->image());
    return D3D_OK;
}

HRESULT CRasterDevice::CopyRects(IDirect3DSurface8* source, const RECT* sourceRects, UINT count,
                                 IDirect3DSurface8* dest, const POINT* destPoints) {
    CRasterSurface* from = OwnSurface(source);
    CRasterSurface* to = OwnSurface(dest);
    if (!from || !to || from == to) return D3DERR_INVALIDCALL;
    const RECT whole{0, 0, static_cast<LONG>(from->Width()), static_cast<LONG>(from->Height())};
    if (count == 0 || !sourceRects) {
        sourceRects = &whole;
        count = 1;
    }
    // Check every rectangle before copying any, so a bad list copies nothing.
    for (UINT i = 0; i < count; ++i) {
        const RECT& r = sourceRects[i];
        const POINT at = destPoints ? destPoints[i] : POINT{r.left, r.top};
        if (r.left < 0 || r.top < 0 || r.left >= r.right || r.top >= r.bottom ||
            r.right > whole.right || r.bottom > whole.bottom || at.x < 0 || at.y < 0 ||
            static_cast<int64_t>(at.x) + (r.right - r.left) > static_cast<int64_t>(to->Width()) ||
            static_cast<int64_t>(at.y) + (r.bottom - r.top) > static_cast<int64_t>(to->Height())) {
            return D3DERR_INVALIDCALL;
        }
    }
    if (!m_hidden) {
        BeforeReading(from->image());
        BeforeWriting(to->image(), false);
    }
    Flush();
    for (UINT i = 0; i < count; ++i) {
        const RECT& r = sourceRects[i];
        const POINT at = destPoints ? destPoints[i] : POINT{r.left, r.top};
        const SRasterRect rect{r.left, r.top, r.right - r.left, r.bottom - r.top};
        if (m_hidden) {
            m_deferred.Copy(from->image(), rect, to->image(), at.x, at.y);
        } else {
            m_backend->CopyRect(from->image(), rect, to->image(), at.x, at.y);
        }
    }
    if (to->texture()) {
        to->texture()->MarkRasterNewer();
        m_copiedInto.insert(to->texture());
    }
    return D3D_OK;
}

HRESULT CRasterDevice::SetTransform(D3DTRANSFORMSTATETYPE state, const D3DMATRIX* matrix) {
    if (!matrix) return D3DERR_INVALIDCALL;
    // Vertices are transformed when drawn, so this never breaks a batch.
    switch (state) {
        case D3DTS_WORLD: m_fixed.world = *matrix; return D3D_OK;
        case D3DTS_VIEW: m_fixed.view = *matrix; return D3D_OK;
        case D3DTS_PROJECTION: m_fixed.projection = *matrix; return D3D_OK;
        default: return D3DERR_INVALIDCALL;
    }
}

HRESULT CRasterDevice::SetRenderState(D3DRENDERSTATETYPE state, DWORD value) {
    switch (state) {
        case D3DRS_ZENABLE:
            return D3D_OK;  // no depth buffer exists
        case D3DRS_ZFUNC:
            return value >= D3DCMP_NEVER && value <= D3DCMP_ALWAYS ? D3D_OK : D3DERR_INVALIDCALL;
        case D3DRS_SRCBLEND:
            if (!IsBlend(value)) return D3DERR_INVALIDCALL;
            m_raster.srcBlend = value;
            return D3D_OK;
        case D3DRS_DESTBLEND:
            if (!IsBlend(value)) return D3DERR_INVALIDCALL;
            m_raster.destBlend = value;
            return D3D_OK;
        case D3DRS_CULLMODE:
            if (value < D3DCULL_NONE || value > D3DCULL_CCW) return D3DERR_INVALIDCALL;
            m_fixed.cull = value;
            return D3D_OK;
        case D3DRS_ALPHABLENDENABLE: m_raster.blendEnable = value != 0; return D3D_OK;
        case D3DRS_LIGHTING: m_fixed.lighting = value != 0; return D3D_OK;
        case D3DRS_AMBIENT: m_fixed.ambient = value; return D3D_OK;
        default: return D3DERR_INVALIDCALL;
    }
}

HRESULT CRasterDevice::SetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, DWORD value) {
    if (stage != 0) return D3DERR_INVALIDCALL;  // only stage 0 is implemented
    switch (type) {
        case D3DTSS_COLOROP:
        case D3DTSS_ALPHAOP:
            if (!IsTextureOp(value)) return D3DERR_INVALIDCALL;
            (type == D3DTSS_COLOROP ? m_raster.colorOp : m_raster.alphaOp) = value;
            return D3D_OK;
        case D3DTSS_COLORARG1:
        case D3DTSS_COLORARG2:
        case D3DTSS_ALPHAARG1:
        case D3DTSS_ALPHAARG2:
            if (!IsArgument(value)) return D3DERR_INVALIDCALL;
            if (type == D3DTSS_COLORARG1) m_raster.colorArg1 = value;
            if (type == D3DTSS_COLORARG2) m_raster.colorArg2 = value;
            if (type == D3DTSS_ALPHAARG1) m_raster.alphaArg1 = value;
            if (type == D3DTSS_ALPHAARG2) m_raster.alphaArg2 = value;
            return D3D_OK;
        case D3DTSS_ADDRESSU:
        case D3DTSS_ADDRESSV:
            if (value != D3DTADDRESS_WRAP && value != D3DTADDRESS_CLAMP) return D3DERR_INVALIDCALL;
            (type == D3DTSS_ADDRESSU ? m_raster.addressU : m_raster.addressV) = value;
            return D3D_OK;
        case D3DTSS_MAGFILTER:
        case D3DTSS_MINFILTER:
            if (!IsFilter(value)) return D3DERR_INVALIDCALL;
            (type == D3DTSS_MAGFILTER ? m_raster.magFilter : m_raster.minFilter) = value;
            return D3D_OK;
        case D3DTSS_MIPFILTER:
            // Textures have only level 0, so every mip filter samples it alone.
            return value <= D3DTEXF_LINEAR ? D3D_OK : D3DERR_INVALIDCALL;
        default: return D3DERR_INVALIDCALL;
    }
}

HRESULT CRasterDevice::SetTexture(DWORD stage, IDirect3DTexture8* texture) {
    if (stage != 0) return D3DERR_INVALIDCALL;
    auto* own = dynamic_cast<CRasterTexture*>(texture);
    if (texture && (!own || own->surface()->device() != this)) return D3DERR_INVALIDCALL;
    if (own) own->AddRef();
    if (m_texture) m_texture->Release();
    m_texture = own;
    return D3D_OK;
}

HRESULT CRasterDevice::SetMaterial(const D3DMATERIAL8* material) {
    if (!material) return D3DERR_INVALIDCALL;
    m_fixed.material = *material;
    return D3D_OK;
}

HRESULT CRasterDevice::SetLight(DWORD index, const D3DLIGHT8* light) {
    if (!light || index >= kMaxLights) return D3DERR_INVALIDCALL;
    m_fixed.lights[index] = *light;
    return D3D_OK;
}

HRESULT CRasterDevice::LightEnable(DWORD index, BOOL enable) {
    if (index >= kMaxLights) return D3DERR_INVALIDCALL;
    m_fixed.lightEnabled[index] = enable != 0;
    return D3D_OK;
}

HRESULT CRasterDevice::SetStreamSource(UINT stream, IDirect3DVertexBuffer8* buffer, UINT stride) {
    if (stream != 0) return D3DERR_INVALIDCALL;
    auto* own = dynamic_cast<CSystemVertexBuffer*>(buffer);
    if (buffer && !own) return D3DERR_INVALIDCALL;
    if (own) own->AddRef();
    if (m_stream) m_stream->Release();
    m_stream = own;
    m_streamStride = stride;
    return D3D_OK;
}

HRESULT CRasterDevice::SetVertexShader(DWORD fvf) {
    m_fvf = fvf;
    return D3D_OK;
}

SRasterState CRasterDevice::CurrentRasterState() const {
    SRasterState state = m_raster;
    state.texture = m_texture ? m_texture->image() : 0;
    return NormalisedRasterState(state);
}

HRESULT CRasterDevice::DrawPrimitive(D3DPRIMITIVETYPE type, UINT startVertex, UINT primitiveCount) {
    SVertexLayout layout;
    if (!m_stream || m_stream->locked() || !DescribeVertexFormat(m_fvf, &layout) ||
        m_streamStride < static_cast<UINT>(layout.stride)) {
        return D3DERR_INVALIDCALL;
    }
    if (primitiveCount == 0) return D3D_OK;
    const uint64_t count = TriangleVertexCount(type, primitiveCount);
    if (count == 0) return D3DERR_INVALIDCALL;  // points and lines are not drawn
    // Every vertex read must lie inside the buffer.
    const uint64_t first = static_cast<uint64_t>(startVertex) * m_streamStride;
    const uint64_t end = first + (count - 1) * m_streamStride + static_cast<uint64_t>(layout.stride);
    if (end > m_stream->bytes().size()) return D3DERR_INVALIDCALL;

    const uint8_t* vertices = m_stream->bytes().data() + first;
    const SRasterState state = CurrentRasterState();
    const int width = static_cast<int>(m_target->Width());
    const int height = static_cast<int>(m_target->Height());
    if (m_hidden) {
        m_deferred.Draw(m_target->image(), width, height, m_fixed, state, layout, type, primitiveCount, vertices,
                        static_cast<int>(m_streamStride), static_cast<size_t>(count));
        if (m_deferred.Full()) DrawDeferred();
        return D3D_OK;
    }
    BeforeReading(state.texture);
    BeforeWriting(m_target->image(), false);
    Submit(m_fixed, state, vertices, static_cast<int>(m_streamStride), layout, type, primitiveCount, width,
           height);
    return D3D_OK;
}

void CRasterDevice::Submit(const SFixedFunctionState& fixed, const SRasterState& state,
                           const uint8_t* vertices, int stride, const SVertexLayout& layout,
                           D3DPRIMITIVETYPE type, uint32_t primitiveCount, int targetWidth,
                           int targetHeight) {
    if (!m_batch.empty() && state != m_batchState) Flush();
    m_batchState = state;
    ProcessPrimitives(fixed, targetWidth, targetHeight, vertices, stride, layout, type, primitiveCount,
                      &m_scratch, &m_batch);
    if (m_batch.size() >= kMaxBatchVertices) Flush();
}

void CRasterDevice::Flush() {
    if (m_batch.empty()) return;
    m_backend->DrawTriangles(m_batchState, m_batch.data(), m_batch.size());
    m_batch.clear();
}

void CRasterDevice::SetHidden(bool hidden) {
    // What was held back stays so until something needs it.
    Flush();
    m_hidden = hidden;
}

void CRasterDevice::BeforeReading(uint32_t image) {
    if (image && !m_deferred.Empty() && m_deferred.Writes(image)) DrawDeferred();
}

void CRasterDevice::BeforeWriting(uint32_t image, bool whole) {
    if (m_deferred.Empty()) return;
    if (m_deferred.Reads(image) || (!whole && m_deferred.Writes(image))) {
        DrawDeferred();
    } else if (whole) {
        m_deferred.Overwritten(image);
    }
}

void CRasterDevice::DrawDeferred() {
    ReplayDeferred(0);
    m_deferred.Forget();
}

void CRasterDevice::ReplayDeferred(uint32_t skipped) {
    Flush();
    uint32_t bound = m_target->image();
    for (const CDeferredCommands::SCommand& command : m_deferred.Commands()) {
        if (command.dead || (skipped != 0 && command.target == skipped)) continue;
        if (command.target != bound) {
            Flush();
            bound = command.target;
            m_backend->SetTarget(bound);
        }
        RunDeferred(command);
    }
    Flush();
    if (bound != m_target->image()) m_backend->SetTarget(m_target->image());
}

void CRasterDevice::RunDeferred(const CDeferredCommands::SCommand& command) {
    switch (command.kind) {
        case CDeferredCommands::EKind::kClear:
            Flush();
            m_backend->Clear(command.color, command.whole ? nullptr : &command.rect);
            return;
        case CDeferredCommands::EKind::kDraw:
            Submit(m_deferred.Fixed(command.fixed), command.raster, m_deferred.Vertices() + command.offset,
                   command.stride, command.layout, command.type, command.primitiveCount, command.width, command.height);
            return;
        case CDeferredCommands::EKind::kCopy:
            Flush();
            m_backend->CopyRect(command.source, command.rect, command.target, command.destX, command.destY);
            return;
    }
}

void CRasterDevice::Finish() {
    Flush();
    m_backend->Finish();
}

void CRasterDevice::ReadBackBuffer(uint8_t* bgra, int pitch) {
    BeforeReading(m_backBuffer->image());
    Flush();
    m_backend->DownloadImage(m_backBuffer->image(), bgra, pitch);
}

uint32_t CRasterDevice::PictureImage() {
    if (m_supersample == 1) {
        BeforeReading(m_backBuffer->image());
        Flush();
        return m_backBuffer->image();
    }
    m_filtered.resize(static_cast<size_t>(PictureWidth()) * PictureHeight() * 4);
    ReadPicture(m_filtered.data(), PictureWidth() * 4);
    m_backend->UploadImage(m_picture, m_filtered.data(), PictureWidth() * 4);
    return m_picture;
}

void CRasterDevice::ReadPicture(uint8_t* bgra, int pitch) {
    if (m_supersample == 1) {
        ReadBackBuffer(bgra, pitch);
        return;
    }
    const int width = static_cast<int>(m_backBuffer->Width());
    m_drawn.resize(static_cast<size_t>(width) * m_backBuffer->Height() * 4);
    ReadBackBuffer(m_drawn.data(), width * 4);
    BoxFilterRows(m_drawn.data(), width * 4, PictureWidth(), 0, PictureHeight(), m_supersample, bgra, pitch);
}

void CRasterDevice::UploadTexture(uint32_t image, const uint8_t* bgra, int pitch) {
    BeforeWriting(image, true);
    Flush();  // draws waiting in the batch must see the old contents
    m_backend->UploadImage(image, bgra, pitch);
}

void CRasterDevice::DownloadTexture(uint32_t image, uint8_t* bgra, int pitch) {
    BeforeReading(image);
    Flush();
    m_backend->DownloadImage(image, bgra, pitch);
}

void CRasterDevice::DestroyTexture(CRasterTexture* texture) {
    if (!m_deferred.Empty() && (m_deferred.Reads(texture->image()) || m_deferred.Writes(texture->image()))) {
        DrawDeferred();
    }
    Flush();  // the batch may still sample it
    m_textures.erase(texture);
    m_copiedInto.erase(texture);
    m_backend->DestroyImage(texture->image());
}

void CRasterDevice::DrawHeldBack(bool exceptBackBuffer) {
    const uint32_t backBuffer = m_backBuffer->image();
    if (!exceptBackBuffer || !m_deferred.CanKeepOnly(backBuffer)) {
        DrawDeferred();
        return;
    }
    ReplayDeferred(backBuffer);
    m_deferred.KeepOnly(backBuffer);
}

std::shared_ptr<const SRasterDeviceState> CRasterDevice::SaveState() {
    auto state = std::make_shared<SRasterDeviceState>();
    Flush();
    state->fixed = m_fixed;
    state->raster = m_raster;
    state->texture = m_texture;
    state->stream = m_stream;
    state->streamStride = m_streamStride;
    state->fvf = m_fvf;
    state->target = m_target;
    state->inScene = m_inScene;
    state->deferred = m_deferred;
    state->images.clear();
    const auto keep = [&](const CRasterSurface& surface, CRasterTexture* texture) {
        const int width = static_cast<int>(surface.Width());
        state->images.push_back({surface.image(), texture, width, {}});
        std::vector<uint8_t>& bgra = state->images.back().bgra;
        bgra.resize(static_cast<size_t>(width) * surface.Height() * 4);
        m_backend->DownloadImage(surface.image(), bgra.data(), width * 4);
    };
    // A back buffer the held-back commands clear first need not be kept.
    if (!m_deferred.Replaces(m_backBuffer->image())) keep(*m_backBuffer, nullptr);
    for (CRasterTexture* texture : m_textures) {
        if (texture->surface()->renderTarget() || m_copiedInto.count(texture)) keep(*texture->surface(), texture);
    }
    return state;
}

void CRasterDevice::LoadState(const SRasterDeviceState& state) {
    Flush();
    for (const SRasterDeviceState::SImage& image : state.images) {
        m_backend->UploadImage(image.image, image.bgra.data(), image.width * 4);
        if (image.texture) {
            image.texture->MarkRasterNewer();
            m_copiedInto.insert(image.texture);
        }
    }
    m_fixed = state.fixed;
    m_raster = state.raster;
    // The bindings hold references, as SetTexture and SetStreamSource take them.
    if (state.texture) state.texture->AddRef();
    if (m_texture) m_texture->Release();
    m_texture = state.texture;
    if (state.stream) state.stream->AddRef();
    if (m_stream) m_stream->Release();
    m_stream = state.stream;
    m_streamStride = state.streamStride;
    m_fvf = state.fvf;
    state.target->AddRef();
    m_target->Release();
    m_target = state.target;
    m_backend->SetTarget(m_target->image());
    m_inScene = state.inScene;
    m_deferred = state.deferred;
}
