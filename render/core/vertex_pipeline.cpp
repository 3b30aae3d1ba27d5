#include "render/core/vertex_pipeline.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

struct SVec3 {
    float x, y, z;
};

D3DMATRIX Multiply(const D3DMATRIX& a, const D3DMATRIX& b) {
    D3DMATRIX out;
    for (int i = 0; i < 4; ++i) {
        for (int j = 0; j < 4; ++j) {
            out.m[i][j] = a.m[i][0] * b.m[0][j] + a.m[i][1] * b.m[1][j] + a.m[i][2] * b.m[2][j] +
                          a.m[i][3] * b.m[3][j];
        }
    }
    return out;
}

// Normals transform by the inverse transpose of the world matrix's upper
// 3x3, so that scaled or sheared worlds keep them perpendicular. Like
// Direct3D with NORMALIZENORMALS off, the result is not renormalised.
void NormalMatrix(const D3DMATRIX& m, float out[3][3]) {
    const float a = m._11, b = m._12, c = m._13;
    const float d = m._21, e = m._22, f = m._23;
    const float g = m._31, h = m._32, i = m._33;
    const float c11 = e * i - f * h, c12 = f * g - d * i, c13 = d * h - e * g;
    const float det = a * c11 + b * c12 + c * c13;
    const float k = det != 0.0f ? 1.0f / det : 0.0f;
    // inverse = adjugate / det; its transpose is the cofactor matrix / det.
    out[0][0] = c11 * k;
    out[0][1] = c12 * k;
    out[0][2] = c13 * k;
    out[1][0] = (c * h - b * i) * k;
    out[1][1] = (a * i - c * g) * k;
    out[1][2] = (b * g - a * h) * k;
    out[2][0] = (b * f - c * e) * k;
    out[2][1] = (c * d - a * f) * k;
    out[2][2] = (a * e - b * d) * k;
}

// The quotients k / 255 the division gives, looked up: four divisions a
// vertex were a good part of transforming it.
struct SChannelTable {
    SChannelTable() {
        for (int k = 0; k < 256; ++k) value[k] = static_cast<float>(k) / 255.0f;
    }
    float value[256];
};
const SChannelTable kChannels;

float Channel(D3DCOLOR c, int shift) { return kChannels.value[(c >> shift) & 0xFF]; }

float Clamp01(float v) { return std::min(1.0f, std::max(0.0f, v)); }

D3DCOLORVALUE ColorValue(D3DCOLOR c) {
    return {Channel(c, 16), Channel(c, 8), Channel(c, 0), Channel(c, 24)};
}

class CTransformer {
public:
    CTransformer(const SFixedFunctionState& state, const SVertexLayout& layout)
        : m_state(state), m_layout(layout) {
        m_wvp = Multiply(Multiply(state.world, state.view), state.projection);
        NormalMatrix(state.world, m_normal);
        for (int i = 0; i < kMaxLights; ++i) {
            const D3DLIGHT8& l = state.lights[i];
            if (!state.lightEnabled[i] || l.Type != D3DLIGHT_DIRECTIONAL) continue;
            SVec3 d{l.Direction.x, l.Direction.y, l.Direction.z};
            const float len = std::sqrt(d.x * d.x + d.y * d.y + d.z * d.z);
            if (len > 0.0f) d = {d.x / len, d.y / len, d.z / len};
            m_lights.push_back({&l, {-d.x, -d.y, -d.z}});
        }
    }

    // Writes each member of *out in place: returning the colour as a value
    // and copying it on stalled the store forwarding of every vertex.
    void Transform(const uint8_t* in, SClipVertex* out) const {
        float p[3];
        std::memcpy(p, in, sizeof p);
        const D3DMATRIX& m = m_wvp;
        out->x = p[0] * m._11 + p[1] * m._21 + p[2] * m._31 + m._41;
        out->y = p[0] * m._12 + p[1] * m._22 + p[2] * m._32 + m._42;
        out->z = p[0] * m._13 + p[1] * m._23 + p[2] * m._33 + m._43;
        out->w = p[0] * m._14 + p[1] * m._24 + p[2] * m._34 + m._44;

        D3DCOLOR diffuse = 0xFFFFFFFFu;  // what a vertex without a colour has
        if (m_layout.diffuse >= 0) std::memcpy(&diffuse, in + m_layout.diffuse, 4);
        if (m_state.lighting) {
            Light(in, diffuse, out);
        } else {
            out->r = Channel(diffuse, 16);
            out->g = Channel(diffuse, 8);
            out->b = Channel(diffuse, 0);
            out->a = Channel(diffuse, 24);
        }

        out->u = out->v = 0.0f;
        if (m_layout.texCoord >= 0) {
            float uv[2];
            std::memcpy(uv, in + m_layout.texCoord, sizeof uv);
            out->u = uv[0];
            out->v = uv[1];
        }
    }

private:
    struct SLight {
        const D3DLIGHT8* light;
        SVec3 toLight;  // -Direction, normalised
    };

