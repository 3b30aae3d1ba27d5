// TGA loading, texture creation and the error trace, against the
// recording device (textures are plain memory there).
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "render/recording_device.h"
#include "resources/picture_reload.h"
#include "resources/report.h"
#include "resources/texture.h"
#include "tests/tga_file.h"

namespace {

namespace fs = std::filesystem;

std::vector<std::string> g_boxes;

void RecordBox(const char* caption, const char* text) {
    g_boxes.push_back(std::string(caption) + "|" + text);
}

// The standard layout: uncompressed, bottom-left origin, no image ID.
std::string Header(int width, int height, int depth) { return TgaHeader(width, height, depth); }

class TextureTest : public ::testing::Test {
protected:
    void SetUp() override {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        m_dir = fs::temp_directory_path() / ("qb_tex_" + std::to_string(::getpid()) + "_" + info->name());
        fs::create_directories(m_dir);
        g_device = &m_device;
        g_boxes.clear();
        SetMessageBoxHook(RecordBox);
    }

    void TearDown() override {
        SetMessageBoxHook(nullptr);
        for (IDirect3DTexture8* t : m_made) t->Release();
        g_device = nullptr;
        fs::remove_all(m_dir);
    }

    std::string Write(const char* name, std::string header, const std::vector<uint8_t>& pixels) {
        header.append(pixels.begin(), pixels.end());
        const std::string path = (m_dir / name).string();
        std::ofstream out(path, std::ios::binary);
        out.write(header.data(), static_cast<std::streamsize>(header.size()));
        return path;
    }

    // Loads and keeps the texture for release at the end.
    void Load(CTexture* texture, const std::string& path) {
        texture->LoadTGA(path.c_str());
        if (texture->texture) m_made.push_back(texture->texture);
    }

    std::vector<uint8_t> Row(IDirect3DTexture8* texture, int row, int bytes) {
        const auto& pixels = CRecordingDevice::Pixels(texture);
        const size_t start = static_cast<size_t>(row) * CRecordingDevice::Pitch(texture);
        return {pixels.begin() + start, pixels.begin() + start + bytes};
    }

    fs::path m_dir;
    CRecordingDevice m_device;
    std::vector<IDirect3DTexture8*> m_made;
};

TEST_F(TextureTest, TwentyFourBitPixelsGainAZeroAlpha) {
    CTexture texture;
    Load(&texture, Write("rgb.tga", Header(3, 1, 24), {10, 20, 30, 40, 50, 60, 70, 80, 90}));
    ASSERT_NE(texture.texture, nullptr);
    EXPECT_EQ(texture.width, 3);
    EXPECT_EQ(texture.height, 1);
    EXPECT_EQ(texture.bitsPerPixel, 32);
    EXPECT_EQ(texture.format, D3DFMT_A8R8G8B8);
    EXPECT_EQ(Row(texture.texture, 0, 12),
              (std::vector<uint8_t>{10, 20, 30, 0, 40, 50, 60, 0, 70, 80, 90, 0}));
    const auto created = m_device.Find("CreateTexture");
    ASSERT_EQ(created.size(), 1u);
    EXPECT_EQ(created[0]->args, (std::vector<int64_t>{3, 1, 0, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED}));
}

TEST_F(TextureTest, ThirtyTwoBitKeepsAlphaAndTheFirstRowIsTheTop) {
    // Two rows: the first stored (a bottom-left file's bottom row) is row 0.
    const std::vector<uint8_t> pixels = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};
    CTexture texture;
    m_device.texturePitchPadding = 4;  // rows 12 bytes apart in the file, 16 in the texture
    Load(&texture, Write("rgba.tga", Header(2, 2, 32), pixels));
    ASSERT_NE(texture.texture, nullptr);
    EXPECT_EQ(texture.bitsPerPixel, 32);
    EXPECT_EQ(Row(texture.texture, 0, 12), (std::vector<uint8_t>{1, 2, 3, 4, 5, 6, 7, 8, 0, 0, 0, 0}));
    EXPECT_EQ(Row(texture.texture, 1, 12), (std::vector<uint8_t>{9, 10, 11, 12, 13, 14, 15, 16, 0, 0, 0, 0}));
}

