#include "tests/effects/effect_fixture.h"

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <unistd.h>

#include "runtime/random.h"
#include "tests/tga_file.h"

void EffectTest::SetUp() {
    char cwd[PATH_MAX];
    ASSERT_NE(getcwd(cwd, sizeof cwd), nullptr);
    m_previousDirectory = cwd;
    char pattern[] = "/tmp/qb-effect-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    directory = pattern;
    std::filesystem::create_directory(directory + "/Data");
    ASSERT_EQ(chdir(directory.c_str()), 0);
    g_device = &device;
    DemoRandReset();
}

void EffectTest::TearDown() {
    g_device = nullptr;
    if (chdir(m_previousDirectory.c_str()) != 0) ADD_FAILURE() << "cannot return to " << m_previousDirectory;
    std::error_code ignored;
    std::filesystem::remove_all(directory, ignored);
}

void EffectTest::WriteTga(const std::string& path, int width, int height, int depth, const PixelFn& pixel) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    ASSERT_NE(file, nullptr) << path;
    const std::string header = TgaHeader(width, height, depth);
    std::fwrite(header.data(), 1, header.size(), file);
    const int bytes = depth / 8;
    for (int row = 0; row < height; ++row) {
        for (int x = 0; x < width; ++x) {
            uint8_t bgra[4] = {0, 0, 0, 255};
            pixel(x, row, bgra);
            std::fwrite(bgra, 1, static_cast<size_t>(bytes), file);
        }
    }
    std::fclose(file);
}

void EffectTest::WriteSolidTga(const std::string& path, int width, int height, int depth, uint32_t argb) {
    WriteTga(path, width, height, depth, [argb](int, int, uint8_t bgra[4]) {
        bgra[0] = static_cast<uint8_t>(argb);
        bgra[1] = static_cast<uint8_t>(argb >> 8);
        bgra[2] = static_cast<uint8_t>(argb >> 16);
        bgra[3] = static_cast<uint8_t>(argb >> 24);
    });
}

std::string Repeat(const std::string& ops, int times) {
    std::string out;
    for (int i = 0; i < times; ++i) out += (out.empty() ? "" : " ") + ops;
    return out;
}

States EffectTest::RenderStates() const {
    States states;
    for (const SRecordedCall* call : device.Find("SetRenderState"))
        states.emplace_back(static_cast<DWORD>(call->args[0]), static_cast<DWORD>(call->args[1]));
    return states;
}

States EffectTest::StageStates() const {
    States states;
    for (const SRecordedCall* call : device.Find("SetTextureStageState"))
        if (call->args[0] == 0) states.emplace_back(static_cast<DWORD>(call->args[1]), static_cast<DWORD>(call->args[2]));
    return states;
}

std::vector<const void*> EffectTest::CreatedTextures() const {
    std::vector<const void*> textures;
    for (const SRecordedCall* call : device.Find("CreateTexture")) textures.push_back(call->object);
    return textures;
}

std::vector<const void*> EffectTest::BoundTextures() const {
    std::vector<const void*> bound;
    for (const SRecordedCall* call : device.Find("SetTexture")) {
        EXPECT_EQ(call->args[0], 0);
        bound.push_back(call->object);
    }
    return bound;
}

D3DMATRIX EffectTest::LastTransform(DWORD state) const {
    D3DMATRIX last{};
    bool found = false;
    for (const SRecordedCall* call : device.Find("SetTransform")) {
        if (call->args[0] == static_cast<int64_t>(state)) {
            last = call->matrix;
            found = true;
        }
    }
    EXPECT_TRUE(found) << "no SetTransform for state " << state;
    return last;
}

std::string EffectTest::OpSequence() const {
    std::string ops;
    for (const SRecordedCall& call : device.calls) {
        if (!ops.empty()) ops += ' ';
        ops += call.op;
    }
    return ops;
}
