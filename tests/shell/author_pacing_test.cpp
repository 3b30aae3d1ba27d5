// Author mode's picture paced by the music on SDL's disk audio driver, whose
// device takes the samples at its own pace (here made slower than 44.1 kHz
// on purpose): what the device has written out is the music heard,
// and the picture must keep to it rather than to the wall clock. A slow
// test: it plays in real time (QB_PACING_SECONDS, 20 by default).
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "audio/bass.h"
#include "effects/effect_table.h"
#include "runtime/effect_manager.h"
#include "shell/author_control.h"
#include "shell/bass_music.h"
#include "shell/shell_globals.h"
#include "tests/render/backend_device_fixture.h"
#include "tests/shell/test_files.h"

namespace {

constexpr int kFps = 60;
// Where the offset between picture and sound is averaged, at both ends.
constexpr double kWindowSeconds = 2.0;

double Now() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

double PlaySeconds() {
    const char* seconds = std::getenv("QB_PACING_SECONDS");
    return seconds && std::atof(seconds) > kWindowSeconds * 2 ? std::atof(seconds) : 20.0;
}

int64_t FileFrames(const std::string& path) {
    struct stat info{};
    return stat(path.c_str(), &info) == 0 ? info.st_size / 4 : 0;
}

struct SSample {
    double wall;
    double offset;  // the picture's song time less the device's
};

double MeanOffset(const std::vector<SSample>& samples, double from, double to) {
    double sum = 0.0;
    int count = 0;
    for (const SSample& sample : samples) {
        if (sample.wall < from || sample.wall >= to) continue;
        sum += sample.offset;
        ++count;
    }
    return count ? sum / count : NAN;
}

TEST(AuthorPacing, ThePictureKeepsToTheSoundDevicesPace) {
    CTempDir dir;
    std::filesystem::create_directory_symlink(std::string(QB_DEMO_DIR) + "/Data", dir / "Data");
    WriteFile(dir / "script.txt", SceneTimeline({"F 150000"}));
    CWorkingDir here(dir.Path());
    const std::string written = dir / "device.raw";
    setenv("SDL_AUDIODRIVER", "disk", 1);
    setenv("SDL_DISKAUDIOFILE", written.c_str(), 1);
    // 48 ms for each buffer of 2048 samples: a device 3 % slower than
    // 44.1 kHz, whatever the machine's own timing adds (unless the caller
    // names another delay).
    setenv("SDL_DISKAUDIODELAY", "48", 0);

    std::string error;
    CRasterDevice* device = CreateTestDevice(ETestBackend::kCpu, 64, 48, &error);
    ASSERT_NE(device, nullptr) << error;
    g_device = device;
    ASSERT_TRUE(BASS_Init(-1, 44100, 0, nullptr)) << "SDL's disk audio driver";
    const HSTREAM stream = BASS_StreamCreateFile(FALSE, "Data/song.mp3", 0, 0);
    ASSERT_NE(stream, 0u);
    BASS_Start();
    ASSERT_TRUE(g_effectManager.Load("script.txt", 640, 480, &error)) << error;
    RegisterEffects(&g_effectManager);
    {
        // The run's fixed step is the timer's from its start.
        CAuthorRun run(kFps, device);
        g_timer.Start();
        SDemo demo;
        demo.stream = stream;
        run.Start(demo);
        CBassMusic music;
        music.SetStream(stream);
        CAuthorControl control(&run, &music, [] { return SReloadOutcome(); });
        control.Begin(0, Now());

        // Each time the device writes a buffer out, the song time of the
        // frame shown against the music written: their offset must not move.
        std::vector<SSample> samples;
        const double start = Now();
        const double seconds = PlaySeconds();
        int64_t frames = 0;
        int64_t firstFrames = -1;
        double firstWall = 0.0;
        while (Now() - start < seconds) {
            control.Update(Now());
            const int64_t now = FileFrames(written);
            if (now != frames) {
                frames = now;
                const double wall = Now() - start;
                if (firstFrames < 0) {
                    firstFrames = frames;
                    firstWall = wall;
                }
                samples.push_back({wall, run.ShownSongSeconds() - static_cast<double>(frames) / 44100});
            }
            std::this_thread::sleep_for(std::chrono::microseconds(500));
        }
        const double lastWall = samples.empty() ? 0.0 : samples.back().wall;
        const double rate = (frames - firstFrames) / (lastWall - firstWall);
        const double begin = MeanOffset(samples, 1.0, 1.0 + kWindowSeconds);
        const double end = MeanOffset(samples, seconds - kWindowSeconds, seconds);
        const double drift = (end - begin) * 1000.0;
        std::printf("device took %.0f samples a second; picture against sound over %.0f s: %+.1f ms\n", rate, seconds,
                    drift);
        RecordProperty("drift_ms", std::to_string(drift));
        ASSERT_GT(samples.size(), 100u);
        EXPECT_LT(std::fabs(drift), 10.0) << "the wall clock would give " << seconds * (1.0 - rate / 44100) * 1000
                                          << " ms";
        StopDemo(&demo);
    }
    g_device = nullptr;
    device->Release();
}

}  // namespace
