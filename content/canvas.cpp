#include "content/canvas.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>

CCanvas::CCanvas(CImage* image, float unitsWide, float unitsHigh)
    : m_image(image), m_unitsWide(unitsWide), m_unitsHigh(unitsHigh) {
    if (!(unitsWide > 0.0f) || !(unitsHigh > 0.0f)) throw std::invalid_argument("canvas size must be positive");
    m_pixelsPerUnitX = static_cast<float>(image->Width()) / unitsWide;
    m_pixelsPerUnitY = static_cast<float>(image->Height()) / unitsHigh;
}

float CCanvas::Pixel() const { return 1.0f / std::min(m_pixelsPerUnitX, m_pixelsPerUnitY); }

void CCanvas::Shade(const Shader& shade) { ShadeBox(0.0f, 0.0f, m_unitsWide, m_unitsHigh, shade); }

void CCanvas::ShadeBox(float left, float bottom, float right, float top, const Shader& shade) {
    // Pixel centres at (i + 0.5) / scale inside [left, right] x [bottom, top].
    const int x0 = std::max(0, static_cast<int>(std::ceil(left * m_pixelsPerUnitX - 0.5f)));
    const int x1 = std::min(m_image->Width() - 1, static_cast<int>(std::floor(right * m_pixelsPerUnitX - 0.5f)));
    const int y0 = std::max(0, static_cast<int>(std::ceil(bottom * m_pixelsPerUnitY - 0.5f)));
    const int y1 = std::min(m_image->Height() - 1, static_cast<int>(std::floor(top * m_pixelsPerUnitY - 0.5f)));
    for (int y = y0; y <= y1; ++y) {
        const float uy = (static_cast<float>(y) + 0.5f) / m_pixelsPerUnitY;
        for (int x = x0; x <= x1; ++x) {
            const float ux = (static_cast<float>(x) + 0.5f) / m_pixelsPerUnitX;
            SColor& pixel = m_image->At(x, y);
            pixel = shade(ux, uy, pixel);
        }
    }
}

float CCanvas::TextWidth(const CFont& font, const std::string& text, float size, float tracking) const {
    const STextMask mask =
        font.Render(text, size * m_pixelsPerUnitY, m_pixelsPerUnitX / m_pixelsPerUnitY, tracking * m_pixelsPerUnitX);
    return static_cast<float>(mask.width) / m_pixelsPerUnitX;
}

void CCanvas::Glow(float centreX, float centreY, float radius, const SColor& colour) {
    const float reach = 3.0f * radius;
    const int x0 = std::max(0, static_cast<int>(std::floor((centreX - reach) * m_pixelsPerUnitX)));
    const int x1 = std::min(m_image->Width() - 1, static_cast<int>(std::ceil((centreX + reach) * m_pixelsPerUnitX)));
    const int y0 = std::max(0, static_cast<int>(std::floor((centreY - reach) * m_pixelsPerUnitY)));
    const int y1 = std::min(m_image->Height() - 1, static_cast<int>(std::ceil((centreY + reach) * m_pixelsPerUnitY)));
    for (int y = y0; y <= y1; ++y) {
        const float dy = (static_cast<float>(y) + 0.5f) / m_pixelsPerUnitY - centreY;
        for (int x = x0; x <= x1; ++x) {
            const float dx = (static_cast<float>(x) + 0.5f) / m_pixelsPerUnitX - centreX;
            const float d2 = (dx * dx + dy * dy) / (radius * radius);
            if (d2 > 9.0f) continue;
            const float light = std::exp(-d2);
            SColor& p = m_image->At(x, y);
            p.r += colour.r * light;
            p.g += colour.g * light;
            p.b += colour.b * light;
            p.a = std::max(p.a, Clamp01(colour.a * light));
        }
    }
}

void CCanvas::Text(const CFont& font, const std::string& text, float centreX, float baselineY, float size,
                   const std::function<SColor(float x, float y)>& colour, float tracking) {
    const STextMask mask =
        font.Render(text, size * m_pixelsPerUnitY, m_pixelsPerUnitX / m_pixelsPerUnitY, tracking * m_pixelsPerUnitX);
    const int left = static_cast<int>(std::lround(centreX * m_pixelsPerUnitX - 0.5f * static_cast<float>(mask.width)));
    const int bottom = static_cast<int>(std::lround(baselineY * m_pixelsPerUnitY)) - mask.baseline;
    for (int my = 0; my < mask.height; ++my) {
        const int y = bottom + my;
        if (y < 0 || y >= m_image->Height()) continue;
        for (int mx = 0; mx < mask.width; ++mx) {
            const int x = left + mx;
            if (x < 0 || x >= m_image->Width()) continue;
            const float cover = mask.At(mx, my);
            if (cover <= 0.0f) continue;
            const float ux = (static_cast<float>(x) + 0.5f) / m_pixelsPerUnitX;
            const float uy = (static_cast<float>(y) + 0.5f) / m_pixelsPerUnitY;
            m_image->BlendOver(x, y, colour(ux, uy), cover);
        }
    }
}
