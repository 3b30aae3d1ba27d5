// Files the shell tests make: a scratch directory, timelines, MP3 songs.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// A fresh directory under the system's temporary directory, removed with
// everything in it when the object goes.
class CTempDir {
public:
    CTempDir();
    ~CTempDir();
    CTempDir(const CTempDir&) = delete;
    CTempDir& operator=(const CTempDir&) = delete;

    const std::string& Path() const { return m_path; }
    std::string operator/(const std::string& name) const { return m_path + "/" + name; }

private:
    std::string m_path;
};

// Makes the working directory `dir` while alive.
class CWorkingDir {
public:
    explicit CWorkingDir(const std::string& dir);
    ~CWorkingDir();
    CWorkingDir(const CWorkingDir&) = delete;
    CWorkingDir& operator=(const CWorkingDir&) = delete;

private:
    std::string m_previous;
};

void WriteFile(const std::string& path, const std::string& bytes);
std::string ReadFile(const std::string& path);
// The names of the .png files in `dir`, sorted; none when it does not exist.
std::vector<std::string> PngNames(const std::string& dir);
// Every name in `dir`, hidden ones too, sorted.
std::vector<std::string> DirectoryNames(const std::string& dir);
// An executable shell script `name` in dir/bin, found before the system's
// programs in the PATH returned.
std::string FakeProgram(const CTempDir& dir, const std::string& name, const std::string& script);

// A timeline from lines, each ended with CR LF as the loader expects.
std::string Timeline(const std::vector<std::string>& lines);
// The scene-bracket timeline: begin, clear and end on layers 0-2 at 0 ms,
// then the lines given.
std::string SceneTimeline(const std::vector<std::string>& lines);

// A tone (different in each channel) as 16-bit PCM, interleaved.
std::vector<int16_t> TonePcm(int rate, int channels, double seconds);
// A WAV file: a stereo 44.1 kHz 16-bit "fmt " chunk with the given format
// tag (1 PCM, 0x55 MP3), then `data` as the data chunk.
std::string WaveFile(uint16_t formatTag, const std::string& data);
// Encodes TonePcm to an MP3 file (with the tag that lets decoders drop the
// encoder's padding). Returns false when the encoder fails.
bool WriteToneMp3(const std::string& path, int rate, int channels, double seconds);
// Encodes interleaved 16-bit PCM to an MP3 file the same way.
bool WritePcmMp3(const std::string& path, int rate, int channels, std::vector<int16_t> pcm);
// The song's samples as the program's decoder gives them (44.1 kHz 16-bit
// stereo, interleaved); empty when it cannot be decoded.
std::vector<int16_t> DecodeSong(const std::string& path);