TEST_F(TextureTest, PitchIsHonouredAndPaddingUntouched) {
    m_device.texturePitchPadding = 4;
    std::vector<uint8_t> pixels;
    for (int i = 0; i < 3 * 2 * 3; ++i) pixels.push_back(static_cast<uint8_t>(100 + i));
    CTexture texture;
    Load(&texture, Write("pitch.tga", Header(3, 2, 24), pixels));
    ASSERT_NE(texture.texture, nullptr);
    EXPECT_EQ(CRecordingDevice::Pitch(texture.texture), 16);
    EXPECT_EQ(Row(texture.texture, 0, 16),
              (std::vector<uint8_t>{100, 101, 102, 0, 103, 104, 105, 0, 106, 107, 108, 0, 0, 0, 0, 0}));
    EXPECT_EQ(Row(texture.texture, 1, 16),
              (std::vector<uint8_t>{109, 110, 111, 0, 112, 113, 114, 0, 115, 116, 117, 0, 0, 0, 0, 0}));
}

TEST_F(TextureTest, OtherDepthsAreRejectedWithTheHeaderKept) {
    for (int depth : {8, 16}) {
        CTexture texture;
        Load(&texture, Write("low.tga", Header(300, 2, depth), std::vector<uint8_t>(2000, 7)));
        EXPECT_EQ(texture.texture, nullptr) << depth;
        EXPECT_EQ(texture.width, 300);
        EXPECT_EQ(texture.height, 2);
        EXPECT_EQ(texture.bitsPerPixel, depth);
    }
    // Colour-mapped and grey pictures, plain and run-length encoded, whatever
    // depth they claim.
    for (uint8_t type : {1, 3, 9, 11}) {
        for (int depth : {8, 24}) {
            CTexture texture;
            ::testing::internal::CaptureStderr();
            Load(&texture, Write("mapped.tga", TgaHeader(2, 2, depth, 0, type), std::vector<uint8_t>(64, 7)));
            const std::string err = ::testing::internal::GetCapturedStderr();
            EXPECT_EQ(texture.texture, nullptr) << int{type};
            EXPECT_EQ(err, "" + (m_dir / "mapped.tga").string() + ": " + std::to_string(depth) +
                               " bits per pixel; only uncompressed 24- and 32-bit TGA pictures are shown\n");
        }
    }
    EXPECT_EQ(m_device.Count("CreateTexture"), 0u);

    CTexture missing;
    missing.LoadTGA((m_dir / "none.tga").string().c_str());
    EXPECT_EQ(missing.texture, nullptr);
    EXPECT_EQ(missing.width, 0);
    EXPECT_TRUE(g_boxes.empty());
}

TEST_F(TextureTest, BadSizesMakeNoTextureAndSaySo) {
    struct {
        int width, height;
    } sizes[] = {{0, 4}, {4, 0}, {8193, 2}, {65535, 65535}};
    for (const auto& size : sizes) {
        CTexture texture;
        ::testing::internal::CaptureStderr();
        Load(&texture, Write("big.tga", Header(size.width, size.height, 32), std::vector<uint8_t>(64, 1)));
        const std::string err = ::testing::internal::GetCapturedStderr();
        EXPECT_EQ(texture.texture, nullptr) << size.width << " x " << size.height;
        EXPECT_NE(err.find("big.tga"), std::string::npos) << "a message names the file: " << err;
    }
    EXPECT_EQ(m_device.Count("CreateTexture"), 0u);
}

TEST_F(TextureTest, ShortFilesLeaveTheMissingPixelsZero) {
    CTexture texture;
    // 2 x 2 at 32 bits needs 16 bytes; the file has 6.
    Load(&texture, Write("short.tga", Header(2, 2, 32), {9, 9, 9, 9, 9, 9}));
    ASSERT_NE(texture.texture, nullptr);
    EXPECT_EQ(Row(texture.texture, 0, 8), (std::vector<uint8_t>{9, 9, 9, 9, 9, 9, 0, 0}));
    EXPECT_EQ(Row(texture.texture, 1, 8), (std::vector<uint8_t>(8, 0)));

    CTexture rgb;
    Load(&rgb, Write("short24.tga", Header(2, 1, 24), {1, 2, 3, 4}));
    ASSERT_NE(rgb.texture, nullptr);
    EXPECT_EQ(Row(rgb.texture, 0, 8), (std::vector<uint8_t>{1, 2, 3, 0, 4, 0, 0, 0}));

    CTexture headerOnly;
    Load(&headerOnly, Write("cut.tga", {0, 0, 2, 0}, {}));
    EXPECT_EQ(headerOnly.texture, nullptr) << "a cut header reads as width 0";
}

