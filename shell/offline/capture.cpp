#include "shell/offline/capture.h"

#include <algorithm>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

#include "resources/png_writer.h"
#include "resources/report.h"
#include "runtime/effect_manager.h"
#include "runtime/message_pump.h"
#include "shell/demo_driver.h"
#include "shell/offline/headless_output.h"
#include "shell/offline/job_queue.h"
#include "shell/offline/music_capture.h"
#include "shell/offline/output_claim.h"
#include "shell/offline/pass_frames.h"
#include "shell/offline/program_path.h"
#include "shell/offline/progress.h"
#include "shell/offline/video_encoder.h"
#include "shell/offline/written_frames.h"
#include "shell/run_span.h"
#include "shell/stop_signals.h"

namespace fs = std::filesystem;

namespace {

// Frames waiting for a writer, per writer thread: enough to ride out an
// uneven frame, few enough that memory stays flat (3 MB a frame at the
// default size) ...
constexpr size_t kQueuedFramesPerThread = 2;
// ... and however large the frames, no more than this waiting in all.
constexpr size_t kQueuedBytes = 256u << 20;

// How many frames may wait for `threads` writers.
size_t QueuedFrames(const SFrameSize& size, int threads) {
    const size_t frameBytes = static_cast<size_t>(size.frameWidth) * size.frameHeight * 4;
    return std::clamp<size_t>(kQueuedBytes / frameBytes, 1, kQueuedFramesPerThread * static_cast<size_t>(threads));
}

int Fail(const std::string& reason) {
    Report("quellbrook", 0, reason);
    return 1;
}

std::string FramePath(const std::string& dir, int64_t frame) {
    char name[32];
    std::snprintf(name, sizeof(name), "%06lld.png", static_cast<long long>(frame));
    return (fs::path(dir) / name).string();
}

// NNNNNN.png: six digits or more.
bool IsFrameName(const std::string& name) {
    const size_t digits = name.size() >= 4 ? name.size() - 4 : 0;
    if (digits < 6 || name.compare(digits, 4, ".png") != 0) return false;
    return std::all_of(name.begin(), name.begin() + static_cast<std::ptrdiff_t>(digits),
                       [](char c) { return c >= '0' && c <= '9'; });
}

// Makes DIR, or makes sure it holds no earlier capture that the new one
// would mix with; --overwrite removes that capture's frames and audio.wav.
bool PrepareCaptureDirectory(const std::string& dir, bool overwrite, std::string* error) {
    std::error_code failed;
    fs::create_directories(dir, failed);
    if (failed) {
        *error = "cannot create " + dir + ": " + failed.message();
        return false;
    }
    std::vector<fs::path> earlier;
    for (fs::directory_iterator it(dir, failed), end; !failed && it != end; it.increment(failed)) {
        const std::string name = it->path().filename().string();
        if (name == "audio.wav" || IsFrameName(name)) earlier.push_back(it->path());
    }
    if (failed) {
        *error = "cannot read " + dir + ": " + failed.message();
        return false;
    }
    if (earlier.empty()) return true;
    if (!overwrite) {
        *error = dir + " holds an earlier capture (" + std::to_string(earlier.size()) +
                 " frames or audio.wav); --overwrite replaces it, or name another directory";
        return false;
    }
    for (const fs::path& path : earlier) {
        if (!fs::remove(path, failed) && failed) {
            *error = "cannot remove " + path.string() + ": " + failed.message();
            return false;
        }
    }
    return true;
}

// The timeline time at which the end marker fires: events wait for every
// one before them in the file, so it is the latest time up to the marker.
double TimelineEnd() {
    int32_t end = 0;
    for (const CScriptEvent* event = g_effectManager.CurrentEvent(); event; event = event->next) {
        end = std::max(end, event->time);
        if (event->command == 'F') break;
    }
    return end / 1000.0;
}

class CCaptureRun {
public:
    explicit CCaptureRun(const SOptions& options)
        : m_options(options),
          m_size(FrameSizeFor(options.width, options.height, options.supersample)),
          m_output(options.fps),
          m_frames(m_size),
          m_progress("capture", stderr) {
        if (!options.videoFile.empty()) m_videoFile = VideoFileName(options.videoFile, options.videoCodec);
        // A video without sound needs no music file, unless audio.wav is asked
        // for. The sound of a video alone never takes its name: it stays
        // hidden beside the video and goes with the run.
        if (!options.captureDir.empty()) {
            m_musicFile = (fs::path(options.captureDir) / "audio.wav").string();
        } else if (!options.noSound) {
            m_musicFile = fs::path(m_videoFile).replace_extension(".wav").string();
        }
    }

