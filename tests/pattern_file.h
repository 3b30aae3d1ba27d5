// A file that is not on disk, for the readers that take an IFile: its first
// bytes as given, then bytes of a fixed pattern up to any size (4 GiB and
// more), made only when asked for. It counts the bytes a reader takes.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <string>

#include "resources/file_system.h"

class CPatternFile : public IFile {
public:
    CPatternFile(std::string start, uint64_t size) : m_start(std::move(start)), m_size(size) {}

    // The byte at `offset`.
    uint8_t At(uint64_t offset) const {
        if (offset < m_start.size()) return static_cast<uint8_t>(m_start[offset]);
        return static_cast<uint8_t>((offset * 2654435761u) >> 13);
    }
    // The whole file, for one small enough to hold.
    std::string Bytes() const {
        std::string bytes(m_size, '\0');
        for (uint64_t at = 0; at < m_size; ++at) bytes[at] = static_cast<char>(At(at));
        return bytes;
    }
    uint64_t BytesRead() const { return m_read; }

    void Seek(int64_t offset, int origin) override {
        const int64_t base = origin == SEEK_SET ? 0 : origin == SEEK_CUR ? static_cast<int64_t>(m_at)
                                                                         : static_cast<int64_t>(m_size);
        m_at = static_cast<uint64_t>(std::max<int64_t>(base + offset, 0));
    }
    void Read(int32_t size, void* buffer) override {
        auto* out = static_cast<uint8_t*>(buffer);
        for (int32_t k = 0; k < size && m_at < m_size; ++k, ++m_at, ++m_read) out[k] = At(m_at);
    }
    int64_t Tell() override { return static_cast<int64_t>(m_at); }
    bool IsOpen() override { return true; }

private:
    std::string m_start;
    uint64_t m_size;
    uint64_t m_at = 0;
    uint64_t m_read = 0;
};
