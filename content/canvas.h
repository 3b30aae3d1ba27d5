// Painting in the units a picture is shown in. Textures are often
// stretched onto boxes of another shape (a 512 x 128 caption onto a
// 480 x 140 box), so pictures are painted in box units and come out with
// the right proportions on screen.
#pragma once

#include <functional>
#include <string>

#include "content/image.h"
#include "content/text_renderer.h"

class CCanvas {
public:
    // The whole image shows as a box unitsWide x unitsHigh on screen.
    CCanvas(CImage* image, float unitsWide, float unitsHigh);

    float UnitsWide() const { return m_unitsWide; }
    float UnitsHigh() const { return m_unitsHigh; }
    // Units across one pixel (the larger axis): the width of a soft edge.
    float Pixel() const;
    CImage& Image() { return *m_image; }

    // Sets every pixel to shade(x, y, pixel) with (x, y) the pixel centre in
    // units, origin at the bottom left, y up.
    using Shader = std::function<SColor(float x, float y, const SColor& below)>;
    void Shade(const Shader& shade);
    // The same, only for the pixels whose centres lie in the given box.
    void ShadeBox(float left, float bottom, float right, float top, const Shader& shade);

    // Paints text centred on centreX with its baseline at baselineY; size is
    // the em height in units, tracking extra units between letters.
    // colour(x, y) gives the straight colour at each unit position.
    void Text(const CFont& font, const std::string& text, float centreX, float baselineY, float size,
              const std::function<SColor(float x, float y)>& colour, float tracking = 0.0f);
    // The width in units that Text gives the same string.
    float TextWidth(const CFont& font, const std::string& text, float size, float tracking = 0.0f) const;

    // Adds a soft round light: full colour at the centre, falling off as a
    // Gaussian of the given radius (in units) and gone beyond three radii.
    void Glow(float centreX, float centreY, float radius, const SColor& colour);

private:
    CImage* m_image;
    float m_unitsWide;
    float m_unitsHigh;
    float m_pixelsPerUnitX;
    float m_pixelsPerUnitY;
};
