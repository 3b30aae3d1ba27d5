#include <gtest/gtest.h>

#include <algorithm>

#include <cstdlib>
#include <thread>
#include <vector>

#include "audio/bass.h"
#include "audio/mp3_stream.h"
#include "tests/shell/test_files.h"

namespace {

std::vector<int16_t> DecodeAll(CMp3Stream* stream) {
    std::vector<int16_t> pcm;
    int16_t chunk[1000 * kMusicChannels];
    while (size_t frames = stream->Read(chunk, 1000)) pcm.insert(pcm.end(), chunk, chunk + frames * kMusicChannels);
    return pcm;
}

double Energy(const std::vector<int16_t>& pcm, size_t from, size_t count) {
    double sum = 0.0;
    for (size_t i = from; i < from + count && i < pcm.size(); ++i) sum += static_cast<double>(pcm[i]) * pcm[i];
    return sum / static_cast<double>(count);
}

TEST(Mp3Stream, DecodesStereoSongToItsExactLength) {
    CTempDir dir;
    ASSERT_TRUE(WriteToneMp3(dir / "song.mp3", 44100, 2, 1.0));
    CMp3Stream stream;
    std::string error;
    ASSERT_TRUE(stream.Open((dir / "song.mp3").c_str(), &error)) << error;
    const std::vector<int16_t> pcm = DecodeAll(&stream);
    // The encoder's delay and padding are dropped: one second, to the sample.
    EXPECT_EQ(pcm.size(), 44100u * 2);
    EXPECT_TRUE(stream.Ended());
    EXPECT_FALSE(stream.Failed());
    EXPECT_EQ(stream.Position(), 44100u);
    // The tone is there from the start, in both channels.
    EXPECT_GT(Energy(pcm, 2000, 4000), 1e6);
    const std::vector<int16_t> source = TonePcm(44100, 2, 1.0);
    double error2 = 0.0;
    for (size_t i = 20000; i < 24000; ++i) error2 += std::abs(pcm[i] - source[i]);
    EXPECT_LT(error2 / 4000, 600.0) << "the decoded tone is not the encoded one";
}

TEST(Mp3Stream, SeeksToTheSampleAsDecodingFromTheStartGivesIt) {
    CTempDir dir;
    ASSERT_TRUE(WriteToneMp3(dir / "song.mp3", 44100, 2, 2.0));
    CMp3Stream stream;
    std::string error;
    ASSERT_TRUE(stream.Open((dir / "song.mp3").c_str(), &error)) << error;
    const std::vector<int16_t> whole = DecodeAll(&stream);
    // Back from the end, forward past a frame boundary, and past the end.
    for (uint64_t frame : {uint64_t{0}, uint64_t{61234}, uint64_t{1153}}) {
        ASSERT_TRUE(stream.Seek(frame));
        EXPECT_EQ(stream.Position(), frame);
        int16_t chunk[2 * 500];
        ASSERT_EQ(stream.Read(chunk, 500), 500u);
        EXPECT_TRUE(std::equal(chunk, chunk + 1000, whole.begin() + static_cast<ptrdiff_t>(frame * 2))) << frame;
    }
    ASSERT_TRUE(stream.Seek(88200 + 10));
    int16_t rest[2];
    EXPECT_EQ(stream.Read(rest, 1), 0u) << "past the end: nothing more";
    ASSERT_TRUE(stream.Seek(100));
    EXPECT_EQ(stream.Read(rest, 1), 1u) << "a seek back after the end plays on";
}

TEST(Mp3Stream, ConvertsMonoAndOtherRatesToStereo44100) {
    CTempDir dir;
    ASSERT_TRUE(WriteToneMp3(dir / "mono.mp3", 22050, 1, 1.0));
    CMp3Stream stream;
    std::string error;
    ASSERT_TRUE(stream.Open((dir / "mono.mp3").c_str(), &error)) << error;
    const std::vector<int16_t> pcm = DecodeAll(&stream);
    EXPECT_NEAR(static_cast<double>(pcm.size()) / 2, 44100.0, 1200.0);
    // Mono is played in both channels.
    for (size_t i = 10000; i < 10100; i += 2) EXPECT_EQ(pcm[i], pcm[i + 1]);
}

TEST(Mp3Stream, RefusesMissingAndNonMusicFiles) {
    CTempDir dir;
    CMp3Stream stream;
    std::string error;
    EXPECT_FALSE(stream.Open((dir / "missing.mp3").c_str(), &error));
    EXPECT_NE(error.find("missing.mp3"), std::string::npos);

    WriteFile(dir / "text.mp3", std::string(5000, 'x'));
    error.clear();
    EXPECT_FALSE(stream.Open((dir / "text.mp3").c_str(), &error));
    EXPECT_FALSE(error.empty());
    int16_t samples[64];
    EXPECT_EQ(stream.Read(samples, 32), 0u);
}

// Other formats under an .mp3 name are refused at once, saying what they
// are; MPEG audio inside a WAV file still plays.
TEST(Mp3Stream, OtherAudioFormatsAreNamed) {
    CTempDir dir;
    ASSERT_TRUE(WriteToneMp3(dir / "tone.mp3", 44100, 2, 1.0));
    const std::string mp3 = ReadFile(dir / "tone.mp3");
    std::string pcm;
    for (int16_t sample : TonePcm(44100, 2, 0.5)) pcm += std::string(reinterpret_cast<const char*>(&sample), 2);
    const std::pair<std::string, std::string> files[] = {
        {WaveFile(1, pcm), "a WAV file"},
        {std::string("\0\0\0\x18", 4) + "ftypM4A " + std::string(2000, '\0'), "an MP4/M4A file (AAC or ALAC audio)"},
        {"OggS" + std::string(3000, '\x01'), "an Ogg file (Vorbis, Opus or FLAC audio)"},
        {"fLaC" + std::string(3000, '\x02'), "a FLAC file"},
        {"FORM" + std::string(4, '\x10') + "AIFF" + pcm, "an AIFF file"},
    };
    for (const auto& [bytes, what] : files) {
        WriteFile(dir / "song.mp3", bytes);
        CMp3Stream stream;
        std::string error;
        EXPECT_FALSE(stream.Open((dir / "song.mp3").c_str(), &error)) << what;
        EXPECT_EQ(error, dir / "song.mp3" + ": not an MP3 file that can be decoded (it is " + what + ")");
    }

    WriteFile(dir / "song.mp3", WaveFile(0x55, mp3));
    CMp3Stream wrapped;
    std::string error;
    ASSERT_TRUE(wrapped.Open((dir / "song.mp3").c_str(), &error)) << error;
    EXPECT_NEAR(static_cast<double>(DecodeAll(&wrapped).size()) / 2, 44100.0, 1200.0);
}

TEST(Mp3Stream, LengthIsTheDecodedLength) {
    CTempDir dir;
    ASSERT_TRUE(WriteToneMp3(dir / "song.mp3", 44100, 2, 1.5));
    CMp3Stream stream;
    std::string error;
    ASSERT_TRUE(stream.Open((dir / "song.mp3").c_str(), &error)) << error;
    const uint64_t length = stream.Length();
    EXPECT_EQ(length * 2, DecodeAll(&stream).size());
    EXPECT_EQ(length, 66150u);
}

TEST(Mp3Stream, CutOrDamagedFileEndsTheMusicWithoutCrashing) {
    CTempDir dir;
    ASSERT_TRUE(WriteToneMp3(dir / "song.mp3", 44100, 2, 2.0));
    const std::string whole = ReadFile(dir / "song.mp3");

    // Cut in the middle of a frame.
    WriteFile(dir / "cut.mp3", whole.substr(0, whole.size() / 2 + 77));
    CMp3Stream cut;
    std::string error;
    ASSERT_TRUE(cut.Open((dir / "cut.mp3").c_str(), &error)) << error;
    const size_t cutFrames = DecodeAll(&cut).size() / 2;
    EXPECT_TRUE(cut.Ended());
    EXPECT_GT(cutFrames, 30000u);
    EXPECT_LT(cutFrames, 60000u);

    // Garbage over the second half.
    std::string damaged = whole;
    for (size_t i = damaged.size() / 2; i < damaged.size(); ++i) damaged[i] = static_cast<char>(i * 7919);
    WriteFile(dir / "damaged.mp3", damaged);
    CMp3Stream broken;
    ASSERT_TRUE(broken.Open((dir / "damaged.mp3").c_str(), &error)) << error;
    const std::vector<int16_t> pcm = DecodeAll(&broken);
    EXPECT_TRUE(broken.Ended());
    EXPECT_LE(pcm.size() / 2, 2u * 44100 + 1152);
}

class BassTest : public ::testing::Test {
protected:
    void TearDown() override {
        BASS_Free();
        BassUseNoSoundOutput(false);
        BassSetBufferFrames(0);
    }
};

TEST_F(BassTest, WithoutSoundDeviceStreamsAreDecodedThroughGetData) {
    CTempDir dir;
    ASSERT_TRUE(WriteToneMp3(dir / "song.mp3", 44100, 2, 0.5));

    EXPECT_EQ(BASS_StreamCreateFile(0, (dir / "song.mp3").c_str(), 0, 0), 0u) << "needs BASS_Init first";
    BassUseNoSoundOutput(true);
    ASSERT_NE(BASS_Init(-1, 44100, 32, nullptr), 0);
    EXPECT_EQ(BASS_Init(-1, 44100, 32, nullptr), 0) << "a second Init fails";
    EXPECT_EQ(BASS_StreamCreateFile(0, (dir / "missing.mp3").c_str(), 0, 0), 0u);

    const HSTREAM stream = BASS_StreamCreateFile(0, (dir / "song.mp3").c_str(), 0, 0);
    ASSERT_NE(stream, 0u);
    EXPECT_NE(BASS_Start(), 0);
    EXPECT_NE(BASS_StreamPlay(stream, 0, 0), 0);

    // The same samples as the decoder gives on its own.
    CMp3Stream reference;
    std::string error;
    ASSERT_TRUE(reference.Open((dir / "song.mp3").c_str(), &error));
    const std::vector<int16_t> expected = DecodeAll(&reference);
    std::vector<int16_t> got(expected.size() + 100);
    const DWORD bytes = BASS_ChannelGetData(stream, got.data(), static_cast<DWORD>(got.size() * 2));
    ASSERT_EQ(bytes, expected.size() * 2);
    got.resize(expected.size());
    EXPECT_EQ(got, expected);
    EXPECT_EQ(BASS_ChannelGetPosition(stream), expected.size() * 2);
    EXPECT_EQ(BASS_ChannelGetData(stream, got.data(), 400), 0u) << "the music has ended";

    EXPECT_NE(BASS_ChannelStop(stream), 0);
    EXPECT_NE(BASS_Stop(), 0);
    BASS_Free();
    EXPECT_EQ(BASS_ChannelGetData(stream, got.data(), 400), 0u) << "freed streams are gone";
    EXPECT_EQ(BASS_ChannelStop(stream), 0);
}

TEST_F(BassTest, PlaysOnTheDeviceAndStops) {
    CTempDir dir;
    ASSERT_TRUE(WriteToneMp3(dir / "song.mp3", 44100, 2, 3.0));
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    ASSERT_NE(BASS_Init(-1, 44100, 32, nullptr), 0);
    const HSTREAM stream = BASS_StreamCreateFile(0, (dir / "song.mp3").c_str(), 0, 0);
    ASSERT_NE(stream, 0u);
    BASS_Start();
    EXPECT_EQ(BASS_ChannelGetPosition(stream), 0u) << "nothing plays before StreamPlay";
    BASS_StreamPlay(stream, 0, 0);
    for (int i = 0; i < 200 && BASS_ChannelGetPosition(stream) == 0; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    EXPECT_GT(BASS_ChannelGetPosition(stream), 0u) << "the device pulls the music";
    BASS_ChannelStop(stream);
    const uint64_t stopped = BASS_ChannelGetPosition(stream);
    std::this_thread::sleep_for(std::chrono::milliseconds(150));
    EXPECT_EQ(BASS_ChannelGetPosition(stream), stopped) << "a stopped stream is not decoded";
    BASS_Stop();
    BASS_Free();
    // Freed: the library can start again.
    EXPECT_NE(BASS_Init(-1, 44100, 32, nullptr), 0);
}

// The music starts with the call, whatever buffer the device has: its first
// buffer begins where the music has got to by the time that buffer is heard
// (a buffer later), so what is heard stays within 10 ms of a clock started
// with the call. The dummy driver takes a buffer at a time, a buffer apart.
TEST_F(BassTest, MusicHeardKeepsTimeWithTheCallWhateverTheBuffer) {
    CTempDir dir;
    ASSERT_TRUE(WriteToneMp3(dir / "song.mp3", 44100, 2, 3.0));
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    for (const int buffer : {512, 2048, 8192}) {
        BassSetBufferFrames(buffer);
        ASSERT_NE(BASS_Init(-1, 44100, 32, nullptr), 0);
        const HSTREAM stream = BASS_StreamCreateFile(0, (dir / "song.mp3").c_str(), 0, 0);
        ASSERT_NE(stream, 0u);
        BASS_Start();
        // Somewhere between two of the device's buffers.
        std::this_thread::sleep_for(std::chrono::milliseconds(buffer / 100));
        const auto started = std::chrono::steady_clock::now();
        const auto since = [started] {
            return std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
        };
        BASS_StreamPlay(stream, 0, 0);
        // The first buffer was filled between two looks at the decoder.
        double before = 0.0;
        double after = 0.0;
        uint64_t position = 0;
        for (;;) {
            before = after;
            after = since();
            if ((position = BASS_ChannelGetPosition(stream) / 4) != 0) break;
            std::this_thread::yield();
        }
        // It is heard from one buffer after it was filled on, and it ends
        // where the decoder stands now: it must start where the music has got
        // to by then, to the millisecond (the decoder's rounding aside).
        const double start = static_cast<double>(position - static_cast<uint64_t>(buffer)) / 44100;
        const double latency = buffer / 44100.0;
        EXPECT_GE(start, before + latency - 0.001) << buffer;
        EXPECT_LE(start, after + latency + 0.001) << buffer;
        // Later buffers follow on, whole buffers, without another jump.
        uint64_t next = position;
        while ((next = BASS_ChannelGetPosition(stream) / 4) == position) std::this_thread::yield();
        EXPECT_EQ((next - position) % static_cast<uint64_t>(buffer), 0u) << buffer;
        BASS_Free();
    }
}

TEST_F(BassTest, InitFailsWithoutAnAudioDevice) {
    setenv("SDL_AUDIODRIVER", "no-such-driver", 1);
    EXPECT_EQ(BASS_Init(-1, 44100, 32, nullptr), 0);
    setenv("SDL_AUDIODRIVER", "dummy", 1);
}

}  // namespace
