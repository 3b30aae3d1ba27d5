#include "shell/offline/capture.h"

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <system_error>

#include "render/gl/gl_device.h"
#include "shell/demo_driver.h"
#include "shell/run_span.h"
#include "shell/offline/headless_run.h"
#include "shell/offline/music_capture.h"
#include "shell/offline/png_writer.h"
#include "shell/offline/progress.h"
#include "shell/offline/video_encoder.h"

namespace {

int Fail(const std::string& reason) {
    std::fprintf(stderr, "quellbrook: %s\n", reason.c_str());
    return 1;
}

std::string FramePath(const std::string& dir, int64_t frame) {
    char name[32];
    std::snprintf(name, sizeof(name), "/%06lld.png", static_cast<long long>(frame));
    return dir + name;
}

}  // namespace

int RunCapture(const SOptions& options) {
    const std::string& dir = options.captureDir;
    // Checked first: a long capture should not end in "cannot encode".
    if (!options.videoFile.empty() && !ProgramInstalled("ffmpeg")) {
        return Fail("--video needs ffmpeg, which is not installed (Debian package \"ffmpeg\")");
    }
    std::error_code created;
    std::filesystem::create_directories(dir, created);
    if (created) return Fail("cannot create " + dir + ": " + created.message());

    CHeadlessRun run(options.fps);
    std::string error;
    if (!run.Start(&error)) return Fail(error);

    CMusicCapture music(options.fps);
    CProgress progress("capture", stderr);
    int64_t frames = 0;
    float clock = 0.0f;
    std::string failure;
    const auto done = [&] { return !failure.empty() || (options.maxFrames >= 0 && frames >= options.maxFrames); };

    SPresentTarget target;
    target.onFrame = [&](const uint8_t* rgba, int width, int height) {
        if (done()) return;
        if (!WritePngRgb(FramePath(dir, frames), rgba, width, height, &failure)) return;
        if (!music.AddFrame(run.TimerSteps(), &failure)) return;
        ++frames;
        progress.Update(frames, clock);
    };
    RasterDeviceSetPresentTarget(g_device, target);

    SDemoHooks hooks;
    hooks.musicStarted = [&](uint32_t stream) {
        if (!music.Open(dir + "/audio.wav", &failure)) return;
        music.SetStream(stream);
    };
    hooks.beforeRender = [&](float now) { clock = now; };
    hooks.stopRequested = done;

    CRunSpan span = CRunSpan::FromOptions(options);
    const bool started = RunDemo(span.Wrap(hooks, HideHeadlessDevice));
    progress.Finish();
    // The reason is on standard error already.
    if (!started || !span.CheckReached(options.start, options.fps)) return 1;
    if (failure.empty()) music.Close(&failure);
    if (!failure.empty()) return Fail(failure);

    std::fprintf(stderr, "capture: %lld frames (%.3f s at %d fps) in %s\n", static_cast<long long>(frames),
                 static_cast<double>(frames) / options.fps, options.fps, dir.c_str());
    if (!options.videoFile.empty() && frames == 0) {
        std::fprintf(stderr, "capture: no frame was presented, so no video was made\n");
    } else if (!options.videoFile.empty()) {
        if (!EncodeVideo(dir, options.fps, options.videoFile, &error)) return Fail(error);
        std::fprintf(stderr, "capture: video written to %s\n", options.videoFile.c_str());
    }
    return 0;
}
