#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <future>
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

// Only regular files are inputs. Whatever else a path names is refused at
// once with what it is; a FIFO without a writer must not hold the open.
TEST_F(FileSystemTest, OnlyRegularFilesOpenAndNothingBlocks) {
    const std::string fifo = (m_dir / "fifo").string();
    ASSERT_EQ(mkfifo(fifo.c_str(), 0644), 0);
    const std::string socketPath = (m_dir / "socket").string();
    const int listening = socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::snprintf(address.sun_path, sizeof address.sun_path, "%s", socketPath.c_str());
    ASSERT_EQ(bind(listening, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);

    const std::vector<std::pair<std::string, std::string>> others = {{fifo, "is a FIFO, not a file"},
                                                                     {m_dir.string(), "is a directory, not a file"},
                                                                     {"/dev/null", "is a character device, not a file"},
                                                                     {socketPath, "is a socket, not a file"}};
    for (const auto& [path, text] : others) {
        auto opening = std::async(std::launch::async, [path = path] {
            SInputError why;
            std::unique_ptr<IFile> file(g_fileSystem.OpenFile(path.c_str(), &why));
            return std::make_pair(file->IsOpen(), InputErrorText(why, "the file"));
        });
        if (opening.wait_for(std::chrono::seconds(10)) != std::future_status::ready) {
            // Let the blocked open go, so the test ends.
            close(open(path.c_str(), O_WRONLY | O_NONBLOCK));
            FAIL() << path << ": the open blocked";
        }
        const auto [opened, reason] = opening.get();
        EXPECT_FALSE(opened) << path;
        EXPECT_EQ(reason, text) << path;
    }
    close(listening);

    SInputError why;
    std::unique_ptr<IFile> missing(g_fileSystem.OpenFile((m_dir / "absent").c_str(), &why));
    EXPECT_EQ(InputErrorText(why, "the file"), "cannot open the file: No such file or directory");
    // A link to a regular file is that file.
    const auto target = WriteBytes("target.bin", {9});
    fs::create_symlink(target, m_dir / "link");
    EXPECT_TRUE(Open((m_dir / "link").string())->IsOpen());
}

// Offsets are 64-bit: a sparse file past 4 GiB (no disk used) has its real
// size and every position in it can be reached.
TEST_F(FileSystemTest, FilesPastFourGigabytesHaveTheirSize) {
    const auto path = WriteBytes("sparse.bin", {1, 2, 3});
    const int64_t size = (int64_t{5} << 30) + 3;
    ASSERT_EQ(truncate(path.c_str(), size), 0);
    auto file = Open(path);
    file->Seek(0, SEEK_END);
    EXPECT_EQ(file->Tell(), size);
    file->Seek(-2, SEEK_END);
    uint8_t bytes[4] = {7, 7, 7, 7};
    file->Read(4, bytes);
    EXPECT_EQ(bytes[0], 0);
    EXPECT_EQ(bytes[2], 7) << "nothing past the end";
    EXPECT_EQ(file->Tell(), size);
    file->Seek(int64_t{1} << 32, SEEK_SET);
    EXPECT_EQ(file->Tell(), int64_t{1} << 32);
}

TEST_F(FileSystemTest, ReadAllGivesEveryByteOrSaysWhy) {
    const auto path = WriteBytes("data.bin", {1, 2, 3, 4, 5});
    std::vector<uint8_t> bytes;
    std::string error;
    EXPECT_TRUE(ReadAll(Open(path).get(), &bytes, &error));
    EXPECT_EQ(bytes, (std::vector<uint8_t>{1, 2, 3, 4, 5}));

    // A file that ends before its size says: what could be read, and why
    // the rest is missing.
    struct SShortFile : IFile {
        int64_t at = 0;
        void Seek(int64_t offset, int origin) override { at = origin == SEEK_END ? 10 + offset : offset; }
        void Read(int32_t size, void* buffer) override {
            const int32_t given = size < 4 ? size : 4;
            std::memset(buffer, 9, static_cast<size_t>(given));
            at += given;
        }
        int64_t Tell() override { return at; }
    } shortFile;
    EXPECT_FALSE(ReadAll(&shortFile, &bytes, &error));
    EXPECT_EQ(bytes, (std::vector<uint8_t>{9, 9, 9, 9}));
    EXPECT_EQ(error, "only 4 of its 10 bytes could be read");
}

}  // namespace