    int Run();

private:
    bool Stopping() const { return !m_failure.empty() || m_writerFailed || StopSignal() != 0; }
    bool Done(const SDemo& demo, const CRunSpan& span) const;
    void Begin(const SDemo& demo, const CRunSpan& span);
    void AddFrame();
    int End(bool started);

    const SOptions& m_options;
    const SFrameSize m_size;
    COutputClaim m_outputs;
    CHeadlessOutput m_output;
    CPassFrames m_frames;
    CProgress m_progress;
    std::string m_videoFile;
    std::string m_musicFile;
    CMusicCapture m_music;
    bool m_musicOpen = false;
    CVideoEncoder m_video;
    CWrittenFrames m_framesWritten;  // before the writers, which note frames in it
    std::unique_ptr<CJobQueue> m_pngWriters;
    std::unique_ptr<CJobQueue> m_videoWriter;
    bool m_writerFailed = false;  // the reason comes when the writers finish
    int64_t m_frameCount = 0;
    float m_clock = 0.0f;
    std::string m_failure;
};

int CCaptureRun::Run() {
    if (!m_videoFile.empty()) {
        // Checked first: a long run should not end in "cannot encode".
        if (ProgramPath("ffmpeg").empty()) {
            return Fail("--video needs ffmpeg, which is not installed (Debian package \"ffmpeg\")");
        }
        if (ProgramPath("ffprobe").empty()) {
            return Fail("--video needs ffprobe to check the video it makes, which is not installed (Debian package "
                        "\"ffmpeg\")");
        }
        if (m_options.videoCodec == EVideoCodec::kLossless && fs::path(m_videoFile).extension() != ".mkv") {
            return Fail("--video-codec lossless writes Matroska: name the video FILE.mkv, not " + m_videoFile);
        }
    }
    std::string error;
    // Before anything is replaced: another run may be writing there.
    if (!m_outputs.Claim(m_options.captureDir, m_videoFile, "--video", &error)) return Fail(error);
    if (!m_videoFile.empty()) {
        if (fs::exists(m_videoFile) && !m_options.overwrite) {
            return Fail(m_videoFile + " exists already; --overwrite replaces it");
        }
        // A write to a pipe ffmpeg has left must fail, not end the program.
        std::signal(SIGPIPE, SIG_IGN);
    }
    if (!m_options.captureDir.empty() && !PrepareCaptureDirectory(m_options.captureDir, m_options.overwrite, &error)) {
        return Fail(error);
    }
    if (!m_output.Open(DisplayRequest(m_options), &m_frames, &error)) return Fail(error);
    m_progress.SetLabel("capture with " + m_output.Display().Name());
    InstallStopSignals();
    CSignalPump pump;
    SetMessagePump(&pump);

    CRunSpan span = CRunSpan::FromOptions(m_options);
    SDemo demo;
    const bool started = StartDemo(SDemoStart(), &demo);
    if (started) {
        if (!m_musicFile.empty()) m_musicOpen = m_music.Open(m_musicFile, &m_failure);
        while (!Done(demo, span)) {
            const bool shown = DemoPassDraws(demo) && span.EnterPass(&m_output.Device());
            if (shown) {
                m_clock = demo.loop.clock;
                if (span.FirstShown()) Begin(demo, span);
            }
            RunDemoPass(&demo);
            if (shown && !demo.stopped && !Stopping()) AddFrame();
        }
        StopDemo(&demo);
    }
    SetMessagePump(nullptr);
    return End(started && span.CheckReached(m_options));
}

bool CCaptureRun::Done(const SDemo& demo, const CRunSpan& span) const {
    return demo.ended || demo.stopped || Stopping() || span.Over() ||
           (m_options.maxFrames >= 0 && m_frameCount >= m_options.maxFrames);
}

// The first pass that renders: the music goes to its file before any frame,
// then the writers start.
void CCaptureRun::Begin(const SDemo& demo, const CRunSpan& span) {
    // The time left counts to whichever comes first: the timeline's end,
    // --frames or --end.
    const double fps = FramesPerSecond(m_options.fps);
    double end = TimelineEnd();
    if (m_options.maxFrames >= 0) end = std::min(end, m_clock + static_cast<double>(m_options.maxFrames - 1) / fps);
    if (span.End() >= 0) end = std::min(end, static_cast<double>(span.End() - 1) / fps);
    m_progress.SetEnd(end);
    if (!m_musicFile.empty()) {
        if (!m_musicOpen) return;  // the reason is in m_failure
        const uint64_t skip = MusicSamplesIn(m_output.TimerSteps(), m_options.fps);
        const uint64_t length =
            m_options.maxFrames < 0 ? CMusicCapture::kWholeSong : MusicSamplesIn(m_options.maxFrames, m_options.fps);
        if (!m_music.WriteSong(demo.stream, skip, length, [] { return StopSignal() != 0; }, &m_failure)) return;
    }

    const int threads = std::max(1, static_cast<int>(std::thread::hardware_concurrency()));
    if (!m_options.captureDir.empty()) {
        m_pngWriters = std::make_unique<CJobQueue>(threads, QueuedFrames(m_size, threads));
    }
    if (!m_videoFile.empty()) {
        SVideoSettings settings;
        settings.file = m_videoFile;
        settings.codec = m_options.videoCodec;
        settings.rate = m_options.fps;
        settings.width = m_size.frameWidth;
        settings.height = m_size.frameHeight;
        if (!m_options.noSound) settings.audio = m_music.Path();
        if (!m_video.Start(settings, &m_failure)) return;
        // One thread keeps the frames in order.
        m_videoWriter = std::make_unique<CJobQueue>(1, QueuedFrames(m_size, 1));
    }
}

void CCaptureRun::AddFrame() {
    const FramePixels frame = m_frames.Frame();
    if (m_pngWriters) {
        const std::string path = FramePath(m_options.captureDir, m_frameCount);
        const int width = m_size.frameWidth, height = m_size.frameHeight;
        const int64_t index = m_frameCount;
        m_writerFailed |= !m_pngWriters->Submit([this, frame, path, width, height, index](std::string* error) {
            if (!WritePngRgb(path, frame->data(), width, height, error)) return false;
            m_framesWritten.Done(index);
            return true;
        });
    }
    if (m_videoWriter) {
        m_writerFailed |=
            !m_videoWriter->Submit([this, frame](std::string* error) { return m_video.WriteFrame(frame->data(), error); });
    }
    ++m_frameCount;
    m_progress.Update(m_frameCount, m_clock);
}

int CCaptureRun::End(bool started) {
    m_progress.Finish();
    // The reason is on standard error already.
    if (!started) return 1;
    std::string error;
    if (m_pngWriters && !m_pngWriters->Finish(&error) && m_failure.empty()) m_failure = error;
    if (m_pngWriters) {
        // Frames written after one that failed would leave a gap: the
        // capture ends where its frames stop being whole.
        const int64_t whole = m_framesWritten.Whole();
        std::error_code ignored;
        for (int64_t frame = whole; frame < m_frameCount; ++frame) {
            fs::remove(FramePath(m_options.captureDir, frame), ignored);
        }
        m_frameCount = whole;
    }
    if (m_videoWriter && !m_videoWriter->Finish(&error) && m_failure.empty()) m_failure = error;
    const bool video = !m_videoFile.empty() && m_videoWriter && m_failure.empty() && m_frameCount > 0;
    const bool videoMade = video && m_video.Finish(&m_failure);
    if (m_musicOpen && !m_options.captureDir.empty()) {
        // Its header matches its length whatever ended the run.
        if (!m_music.Finish(MusicSamplesIn(m_frameCount, m_options.fps), &error) && m_failure.empty()) {
            m_failure = error;
        }
    }

    const double seconds = static_cast<double>(m_frameCount) / FramesPerSecond(m_options.fps);
    const std::string fps = FrameRateText(m_options.fps);
    if (!m_failure.empty()) {
        ReportF("capture", 0, "stopped after %lld frames (%.3f s): %s", static_cast<long long>(m_frameCount), seconds,
                m_failure.c_str());
        return 1;
    }
    if (!m_options.captureDir.empty()) {
        ReportF("capture", 0, "%lld frames (%.3f s at %s fps) and audio.wav in %s", static_cast<long long>(m_frameCount),
                seconds, fps.c_str(), m_options.captureDir.c_str());
    }
    if (videoMade) {
        ReportF("capture", 0, "video of %lld frames (%.3f s at %s fps) written to %s",
                static_cast<long long>(m_frameCount), seconds, fps.c_str(), m_videoFile.c_str());
    } else if (!m_videoFile.empty()) {
        Report("capture", 0, "no frame was drawn, so no video was made");
    }
    if (const int signal = StopSignal()) {
        ReportF("capture", 0, "stopped by %s at timeline %.3f s; what was written so far is complete",
                signal == SIGINT ? "SIGINT" : "SIGTERM", static_cast<double>(m_clock));
        return StopSignalExitStatus(signal);
    }
    return 0;
}

}  // namespace

int RunCapture(const SOptions& options) {
    CCaptureRun run(options);
    return run.Run();
}