// Found by fuzzing: a few bytes declaring a large 24-bit image once made the
// loader move every declared pixel. Only the stored ones move now; the rest
// stay zero, and the message names the file.
TEST_F(TextureTest, ShortRgbFileDeclaringALargeImageKeepsItsBytes) {
    CTexture texture;
    ::testing::internal::CaptureStderr();
    Load(&texture, Write("huge.tga", Header(3000, 2000, 24), {1, 2, 3, 4, 5, 6, 7}));
    const std::string err = ::testing::internal::GetCapturedStderr();
    ASSERT_NE(texture.texture, nullptr);
    EXPECT_EQ(Row(texture.texture, 0, 16), (std::vector<uint8_t>{1, 2, 3, 0, 4, 5, 6, 0, 7, 0, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(Row(texture.texture, 1999, 16), std::vector<uint8_t>(16, 0));
    EXPECT_NE(err.find("huge.tga: the file ends before its last pixel"), std::string::npos) << err;
}

// A picture with runs and with no two neighbours alike, at both depths, as
// ImageMagick, ffmpeg and GIMP store it: each must give the texture of the
// standard-layout file of the same picture, without a word.
TEST_F(TextureTest, CommonToolLayoutsLoadAsTheStandardFileDoes) {
    const int width = 7, height = 3;
    const STgaLayout layouts[] = {
        {true, false, false, ""},           // RLE, bottom-left
        {false, true, false, ""},           // top-left
        {false, false, true, ""},           // right-to-left
        {true, true, true, ""},             // all three
        {false, false, false, "a comment"}, // an image ID
        {true, true, false, std::string(255, 'x')},
    };
    for (int depth : {24, 32}) {
        const int bytesPerPixel = depth / 8;
        std::vector<uint8_t> picture;
        for (int y = 0; y < height; ++y) {
            for (int x = 0; x < width; ++x) {
                // The left half of each row is one colour (runs); the rest varies.
                const int v = x < 4 ? y : 10 * y + x;
                for (int b = 0; b < bytesPerPixel; ++b) picture.push_back(static_cast<uint8_t>(16 * b + v + 1));
            }
        }
        CTexture standard;
        Load(&standard, Write("standard.tga", TgaFile(width, height, depth, picture), {}));
        ASSERT_NE(standard.texture, nullptr);
        // Worked by hand: texture row 0 is the picture's bottom row.
        const std::vector<uint8_t> bottomLeft = Row(standard.texture, 0, 4);
        EXPECT_EQ(bottomLeft, (std::vector<uint8_t>{3, 19, 35, static_cast<uint8_t>(depth == 32 ? 51 : 0)}));
        for (const STgaLayout& layout : layouts) {
            const std::string what = std::to_string(depth) + " bits, rle " + std::to_string(layout.runLength) +
                                     " top " + std::to_string(layout.topFirst) + " rtl " +
                                     std::to_string(layout.rightToLeft) + " id " +
                                     std::to_string(layout.imageId.size());
            CTexture texture;
            ::testing::internal::CaptureStderr();
            Load(&texture, Write("variant.tga", TgaFile(width, height, depth, picture, layout), {}));
            EXPECT_EQ(::testing::internal::GetCapturedStderr(), "") << what;
            ASSERT_NE(texture.texture, nullptr) << what;
            EXPECT_EQ(texture.bitsPerPixel, 32);
            for (int row = 0; row < height; ++row)
                EXPECT_EQ(Row(texture.texture, row, 4 * width), Row(standard.texture, row, 4 * width)) << what;
        }
    }
}

TEST_F(TextureTest, CutShortRunLengthFileKeepsWhatItHas) {
    // 4 x 2, bottom-left: a run of four pixels, then a raw packet cut after
    // its first pixel.
    const std::vector<uint8_t> data = {0x83, 1, 2, 3, 0x03, 4, 5, 6, 7};
    CTexture texture;
    ::testing::internal::CaptureStderr();
    Load(&texture, Write("cut.tga", TgaHeader(4, 2, 24, 0, 10), data));
    const std::string err = ::testing::internal::GetCapturedStderr();
    ASSERT_NE(texture.texture, nullptr);
    EXPECT_EQ(Row(texture.texture, 0, 16), (std::vector<uint8_t>{1, 2, 3, 0, 1, 2, 3, 0, 1, 2, 3, 0, 1, 2, 3, 0}));
    EXPECT_EQ(Row(texture.texture, 1, 16), (std::vector<uint8_t>{4, 5, 6, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
    EXPECT_NE(err.find("cut.tga: the file ends before its last pixel (5 of 8 pixels); the rest stays black"),
              std::string::npos)
        << err;
}

TEST_F(TextureTest, FailedCreationIsTracedWithALine) {
    m_device.createTextureResult = D3DERR_OUTOFVIDEOMEMORY;
    CTexture loaded, empty, target;
    ::testing::internal::CaptureStderr();
    Load(&loaded, Write("ok.tga", Header(1, 1, 32), {1, 2, 3, 4}));
    empty.Create(8, 8, D3DFMT_A8R8G8B8);
    target.CreateRenderTarget(256, 256);
    const std::string err = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(loaded.texture, nullptr);
    EXPECT_EQ(empty.texture, nullptr);
    EXPECT_EQ(target.texture, nullptr);
    EXPECT_NE(err.find("(38): Couldn't create texture... (hr=D3DERR_OUTOFVIDEOMEMORY (0x8876017c))\n"),
              std::string::npos)
        << err;
    EXPECT_NE(err.find("(55): Couldn't create texture..."), std::string::npos) << err;
    ASSERT_EQ(g_boxes.size(), 3u);
    EXPECT_EQ(g_boxes[0].rfind("Unexpected error encountered|File: ", 0), 0u) << g_boxes[0];
    EXPECT_NE(g_boxes[0].find("texture"), std::string::npos);
    EXPECT_NE(g_boxes[0].find("\nLine: 38\nError Code: D3DERR_OUTOFVIDEOMEMORY (0x8876017c)\n"
                              "Calling: Couldn't create texture..."),
              std::string::npos)
        << g_boxes[0];
    EXPECT_NE(g_boxes[2].find("\nLine: 55\n"), std::string::npos);

    const auto created = m_device.Find("CreateTexture");
    ASSERT_EQ(created.size(), 3u);
    EXPECT_EQ(created[2]->args, (std::vector<int64_t>{256, 256, 0, D3DUSAGE_RENDERTARGET, D3DFMT_A8R8G8B8,
                                                      D3DPOOL_DEFAULT}));
}

TEST_F(TextureTest, TraceErrorFormatsAndLimits) {
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(TraceError("a.cpp", 7, D3DERR_INVALIDCALL, "Doing it", true), D3DERR_INVALIDCALL);
    TraceError("a.cpp", 8, static_cast<HRESULT>(0x12345678), "Other", true);
    const std::string longPath(2800, 'p');
    TraceError(longPath.c_str(), 9, E_FAIL, "Long path", true);
    const std::string longMessage(2790, 'm');
    TraceError("b.cpp", 10, E_FAIL, longMessage.c_str(), true);
    const std::string err = ::testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find("a.cpp(7): Doing it (hr=D3DERR_INVALIDCALL (0x8876086c))\n"), std::string::npos) << err;
    EXPECT_NE(err.find("a.cpp(8): Other (hr=Unknown (0x12345678))\n"), std::string::npos);
    EXPECT_NE(err.find("Long path (hr=E_FAIL (0x80004005))\n"), std::string::npos);
    EXPECT_EQ(err.find(longPath + "("), std::string::npos) << "no path part for a 2800-character path";
    EXPECT_NE(err.find("b.cpp(10): " + longMessage), std::string::npos);
    ASSERT_EQ(g_boxes.size(), 2u) << "no box for the long path or the long message";
    EXPECT_EQ(g_boxes[0], "Unexpected error encountered|File: a.cpp\nLine: 7\n"
                          "Error Code: D3DERR_INVALIDCALL (0x8876086c)\nCalling: Doing it");
    EXPECT_NE(g_boxes[1].find("Error Code: Unknown (0x12345678)"), std::string::npos);
}

TEST(ErrorNameTest, KnowsDirect3DComAndWin32Codes) {
    EXPECT_STREQ(ErrorName(D3D_OK), "S_OK");
    EXPECT_STREQ(ErrorName(D3DERR_INVALIDCALL), "D3DERR_INVALIDCALL");
    EXPECT_STREQ(ErrorName(D3DERR_OUTOFVIDEOMEMORY), "D3DERR_OUTOFVIDEOMEMORY");
    EXPECT_STREQ(ErrorName(D3DERR_NOTAVAILABLE), "D3DERR_NOTAVAILABLE");
    EXPECT_STREQ(ErrorName(D3DERR_DEVICELOST), "D3DERR_DEVICELOST");
    EXPECT_STREQ(ErrorName(D3DERR_WRONGTEXTUREFORMAT), "D3DERR_WRONGTEXTUREFORMAT");
    EXPECT_STREQ(ErrorName(E_OUTOFMEMORY), "E_OUTOFMEMORY");
    EXPECT_STREQ(ErrorName(E_INVALIDARG), "E_INVALIDARG");
    EXPECT_STREQ(ErrorName(E_FAIL), "E_FAIL");
    EXPECT_STREQ(ErrorName(2), "ERROR_FILE_NOT_FOUND");
    EXPECT_STREQ(ErrorName(static_cast<HRESULT>(0xDEADBEEFu)), "Unknown");
}

TEST(BlockCopyTest, CopiesExactlyTheCount) {
    for (uint32_t count : {0u, 63u, 64u, 130u}) {
        std::vector<uint8_t> source(200), dest(200, 0xEE);
        for (size_t i = 0; i < source.size(); ++i) source[i] = static_cast<uint8_t>(i);
        BlockCopy(dest.data(), source.data(), count);
        for (uint32_t i = 0; i < count; ++i) ASSERT_EQ(dest[i], source[i]) << count;
        for (size_t i = count; i < dest.size(); ++i) ASSERT_EQ(dest[i], 0xEE) << count;
    }
}

TEST_F(TextureTest, ReloadedPicturesReplaceTheirPixelsInPlace) {
    KeepPicturesForReload(true);
    CTexture texture;
    const std::string path = Write("pic.tga", Header(2, 1, 32), {1, 2, 3, 4, 5, 6, 7, 8});
    Load(&texture, path);
    ASSERT_NE(texture.texture, nullptr);
    IDirect3DTexture8* const held = texture.texture;
    Write("pic.tga", Header(2, 1, 24), {9, 8, 7, 6, 5, 4});
    bool changed = false;
    EXPECT_TRUE(ReloadPictures(&changed));
    EXPECT_TRUE(changed);
    EXPECT_EQ(texture.texture, held) << "the same texture, so whatever holds it sees the new pixels";
    EXPECT_EQ(Row(held, 0, 8), (std::vector<uint8_t>{9, 8, 7, 0, 6, 5, 4, 0}));
    EXPECT_TRUE(ReloadPictures(&changed));
    EXPECT_FALSE(changed) << "read again unchanged";
    EXPECT_EQ(NotedPicturePaths(), std::vector<std::string>{path}) << "noted once, not again on reloading";

    // A picture that changed its size, or cannot be read, keeps its pixels,
    // and the report names the file and says so.
    Write("pic.tga", Header(3, 1, 24), {1, 1, 1, 2, 2, 2, 3, 3, 3});
    {
        CReportCopy said;
        EXPECT_FALSE(ReloadPictures(&changed));
        ASSERT_EQ(said.Lines().size(), 1u);
        EXPECT_EQ(said.Lines()[0].rfind(path + ": its size changed", 0), 0u) << said.Lines()[0];
    }
    fs::remove(path);
    {
        CReportCopy said;
        EXPECT_FALSE(ReloadPictures(&changed));
        ASSERT_EQ(said.Lines().size(), 2u);
        EXPECT_EQ(said.Lines()[0], path + ": cannot open the picture: No such file or directory");
        EXPECT_EQ(said.Lines()[1], path + ": the picture shown before is kept");
    }
    EXPECT_EQ(Row(held, 0, 8), (std::vector<uint8_t>{9, 8, 7, 0, 6, 5, 4, 0}));
    KeepPicturesForReload(false);
}

}  // namespace
