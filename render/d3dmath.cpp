#include "render/d3dmath.h"

#include <cmath>

namespace {

D3DMATRIX* Zero(D3DMATRIX* out) {
    for (auto& row : out->m) {
        for (float& element : row) element = 0.0f;
    }
    return out;
}

float Dot(const D3DVECTOR& a, const D3DVECTOR& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }

}  // namespace

D3DMATRIX* MatIdentity(D3DMATRIX* out) { return MatScale(out, 1.0f, 1.0f, 1.0f); }

D3DMATRIX* MatMultiply(D3DMATRIX* out, const D3DMATRIX* a, const D3DMATRIX* b) {
    // Computed into a temporary so that out may alias a, b or both.
    D3DMATRIX result;
    for (int i = 0; i < 4; ++i) {
        for (int j = 0; j < 4; ++j) {
            result.m[i][j] = a->m[i][0] * b->m[0][j] + a->m[i][1] * b->m[1][j] +
                             a->m[i][2] * b->m[2][j] + a->m[i][3] * b->m[3][j];
        }
    }
    *out = result;
    return out;
}

D3DMATRIX* MatScale(D3DMATRIX* out, float sx, float sy, float sz) {
    Zero(out);
    out->_11 = sx;
    out->_22 = sy;
    out->_33 = sz;
    out->_44 = 1.0f;
    return out;
}

D3DMATRIX* MatTranslate(D3DMATRIX* out, float x, float y, float z) {
    MatIdentity(out);
    out->_41 = x;
    out->_42 = y;
    out->_43 = z;
    return out;
}

D3DMATRIX* MatRotateX(D3DMATRIX* out, float angle) {
    const float c = std::cos(angle);
    const float s = std::sin(angle);
    Zero(out);
    out->_11 = 1.0f;
    out->_22 = c;
    out->_23 = s;
    out->_32 = -s;
    out->_33 = c;
    out->_44 = 1.0f;
    return out;
}

D3DMATRIX* MatRotateY(D3DMATRIX* out, float angle) {
    const float c = std::cos(angle);
    const float s = std::sin(angle);
    Zero(out);
    out->_11 = c;
    out->_13 = -s;
    out->_22 = 1.0f;
    out->_31 = s;
    out->_33 = c;
    out->_44 = 1.0f;
    return out;
}

D3DMATRIX* MatRotateZ(D3DMATRIX* out, float angle) {
    const float c = std::cos(angle);
    const float s = std::sin(angle);
    Zero(out);
    out->_11 = c;
    out->_12 = s;
    out->_21 = -s;
    out->_22 = c;
    out->_33 = 1.0f;
    out->_44 = 1.0f;
    return out;
}

D3DMATRIX* MatPerspective(D3DMATRIX* out, float fovY, float aspect, float zNear, float zFar) {
    const double half = static_cast<double>(fovY) / 2.0;
    const double h = std::cos(half) / std::sin(half);
    const double q = static_cast<double>(zFar) / (static_cast<double>(zFar) - zNear);
    Zero(out);
    out->_11 = static_cast<float>(h / aspect);
    out->_22 = static_cast<float>(h);
    out->_33 = static_cast<float>(q);
    out->_34 = 1.0f;
    out->_43 = static_cast<float>(-q * zNear);
    return out;
}

D3DMATRIX* MatOrtho(D3DMATRIX* out, float width, float height, float zNear, float zFar) {
    // The depth scale is 1 / (near - far): with near -1 and far 1 a point at
    // z = 0 lands at depth 0.5, z = 1 at 0 and z = -1 at 1.
    const double r = 1.0 / (static_cast<double>(zNear) - zFar);
    Zero(out);
    out->_11 = 2.0f / width;
    out->_22 = 2.0f / height;
    out->_33 = static_cast<float>(r);
    out->_43 = static_cast<float>(r * zNear);
    out->_44 = 1.0f;
    return out;
}

D3DVECTOR* VecCross(D3DVECTOR* out, const D3DVECTOR* a, const D3DVECTOR* b) {
    const D3DVECTOR result = {a->y * b->z - a->z * b->y, a->z * b->x - a->x * b->z,
                              a->x * b->y - a->y * b->x};
    *out = result;
    return out;
}

D3DVECTOR* VecNormalize(D3DVECTOR* out, const D3DVECTOR* v) {
    const float len2 = Dot(*v, *v);
    const float offUnit = len2 - 1.0f;
    // Close enough to unit length already: keep it exactly as it is.
    if (offUnit >= -0.00001f && offUnit <= 0.00001f) {
        if (out != v) *out = *v;
        return out;
    }
    // Too short (or not a number) to give a direction.
    if (!(len2 > 9.9999994e-11f)) {
        *out = D3DVECTOR{0.0f, 0.0f, 0.0f};
        return out;
    }
    const float k = static_cast<float>(1.0 / std::sqrt(static_cast<double>(len2)));
    const D3DVECTOR result = {v->x * k, v->y * k, v->z * k};
    *out = result;
    return out;
}

D3DMATRIX* MatLookAt(D3DMATRIX* out, const D3DVECTOR* eye, const D3DVECTOR* at,
                     const D3DVECTOR* up) {
    const D3DVECTOR view = {at->x - eye->x, at->y - eye->y, at->z - eye->z};
    D3DVECTOR zaxis;
    VecNormalize(&zaxis, &view);
    D3DVECTOR xaxis;
    VecCross(&xaxis, up, &zaxis);
    VecNormalize(&xaxis, &xaxis);
    D3DVECTOR yaxis;
    VecCross(&yaxis, &zaxis, &xaxis);

    out->_11 = xaxis.x;
    out->_12 = yaxis.x;
    out->_13 = zaxis.x;
    out->_14 = 0.0f;
    out->_21 = xaxis.y;
    out->_22 = yaxis.y;
    out->_23 = zaxis.y;
    out->_24 = 0.0f;
    out->_31 = xaxis.z;
    out->_32 = yaxis.z;
    out->_33 = zaxis.z;
    out->_34 = 0.0f;
    out->_41 = -Dot(xaxis, *eye);
    out->_42 = -Dot(yaxis, *eye);
    out->_43 = -Dot(zaxis, *eye);
    out->_44 = 1.0f;
    return out;
}
