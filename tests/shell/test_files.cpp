#include "tests/shell/test_files.h"

#include <lame/lame.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "audio/mp3_stream.h"

CTempDir::CTempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "quellbrook-test-XXXXXX").string();
    if (mkdtemp(pattern.data())) m_path = pattern;
}

CTempDir::~CTempDir() {
    std::error_code ignored;
    if (!m_path.empty()) std::filesystem::remove_all(m_path, ignored);
}

CWorkingDir::CWorkingDir(const std::string& dir) : m_previous(std::filesystem::current_path().string()) {
    std::filesystem::current_path(dir);
}

CWorkingDir::~CWorkingDir() {
    std::error_code ignored;
    std::filesystem::current_path(m_previous, ignored);
}

void WriteFile(const std::string& path, const std::string& bytes) {
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    std::ofstream(path, std::ios::binary) << bytes;
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

std::vector<std::string> PngNames(const std::string& dir) {
    std::vector<std::string> names;
    for (const std::string& name : DirectoryNames(dir)) {
        if (std::filesystem::path(name).extension() == ".png" && name[0] != '.') names.push_back(name);
    }
    return names;
}

std::vector<std::string> DirectoryNames(const std::string& dir) {
    std::vector<std::string> names;
    std::error_code failed;
    for (std::filesystem::directory_iterator it(dir, failed), end; !failed && it != end; it.increment(failed)) {
        names.push_back(it->path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

std::string FakeProgram(const CTempDir& dir, const std::string& name, const std::string& script) {
    WriteFile(dir / ("bin/" + name), "#!/bin/sh\n" + script);
    chmod((dir / ("bin/" + name)).c_str(), 0755);
    return dir / "bin:/usr/bin:/bin";
}

std::string Timeline(const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& line : lines) text += line + "\r\n";
    return text;
}

std::string SceneTimeline(const std::vector<std::string>& lines) {
    std::vector<std::string> all = {"e 0 s i0 sbeginScene", "e 0 s i1 sclearScreen", "e 0 s i2 sendScene"};
    all.insert(all.end(), lines.begin(), lines.end());
    return Timeline(all);
}

namespace {

std::string Little32(uint32_t value) {
    std::string bytes;
    for (int shift = 0; shift < 32; shift += 8) bytes += static_cast<char>((value >> shift) & 0xFF);
    return bytes;
}

}  // namespace

std::string WaveFile(uint16_t formatTag, const std::string& data) {
    std::string fmt = std::string(1, static_cast<char>(formatTag & 0xFF)) + static_cast<char>(formatTag >> 8);
    fmt += std::string("\x02\x00", 2) + Little32(44100) + Little32(44100 * 4) + std::string("\x04\x00\x10\x00", 4);
    const std::string chunks = "fmt " + Little32(static_cast<uint32_t>(fmt.size())) + fmt + "data" +
                               Little32(static_cast<uint32_t>(data.size())) + data;
    return "RIFF" + Little32(static_cast<uint32_t>(4 + chunks.size())) + "WAVE" + chunks;
}

std::vector<int16_t> TonePcm(int rate, int channels, double seconds) {
    const size_t frames = static_cast<size_t>(std::lround(seconds * rate));
    std::vector<int16_t> pcm(frames * static_cast<size_t>(channels));
    for (size_t i = 0; i < frames; ++i) {
        for (int c = 0; c < channels; ++c) {
            const double hz = 440.0 * (c + 1);
            pcm[i * static_cast<size_t>(channels) + static_cast<size_t>(c)] =
                static_cast<int16_t>(12000.0 * std::sin(2.0 * M_PI * hz * static_cast<double>(i) / rate));
        }
    }
    return pcm;
}

bool WriteToneMp3(const std::string& path, int rate, int channels, double seconds) {
    return WritePcmMp3(path, rate, channels, TonePcm(rate, channels, seconds));
}

bool WritePcmMp3(const std::string& path, int rate, int channels, std::vector<int16_t> pcm) {
    const int frames = static_cast<int>(pcm.size() / static_cast<size_t>(channels));

    lame_global_flags* lame = lame_init();
    if (!lame) return false;
    lame_set_in_samplerate(lame, rate);
    lame_set_out_samplerate(lame, rate);
    lame_set_num_channels(lame, channels);
    lame_set_mode(lame, channels == 1 ? MONO : JOINT_STEREO);
    lame_set_brate(lame, 128);
    lame_set_quality(lame, 7);
    bool ok = lame_init_params(lame) == 0;

    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    std::vector<unsigned char> mp3(static_cast<size_t>(frames) * 5 / 4 + 7200 + 16384);
    FILE* file = ok ? std::fopen(path.c_str(), "wb+") : nullptr;
    if (file) {
        int bytes = 0;
        if (channels == 1) {
            bytes = lame_encode_buffer(lame, pcm.data(), pcm.data(), frames, mp3.data(), static_cast<int>(mp3.size()));
        } else {
            bytes = lame_encode_buffer_interleaved(lame, pcm.data(), frames, mp3.data(), static_cast<int>(mp3.size()));
        }
        ok = bytes >= 0 && std::fwrite(mp3.data(), 1, static_cast<size_t>(bytes), file) == static_cast<size_t>(bytes);
        bytes = lame_encode_flush(lame, mp3.data(), static_cast<int>(mp3.size()));
        ok = ok && bytes >= 0 &&
             std::fwrite(mp3.data(), 1, static_cast<size_t>(bytes), file) == static_cast<size_t>(bytes);
        // Rewrites the first frame with the tag that records delay and padding.
        lame_mp3_tags_fid(lame, file);
        ok = std::fclose(file) == 0 && ok;
    } else {
        ok = false;
    }
    lame_close(lame);
    return ok;
}

std::vector<int16_t> DecodeSong(const std::string& path) {
    CMp3Stream stream;
    std::string error;
    std::vector<int16_t> pcm;
    if (!stream.Open(path.c_str(), &error)) return pcm;
    int16_t chunk[4096 * kMusicChannels];
    while (size_t frames = stream.Read(chunk, 4096)) pcm.insert(pcm.end(), chunk, chunk + frames * kMusicChannels);
    return pcm;
}
