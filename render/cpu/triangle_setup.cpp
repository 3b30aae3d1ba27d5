#include "render/cpu/triangle_setup.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "render/core/raster_backend.h"

namespace {

// Floor of value / 256 for any sign.
int32_t FloorSub(int32_t value) { return value >= 0 ? value / kSubPixels : -((-value + kSubPixels - 1) / kSubPixels); }

// First whole pixel at or after value / 256.
int32_t CeilSub(int32_t value) { return -FloorSub(-value); }

bool Usable(float c) { return std::fabs(c) <= kMaxCoordinate; }  // false for NaN too

int32_t Snap(float c) { return static_cast<int32_t>(std::floor(static_cast<double>(c) * kSubPixels + 0.5)); }

// The plane through three values at the three (unsnapped) corners.
struct SPlaneFit {
    double x0, y0, ex1, ey1, ex2, ey2, det;

    SPlane Fit(double f0, double f1, double f2, int refX, int refY) const {
        const double d1 = f1 - f0, d2 = f2 - f0;
        const double a = (d1 * ey2 - d2 * ey1) / det;
        const double b = (d2 * ex1 - d1 * ex2) / det;
        return {static_cast<float>(a), static_cast<float>(b),
                static_cast<float>(f0 + a * (refX - x0) + b * (refY - y0))};
    }
};

}  // namespace

uint8_t QuantiseChannel(float value) {
    value = value > 0.0f ? value : 0.0f;  // NaN goes to 0
    value = value < 1.0f ? value : 1.0f;
    return static_cast<uint8_t>(value * 255.0f + 0.5f);
}

bool SetupTriangle(const SRasterVertex* v, bool textured, int width, int height, uint32_t command,
                   STriangle* out) {
    for (int i = 0; i < 3; ++i) {
        if (!Usable(v[i].x) || !Usable(v[i].y)) return false;
    }
    STriangle& t = *out;
    for (int i = 0; i < 3; ++i) {
        t.x[i] = Snap(v[i].x);
        t.y[i] = Snap(v[i].y);
    }
    // Top first, on the snapped grid; equal heights keep their order, so
    // the result depends on nothing but the vertices.
    auto order = [&t](int a, int b) {
        if (t.y[b] < t.y[a]) {
            std::swap(t.x[a], t.x[b]);
            std::swap(t.y[a], t.y[b]);
        }
    };
    order(0, 1);
    order(1, 2);
    order(0, 1);
    // Positive when corner 1 lies right of the long edge (y grows down).
    const int64_t cross = static_cast<int64_t>(t.x[1] - t.x[0]) * (t.y[2] - t.y[0]) -
                          static_cast<int64_t>(t.y[1] - t.y[0]) * (t.x[2] - t.x[0]);
    if (cross == 0) return false;
    t.longEdgeLeft = cross > 0;

    // Rows and columns whose sample points lie in [top, bottom) and
    // [left, right), widened by one for centres on a shallow edge.
    t.rowBegin = std::max(CeilSub(t.y[0] - kSampleY), 0);
    t.rowEnd = std::min(CeilSub(t.y[2] - kSampleY), height);
    if (t.rowBegin >= t.rowEnd) return false;
    const int32_t left = CeilSub(std::min({t.x[0], t.x[1], t.x[2]})) - 1;
    const int32_t right = CeilSub(std::max({t.x[0], t.x[1], t.x[2]})) + 1;
    if (right <= 0 || left >= width || left >= right) return false;
    t.refX = std::max(left, 0);
    t.refY = t.rowBegin;
    t.command = command;

    const SRasterVertex& a = v[0];
    const SRasterVertex& b = v[1];
    const SRasterVertex& c = v[2];
    SPlaneFit fit{a.x, a.y, static_cast<double>(b.x) - a.x, static_cast<double>(b.y) - a.y,
                  static_cast<double>(c.x) - a.x, static_cast<double>(c.y) - a.y, 0.0};
    fit.det = fit.ex1 * fit.ey2 - fit.ex2 * fit.ey1;
    if (fit.det == 0.0) return false;

    t.flat = a.r == b.r && a.r == c.r && a.g == b.g && a.g == c.g && a.b == b.b && a.b == c.b &&
             a.a == b.a && a.a == c.a;
    t.perspective = !(a.rhw == b.rhw && a.rhw == c.rhw);
    if (t.flat) {
        t.flatColour[0] = QuantiseChannel(a.b);
        t.flatColour[1] = QuantiseChannel(a.g);
        t.flatColour[2] = QuantiseChannel(a.r);
        t.flatColour[3] = QuantiseChannel(a.a);
    }
    if (t.flat && !textured) {
        t.perspective = false;  // nothing is interpolated
        return true;
    }
    const double qa = t.perspective ? a.rhw : 1.0;
    const double qb = t.perspective ? b.rhw : 1.0;
    const double qc = t.perspective ? c.rhw : 1.0;
    auto plane = [&](EPlane p, float SRasterVertex::*field) {
        t.planes[p] = fit.Fit(a.*field * qa, b.*field * qb, c.*field * qc, t.refX, t.refY);
    };
    if (t.perspective) t.planes[kPlaneQ] = fit.Fit(qa, qb, qc, t.refX, t.refY);
    if (!t.flat) {
        plane(kPlaneR, &SRasterVertex::r);
        plane(kPlaneG, &SRasterVertex::g);
        plane(kPlaneB, &SRasterVertex::b);
        plane(kPlaneA, &SRasterVertex::a);
    }
    if (textured) {
        plane(kPlaneU, &SRasterVertex::u);
        plane(kPlaneV, &SRasterVertex::v);
    }
    return true;
}
