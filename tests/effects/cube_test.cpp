#include "effects/cube.h"

#include <cmath>

#include "tests/effects/effect_fixture.h"

namespace {

class CubeTest : public EffectTest {
protected:
    void SetUp() override {
        EffectTest::SetUp();
        CEffectCube1::s_angle = 0.0f;
    }

    // Draws one frame and returns the ambient colour its cube was lit with.
    D3DCOLOR FrameAmbient(float step) {
        NewFrame();
        cube.Render(step);
        const auto draws = Draws();
        EXPECT_EQ(draws.size(), 1u);
        if (draws.empty()) return 0;
        const auto ambient = draws[0]->state.renderStates.find(D3DRS_AMBIENT);
        EXPECT_NE(ambient, draws[0]->state.renderStates.end());
        return ambient == draws[0]->state.renderStates.end() ? 0 : ambient->second;
    }

    CEffectCube1 cube;
};

TEST_F(CubeTest, InitFillsTheMeshAndSetsMaterialAndLightOnce) {
    cube.Init(640, 480);
    for (const char* op : {"CreateVertexBuffer", "SetMaterial", "SetLight", "LightEnable"})
        EXPECT_EQ(device.Count(op), 1u) << op;
    EXPECT_EQ(device.Find("CreateVertexBuffer")[0]->args[0], 36 * 24);

    const D3DMATERIAL8 material = device.Find("SetMaterial")[0]->material;
    const float half[4] = {0.5f, 0.5f, 0.5f, 1.0f};
    const float* diffuse = &material.Diffuse.r;
    const float* ambient = &material.Ambient.r;
    for (int k = 0; k < 4; ++k) {
        EXPECT_EQ(diffuse[k], half[k]);
        EXPECT_EQ(ambient[k], half[k]);
    }
    EXPECT_EQ(material.Specular.r + material.Specular.g + material.Specular.b + material.Specular.a, 0.0f);
    EXPECT_EQ(material.Emissive.r + material.Emissive.g + material.Emissive.b + material.Emissive.a, 0.0f);
    EXPECT_EQ(material.Power, 0.0f);

    const SRecordedCall& setLight = *device.Find("SetLight")[0];
    EXPECT_EQ(setLight.args[0], 0);
    const D3DLIGHT8& light = setLight.light;
    EXPECT_EQ(light.Type, D3DLIGHT_DIRECTIONAL);
    EXPECT_EQ(light.Diffuse.r, 0.5f);
    EXPECT_EQ(light.Diffuse.g, 0.5f);
    EXPECT_EQ(light.Diffuse.b, 0.5f);
    EXPECT_EQ(light.Diffuse.a, 0.0f);
    EXPECT_EQ(light.Direction.x, 0.0f);
    EXPECT_EQ(light.Direction.y, 0.0f);
    EXPECT_EQ(light.Direction.z, 1.0f);
    EXPECT_EQ(light.Range, 1000.0f);
    EXPECT_EQ(light.Specular.r + light.Ambient.g + light.Position.x + light.Falloff + light.Attenuation0 + light.Phi,
              0.0f);
    EXPECT_EQ(device.Find("LightEnable")[0]->args, (std::vector<int64_t>{0, TRUE}));

    NewFrame();
    cube.Render(0.1f);
    EXPECT_EQ(device.Count("SetMaterial") + device.Count("SetLight") + device.Count("LightEnable"), 0u);
}

TEST_F(CubeTest, MeshIsTwelveOutwardTrianglesWithDiagonalNormals) {
    cube.Init(640, 480);
    cube.Render(0.0f);
    const auto draws = Draws();
    ASSERT_EQ(draws.size(), 1u);
    EXPECT_EQ(draws[0]->args, (std::vector<int64_t>{D3DPT_TRIANGLELIST, 0, 12}));
    EXPECT_EQ(draws[0]->state.fvf, D3DFVF_XYZ | D3DFVF_NORMAL);
    EXPECT_EQ(draws[0]->state.stride, 24u);
    const auto v = VerticesOf<SVertexNormal>(*draws[0]);
    ASSERT_EQ(v.size(), 36u);

    const float h = 0.35f;
    const float n = static_cast<float>(1 / std::sqrt(3.0));
    EXPECT_EQ(v[0].x, -h);
    EXPECT_EQ(v[0].y, -h);
    EXPECT_EQ(v[0].z, h);
    EXPECT_NEAR(v[0].nx, -n, 1e-6);
    EXPECT_NEAR(v[0].ny, -n, 1e-6);
    EXPECT_NEAR(v[0].nz, n, 1e-6);
    for (int k : {2, 3}) {  // both C2
        EXPECT_EQ(v[k].x, h);
        EXPECT_EQ(v[k].y, h);
        EXPECT_EQ(v[k].z, h);
    }

    for (const SVertexNormal& vertex : v) {
        EXPECT_EQ(std::fabs(vertex.x), h);
        EXPECT_EQ(std::fabs(vertex.y), h);
        EXPECT_EQ(std::fabs(vertex.z), h);
        EXPECT_NEAR(vertex.nx, std::copysign(n, vertex.x), 1e-6);
        EXPECT_NEAR(vertex.ny, std::copysign(n, vertex.y), 1e-6);
        EXPECT_NEAR(vertex.nz, std::copysign(n, vertex.z), 1e-6);
    }

    // Faces in order z = +h, y = -h, x = +h, z = -h, x = -h, y = +h: both
    // triangles of a face lie in its plane and (b - a) x (c - a) points out.
    const int axis[6] = {2, 1, 0, 2, 0, 1};
    const float side[6] = {h, -h, h, -h, -h, h};
    for (int t = 0; t < 12; ++t) {
        const SVertexNormal& a = v[3 * t];
        const SVertexNormal& b = v[3 * t + 1];
        const SVertexNormal& c = v[3 * t + 2];
        const int face = t / 2;
        for (const SVertexNormal* p : {&a, &b, &c}) EXPECT_EQ((&p->x)[axis[face]], side[face]) << "triangle " << t;
        const double e1[3] = {b.x - a.x, b.y - a.y, b.z - a.z};
        const double e2[3] = {c.x - a.x, c.y - a.y, c.z - a.z};
        const double cross[3] = {e1[1] * e2[2] - e1[2] * e2[1], e1[2] * e2[0] - e1[0] * e2[2],
                                 e1[0] * e2[1] - e1[1] * e2[0]};
        EXPECT_GT(cross[axis[face]] * side[face], 0.0) << "triangle " << t;
    }
    // The two triangles of a face cover it: four distinct corners.
    for (int face = 0; face < 6; ++face) {
        const SVertexNormal& a = v[6 * face];
        const SVertexNormal& d = v[6 * face + 4];
        EXPECT_FALSE(a.x == d.x && a.y == d.y && a.z == d.z) << "face " << face;
    }
}

TEST_F(CubeTest, FirstFrameIsUnrotatedWithGreenAmbient) {
    cube.Init(640, 480);
    NewFrame();
    cube.Render(0.5f);

    const auto draws = Draws();
    ASSERT_EQ(draws.size(), 1u);
    const SDeviceState& state = draws[0]->state;
    EXPECT_EQ(TextureOf(state), nullptr);
    // Lit, opaque, outward faces only: ambient alpha 0, red 127, green 255,
    // blue 128; the colour is the lighting's alone.
    EXPECT_TRUE(HasRenderStates(state, {{D3DRS_AMBIENT, 0x007FFF80u},
                                        {D3DRS_CULLMODE, D3DCULL_CCW},
                                        {D3DRS_LIGHTING, TRUE},
                                        {D3DRS_ALPHABLENDENABLE, FALSE},
                                        {D3DRS_SRCBLEND, D3DBLEND_ONE}}));
    EXPECT_EQ(state.renderStates.count(D3DRS_DESTBLEND), 0u) << "the destination blend is left as it was";
    EXPECT_TRUE(HasStageStates(state, {{D3DTSS_COLOROP, D3DTOP_DISABLE},
                                       {D3DTSS_COLORARG1, D3DTA_DIFFUSE},
                                       {D3DTSS_COLORARG2, D3DTA_TEXTURE},
                                       {D3DTSS_ALPHAOP, D3DTOP_DISABLE}}));

    EXPECT_TRUE(MatrixNear(TransformOf(state, D3DTS_WORLD),
                           {{{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}, {-1.2, 0.9, 0, 1}}}, 1e-5));
    // Camera at z = -5 looking at the origin.
    EXPECT_TRUE(MatrixNear(TransformOf(state, D3DTS_VIEW),
                           {{{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}, {0, 0, 5, 1}}}, 1e-5));
    EXPECT_TRUE(MatrixNear(TransformOf(state, D3DTS_PROJECTION), SquarePerspective(), 1e-5));

    EXPECT_EQ(CEffectCube1::s_angle, 1.0f);
}

TEST_F(CubeTest, TumblesAboutYThenXByTwiceTheElapsedTime) {
    cube.Init(640, 480);
    cube.Render(0.5f);
    // t = 1: green trunc(127 cos 1 + 128) = 196, blue trunc(127 sin 1 + 128) = 234.
    EXPECT_EQ(FrameAmbient(0.0f), 0x007FC4EAu);
    const D3DMATRIX world = TransformOf(Draws()[0]->state, D3DTS_WORLD);
    // Rotation about Y times rotation about X, same angle, then the move.
    const double c = std::cos(1.0);
    const double s = std::sin(1.0);
    EXPECT_TRUE(MatrixNear(world, {{{c, s * s, -s * c, 0}, {0, c, s, 0}, {s, -s * c, c * c, 0}, {-1.2, 0.9, 0, 1}}},
                           1e-5));

    // A step of 0 changes nothing from frame to frame.
    EXPECT_EQ(FrameAmbient(0.0f), 0x007FC4EAu);
    const D3DMATRIX again = TransformOf(Draws()[0]->state, D3DTS_WORLD);
    for (int r = 0; r < 4; ++r)
        for (int k = 0; k < 4; ++k) EXPECT_EQ(again.m[r][k], world.m[r][k]);
    EXPECT_EQ(CEffectCube1::s_angle, 1.0f);
}

TEST_F(CubeTest, AmbientStaysWithinItsRangeAtAnyAngle) {
    cube.Init(640, 480);
    for (float t : {0.0f, 1.5707964f, 3.1415927f, 4.712389f, 6.2831855f, 100.0f, 12345.678f, 1e7f, -3.0f}) {
        CEffectCube1::s_angle = t;
        const D3DCOLOR ambient = FrameAmbient(0.0f);
        EXPECT_EQ(ambient >> 16, 127u) << t;  // alpha 0, red 127
        const DWORD green = (ambient >> 8) & 255;
        const DWORD blue = ambient & 255;
        EXPECT_GE(green, 1u) << t;
        EXPECT_GE(blue, 1u) << t;
    }
    // At pi the green bottoms out at 1.
    CEffectCube1::s_angle = 3.1415927f;
    EXPECT_EQ((FrameAmbient(0.0f) >> 8) & 255, 1u);
}

TEST(CubeMeshTest, ScalesWithTheHalfSize) {
    float vertices[36][6];
    BuildCubeMesh(vertices, 2.0f);
    EXPECT_EQ(vertices[0][0], -2.0f);
    EXPECT_EQ(vertices[0][1], -2.0f);
    EXPECT_EQ(vertices[0][2], 2.0f);
    EXPECT_NEAR(vertices[0][3], -1 / std::sqrt(3.0), 1e-6);
    // The last vertex closes the y = +h face at C6.
    EXPECT_EQ(vertices[35][0], 2.0f);
    EXPECT_EQ(vertices[35][1], 2.0f);
    EXPECT_EQ(vertices[35][2], -2.0f);
    EXPECT_NEAR(vertices[35][5], -1 / std::sqrt(3.0), 1e-6);
}

}  // namespace