    void Light(const uint8_t* in, D3DCOLOR vertexColor, SClipVertex* out) const {
        SVec3 n{0.0f, 0.0f, 0.0f};  // a vertex without a normal gets no diffuse light
        if (m_layout.normal >= 0) {
            float v[3];
            std::memcpy(v, in + m_layout.normal, sizeof v);
            n.x = v[0] * m_normal[0][0] + v[1] * m_normal[1][0] + v[2] * m_normal[2][0];
            n.y = v[0] * m_normal[0][1] + v[1] * m_normal[1][1] + v[2] * m_normal[2][1];
            n.z = v[0] * m_normal[0][2] + v[1] * m_normal[1][2] + v[2] * m_normal[2][2];
        }
        const D3DMATERIAL8& mat = m_state.material;
        // With the default colour-vertex states a vertex colour stands in for
        // the material's diffuse colour; vertices without one use the material.
        const D3DCOLORVALUE diffuse =
            m_layout.diffuse >= 0 ? ColorValue(vertexColor) : mat.Diffuse;
        const D3DCOLORVALUE global = ColorValue(m_state.ambient);
        float r = global.r * mat.Ambient.r + mat.Emissive.r;
        float g = global.g * mat.Ambient.g + mat.Emissive.g;
        float b = global.b * mat.Ambient.b + mat.Emissive.b;
        for (const SLight& l : m_lights) {
            const D3DLIGHT8& L = *l.light;
            const float ndotl =
                std::max(0.0f, n.x * l.toLight.x + n.y * l.toLight.y + n.z * l.toLight.z);
            r += L.Ambient.r * mat.Ambient.r + L.Diffuse.r * diffuse.r * ndotl;
            g += L.Ambient.g * mat.Ambient.g + L.Diffuse.g * diffuse.g * ndotl;
            b += L.Ambient.b * mat.Ambient.b + L.Diffuse.b * diffuse.b * ndotl;
        }
        out->r = Clamp01(r);
        out->g = Clamp01(g);
        out->b = Clamp01(b);
        out->a = Clamp01(diffuse.a);
    }

    const SFixedFunctionState& m_state;
    const SVertexLayout& m_layout;
    D3DMATRIX m_wvp;
    float m_normal[3][3];
    std::vector<SLight> m_lights;
};

SClipVertex Lerp(const SClipVertex& a, const SClipVertex& b, float t) {
    auto mix = [t](float x, float y) { return x + (y - x) * t; };
    return {mix(a.x, b.x), mix(a.y, b.y), mix(a.z, b.z), mix(a.w, b.w), mix(a.r, b.r),
            mix(a.g, b.g), mix(a.b, b.b), mix(a.a, b.a),   mix(a.u, b.u), mix(a.v, b.v)};
}

// Signed distance to each face of the clipping volume; inside where >= 0.
// In x and y that is the guard band, `guardX` and `guardY` times the view
// volume, so that triangles crossing the target's edges reach the backend
// whole and it clips them to the target while drawing; only those reaching
// past the band, or past the near and far planes, are cut here.
float PlaneDistance(const SClipVertex& v, int plane, float guardX, float guardY) {
    switch (plane) {
        case 0: return guardX * v.w + v.x;
        case 1: return guardX * v.w - v.x;
        case 2: return guardY * v.w + v.y;
        case 3: return guardY * v.w - v.y;
        case 4: return v.z;
        default: return v.w - v.z;
    }
}

// Bits 0-5: outside the clipping planes above; bits 6-9: outside the view
// volume's sides in x and y (the target's edges).
unsigned Outcode(const SClipVertex& v, float guardX, float guardY) {
    // Plane by plane, so that each PlaneDistance folds to its own sum: every
    // vertex of every draw comes through here.
    const auto outside = [&v](int plane, float gx, float gy, int bit) {
        return PlaneDistance(v, plane, gx, gy) < 0.0f ? 1u << bit : 0u;
    };
    return outside(0, guardX, guardY, 0) | outside(1, guardX, guardY, 1) | outside(2, guardX, guardY, 2) |
           outside(3, guardX, guardY, 3) | outside(4, guardX, guardY, 4) | outside(5, guardX, guardY, 5) |
           outside(0, 1.0f, 1.0f, 6) | outside(1, 1.0f, 1.0f, 7) | outside(2, 1.0f, 1.0f, 8) |
           outside(3, 1.0f, 1.0f, 9);
}

