#include "resources/file_system.h"

#include <new>

CFileSystem g_fileSystem;

IFile* CFileSystem::OpenFile(const char* path) {
    IFile* file = new INormalFile;
    file->Open(path, "rb");
    return file;
}

INormalFile::~INormalFile() { Close(); }

void INormalFile::Open(const char* path, const char* mode) {
    // A second Open replaces the first stream rather than leaking it.
    Close();
    if (path && mode) m_handle = std::fopen(path, mode);
}

void INormalFile::Close() {
    if (!m_handle) return;
    std::fclose(m_handle);
    m_handle = nullptr;
}

void INormalFile::Seek(int32_t offset, int origin) {
    if (m_handle) std::fseek(m_handle, offset, origin);
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

int32_t INormalFile::Tell() {
    if (!m_handle) return -1;
    return static_cast<int32_t>(std::ftell(m_handle));
}

void INormalFile::Print(const char* text) {
    if (!m_handle || !text) return;
    std::fputs(text, m_handle);
    std::fflush(m_handle);
}

bool INormalFile::IsOpen() { return m_handle != nullptr; }

bool ReadAll(IFile* file, std::vector<uint8_t>* bytes) {
    bytes->clear();
    file->Seek(0, SEEK_END);
    const int32_t size = file->Tell();
    file->Seek(0, SEEK_SET);
    if (size <= 0) return true;
    try {
        bytes->assign(static_cast<size_t>(size), 0);
    } catch (const std::bad_alloc&) {
        return false;
    }
    file->Read(size, bytes->data());
    return true;
}
