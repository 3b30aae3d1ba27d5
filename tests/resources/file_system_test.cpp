#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "resources/file_system.h"

namespace {

namespace fs = std::filesystem;

class FileSystemTest : public ::testing::Test {
protected:
    void SetUp() override {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        m_dir = fs::temp_directory_path() /
                ("qb_fs_" + std::to_string(::getpid()) + "_" + info->name());
        fs::create_directories(m_dir);
    }
    void TearDown() override { fs::remove_all(m_dir); }

    std::string WriteBytes(const char* name, const std::vector<uint8_t>& bytes) {
        const std::string path = (m_dir / name).string();
        std::ofstream out(path, std::ios::binary);
        out.write(reinterpret_cast<const char*>(bytes.data()),
                  static_cast<std::streamsize>(bytes.size()));
        return path;
    }

    std::vector<uint8_t> ReadBytes(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }

    // A file open for writing, through the same class the loaders use.
    std::unique_ptr<IFile> OpenForWriting(const std::string& path) {
        auto file = std::make_unique<INormalFile>();
        file->Open(path.c_str(), "wb");
        return file;
    }

    fs::path m_dir;
};

std::unique_ptr<IFile> Open(const std::string& path) {
    return std::unique_ptr<IFile>(g_fileSystem.OpenFile(path.c_str()));
}

TEST_F(FileSystemTest, EndianReads) {
    const auto path = WriteBytes("data.bin", {1, 2, 1, 2, 1, 2, 3, 4});
    auto file = Open(path);
    ASSERT_TRUE(file->IsOpen());

    uint16_t shorts[1] = {};
    file->ReadShortsLE(1, shorts);
    EXPECT_EQ(shorts[0], 513);
    file->ReadShortsBE(1, shorts);
    EXPECT_EQ(shorts[0], 258);
    uint32_t longs[1] = {};
    file->ReadLongsLE(1, longs);
    EXPECT_EQ(longs[0], 1u + 2u * 256u + 3u * 65536u + 4u * 16777216u);
    EXPECT_EQ(file->Tell(), 8);
}

TEST_F(FileSystemTest, BytesPastTheEndReadAsFF) {
    const auto path = WriteBytes("short.bin", {1, 0, 2, 0});
    auto file = Open(path);
    uint16_t shorts[3] = {};
    file->ReadShortsLE(3, shorts);
    EXPECT_EQ(shorts[0], 1);
    EXPECT_EQ(shorts[1], 2);
    EXPECT_EQ(shorts[2], 0xFFFF);

    file->Seek(3, 0);
    uint32_t longs[1] = {};
    file->ReadLongsLE(1, longs);
    EXPECT_EQ(longs[0], 0xFFFFFF00u);

    file->Seek(-1, 2);
    file->ReadShortsBE(1, shorts);
    EXPECT_EQ(shorts[0], 0x00FF);
}

TEST_F(FileSystemTest, NonPositiveCountsTouchNothing) {
    const auto path = WriteBytes("data.bin", {1, 2, 3, 4});
    auto file = Open(path);
    uint16_t shorts[2] = {7, 7};
    uint32_t longs[1] = {7};
    for (int count : {0, -1}) {
        file->ReadShortsLE(count, shorts);
        file->ReadShortsBE(count, shorts);
        file->ReadLongsLE(count, longs);
        file->Read(count, shorts);
    }
    EXPECT_EQ(shorts[0], 7);
    EXPECT_EQ(shorts[1], 7);
    EXPECT_EQ(longs[0], 7u);
    EXPECT_EQ(file->Tell(), 0);
}

TEST_F(FileSystemTest, ShortBlockReadKeepsTheRestOfTheBuffer) {
    const auto path = WriteBytes("five.bin", {10, 11, 12, 13, 14});
    auto file = Open(path);
    uint8_t buffer[12];
    for (uint8_t& b : buffer) b = 0xAA;
    file->Read(12, buffer);
    for (int i = 0; i < 5; ++i) EXPECT_EQ(buffer[i], 10 + i);
    for (int i = 5; i < 12; ++i) EXPECT_EQ(buffer[i], 0xAA) << i;
}

TEST_F(FileSystemTest, WritesArePlainBytesAndPrintFlushes) {
    const std::string path = (m_dir / "out.bin").string();
    auto file = OpenForWriting(path);
    ASSERT_TRUE(file->IsOpen());
    const uint32_t longs[1] = {1u + 2u * 256u + 3u * 65536u + 4u * 16777216u};
    file->WriteLongsLE(1, longs);
    const uint16_t shorts[1] = {0x0605};
    file->WriteShortsLE(1, shorts);
    const uint8_t block[2] = {7, 8};
    file->Write(2, block);
    file->Print("%d");
    // Print flushes everything written so far, at once.
    EXPECT_EQ(ReadBytes(path), (std::vector<uint8_t>{1, 2, 3, 4, 5, 6, 7, 8, '%', 'd'}));
    EXPECT_EQ(file->Tell(), 10);
}

TEST_F(FileSystemTest, MissingFileIsAClosedObject) {
    auto file = Open((m_dir / "absent.bin").string());
    ASSERT_NE(file, nullptr);
    EXPECT_FALSE(file->IsOpen());

    // Nothing an unopened file is asked to do may crash or touch memory.
    uint8_t buffer[4] = {5, 5, 5, 5};
    uint16_t shorts[2] = {5, 5};
    uint32_t longs[1] = {5};
    file->Read(4, buffer);
    file->ReadShortsLE(2, shorts);
    file->ReadShortsBE(2, shorts);
    file->ReadLongsLE(1, longs);
    file->Seek(10, 0);
    file->Write(4, buffer);
    file->WriteShortsLE(2, shorts);
    file->WriteLongsLE(1, longs);
    file->Print("text");
    EXPECT_EQ(file->Tell(), -1);
    EXPECT_EQ(buffer[0], 5);
    EXPECT_EQ(shorts[1], 5);
    EXPECT_EQ(longs[0], 5u);
    file->Close();
    file->Close();
    EXPECT_FALSE(file->IsOpen());
}

TEST_F(FileSystemTest, CloseThenDestroyClosesOnce) {
    // Run under the sanitizers: a double fclose or a leaked stream fails.
    const auto path = WriteBytes("data.bin", {1});
    auto file = Open(path);
    EXPECT_TRUE(file->IsOpen());
    file->Close();
    EXPECT_FALSE(file->IsOpen());
    file.reset();

    // Destroying an open file closes it; opening again replaces the stream.
    IFile* open = g_fileSystem.OpenFile(path.c_str());
    open->Open(path.c_str(), "rb");
    EXPECT_TRUE(open->IsOpen());
    delete open;
}

}  // namespace