// A triangle clipped by six planes has at most 3 + 6 corners.
constexpr int kMaxPolygon = 9;

// Clips against the planes whose bits are set in `planes`.
int ClipPolygon(SClipVertex* poly, int count, unsigned planes, float guardX, float guardY) {
    SClipVertex next[kMaxPolygon];
    for (int plane = 0; plane < 6 && count > 0; ++plane) {
        if ((planes & (1u << plane)) == 0) continue;
        int outCount = 0;
        for (int i = 0; i < count; ++i) {
            const SClipVertex& a = poly[i];
            const SClipVertex& b = poly[i + 1 < count ? i + 1 : 0];
            const float da = PlaneDistance(a, plane, guardX, guardY);
            const float db = PlaneDistance(b, plane, guardX, guardY);
            if (da >= 0.0f) next[outCount++] = a;
            if ((da >= 0.0f) != (db >= 0.0f)) next[outCount++] = Lerp(a, b, da / (da - db));
        }
        count = outCount;
        std::copy(next, next + count, poly);
    }
    return count;
}

bool IsFinite(const SClipVertex& v) {
    return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z) && std::isfinite(v.w);
}

// Geometry that went to infinity or NaN has no place on screen.
constexpr unsigned kNotFinite = 1u << 10;

// Turns a draw's transformed vertices into screen triangles. Each vertex's
// outcode and screen position are worked out once, however many triangles
// of a strip or fan share it.
class CTriangleSink {
public:
    // Works in the scratch's codes and screen, its clip holding the draw's
    // transformed vertices.
    CTriangleSink(D3DCULL cull, int width, int height, SPrimitiveScratch* scratch, std::vector<SRasterVertex>* out)
        : m_cull(cull), m_halfWidth(0.5f * static_cast<float>(width)),
          m_halfHeight(0.5f * static_cast<float>(height)),
          m_guardX(1.0f + kGuardBandPixels / m_halfWidth), m_guardY(1.0f + kGuardBandPixels / m_halfHeight),
          m_clip(scratch->clip), m_codes(scratch->codes), m_screen(scratch->screen), m_out(out) {
        const std::vector<SClipVertex>& clip = m_clip;
        m_codes.resize(clip.size());
        m_screen.resize(clip.size());
        for (size_t i = 0; i < clip.size(); ++i) {
            const SClipVertex& v = clip[i];
            m_codes[i] = IsFinite(v) ? Outcode(v, m_guardX, m_guardY) : kNotFinite;
            // A vertex inside the clipping volume with w > 0 goes to the
            // screen as it is; the others only as corners of clipped polygons.
            if ((m_codes[i] & 0x3Fu) == 0 && v.w > 0.0f) m_screen[i] = ToScreen(v);
        }
    }

    void Add(size_t ia, size_t ib, size_t ic) {
        const unsigned ca = m_codes[ia], cb = m_codes[ib], cc = m_codes[ic];
        if (((ca | cb | cc) & kNotFinite) != 0) return;
        // Wholly beyond one side of the view volume: nothing to draw. Bits
        // 0-3 are implied by 6-9, 4 and 5 are the view volume's own.
        if ((ca & cb & cc & 0x3F0u) != 0) return;
        const unsigned cut = (ca | cb | cc) & 0x3Fu;
        if (cut != 0) {
            AddClipped(ia, ib, ic, cut);
            return;
        }
        // Only the eye point itself can be left with w = 0; it has no place
        // on screen.
        if (!(m_clip[ia].w > 0.0f) || !(m_clip[ib].w > 0.0f) || !(m_clip[ic].w > 0.0f)) return;
        // Most triangles need no clipping: they go from the shared screen
        // vertices straight to the output.
        const SRasterVertex* corners[3] = {&m_screen[ia], &m_screen[ib], &m_screen[ic]};
        if (!Culled(corners, 3)) {
            m_out->push_back(*corners[0]);
            m_out->push_back(*corners[1]);
            m_out->push_back(*corners[2]);
        }
    }

private:
    void AddClipped(size_t ia, size_t ib, size_t ic, unsigned cut) {
        SClipVertex poly[kMaxPolygon] = {m_clip[ia], m_clip[ib], m_clip[ic]};
        const int count = ClipPolygon(poly, 3, cut, m_guardX, m_guardY);
        if (count < 3) return;
        SRasterVertex screen[kMaxPolygon];
        const SRasterVertex* corners[kMaxPolygon];
        for (int i = 0; i < count; ++i) {
            if (!(poly[i].w > 0.0f)) return;
            screen[i] = ToScreen(poly[i]);
            corners[i] = &screen[i];
        }
        if (Culled(corners, count)) return;
        for (int i = 1; i + 1 < count; ++i) {
            m_out->push_back(screen[0]);
            m_out->push_back(screen[i]);
            m_out->push_back(screen[i + 1]);
        }
    }

