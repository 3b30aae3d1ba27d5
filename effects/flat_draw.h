// Drawing pieces the picture effects share: the flat screen space, the common
// stage-0 and blend settings, and four-vertex quads drawn as a fan. Each
// helper makes exactly the device calls it names, in the order listed, so an
// effect keeps full control of how its settings interleave.
#pragma once

#include "render/d3d8.h"
#include "render/vertex_buffer.h"
#include "resources/texture.h"

// A rectangle on the flat plane. A picture runs v = 1 along `top` and v = 0
// along `bottom`; a box with its top below its bottom shows it upside down.
struct SFlatBox {
    float left, right, bottom, top;
};

// World and view identity, projection the flat space of the given size:
// origin at the centre, +y up, one unit a pixel.
void SetFlatTransforms(int width, int height);
// Culling none, then lighting off.
void SetUnlitNoCull();
// Alpha blending on, then the source and destination factors.
void SetBlend(D3DBLEND source, D3DBLEND dest);
// Stage 0 colour = arg1 x arg2, then its alpha op.
void SetModulateStage(DWORD arg1, DWORD arg2, DWORD alphaOp);
// Stage 0 magnification, then minification, both linear.
void SetLinearFiltering();
// Stage 0 colour and alpha ops off: the vertex colour is drawn as it is.
void SetUntexturedStage();

// Rewrites `quad` (4 colour + uv vertices) as the box at z 0 in one colour,
// corners top left, top right, bottom right, bottom left.
void FillPictureQuad(CVertexBuffer& quad, const SFlatBox& box, D3DCOLOR colour);
// Binds the picture (a picture that failed to load binds none) and draws the
// quad's two-triangle fan.
void DrawPictureQuad(CVertexBuffer& quad, const CTexture& picture);
// Rewrites `quad` (4 colour vertices) with the corners in one colour and
// draws it as a two-triangle fan.
void DrawColourQuad(CVertexBuffer& quad, const float (&corners)[4][3], D3DCOLOR colour);
