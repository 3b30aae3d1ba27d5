#include "shell/offline/video_check.h"

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <sstream>
#include <vector>

extern char** environ;

namespace {

// What ffmpeg says when a write to its output fails.
constexpr const char* kWriteFailures[] = {"Error writing", "Error closing", "av_interleaved_write_frame()",
                                          "Error muxing", "No space left on device", "Input/output error",
                                          "Disk quota exceeded", "File too large"};

// The sound is padded or cut to the frames to within an audio frame; the
// encoder's priming and its last frame add a little more.
constexpr double kSoundSlackSeconds = 0.1;

struct SProgramOutput {
    int status = -1;  // the exit status, -1 when it did not exit
    std::string out;
    std::string err;
};

// Runs `args` to its end, keeping what it writes on standard output and
// standard error. False, with the reason, when it cannot be run.
bool RunProgram(const std::vector<std::string>& args, SProgramOutput* output, std::string* error) {
    std::vector<std::string> copies = args;
    std::vector<char*> argv;
    for (std::string& arg : copies) argv.push_back(arg.data());
    argv.push_back(nullptr);
    int out[2] = {-1, -1};
    int err[2] = {-1, -1};
    if (pipe2(out, O_CLOEXEC) != 0 || pipe2(err, O_CLOEXEC) != 0) {
        *error = std::string("cannot run ") + args[0] + ": " + std::strerror(errno);
        for (int fd : {out[0], out[1]}) {
            if (fd >= 0) close(fd);
        }
        return false;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, err[1], STDERR_FILENO);
    pid_t child = -1;
    const int spawned = posix_spawnp(&child, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(out[1]);
    close(err[1]);
    if (spawned != 0) {
        close(out[0]);
        close(err[0]);
        *error = std::string("cannot run ") + args[0] + ": " + std::strerror(spawned);
        return false;
    }
    pollfd fds[2] = {{out[0], POLLIN, 0}, {err[0], POLLIN, 0}};
    std::string* texts[2] = {&output->out, &output->err};
    for (int open = 2; open > 0;) {
        if (poll(fds, 2, -1) < 0) {
            if (errno == EINTR) continue;
            break;
        }
        for (int k = 0; k < 2; ++k) {
            if (fds[k].fd < 0 || fds[k].revents == 0) continue;
            char buffer[4096];
            const ssize_t got = read(fds[k].fd, buffer, sizeof buffer);
            if (got < 0 && errno == EINTR) continue;
            if (got > 0) {
                texts[k]->append(buffer, static_cast<size_t>(got));
                continue;
            }
            close(fds[k].fd);
            fds[k].fd = -1;
            --open;
        }
    }
    for (const pollfd& fd : fds) {
        if (fd.fd >= 0) close(fd.fd);
    }
    int status = 0;
    while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    output->status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return true;
}

struct SStream {
    std::string type;
    int64_t packets = -1;
    double seconds = -1.0;
};

// ffprobe's "[STREAM] key=value ... [/STREAM]" blocks. The duration comes
// from the stream, or from its tag where the container keeps it there
// (Matroska).
std::vector<SStream> ParseStreams(const std::string& text) {
    std::vector<SStream> streams;
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) {
        if (line == "[STREAM]") streams.emplace_back();
        const size_t equals = line.find('=');
        if (streams.empty() || equals == std::string::npos) continue;
        const std::string key = line.substr(0, equals);
        const std::string value = line.substr(equals + 1);
        SStream& stream = streams.back();
        int hours = 0, minutes = 0;
        double seconds = 0.0;
        if (key == "codec_type") {
            stream.type = value;
        } else if (key == "nb_read_packets" && value != "N/A") {
            stream.packets = std::strtoll(value.c_str(), nullptr, 10);
        } else if (key == "duration" && value != "N/A") {
            stream.seconds = std::strtod(value.c_str(), nullptr);
        } else if (key == "TAG:DURATION" && stream.seconds < 0 &&
                   std::sscanf(value.c_str(), "%d:%d:%lf", &hours, &minutes, &seconds) == 3) {
            stream.seconds = hours * 3600.0 + minutes * 60.0 + seconds;
        }
    }
    return streams;
}

std::string Seconds(double seconds) {
    char text[32];
    std::snprintf(text, sizeof text, "%.3f s", seconds);
    return text;
}

// What is wrong with the streams, or empty.
std::string StreamProblem(const std::vector<SStream>& streams, const SMadeVideo& made) {
    const SStream* video = nullptr;
    const SStream* sound = nullptr;
    for (const SStream& stream : streams) {
        if (stream.type == "video" && !video) video = &stream;
        if (stream.type == "audio" && !sound) sound = &stream;
    }
    if (!video) return "it holds no video stream";
    if (video->packets != made.frames) {
        return "it holds " + std::to_string(std::max<int64_t>(video->packets, 0)) + " of the " +
               std::to_string(made.frames) + " frames";
    }
    // Half a frame either way is the same frame count.
    const double halfFrame = made.frames > 0 ? made.seconds / static_cast<double>(made.frames) / 2 : 0.0;
    if (video->seconds < 0 || std::fabs(video->seconds - made.seconds) > halfFrame) {
        return "its pictures last " + (video->seconds < 0 ? std::string("an unknown time") : Seconds(video->seconds)) +
               ", not " + Seconds(made.seconds);
    }
    if (made.sound && !sound) return "it holds no sound";
    if (made.sound && (sound->seconds < 0 || std::fabs(sound->seconds - made.seconds) > kSoundSlackSeconds)) {
        return "its sound lasts " + (sound->seconds < 0 ? std::string("an unknown time") : Seconds(sound->seconds)) +
               ", not " + Seconds(made.seconds);
    }
    return {};
}

}  // namespace

std::string FailedWritesIn(const std::string& messages) {
    std::string failed;
    std::istringstream lines(messages);
    for (std::string line; std::getline(lines, line);) {
        for (const char* failure : kWriteFailures) {
            if (line.find(failure) == std::string::npos) continue;
            failed += (failed.empty() ? "" : "\n") + line;
            break;
        }
    }
    return failed;
}

bool VideoReadsBackWhole(const std::string& file, const SMadeVideo& made, std::string* error) {
    // Packets are counted without decoding them: one per frame, and quick
    // even for a long video. "file:" keeps any name a name.
    SProgramOutput probe;
    if (!RunProgram({"ffprobe", "-v", "error", "-count_packets", "-show_entries",
                     "stream=codec_type,nb_read_packets,duration:stream_tags=DURATION", "file:" + file},
                    &probe, error)) {
        return false;
    }
    std::string problem;
    if (probe.status != 0) {
        std::string said = probe.err;
        while (!said.empty() && (said.back() == '\n' || said.back() == '\r')) said.pop_back();
        problem = "ffprobe cannot read it" + (said.empty() ? std::string() : ": " + said);
    } else {
        problem = StreamProblem(ParseStreams(probe.out), made);
    }
    if (problem.empty()) return true;
    *error = "the video ffmpeg made does not read back whole: " + problem;
    return false;
}
