#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "audio/bass.h"
#include "audio/mp3_stream.h"
#include "render/cpu/cpu_raster.h"
#include "shell/offline/frame_stats.h"
#include "shell/offline/job_queue.h"
#include "shell/offline/music_capture.h"
#include "shell/offline/pass_frames.h"
#include "shell/offline/wav_writer.h"
#include "tests/shell/test_files.h"

namespace {

uint32_t Le32(const std::string& bytes, size_t at) {
    uint32_t value = 0;
    for (int i = 3; i >= 0; --i) value = (value << 8) | static_cast<uint8_t>(bytes[at + static_cast<size_t>(i)]);
    return value;
}

uint16_t Le16(const std::string& bytes, size_t at) {
    return static_cast<uint16_t>(static_cast<uint8_t>(bytes[at]) | static_cast<uint8_t>(bytes[at + 1]) << 8);
}

TEST(WavWriter, HeaderDescribesTheSamplesWritten) {
    CTempDir dir;
    CWavWriter wav;
    std::string error;
    ASSERT_TRUE(wav.Open(dir / "audio.wav", 44100, 2, &error)) << error;
    const int16_t samples[] = {1, -1, 0x1234, -32768};
    ASSERT_TRUE(wav.Write(samples, 2, &error));
    ASSERT_TRUE(wav.WriteSilence(3, &error));
    EXPECT_EQ(wav.FramesWritten(), 5u);
    ASSERT_TRUE(wav.Close(&error)) << error;

    const std::string bytes = ReadFile(dir / "audio.wav");
    ASSERT_EQ(bytes.size(), 44u + 5 * 4);
    EXPECT_EQ(bytes.substr(0, 4), "RIFF");
    EXPECT_EQ(Le32(bytes, 4), bytes.size() - 8);
    EXPECT_EQ(bytes.substr(8, 8), "WAVEfmt ");
    EXPECT_EQ(Le16(bytes, 20), 1);  // PCM
    EXPECT_EQ(Le16(bytes, 22), 2);
    EXPECT_EQ(Le32(bytes, 24), 44100u);
    EXPECT_EQ(Le32(bytes, 28), 44100u * 4);
    EXPECT_EQ(Le16(bytes, 32), 4);
    EXPECT_EQ(Le16(bytes, 34), 16);
    EXPECT_EQ(bytes.substr(36, 4), "data");
    EXPECT_EQ(Le32(bytes, 40), 20u);
    EXPECT_EQ(Le16(bytes, 44), 1);
    EXPECT_EQ(Le16(bytes, 46), 0xFFFF);
    EXPECT_EQ(Le16(bytes, 48), 0x1234);
    EXPECT_EQ(Le16(bytes, 50), 0x8000);
    EXPECT_EQ(bytes.substr(52), std::string(12, '\0'));
}

// The WAV is written before the frames from the music heard with the first
// frame, and cut or padded with silence to the frames' duration at the end.
TEST(MusicCapture, WritesTheSongFromTheFirstFramesPositionThenTheFramesDuration) {
    CTempDir dir;
    ASSERT_TRUE(WriteToneMp3(dir / "song.mp3", 44100, 2, 0.5));
    CMp3Stream reference;
    std::string error;
    ASSERT_TRUE(reference.Open((dir / "song.mp3").c_str(), &error));
    std::vector<int16_t> song(44100 * 2);
    song.resize(reference.Read(song.data(), 44100) * 2);
    ASSERT_EQ(song.size(), 22050u * 2);

    BassUseNoSoundOutput(true);
    ASSERT_NE(BASS_Init(-1, 44100, 32, nullptr), 0);
    const auto never = [] { return false; };
    const auto wavSamples = [](const std::string& bytes) {
        std::vector<int16_t> samples((bytes.size() - 44) / 2);
        std::memcpy(samples.data(), bytes.data() + 44, bytes.size() - 44);
        return samples;
    };
    const size_t offset = 2 * 735;

    // The whole song from two steps in; 45 frames at 60 fps then last 0.75 s,
    // of which the song fills 0.5 s - 2/60 s.
    HSTREAM stream = BASS_StreamCreateFile(0, (dir / "song.mp3").c_str(), 0, 0);
    ASSERT_NE(stream, 0u);
    CMusicCapture music;
    ASSERT_TRUE(music.Open(dir / "audio.wav", &error)) << error;
    ASSERT_TRUE(music.WriteSong(stream, offset, CMusicCapture::kWholeSong, never, &error)) << error;
    std::string bytes = ReadFile(music.Path());
    ASSERT_EQ(bytes.size(), 44 + song.size() * 2 - offset * 4) << "complete on disk before the frames";
    EXPECT_EQ(Le32(bytes, 40), bytes.size() - 44);
    EXPECT_FALSE(std::filesystem::exists(dir / "audio.wav")) << "named only when finished";
    ASSERT_TRUE(music.Finish(45 * 735, &error)) << error;
    EXPECT_FALSE(std::filesystem::exists(music.Path()));
    bytes = ReadFile(dir / "audio.wav");
    ASSERT_EQ(bytes.size(), 44u + 45 * 735 * 4);
    EXPECT_EQ(Le32(bytes, 40), 45u * 735 * 4);
    std::vector<int16_t> written = wavSamples(bytes);
    const size_t heard = song.size() - offset * 2;
    EXPECT_TRUE(std::equal(written.begin(), written.begin() + heard, song.begin() + offset * 2));
    EXPECT_TRUE(std::all_of(written.begin() + heard, written.end(), [](int16_t s) { return s == 0; }));

    // A run cut short: the file ends with its last frame.
    stream = BASS_StreamCreateFile(0, (dir / "song.mp3").c_str(), 0, 0);
    CMusicCapture cut;
    ASSERT_TRUE(cut.Open(dir / "cut.wav", &error));
    ASSERT_TRUE(cut.WriteSong(stream, offset, 30 * 735, never, &error));
    ASSERT_TRUE(cut.Finish(7 * 735, &error));
    bytes = ReadFile(dir / "cut.wav");
    ASSERT_EQ(bytes.size(), 44u + 7 * 735 * 4);
    EXPECT_EQ(Le32(bytes, 4), bytes.size() - 8);
    written = wavSamples(bytes);
    EXPECT_TRUE(std::equal(written.begin(), written.end(), song.begin() + offset * 2));

    // A capture that never finishes its sound leaves none.
    std::string abandoned;
    {
        CMusicCapture unfinished;
        ASSERT_TRUE(unfinished.Open(dir / "abandoned.wav", &error));
        abandoned = unfinished.Path();
        EXPECT_TRUE(std::filesystem::exists(abandoned));
    }
    EXPECT_FALSE(std::filesystem::exists(abandoned));
    EXPECT_FALSE(std::filesystem::exists(dir / "abandoned.wav"));
    BASS_Free();
    BassUseNoSoundOutput(false);
}

// One frame per pass: the last picture presented, the previous one again
// when none was, black before the first.
// A 2 x 1 picture in a 4 x 3 frame: one black band above and below, one
// black pixel either side.
TEST(PassFrames, KeepTheLastPresentedPictureInItsFrame) {
    const auto device = [](int width, int height) {
        std::string error;
        CRasterDevice* made = CRasterDevice::Create(CreateCpuRasterBackend({}, &error), width, height, &error);
        EXPECT_NE(made, nullptr) << error;
        return made;
    };
    const auto present = [](CRasterDevice* on, D3DCOLOR colour) {
        on->Clear(0, nullptr, D3DCLEAR_TARGET, colour, 1.0f, 0);
        on->Present(nullptr, nullptr, nullptr, nullptr);
    };
    const auto frame = [](const std::vector<uint8_t>& picture) {
        std::vector<uint8_t> bytes;
        for (int y = 0; y < 3; ++y)
            for (int x = 0; x < 4; ++x) {
                const bool in = y == 1 && (x == 1 || x == 2);
                const std::vector<uint8_t> pixel = in ? picture : std::vector<uint8_t>{0, 0, 0, 255};
                bytes.insert(bytes.end(), pixel.begin(), pixel.end());
            }
        return bytes;
    };
    SFrameSize size;
    size.frameWidth = 4;
    size.frameHeight = 3;
    size.pictureWidth = 2;
    size.pictureHeight = 1;
    size.pictureX = 1;
    size.pictureY = 1;
    CPassFrames frames(size);
    CRasterDevice* wide = device(2, 1);
    CRasterDevice* tall = device(1, 2);
    ASSERT_TRUE(wide && tall);
    wide->SetPresentSink(&frames);
    tall->SetPresentSink(&frames);
    EXPECT_EQ(*frames.Frame(), frame({0, 0, 0, 255})) << "black before the first";
    present(wide, 0x04030201);
    const FramePixels held = frames.Frame();
    present(wide, 0x08070605);
    EXPECT_EQ(*frames.Frame(), frame({5, 6, 7, 8})) << "BGRA, the last presented";
    EXPECT_EQ(*held, frame({1, 2, 3, 4})) << "a frame handed out never changes";
    present(tall, 0xFFFFFFFF);
    EXPECT_EQ(*frames.Frame(), frame({5, 6, 7, 8})) << "a picture of another size is not a frame";
    EXPECT_EQ(wide->Release(), 0u);
    EXPECT_EQ(tall->Release(), 0u);
}

TEST(JobQueue, RunsTheJobsAndStopsAtTheFirstFailure) {
    CJobQueue pool(1, 1);
    std::vector<int> order;
    for (int i = 0; i < 5; ++i) {
        pool.Submit([&order, i](std::string* error) {
            order.push_back(i);
            *error = "disk full";
            return i != 2;
        });
    }
    std::string error;
    EXPECT_FALSE(pool.Finish(&error));
    EXPECT_EQ(error, "disk full");
    EXPECT_EQ(order, std::vector<int>({0, 1, 2})) << "one thread keeps the order; nothing runs after a failure";
    EXPECT_FALSE(pool.Submit([](std::string*) { return true; }));
}

TEST(FrameStats, NearestRankPercentilesAndTheSummaryLine) {
    std::vector<double> times;
    for (int i = 100; i >= 1; --i) times.push_back(i);  // 1 .. 100 ms, unsorted
    const SFrameStats stats = SummariseFrameTimes(times);
    EXPECT_EQ(stats.frames, 100u);
    EXPECT_DOUBLE_EQ(stats.meanMs, 50.5);
    EXPECT_DOUBLE_EQ(stats.p50Ms, 50.0);
    EXPECT_DOUBLE_EQ(stats.p99Ms, 99.0);
    EXPECT_DOUBLE_EQ(stats.maxMs, 100.0);
    EXPECT_NEAR(stats.fps, 1000.0 / 50.5, 1e-9);
    EXPECT_EQ(FormatBenchmarkLine(stats),
              "benchmark: 100 frames, mean 50.500 ms, p50 50.000 ms, p99 99.000 ms, max 100.000 ms, 19.8 fps");

    const SFrameStats one = SummariseFrameTimes({4.0});
    EXPECT_DOUBLE_EQ(one.p50Ms, 4.0);
    EXPECT_DOUBLE_EQ(one.p99Ms, 4.0);
    EXPECT_EQ(FormatBenchmarkLine(SummariseFrameTimes({})),
              "benchmark: 0 frames, mean 0.000 ms, p50 0.000 ms, p99 0.000 ms, max 0.000 ms, 0.0 fps");
}

}  // namespace
