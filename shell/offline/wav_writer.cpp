#include "shell/offline/wav_writer.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <vector>

namespace {

constexpr uint32_t kHeaderBytes = 44;
// The RIFF sizes are 32-bit; the data must leave room for the header.
constexpr uint64_t kMaxDataBytes = 0xFFFFFFFFull - kHeaderBytes;

void Put16(uint8_t* out, uint32_t value) {
    out[0] = static_cast<uint8_t>(value);
    out[1] = static_cast<uint8_t>(value >> 8);
}

void Put32(uint8_t* out, uint32_t value) {
    Put16(out, value & 0xFFFF);
    Put16(out + 2, value >> 16);
}

void FillHeader(uint8_t* header, int rate, int channels, uint32_t dataBytes) {
    const uint32_t blockAlign = static_cast<uint32_t>(channels) * 2;
    std::memcpy(header, "RIFF", 4);
    Put32(header + 4, kHeaderBytes - 8 + dataBytes);
    std::memcpy(header + 8, "WAVEfmt ", 8);
    Put32(header + 16, 16);  // format chunk size
    Put16(header + 20, 1);   // integer PCM
    Put16(header + 22, static_cast<uint32_t>(channels));
    Put32(header + 24, static_cast<uint32_t>(rate));
    Put32(header + 28, static_cast<uint32_t>(rate) * blockAlign);
    Put16(header + 32, blockAlign);
    Put16(header + 34, 16);  // bits per sample
    std::memcpy(header + 36, "data", 4);
    Put32(header + 40, dataBytes);
}

}  // namespace

CWavWriter::~CWavWriter() {
    if (m_file) std::fclose(m_file);
}

bool CWavWriter::Fail(const char* what, std::string* error) {
    *error = m_path + ": " + what;
    return false;
}

bool CWavWriter::Open(const std::string& path, int rate, int channels, std::string* error) {
    m_path = path;
    m_channels = channels;
    m_frames = 0;
    m_file = std::fopen(path.c_str(), "wb");
    if (!m_file) return Fail(std::strerror(errno), error);
    // The header is rewritten with the real sizes by Close; until then it
    // describes an empty file.
    uint8_t header[kHeaderBytes];
    FillHeader(header, rate, channels, 0);
    m_rate = rate;
    if (std::fwrite(header, 1, sizeof(header), m_file) != sizeof(header)) {
        return Fail(std::strerror(errno), error);
    }
    return true;
}

bool CWavWriter::Write(const int16_t* samples, size_t frames, std::string* error) {
    if (!m_file) return Fail("not open", error);
    if (frames == 0) return true;
    const uint64_t bytes = (m_frames + frames) * static_cast<uint64_t>(m_channels) * 2;
    if (bytes > kMaxDataBytes) return Fail("too long for a WAV file", error);
    const size_t count = frames * static_cast<size_t>(m_channels);
    // Little-endian on disk whatever the machine.
    std::vector<uint8_t> bytesOut(count * 2);
    for (size_t i = 0; i < count; ++i) Put16(&bytesOut[i * 2], static_cast<uint16_t>(samples[i]));
    if (std::fwrite(bytesOut.data(), 1, bytesOut.size(), m_file) != bytesOut.size()) {
        return Fail(std::strerror(errno), error);
    }
    m_frames += frames;
    return true;
}

bool CWavWriter::WriteSilence(size_t frames, std::string* error) {
    // In pieces: the silence after a short song can last minutes.
    constexpr size_t kPiece = 4096;
    const std::vector<int16_t> silence(std::min(frames, kPiece) * static_cast<size_t>(m_channels), 0);
    for (size_t left = frames; left > 0;) {
        const size_t piece = std::min(left, kPiece);
        if (!Write(silence.data(), piece, error)) return false;
        left -= piece;
    }
    return true;
}

bool CWavWriter::WriteHeader() {
    uint8_t header[kHeaderBytes];
    FillHeader(header, m_rate, m_channels, static_cast<uint32_t>(m_frames * static_cast<uint64_t>(m_channels) * 2));
    return std::fseek(m_file, 0, SEEK_SET) == 0 && std::fwrite(header, 1, sizeof(header), m_file) == sizeof(header) &&
           std::fseek(m_file, 0, SEEK_END) == 0;
}

bool CWavWriter::Sync(std::string* error) {
    if (!m_file) return Fail("not open", error);
    if (!WriteHeader() || std::fflush(m_file) != 0) return Fail(std::strerror(errno), error);
    return true;
}

bool CWavWriter::SetLength(uint64_t frames, std::string* error) {
    if (!m_file) return Fail("not open", error);
    if (frames >= m_frames) return WriteSilence(static_cast<size_t>(frames - m_frames), error);
    const uint64_t bytes = kHeaderBytes + frames * static_cast<uint64_t>(m_channels) * 2;
    if (std::fflush(m_file) != 0 || ftruncate(fileno(m_file), static_cast<off_t>(bytes)) != 0 ||
        std::fseek(m_file, 0, SEEK_END) != 0) {
        return Fail(std::strerror(errno), error);
    }
    m_frames = frames;
    return true;
}

bool CWavWriter::Close(std::string* error) {
    if (!m_file) return Fail("not open", error);
    const bool rewritten = WriteHeader();
    const int writeErrno = errno;
    const bool closed = std::fclose(m_file) == 0;
    m_file = nullptr;
    if (!rewritten || !closed) return Fail(std::strerror(rewritten ? errno : writeErrno), error);
    return true;
}
