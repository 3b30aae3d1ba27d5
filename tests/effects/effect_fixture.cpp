#include "tests/effects/effect_fixture.h"

#include <climits>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <sstream>
#include <unistd.h>

#include "runtime/random.h"
#include "tests/tga_file.h"

namespace {

::testing::AssertionResult HasStates(const std::map<DWORD, DWORD>& actual, const States& expected) {
    std::ostringstream wrong;
    for (const auto& [state, value] : expected) {
        const auto found = actual.find(state);
        if (found == actual.end())
            wrong << " state " << state << " is not set (expected " << value << ");";
        else if (found->second != value)
            wrong << " state " << state << " is " << found->second << ", expected " << value << ";";
    }
    if (wrong.str().empty()) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << wrong.str();
}

bool SameMatrix(const D3DMATRIX& a, const D3DMATRIX& b) { return std::memcmp(&a, &b, sizeof a) == 0; }

bool SameState(const SDeviceState& a, const SDeviceState& b) {
    if (a.transforms.size() != b.transforms.size()) return false;
    for (const auto& [transform, matrix] : a.transforms) {
        const auto other = b.transforms.find(transform);
        if (other == b.transforms.end() || !SameMatrix(matrix, other->second)) return false;
    }
    return a.renderStates == b.renderStates && a.stageStates == b.stageStates && a.textures == b.textures &&
           a.target == b.target && a.stream == b.stream && a.stride == b.stride && a.fvf == b.fvf;
}

}  // namespace

SMatrix Identity() { return {{{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}, {0, 0, 0, 1}}}; }

SMatrix Ortho(double width, double height) {
    return {{{2 / width, 0, 0, 0}, {0, 2 / height, 0, 0}, {0, 0, -0.5, 0}, {0, 0, 0.5, 1}}};
}

SMatrix SquarePerspective() {
    const double h = 1 / std::tan(std::acos(-1.0) / 8), q = 100.0 / 99.0;
    return {{{h, 0, 0, 0}, {0, h, 0, 0}, {0, 0, q, 1}, {0, 0, -q, 0}}};
}

States Blend(D3DBLEND source, D3DBLEND dest) {
    return {{D3DRS_ALPHABLENDENABLE, TRUE}, {D3DRS_SRCBLEND, source}, {D3DRS_DESTBLEND, dest}};
}

States Modulate(DWORD arg1, DWORD arg2, DWORD alphaOp) {
    return {{D3DTSS_COLOROP, D3DTOP_MODULATE}, {D3DTSS_COLORARG1, arg1}, {D3DTSS_COLORARG2, arg2},
            {D3DTSS_ALPHAOP, alphaOp}};
}

::testing::AssertionResult HasRenderStates(const SDeviceState& state, const States& expected) {
    return HasStates(state.renderStates, expected);
}

::testing::AssertionResult HasStageStates(const SDeviceState& state, const States& expected) {
    std::map<DWORD, DWORD> stage0;
    for (const auto& [key, value] : state.stageStates)
        if (key.first == 0) stage0[key.second] = value;
    return HasStates(stage0, expected);
}

::testing::AssertionResult MatrixNear(const D3DMATRIX& actual, const SMatrix& expected, double tolerance) {
    std::ostringstream wrong;
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c)
            if (!(std::fabs(actual.m[r][c] - expected.m[r][c]) <= tolerance))
                wrong << " _" << r + 1 << c + 1 << " is " << actual.m[r][c] << ", expected " << expected.m[r][c]
                      << ";";
    if (wrong.str().empty()) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << wrong.str();
}

::testing::AssertionResult IsFlatSpace(const SDeviceState& state, double width, double height) {
    const std::pair<DWORD, SMatrix> expected[] = {
        {D3DTS_WORLD, Identity()}, {D3DTS_VIEW, Identity()}, {D3DTS_PROJECTION, Ortho(width, height)}};
    for (const auto& [transform, matrix] : expected) {
        const auto found = state.transforms.find(transform);
        if (found == state.transforms.end())
            return ::testing::AssertionFailure() << "transform " << transform << " is not set";
        const ::testing::AssertionResult near = MatrixNear(found->second, matrix, 1e-7);
        if (!near) return ::testing::AssertionFailure() << "transform " << transform << ":" << near.message();
    }
    return ::testing::AssertionSuccess();
}