    // Winding is judged on screen (y down): a positive area is clockwise.
    // A polygon of no area is dropped whatever the cull mode.
    bool Culled(const SRasterVertex* const* corners, int count) const {
        double area = 0.0;
        for (int i = 0; i < count; ++i) {
            const SRasterVertex& p = *corners[i];
            const SRasterVertex& q = *corners[i + 1 < count ? i + 1 : 0];
            area += static_cast<double>(p.x) * q.y - static_cast<double>(q.x) * p.y;
        }
        if (area == 0.0) return true;
        if (m_cull == D3DCULL_CW && area > 0.0) return true;
        return m_cull == D3DCULL_CCW && area < 0.0;
    }

    SRasterVertex ToScreen(const SClipVertex& v) const {
        const float rhw = 1.0f / v.w;
        return {(v.x * rhw + 1.0f) * m_halfWidth,
                (1.0f - v.y * rhw) * m_halfHeight,
                v.z * rhw,
                rhw,
                v.r,
                v.g,
                v.b,
                v.a,
                v.u,
                v.v};
    }

    D3DCULL m_cull;
    float m_halfWidth;
    float m_halfHeight;
    float m_guardX;
    float m_guardY;
    const std::vector<SClipVertex>& m_clip;
    std::vector<unsigned>& m_codes;
    // Set only for vertices inside the clipping volume with w > 0, the only
    // ones read.
    std::vector<SRasterVertex>& m_screen;
    std::vector<SRasterVertex>* m_out;
};

}  // namespace

bool DescribeVertexFormat(DWORD fvf, SVertexLayout* layout) {
    constexpr DWORD kKnown = D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_DIFFUSE | D3DFVF_TEX1;
    if ((fvf & D3DFVF_XYZ) == 0 || (fvf & ~kKnown) != 0) return false;
    SVertexLayout l;
    l.stride = 12;
    if (fvf & D3DFVF_NORMAL) {
        l.normal = l.stride;
        l.stride += 12;
    }
    if (fvf & D3DFVF_DIFFUSE) {
        l.diffuse = l.stride;
        l.stride += 4;
    }
    if (fvf & D3DFVF_TEX1) {
        l.texCoord = l.stride;
        l.stride += 8;
    }
    *layout = l;
    return true;
}

uint64_t TriangleVertexCount(D3DPRIMITIVETYPE type, uint64_t primitiveCount) {
    if (primitiveCount == 0) return 0;
    switch (type) {
        case D3DPT_TRIANGLELIST: return 3 * primitiveCount;
        case D3DPT_TRIANGLESTRIP:
        case D3DPT_TRIANGLEFAN: return primitiveCount + 2;
        default: return 0;
    }
}

void ProcessPrimitives(const SFixedFunctionState& state, int targetWidth, int targetHeight,
                       const uint8_t* vertices, int stride, const SVertexLayout& layout,
                       D3DPRIMITIVETYPE type, uint32_t primitiveCount, SPrimitiveScratch* scratch,
                       std::vector<SRasterVertex>* out) {
    const uint64_t count = TriangleVertexCount(type, primitiveCount);
    if (count == 0) return;
    const CTransformer transformer(state, layout);
    std::vector<SClipVertex>& clip = scratch->clip;
    clip.resize(count);
    for (uint64_t i = 0; i < count; ++i) transformer.Transform(vertices + i * stride, &clip[i]);

    CTriangleSink sink(state.cull, targetWidth, targetHeight, scratch, out);
    for (uint32_t t = 0; t < primitiveCount; ++t) {
        switch (type) {
            case D3DPT_TRIANGLELIST: sink.Add(3 * t, 3 * t + 1, 3 * t + 2); break;
            case D3DPT_TRIANGLESTRIP:
                // Every other strip triangle is reversed so that all keep the
                // winding of the first.
                if (t % 2 == 0) {
                    sink.Add(t, t + 1, t + 2);
                } else {
                    sink.Add(t + 1, t, t + 2);
                }
                break;
            default: sink.Add(0, t + 1, t + 2); break;
        }
    }
}
