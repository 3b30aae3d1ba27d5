#include "effects/flare.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>
#include <utility>

#include "effects/flat_draw.h"
#include "render/d3dmath.h"
#include "resources/file_system.h"
#include "resources/report.h"

float CEffectFlare::s_time = 0.0f;

namespace {

constexpr const char* kProfilePath = "Data/anim.tga";
// The buffers and draw counts are made for outlines of this many samples.
constexpr int kProfileWidth = 256;
constexpr int kRingVertices = 2 * (kProfileWidth + 1);
constexpr int kCentreVertices = 1 + (kProfileWidth + 1);
constexpr int kRingWidth = 15;
constexpr int kFrameMilliseconds = 40;
// The single-precision pi divided by 180.
constexpr double kRadiansPerDegree = 0.017453293005625408;
constexpr D3DCOLOR kWhite = 0xFFFFFFFF;

// The clock in whole milliseconds. A clock outside the int range (weeks of
// running) or not a number counts as 0 instead of being undefined.
int Milliseconds(float seconds) {
    const double ms = static_cast<double>(seconds) * 1000.0;
    return ms > -2147483648.0 && ms < 2147483648.0 ? static_cast<int>(ms) : 0;
}

void AddVertex(CVertexBuffer& buffer, double radius, double radians, float u) {
    const float position[3] = {static_cast<float>(radius * std::cos(radians)),
                               static_cast<float>(radius * std::sin(radians)), 0.0f};
    const float uv[2] = {u, 0.0f};
    buffer.AddVertexUV(position, &kWhite, uv);
}

}  // namespace

int CEffectFlare::Init(int width, int height) {
    (void)width;
    (void)height;
    SInputError why;
    std::unique_ptr<IFile> file(g_fileSystem.OpenFile(kProfilePath, &why));
    if (!file->IsOpen()) {
        Report(kProfilePath, 0, InputErrorText(why, "the flare's profile") + "; the flare is not drawn");
        return 0;
    }

    uint8_t skipped[12] = {};
    uint8_t header[6] = {};
    file->Read(sizeof skipped, skipped);
    file->Read(sizeof header, header);
    m_profileWidth = header[0] + 256 * header[1];
    m_profileHeight = header[2] + 256 * header[3];
    m_profileDepth = header[4];
    // The buffers hold outlines of exactly 256 samples, and the height is a
    // divisor: any other width, or no rows, is refused like a bad depth.
    if ((m_profileDepth != 24 && m_profileDepth != 32) || m_profileWidth != kProfileWidth ||
        m_profileHeight == 0) {
        ReportF(kProfilePath, 0,
                "the flare's profile is %d x %d at %d bits; it must be %d pixels wide, at least 1 "
                "high, 24 or 32 bits; the flare is not drawn",
                m_profileWidth, m_profileHeight, m_profileDepth, kProfileWidth);
        return 0;
    }

    const size_t bytes = static_cast<size_t>(m_profileWidth) * static_cast<size_t>(m_profileHeight) * 4;
    std::vector<uint8_t> pixels;
    try {
        // Zero-filled, so a file shorter than its header says reads its
        // missing bytes as 0.
        pixels.assign(bytes, 0);
    } catch (const std::bad_alloc&) {
        return 0;
    }
    // For a 24-bit file this asks for more than the pixels hold; the read
    // ends at the end of the file.
    file->Read(static_cast<int32_t>(bytes), pixels.data());
    file->Close();

    m_gradient.LoadTGA("Data/grad.tga");
    for (CVertexBuffer& ring : m_rings) ring.Create(kRingVertices, kVertexKindColorUV);
    m_centre.Create(kCentreVertices, kVertexKindColorUV);
    m_profile = std::move(pixels);
    return 0;
}

int CEffectFlare::Sample(int row, int column) const {
    return m_profile[3 * (static_cast<size_t>(row) * static_cast<size_t>(m_profileWidth) + static_cast<size_t>(column))];
}

