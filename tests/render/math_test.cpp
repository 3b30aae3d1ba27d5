#include <gtest/gtest.h>

#include <cmath>

#include "render/d3dmath.h"

namespace {

constexpr float kPi = 3.14159265358979f;
constexpr float kTolerance = 1e-6f;

D3DVECTOR Transform(const D3DVECTOR& p, const D3DMATRIX& m) {
    return {p.x * m._11 + p.y * m._21 + p.z * m._31 + m._41,
            p.x * m._12 + p.y * m._22 + p.z * m._32 + m._42,
            p.x * m._13 + p.y * m._23 + p.z * m._33 + m._43};
}

void ExpectVector(const D3DVECTOR& v, float x, float y, float z) {
    EXPECT_NEAR(v.x, x, kTolerance);
    EXPECT_NEAR(v.y, y, kTolerance);
    EXPECT_NEAR(v.z, z, kTolerance);
}

void ExpectMatrix(const D3DMATRIX& actual, const D3DMATRIX& expected) {
    for (int r = 0; r < 4; ++r) {
        for (int c = 0; c < 4; ++c) {
            EXPECT_NEAR(actual.m[r][c], expected.m[r][c], 1e-5f) << "row " << r << " col " << c;
        }
    }
}

// Filled with garbage so a function that skips an element is caught.
D3DMATRIX Garbage() {
    D3DMATRIX m;
    for (auto& row : m.m) {
        for (float& e : row) e = 123.0f;
    }
    return m;
}

TEST(MathTest, BasicMatricesWriteEveryElement) {
    D3DMATRIX identity{};
    identity._11 = identity._22 = identity._33 = identity._44 = 1.0f;

    D3DMATRIX m = Garbage();
    EXPECT_EQ(MatIdentity(&m), &m);
    ExpectMatrix(m, identity);

    m = Garbage();
    EXPECT_EQ(MatScale(&m, 1, 1, 1), &m);
    ExpectMatrix(m, identity);

    m = Garbage();
    MatScale(&m, 2, 3, 4);
    ExpectVector(Transform({1, 1, 1}, m), 2, 3, 4);
    EXPECT_EQ(m._12, 0.0f);
    EXPECT_EQ(m._44, 1.0f);

    m = Garbage();
    MatTranslate(&m, 5, -6, 7);
    ExpectVector(Transform({1, 2, 3}, m), 6, -4, 10);
    EXPECT_EQ(m._14, 0.0f);
    EXPECT_EQ(m._44, 1.0f);
}

TEST(MathTest, RotationsAreLeftHanded) {
    D3DMATRIX m = Garbage();
    MatRotateZ(&m, kPi / 2);
    ExpectVector(Transform({1, 0, 0}, m), 0, 1, 0);
    EXPECT_EQ(m._44, 1.0f);
    EXPECT_EQ(m._41, 0.0f);

    m = Garbage();
    MatRotateX(&m, kPi / 2);
    ExpectVector(Transform({0, 1, 0}, m), 0, 0, 1);
    EXPECT_EQ(m._44, 1.0f);

    m = Garbage();
    MatRotateY(&m, kPi / 2);
    ExpectVector(Transform({0, 0, 1}, m), 1, 0, 0);
    EXPECT_EQ(m._44, 1.0f);
}

TEST(MathTest, MultiplyAppliesLeftThenRightAndToleratesAliasing) {
    D3DMATRIX m;
    for (int r = 0; r < 4; ++r) {
        for (int c = 0; c < 4; ++c) m.m[r][c] = static_cast<float>(r * 4 + c + 1);
    }
    D3DMATRIX square{};
    for (int r = 0; r < 4; ++r) {
        for (int c = 0; c < 4; ++c) {
            for (int k = 0; k < 4; ++k) square.m[r][c] += m.m[r][k] * m.m[k][c];
        }
    }
    D3DMATRIX same = m;
    EXPECT_EQ(MatMultiply(&same, &same, &same), &same);
    ExpectMatrix(same, square);

    // Rotation first, then translation, written over the translation.
    D3DMATRIX rotate;
    D3DMATRIX translate;
    MatRotateZ(&rotate, kPi / 2);
    MatTranslate(&translate, 10, 0, 0);
    MatMultiply(&translate, &rotate, &translate);
    ExpectVector(Transform({1, 0, 0}, translate), 10, 1, 0);

    // And over the left operand.
    MatRotateZ(&rotate, kPi / 2);
    MatTranslate(&translate, 10, 0, 0);
    MatMultiply(&rotate, &rotate, &translate);
    ExpectVector(Transform({1, 0, 0}, rotate), 10, 1, 0);
}

TEST(MathTest, ProjectionValues) {
    D3DMATRIX m = Garbage();
    MatPerspective(&m, kPi / 4, 4.0f / 3.0f, 1, 100);
    EXPECT_NEAR(m._11, 1.8106602f, 1e-6f);
    EXPECT_NEAR(m._22, 2.4142136f, 1e-6f);
    EXPECT_NEAR(m._33, 1.0101010f, 1e-6f);
    EXPECT_NEAR(m._43, -1.0101010f, 1e-6f);
    EXPECT_EQ(m._34, 1.0f);
    EXPECT_EQ(m._44, 0.0f);
    EXPECT_EQ(m._12, 0.0f);
    EXPECT_EQ(m._41, 0.0f);

    m = Garbage();
    MatOrtho(&m, 640, 480, -1, 1);
    EXPECT_FLOAT_EQ(m._11, 0.003125f);
    EXPECT_NEAR(m._22, 0.0041667f, 1e-7f);
    EXPECT_FLOAT_EQ(m._33, -0.5f);
    EXPECT_FLOAT_EQ(m._43, 0.5f);
    EXPECT_EQ(m._44, 1.0f);
    EXPECT_EQ(m._34, 0.0f);
    // Depth 0.5 - z/2: z = 1 is nearest, z = -1 farthest.
    EXPECT_FLOAT_EQ(Transform({0, 0, 0}, m).z, 0.5f);
    EXPECT_FLOAT_EQ(Transform({0, 0, 1}, m).z, 0.0f);
    EXPECT_FLOAT_EQ(Transform({0, 0, -1}, m).z, 1.0f);
}

TEST(MathTest, NormalizeBoundsAndAliasing) {
    D3DVECTOR out{9, 9, 9};
    const D3DVECTOR v345{3, 4, 0};
    EXPECT_EQ(VecNormalize(&out, &v345), &out);
    ExpectVector(out, 0.6f, 0.8f, 0.0f);

    const D3DVECTOR zero{0, 0, 0};
    out = {9, 9, 9};
    VecNormalize(&out, &zero);
    EXPECT_EQ(out.x, 0.0f);
    EXPECT_EQ(out.y, 0.0f);
    EXPECT_EQ(out.z, 0.0f);

    // len2 = 1e-12 is below the bound: no direction.
    const D3DVECTOR tiny{0.000001f, 0, 0};
    out = {9, 9, 9};
    VecNormalize(&out, &tiny);
    EXPECT_EQ(out.x, 0.0f);

    // Within the tolerance of unit length: copied bit for bit.
    const D3DVECTOR nearUnit{1.000004f, 0, 0};
    VecNormalize(&out, &nearUnit);
    EXPECT_EQ(out.x, 1.000004f);

    const D3DVECTOR notANumber{std::nanf(""), 0, 0};
    out = {9, 9, 9};
    VecNormalize(&out, &notANumber);
    EXPECT_EQ(out.x, 0.0f);

    D3DVECTOR inPlace{0, 0, -2};
    VecNormalize(&inPlace, &inPlace);
    ExpectVector(inPlace, 0, 0, -1);
}

TEST(MathTest, CrossProductToleratesAliasing) {
    D3DVECTOR a{1, 0, 0};
    const D3DVECTOR b{0, 1, 0};
    D3DVECTOR out;
    VecCross(&out, &a, &b);
    ExpectVector(out, 0, 0, 1);
    VecCross(&a, &a, &b);
    ExpectVector(a, 0, 0, 1);
    D3DVECTOR c{2, 3, 4};
    const D3DVECTOR d{5, 6, 7};
    VecCross(&c, &d, &c);
    ExpectVector(c, 6 * 4 - 7 * 3, 7 * 2 - 5 * 4, 5 * 3 - 6 * 2);
}

TEST(MathTest, LookAt) {
    const D3DVECTOR eye{0, 0, -5};
    const D3DVECTOR at{0, 0, 0};
    const D3DVECTOR up{0, 1, 0};
    D3DMATRIX m = Garbage();
    MatLookAt(&m, &eye, &at, &up);
    D3DMATRIX expected;
    MatTranslate(&expected, 0, 0, 5);
    ExpectMatrix(m, expected);

    // Looking along +x from the origin: the target lands on the +z axis.
    const D3DVECTOR side{4, 0, 0};
    MatLookAt(&m, &at, &side, &up);
    ExpectVector(Transform(side, m), 0, 0, 4);

    // Up parallel to the view: a zero x axis, no error.
    const D3DVECTOR above{0, 5, 0};
    MatLookAt(&m, &at, &above, &up);
    EXPECT_EQ(m._11, 0.0f);
    EXPECT_EQ(m._21, 0.0f);
    EXPECT_EQ(m._31, 0.0f);
    EXPECT_EQ(m._12, 0.0f);
    EXPECT_EQ(m._44, 1.0f);
    EXPECT_NEAR(m._23, 1.0f, kTolerance);
}

}  // namespace
