// Matrix and vector helpers with Direct3D's conventions: row vectors
// (p' = p * M), translation in the fourth row, left-handed camera. Each takes
// its output first, writes all of it, and returns it.
#pragma once

#include "render/d3d8.h"

D3DMATRIX* MatIdentity(D3DMATRIX* out);
D3DMATRIX* MatMultiply(D3DMATRIX* out, const D3DMATRIX* a, const D3DMATRIX* b);
D3DMATRIX* MatScale(D3DMATRIX* out, float sx, float sy, float sz);
D3DMATRIX* MatTranslate(D3DMATRIX* out, float x, float y, float z);
D3DMATRIX* MatRotateX(D3DMATRIX* out, float angle);
D3DMATRIX* MatRotateY(D3DMATRIX* out, float angle);
D3DMATRIX* MatRotateZ(D3DMATRIX* out, float angle);
D3DMATRIX* MatPerspective(D3DMATRIX* out, float fovY, float aspect, float zNear, float zFar);
D3DMATRIX* MatOrtho(D3DMATRIX* out, float width, float height, float zNear, float zFar);
D3DMATRIX* MatLookAt(D3DMATRIX* out, const D3DVECTOR* eye, const D3DVECTOR* at, const D3DVECTOR* up);
D3DVECTOR* VecCross(D3DVECTOR* out, const D3DVECTOR* a, const D3DVECTOR* b);
D3DVECTOR* VecNormalize(D3DVECTOR* out, const D3DVECTOR* v);
