#include "shell/offline/video_encoder.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <filesystem>

#include "resources/output_file.h"
#include "shell/offline/video_check.h"

extern char** environ;

namespace {

// ffmpeg's messages kept for a report: its last lines are enough.
constexpr size_t kKeptMessageBytes = 4096;
constexpr size_t kReportedLines = 6;
// A larger pipe means fewer wake-ups per 3 MB frame.
constexpr int kPipeBytes = 1 << 20;

void CloseFd(int* fd) {
    if (*fd >= 0) close(*fd);
    *fd = -1;
}

}  // namespace

std::string VideoFileName(const std::string& file, EVideoCodec codec) {
    if (std::filesystem::path(file).has_extension()) return file;
    switch (codec) {
        case EVideoCodec::kH264:
            return file + ".mp4";
        case EVideoCodec::kLossless:
            return file + ".mkv";
    }
    return file;
}

std::vector<std::string> FfmpegArguments(const SVideoSettings& settings, const std::string& output) {
    const std::string rate = FrameRateText(settings.rate);
    // No shell in between: every argument, file names too, goes as it is.
    std::vector<std::string> args = {
        "ffmpeg", "-hide_banner", "-nostdin", "-loglevel", "error",
        "-f", "rawvideo", "-pixel_format", "bgra",
        "-video_size", std::to_string(settings.width) + "x" + std::to_string(settings.height),
        "-framerate", rate, "-i", "pipe:0",
    };
    const bool sound = !settings.audio.empty();
    if (sound) {
        // The music is padded with silence and cut where the frames end, so
        // it lasts exactly as long as they do, to an audio frame.
        args.insert(args.end(), {"-i", settings.audio, "-map", "0:v", "-map", "1:a", "-af", "apad", "-shortest"});
    }
    args.insert(args.end(), {"-fps_mode", "cfr", "-r", rate});
    switch (settings.codec) {
        case EVideoCodec::kH264:
            // What plays everywhere: H.264 in 4:2:0 and AAC.
            args.insert(args.end(), {"-c:v", "libx264", "-preset", "veryfast", "-crf", "18", "-pix_fmt", "yuv420p"});
            if (sound) args.insert(args.end(), {"-c:a", "aac", "-b:a", "192k"});
            if (std::filesystem::path(output).extension() == ".mp4") {
                args.insert(args.end(), {"-movflags", "+faststart"});
            }
            break;
        case EVideoCodec::kLossless:
            // The pixels and samples as they are: RGB FFV1 and FLAC, in short
            // audio frames so the cut at the end is close.
            args.insert(args.end(), {"-c:v", "ffv1", "-level", "3", "-slices", "4", "-pix_fmt", "bgr0"});
            if (sound) args.insert(args.end(), {"-c:a", "flac", "-frame_size", "256"});
            break;
    }
    args.insert(args.end(), {"-y", output});
    return args;
}

CVideoEncoder::~CVideoEncoder() { Abandon(); }

bool CVideoEncoder::Start(const SVideoSettings& settings, std::string* error) {
    m_settings = settings;
    m_partial = HiddenName(settings.file);
    m_framesWritten = 0;
    std::vector<std::string> args = FfmpegArguments(settings, m_partial);
    std::vector<char*> argv;
    for (std::string& arg : args) argv.push_back(arg.data());
    argv.push_back(nullptr);

    int frames[2] = {-1, -1};
    int messages[2] = {-1, -1};
    if (pipe2(frames, O_CLOEXEC) != 0 || pipe2(messages, O_CLOEXEC) != 0) {
        *error = std::string("cannot start ffmpeg: ") + std::strerror(errno);
        CloseFd(&frames[0]);
        CloseFd(&frames[1]);
        return false;
    }
    fcntl(frames[1], F_SETPIPE_SZ, kPipeBytes);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, frames[0], STDIN_FILENO);
    posix_spawn_file_actions_adddup2(&actions, messages[1], STDERR_FILENO);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    // A group of its own: Ctrl+C in a terminal reaches the whole foreground
    // group, and ffmpeg stopped by it would leave a video that it calls
    // failed. The program stops instead and lets ffmpeg finish the video.
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP);
    posix_spawnattr_setpgroup(&attributes, 0);
    const int spawned = posix_spawnp(&m_child, "ffmpeg", &actions, &attributes, argv.data(), environ);
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    CloseFd(&frames[0]);
    CloseFd(&messages[1]);
    if (spawned != 0) {
        m_child = -1;
        CloseFd(&frames[1]);
        CloseFd(&messages[0]);
        *error = std::string("cannot run ffmpeg: ") + std::strerror(spawned);
        return false;
    }
    m_frames = frames[1];
    const int reading = messages[0];
    m_reader = std::thread([this, reading] { CollectMessages(reading); });
    return true;
}

