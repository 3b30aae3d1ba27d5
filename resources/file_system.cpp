#include "resources/file_system.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <new>

CFileSystem g_fileSystem;

IFile* CFileSystem::OpenFile(const char* path, SInputError* why) {
    auto* file = new INormalFile;
    file->Open(path, "rb");
    if (why) *why = file->OpenError();
    return file;
}

INormalFile::~INormalFile() { Close(); }

void INormalFile::Open(const char* path, const char* mode) {
    // A second Open replaces the first stream rather than leaking it.
    Close();
    m_openError = SInputError{};
    if (!path || !mode) {
        m_openError.error = EINVAL;
        return;
    }
    const bool readOnly = mode[0] == 'r' && !std::strchr(mode, '+');
    if (!readOnly) {
        m_handle = std::fopen(path, mode);
        if (!m_handle) m_openError.error = errno;
        return;
    }
    // What is only read is an input: a regular file, opened without blocking.
    const int fd = OpenInputFile(path, &m_openError);
    if (fd < 0) return;
    m_handle = fdopen(fd, mode);
    if (!m_handle) {
        m_openError.error = errno;
        close(fd);
    }
}

void INormalFile::Close() {
    if (!m_handle) return;
    std::fclose(m_handle);
    m_handle = nullptr;
}

void INormalFile::Seek(int64_t offset, int origin) {
    if (m_handle) fseeko(m_handle, static_cast<off_t>(offset), origin);
}

void INormalFile::Read(int32_t size, void* buffer) {
    // Read as single bytes, so a short read at the end keeps the bytes it got
    // (a partial element's contents would be unspecified) and leaves the rest
    // of the buffer as it was.
    if (m_handle && size > 0) std::fread(buffer, 1, static_cast<size_t>(size), m_handle);
}

namespace {

// Bytes past the end of the file read as 0xFF (EOF cut to a byte), so a short
// file gives predictable values rather than stale memory.
unsigned ReadByte(FILE* handle) { return static_cast<unsigned>(std::fgetc(handle)) & 0xFFu; }

}  // namespace

void INormalFile::ReadShortsLE(int32_t count, uint16_t* values) {
    if (!m_handle) return;
    for (int32_t i = 0; i < count; ++i) {
        const unsigned b0 = ReadByte(m_handle);
        const unsigned b1 = ReadByte(m_handle);
        values[i] = static_cast<uint16_t>(b0 | (b1 << 8));
    }
}

void INormalFile::ReadShortsBE(int32_t count, uint16_t* values) {
    if (!m_handle) return;
    for (int32_t i = 0; i < count; ++i) {
        const unsigned b0 = ReadByte(m_handle);
        const unsigned b1 = ReadByte(m_handle);
        values[i] = static_cast<uint16_t>((b0 << 8) | b1);
    }
}

void INormalFile::ReadLongsLE(int32_t count, uint32_t* values) {
    if (!m_handle) return;
    for (int32_t i = 0; i < count; ++i) {
        uint32_t value = 0;
        for (int shift = 0; shift < 32; shift += 8) value |= ReadByte(m_handle) << shift;
        values[i] = value;
    }
}

void INormalFile::Write(int32_t size, const void* buffer) {
    if (m_handle && size > 0) std::fwrite(buffer, static_cast<size_t>(size), 1, m_handle);
}

void INormalFile::WriteShortsLE(int32_t count, const uint16_t* values) {
    if (!m_handle) return;
    for (int32_t i = 0; i < count; ++i) {
        std::fputc(values[i] & 0xFF, m_handle);
        std::fputc(values[i] >> 8, m_handle);
    }
}

void INormalFile::WriteLongsLE(int32_t count, const uint32_t* values) {
    if (!m_handle) return;
    for (int32_t i = 0; i < count; ++i) {
        for (int shift = 0; shift < 32; shift += 8) {
            std::fputc(static_cast<int>((values[i] >> shift) & 0xFF), m_handle);
        }
    }
}

int64_t INormalFile::Tell() {
    if (!m_handle) return -1;
    return static_cast<int64_t>(ftello(m_handle));
}

void INormalFile::Print(const char* text) {
    if (!m_handle || !text) return;
    std::fputs(text, m_handle);
    std::fflush(m_handle);
}

bool INormalFile::IsOpen() { return m_handle != nullptr; }

bool ReadAll(IFile* file, std::vector<uint8_t>* bytes, std::string* error) {
    bytes->clear();
    file->Seek(0, SEEK_END);
    const int64_t size = file->Tell();
    file->Seek(0, SEEK_SET);
    if (size < 0) {
        *error = "its size cannot be told";
        return false;
    }
    if (size == 0) return true;
    try {
        if (static_cast<uint64_t>(size) > bytes->max_size()) throw std::bad_alloc();
        bytes->assign(static_cast<size_t>(size), 0);
    } catch (const std::bad_alloc&) {
        *error = "not enough memory for its " + std::to_string(size) + " bytes";
        return false;
    }
    // Read takes 32-bit sizes.
    constexpr int64_t kPiece = int64_t{1} << 30;
    for (int64_t at = 0; at < size; at += kPiece) {
        file->Read(static_cast<int32_t>(std::min(kPiece, size - at)), bytes->data() + at);
    }
    const int64_t reached = file->Tell();
    if (reached != size) {
        bytes->resize(static_cast<size_t>(std::clamp<int64_t>(reached, 0, size)));
        *error = "only " + std::to_string(bytes->size()) + " of its " + std::to_string(size) + " bytes could be read";
        return false;
    }
    return true;
}
