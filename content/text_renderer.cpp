#include "content/text_renderer.h"

#include <ft2build.h>
#include FT_FREETYPE_H

#include <algorithm>
#include <climits>
#include <cmath>
#include <stdexcept>

namespace {

struct SPlacedGlyph {
    int left = 0;  // pixel column of the bitmap's left edge, from the pen origin
    int top = 0;   // pixel row of the bitmap's top edge above the baseline
    int width = 0;
    int rows = 0;
    std::vector<unsigned char> pixels;  // rows top first, width bytes each
};

}  // namespace

CFont::CFont(const std::string& path) {
    if (FT_Init_FreeType(&m_library) != 0) throw std::runtime_error("cannot start FreeType");
    if (FT_New_Face(m_library, path.c_str(), 0, &m_face) != 0) {
        FT_Done_FreeType(m_library);
        throw std::runtime_error("cannot open font " + path + " (install fonts-dejavu-core)");
    }
}

CFont::~CFont() {
    FT_Done_Face(m_face);
    FT_Done_FreeType(m_library);
}

STextMask CFont::Render(const std::string& text, float pixelHeight, float stretchX, float trackingPixels) const {
    if (!(pixelHeight > 0.0f) || !(stretchX > 0.0f)) throw std::invalid_argument("text size must be positive");
    const FT_F26Dot6 emWidth = static_cast<FT_F26Dot6>(std::lround(pixelHeight * stretchX * 64.0f));
    const FT_F26Dot6 emHeight = static_cast<FT_F26Dot6>(std::lround(pixelHeight * 64.0f));
    if (FT_Set_Char_Size(m_face, emWidth, emHeight, 72, 72) != 0) throw std::runtime_error("cannot size font");

    // Lay the glyphs out on a 26.6 fixed-point pen, keeping their bitmaps.
    std::vector<SPlacedGlyph> glyphs;
    long pen = 0;
    const long tracking = std::lround(trackingPixels * 64.0f);
    FT_UInt previous = 0;
    for (const char ch : text) {
        const unsigned char code = static_cast<unsigned char>(ch);
        if (code < 32 || code > 126) throw std::invalid_argument("text must be printable ASCII");
        const FT_UInt index = FT_Get_Char_Index(m_face, code);
        if (previous != 0 && index != 0 && FT_HAS_KERNING(m_face)) {
            FT_Vector kern;
            if (FT_Get_Kerning(m_face, previous, index, FT_KERNING_DEFAULT, &kern) == 0) pen += kern.x;
        }
        // Light hinting snaps only vertically, which suits stretched text.
        if (FT_Load_Glyph(m_face, index, FT_LOAD_RENDER | FT_LOAD_TARGET_LIGHT) != 0) {
            throw std::runtime_error("cannot render a glyph");
        }
        const FT_GlyphSlot slot = m_face->glyph;
        const FT_Bitmap& bitmap = slot->bitmap;
        if (bitmap.rows > 0 && bitmap.width > 0) {
            if (bitmap.pixel_mode != FT_PIXEL_MODE_GRAY) throw std::runtime_error("unexpected glyph bitmap format");
            SPlacedGlyph g;
            g.left = static_cast<int>((pen + 32) >> 6) + slot->bitmap_left;
            g.top = slot->bitmap_top;
            g.width = static_cast<int>(bitmap.width);
            g.rows = static_cast<int>(bitmap.rows);
            g.pixels.resize(static_cast<size_t>(g.width) * static_cast<size_t>(g.rows));
            for (int r = 0; r < g.rows; ++r) {
                const unsigned char* row = bitmap.buffer + static_cast<long>(r) * bitmap.pitch;
                std::copy(row, row + g.width, g.pixels.begin() + static_cast<long>(r) * g.width);
            }
            glyphs.push_back(std::move(g));
        }
        pen += slot->advance.x + tracking;
        previous = index;
    }

    STextMask mask;
    if (glyphs.empty()) return mask;
    int minX = INT_MAX, maxX = INT_MIN, minY = INT_MAX, maxY = INT_MIN;  // y up from the baseline
    for (const SPlacedGlyph& g : glyphs) {
        minX = std::min(minX, g.left);
        maxX = std::max(maxX, g.left + g.width);
        maxY = std::max(maxY, g.top);
        minY = std::min(minY, g.top - g.rows);
    }
    mask.width = maxX - minX;
    mask.height = maxY - minY;
    mask.baseline = -minY;
    mask.coverage.assign(static_cast<size_t>(mask.width) * static_cast<size_t>(mask.height), 0.0f);
    for (const SPlacedGlyph& g : glyphs) {
        for (int r = 0; r < g.rows; ++r) {
            const int y = g.top - 1 - r - minY;  // bitmap rows run downwards
            for (int c = 0; c < g.width; ++c) {
                const int x = g.left - minX + c;
                float& cell =
                    mask.coverage[static_cast<size_t>(y) * static_cast<size_t>(mask.width) + static_cast<size_t>(x)];
                const float value =
                    static_cast<float>(
                        g.pixels[static_cast<size_t>(r) * static_cast<size_t>(g.width) + static_cast<size_t>(c)]) /
                    255.0f;
                cell = std::min(1.0f, cell + value);  // touching glyphs add up
            }
        }
    }
    return mask;
}