int CEffectFlare::Render(float step) {
    s_time += step;
    const float a = s_time;
    // Without a profile Init made no buffers: there is nothing to draw.
    if (m_profile.empty()) return 0;
    const int ms = Milliseconds(a);

    SetUnlitNoCull();
    g_device->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
    SetModulateStage(D3DTA_TEXTURE, D3DTA_DIFFUSE, D3DTOP_BLENDDIFFUSEALPHA);
    // Added onto what is already drawn.
    g_device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_ONE);
    g_device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_ONE);

    // The disc breathes with a view scale between 1 and 3, in a 1024 x 768
    // space whatever the screen.
    const float s = static_cast<float>(std::sin(static_cast<double>(a)) + 2.0);
    D3DMATRIX world, identity, scale, view, projection;
    MatIdentity(&world);
    MatMultiply(&view, MatIdentity(&identity), MatScale(&scale, s, s, s));
    MatOrtho(&projection, 1024.0f, 768.0f, -1.0f, 1.0f);
    g_device->SetTransform(D3DTS_WORLD, &world);
    g_device->SetTransform(D3DTS_VIEW, &view);
    g_device->SetTransform(D3DTS_PROJECTION, &projection);
    g_device->SetTexture(0, m_gradient.texture);  // none when the gradient failed to load

    // A new outline row every 40 ms, wrapping after the last; a clock
    // before 0 wraps the same way rather than reading before the rows.
    int row = (ms / kFrameMilliseconds) % m_profileHeight;
    if (row < 0) row += m_profileHeight;
    const double phase = ms * 0.005;
    for (int k = 1; k <= kRings; ++k) FillRing(k, row, phase);
    FillCentre(row, phase);

    for (CVertexBuffer& ring : m_rings) ring.Draw(D3DPT_TRIANGLESTRIP, 0, kRingVertices - 2);
    m_centre.Draw(D3DPT_TRIANGLEFAN, 0, kCentreVertices - 2);
    return 0;
}

// Ring k runs from radius 15 (k - 1) to 15 k, each pushed out by half the
// sample; its two edges twist by a few degrees against each other, and
// the inner edge matches the outer edge of ring k - 1.
void CEffectFlare::FillRing(int k, int row, double phase) {
    CVertexBuffer& ring = m_rings[k - 1];
    const int outerBase = kRingWidth * k;
    const double outerTwist = 2.0 * std::sin(k + phase);
    const double innerTwist = 2.0 * std::sin(k - 1 + phase);
    const float outerU = static_cast<float>((k + 1) * 0.099);
    const float innerU = static_cast<float>(k * 0.099);
    ring.Lock(0, 0);
    for (int i = 0; i <= m_profileWidth; ++i) {
        const int v = Sample(row, i % m_profileWidth);
        const float alpha = static_cast<float>(i * 360) / static_cast<float>(m_profileWidth);
        const float outerRadius = static_cast<float>(outerBase + 0.5 * v);
        const float innerRadius = static_cast<float>(outerBase - kRingWidth + 0.5 * v);
        const float outerAngle = static_cast<float>(alpha - outerTwist);
        const float innerAngle = static_cast<float>(alpha - innerTwist);
        AddVertex(ring, outerRadius, outerAngle * kRadiansPerDegree, outerU);
        AddVertex(ring, innerRadius, innerAngle * kRadiansPerDegree, innerU);
    }
    ring.Unlock();
}

// A closed fan from the centre out to radius 15 plus half the sample.
void CEffectFlare::FillCentre(int row, double phase) {
    const double twist = 2.0 * std::sin(phase);
    m_centre.Lock(0, 0);
    const float centre[3] = {0.0f, 0.0f, 0.0f};
    const float centreUV[2] = {0.05f, 0.0f};
    m_centre.AddVertexUV(centre, &kWhite, centreUV);
    for (int i = 0; i <= m_profileWidth; ++i) {
        const int v = Sample(row, i % m_profileWidth);
        const float alpha = static_cast<float>(i * 360) / static_cast<float>(m_profileWidth);
        AddVertex(m_centre, kRingWidth + 0.5 * v, (alpha - twist) * kRadiansPerDegree, 0.099f);
    }
    m_centre.Unlock();
}

void CEffectFlare::SaveState(CEffectState* state) const {
    state->Put(s_time);
}

void CEffectFlare::LoadState(CEffectState* state) {
    state->Take(&s_time);
}