void CVideoEncoder::CollectMessages(int fd) {
    char buffer[1024];
    for (;;) {
        const ssize_t got = read(fd, buffer, sizeof(buffer));
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) break;
        std::lock_guard<std::mutex> lock(m_mutex);
        m_messages.append(buffer, static_cast<size_t>(got));
        if (m_messages.size() > 2 * kKeptMessageBytes) m_messages.erase(0, m_messages.size() - kKeptMessageBytes);
    }
    close(fd);
}

bool CVideoEncoder::WriteFrame(const uint8_t* bgra, std::string* error) {
    size_t left = static_cast<size_t>(m_settings.width) * static_cast<size_t>(m_settings.height) * 4;
    while (left > 0) {
        const ssize_t wrote = write(m_frames, bgra, left);
        if (wrote < 0 && errno == EINTR) continue;
        if (wrote <= 0) {
            // ffmpeg has gone: what it said says why.
            const int writeErrno = errno;
            std::string reason;
            Wait(&reason);
            *error = reason.empty() ? std::string("ffmpeg stopped reading the frames: ") + std::strerror(writeErrno)
                                    : reason;
            return false;
        }
        bgra += wrote;
        left -= static_cast<size_t>(wrote);
    }
    ++m_framesWritten;
    return true;
}

std::string CVideoEncoder::LastLines() {
    std::vector<std::string> lines;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        size_t start = 0;
        while (start < m_messages.size()) {
            size_t end = m_messages.find_first_of("\r\n", start);
            if (end == std::string::npos) end = m_messages.size();
            if (end > start) lines.push_back(m_messages.substr(start, end - start));
            start = end + 1;
        }
    }
    std::string last;
    for (size_t i = lines.size() > kReportedLines ? lines.size() - kReportedLines : 0; i < lines.size(); ++i) {
        last += (last.empty() ? "" : "\n") + lines[i];
    }
    return last;
}

bool CVideoEncoder::Wait(std::string* error) {
    CloseFd(&m_frames);
    if (m_child < 0) return true;
    int status = 0;
    while (waitpid(m_child, &status, 0) < 0) {
        if (errno != EINTR) {
            *error = std::string("lost ffmpeg: ") + std::strerror(errno);
            m_child = -1;
            return false;
        }
    }
    m_child = -1;
    if (m_reader.joinable()) m_reader.join();
    if (WIFEXITED(status) && WEXITSTATUS(status) == 0) return true;
    const std::string how = WIFEXITED(status) ? "exit status " + std::to_string(WEXITSTATUS(status))
                                              : std::string("signal ") + strsignal(WTERMSIG(status));
    const std::string said = LastLines();
    *error = "ffmpeg failed (" + how + ")" + (said.empty() ? std::string() : ":\n" + said);
    return false;
}

bool CVideoEncoder::Finish(std::string* error) {
    if (!Wait(error)) {
        Abandon();
        return false;
    }
    const std::string keptAsItWas = "; " + m_settings.file + " is left as it was";
    // The reader has ended with ffmpeg: the messages are all in.
    const std::string failedWrites = FailedWritesIn(m_messages);
    if (!failedWrites.empty()) {
        *error = "ffmpeg could not write the video" + keptAsItWas + ":\n" + failedWrites;
        Abandon();
        return false;
    }
    SMadeVideo made;
    made.frames = m_framesWritten;
    made.seconds = static_cast<double>(m_framesWritten) / FramesPerSecond(m_settings.rate);
    made.sound = !m_settings.audio.empty();
    if (!VideoReadsBackWhole(m_partial, made, error)) {
        *error += keptAsItWas;
        Abandon();
        return false;
    }
    const bool published = PublishFile(m_partial, m_settings.file, error);
    m_partial.clear();
    return published;
}

void CVideoEncoder::Abandon() {
    if (m_child >= 0) kill(m_child, SIGTERM);
    std::string ignored;
    Wait(&ignored);
    if (m_reader.joinable()) m_reader.join();
    if (!m_partial.empty()) {
        std::error_code removed;
        std::filesystem::remove(m_partial, removed);
        m_partial.clear();
    }
}
