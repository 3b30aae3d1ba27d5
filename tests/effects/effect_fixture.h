// Shared ground for effect tests: a recording device as g_device, a fresh
// working directory with a Data/ folder for the effect's pictures, and
// readers for what the effect handed the device: the state each draw was
// made in, its vertices, and the generator's values.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <functional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "render/recording_device.h"

// (state, value) pairs.
using States = std::vector<std::pair<DWORD, DWORD>>;

struct SVertexColor {
    float x, y, z;
    uint32_t colour;
};
struct SVertexColorUV {
    float x, y, z;
    uint32_t colour;
    float u, v;
};
struct SVertexNormal {
    float x, y, z;
    float nx, ny, nz;
};

// The vertices a recorded DrawPrimitive read, as the given layout.
template <typename V>
std::vector<V> VerticesOf(const SRecordedCall& draw) {
    std::vector<V> out(draw.vertices.size() / sizeof(V));
    if (!out.empty()) std::memcpy(out.data(), draw.vertices.data(), out.size() * sizeof(V));
    return out;
}

// An expected matrix, worked out in double precision.
struct SMatrix {
    double m[4][4];
};
SMatrix Identity();
// The flat space of that size: origin at the centre, +y up, depth -1 ... 1.
SMatrix Ortho(double width, double height);
// 45 degrees, square aspect, depth 1 ... 100.
SMatrix SquarePerspective();

// Expected states as the effects combine them.
inline const States kUnlitNoCull = {{D3DRS_CULLMODE, D3DCULL_NONE}, {D3DRS_LIGHTING, FALSE}};
// Alpha blending on with these factors.
States Blend(D3DBLEND source, D3DBLEND dest);
// Stage 0 colour = arg1 x arg2, and that alpha op.
States Modulate(DWORD arg1, DWORD arg2, DWORD alphaOp);
inline const States kLinearFiltering = {{D3DTSS_MAGFILTER, D3DTEXF_LINEAR}, {D3DTSS_MINFILTER, D3DTEXF_LINEAR}};
// Stage 0 off: the vertex colour and alpha as they are.
inline const States kUntextured = {{D3DTSS_COLOROP, D3DTOP_DISABLE}, {D3DTSS_ALPHAOP, D3DTOP_DISABLE}};

// Checks of a device state: a draw's, or the one in force now. Each names
// only what the test cares about; the rest may be anything. A state the
// calls never set since it was forgotten fails, whatever its default.
::testing::AssertionResult HasRenderStates(const SDeviceState& state, const States& expected);
::testing::AssertionResult HasStageStates(const SDeviceState& state, const States& expected);  // stage 0
::testing::AssertionResult MatrixNear(const D3DMATRIX& actual, const SMatrix& expected, double tolerance);
// World and view identity, the projection Ortho(width, height).
::testing::AssertionResult IsFlatSpace(const SDeviceState& state, double width, double height);
// The matrix set for that transform; a failure, and zeros, when none was.
D3DMATRIX TransformOf(const SDeviceState& state, DWORD transform);
// The texture bound to stage 0 (null when none was bound there); a failure
// when nothing was bound, or when another stage has a texture.
const void* TextureOf(const SDeviceState& state);

// Both lists drew the same: as many draws, each with the same arguments,
// vertices and state.
void ExpectSameDraws(const std::vector<SRecordedCall>& expected, const std::vector<SRecordedCall>& actual);

// The generator's next `count` values.
std::vector<int> NextRandomValues(int count);
// Its values from the start after skipping `skip`; it is left after them.
std::vector<int> RandomValuesFromStart(int skip, int count);

// Writes an uncompressed true-colour TGA under the working directory.
// pixel(x, row) gives B, G, R, A for file row `row` (the first row stored).
using PixelFn = std::function<void(int x, int row, uint8_t bgra[4])>;
void WriteTga(const std::string& path, int width, int height, int depth, const PixelFn& pixel);
// A solid-colour picture.
void WriteSolidTga(const std::string& path, int width, int height, int depth, uint32_t argb);

// A fresh working directory holding an empty Data/ folder: entered from a
// test's SetUp, left and removed from its TearDown.
class CScratchDirectory {
public:
    void Enter();
    void Leave();

private:
    std::string m_directory;
    std::string m_previous;
};

class EffectTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Before a frame: no calls, and the state forgotten, so each draw shows
    // what the frame itself set, as it must with other layers in between.
    void NewFrame();
    // The textures CreateTexture made, in order.
    std::vector<const void*> CreatedTextures() const;
    // Every texture bound by the calls, null for none.
    std::set<const void*> TexturesBound() const;
    std::vector<const SRecordedCall*> Draws() const { return device.Find("DrawPrimitive"); }

    CRecordingDevice device;

private:
    CScratchDirectory m_directory;
};
