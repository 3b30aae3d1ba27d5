#include "shell/offline/video_encoder.h"

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <vector>

extern char** environ;

bool ProgramInstalled(const char* program) {
    const char* path = std::getenv("PATH");
    if (!path) return false;
    std::string dirs(path);
    size_t start = 0;
    while (start <= dirs.size()) {
        size_t end = dirs.find(':', start);
        if (end == std::string::npos) end = dirs.size();
        const std::string dir = end > start ? dirs.substr(start, end - start) : ".";
        if (access((dir + "/" + program).c_str(), X_OK) == 0) return true;
        start = end + 1;
    }
    return false;
}

bool EncodeVideo(const std::string& captureDir, int fps, const std::string& videoFile, std::string* error) {
    const std::string rate = std::to_string(fps);
    const std::string frames = captureDir + "/%06d.png";
    const std::string audio = captureDir + "/audio.wav";
    // Arguments go to ffmpeg as they are, with no shell in between, so any
    // file name is safe. yuv420p is what players expect from H.264.
    std::vector<std::string> args = {"ffmpeg", "-hide_banner", "-loglevel", "error", "-y",
                                     "-framerate", rate, "-i", frames, "-i", audio,
                                     "-pix_fmt", "yuv420p", videoFile};
    std::vector<char*> argv;
    for (std::string& arg : args) argv.push_back(arg.data());
    argv.push_back(nullptr);

    pid_t child = 0;
    const int spawned = posix_spawnp(&child, "ffmpeg", nullptr, nullptr, argv.data(), environ);
    if (spawned != 0) {
        *error = std::string("cannot run ffmpeg: ") + std::strerror(spawned);
        return false;
    }
    int status = 0;
    while (waitpid(child, &status, 0) < 0) {
        if (errno != EINTR) {
            *error = std::string("lost ffmpeg: ") + std::strerror(errno);
            return false;
        }
    }
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        *error = "ffmpeg failed to write " + videoFile;
        return false;
    }
    return true;
}