D3DMATRIX TransformOf(const SDeviceState& state, DWORD transform) {
    const auto found = state.transforms.find(transform);
    if (found != state.transforms.end()) return found->second;
    ADD_FAILURE() << "transform " << transform << " is not set";
    return D3DMATRIX{};
}

const void* TextureOf(const SDeviceState& state) {
    for (const auto& [stage, texture] : state.textures)
        if (stage != 0) ADD_FAILURE() << "stage " << stage << " has texture " << texture;
    const auto found = state.textures.find(0);
    if (found != state.textures.end()) return found->second;
    ADD_FAILURE() << "no texture is bound";
    return nullptr;
}

void ExpectSameDraws(const std::vector<SRecordedCall>& expected, const std::vector<SRecordedCall>& actual) {
    std::vector<const SRecordedCall*> a, b;
    for (const SRecordedCall& call : expected)
        if (call.op == "DrawPrimitive") a.push_back(&call);
    for (const SRecordedCall& call : actual)
        if (call.op == "DrawPrimitive") b.push_back(&call);
    ASSERT_EQ(b.size(), a.size());
    for (size_t i = 0; i < a.size(); ++i) {
        EXPECT_EQ(b[i]->args, a[i]->args) << "draw " << i;
        EXPECT_EQ(b[i]->vertices, a[i]->vertices) << "draw " << i;
        EXPECT_TRUE(SameState(b[i]->state, a[i]->state)) << "draw " << i;
    }
}

std::vector<int> NextRandomValues(int count) {
    std::vector<int> values;
    for (int i = 0; i < count; ++i) values.push_back(DemoRand());
    return values;
}

std::vector<int> RandomValuesFromStart(int skip, int count) {
    DemoRandReset();
    NextRandomValues(skip);
    return NextRandomValues(count);
}

void WriteTga(const std::string& path, int width, int height, int depth, const PixelFn& pixel) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    ASSERT_NE(file, nullptr) << path;
    std::string bytes = TgaHeader(width, height, depth);
    const size_t size = static_cast<size_t>(depth / 8);
    for (int row = 0; row < height; ++row) {
        for (int x = 0; x < width; ++x) {
            uint8_t bgra[4] = {0, 0, 0, 255};
            pixel(x, row, bgra);
            bytes.append(reinterpret_cast<const char*>(bgra), size);
        }
    }
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    EXPECT_TRUE(std::fclose(file) == 0 && written) << path;
}

void WriteSolidTga(const std::string& path, int width, int height, int depth, uint32_t argb) {
    WriteTga(path, width, height, depth, [argb](int, int, uint8_t bgra[4]) {
        bgra[0] = static_cast<uint8_t>(argb);
        bgra[1] = static_cast<uint8_t>(argb >> 8);
        bgra[2] = static_cast<uint8_t>(argb >> 16);
        bgra[3] = static_cast<uint8_t>(argb >> 24);
    });
}

void CScratchDirectory::Enter() {
    char cwd[PATH_MAX];
    ASSERT_NE(getcwd(cwd, sizeof cwd), nullptr);
    m_previous = cwd;
    char pattern[] = "/tmp/qb-effect-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    m_directory = pattern;
    std::filesystem::create_directory(m_directory + "/Data");
    ASSERT_EQ(chdir(m_directory.c_str()), 0);
}

void CScratchDirectory::Leave() {
    if (!m_previous.empty() && chdir(m_previous.c_str()) != 0) ADD_FAILURE() << "cannot return to " << m_previous;
    std::error_code ignored;
    if (!m_directory.empty()) std::filesystem::remove_all(m_directory, ignored);
}

void EffectTest::SetUp() {
    m_directory.Enter();
    g_device = &device;
    DemoRandReset();
}

void EffectTest::TearDown() {
    g_device = nullptr;
    m_directory.Leave();
}

void EffectTest::NewFrame() {
    device.ClearCalls();
    device.ForgetState();
}

std::vector<const void*> EffectTest::CreatedTextures() const {
    std::vector<const void*> textures;
    for (const SRecordedCall* call : device.Find("CreateTexture")) textures.push_back(call->object);
    return textures;
}

std::set<const void*> EffectTest::TexturesBound() const {
    std::set<const void*> bound;
    for (const SRecordedCall* call : device.Find("SetTexture")) {
        EXPECT_EQ(call->args[0], 0) << "a texture bound to another stage than 0";
        bound.insert(call->object);
    }
    return bound;
}
