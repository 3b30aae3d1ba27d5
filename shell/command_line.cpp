#include "shell/command_line.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace {

constexpr int kMaxFps = 1000;

bool ParseCount(const char* text, int64_t low, int64_t high, int64_t* value) {
    if (!text || !*text) return false;
    char* end = nullptr;
    errno = 0;
    const long long parsed = std::strtoll(text, &end, 10);
    if (errno != 0 || *end != '\0' || parsed < low || parsed > high) return false;
    *value = parsed;
    return true;
}

}  // namespace

const char* UsageText() {
    return "usage: quellbrook [--windowed]\n"
           "       quellbrook --capture DIR [--fps N] [--frames N] [--video FILE]\n"
           "       quellbrook --benchmark [--per-effect] [--fps N] [--frames N]\n";
}

const char* HelpText() {
    return "Plays the timeline \"script.txt\" with the music \"Data/song.mp3\" from the\n"
           "working directory. Any key ends the run early.\n"
           "\n"
           "  --windowed        run in a 1024 x 768 window instead of full screen\n"
           "  --capture DIR     render without a window or sound device, at a fixed frame\n"
           "                    rate: every frame to DIR/000000.png, DIR/000001.png, ...\n"
           "                    and the music to DIR/audio.wav\n"
           "  --video FILE      with --capture: also encode the frames and the music into\n"
           "                    FILE with ffmpeg\n"
           "  --benchmark       render at a fixed frame rate as fast as possible and report\n"
           "                    the time per frame (mean, p50, p99, max), from whole\n"
           "                    frames with one drain of the renderer each\n"
           "  --per-effect      with --benchmark: instead, time each effect's drawing,\n"
           "                    draining the renderer around every effect (a run of its\n"
           "                    own, since the drains slow the frames down)\n"
           "  --fps N           frames per second of timeline time (default 60)\n"
           "  --frames N        stop after N frames (default: at the timeline's end)\n"
           "  --help            show this text\n";
}

bool ParseCommandLine(int argc, const char* const* argv, SOptions* options, std::string* error) {
    SOptions parsed;
    bool capture = false;
    bool benchmark = false;
    bool fpsGiven = false;
    bool framesGiven = false;
    for (int i = 1; i < argc; ++i) {
        const char* arg = argv[i];
        const char* value = i + 1 < argc ? argv[i + 1] : nullptr;
        auto needValue = [&](const char* what) {
            if (value) return true;
            *error = std::string(arg) + " needs " + what;
            return false;
        };
        if (std::strcmp(arg, "--help") == 0 || std::strcmp(arg, "-h") == 0) {
            *options = SOptions();
            options->mode = ERunMode::kHelp;
            return true;
        } else if (std::strcmp(arg, "--windowed") == 0) {
            parsed.windowed = true;
        } else if (std::strcmp(arg, "--benchmark") == 0) {
            benchmark = true;
        } else if (std::strcmp(arg, "--per-effect") == 0) {
            parsed.perEffect = true;
        } else if (std::strcmp(arg, "--capture") == 0) {
            if (!needValue("a directory")) return false;
            capture = true;
            parsed.captureDir = value;
            ++i;
        } else if (std::strcmp(arg, "--video") == 0) {
            if (!needValue("a file name")) return false;
            parsed.videoFile = value;
            ++i;
        } else if (std::strcmp(arg, "--fps") == 0) {
            int64_t fps = 0;
            if (!needValue("a number")) return false;
            if (!ParseCount(value, 1, kMaxFps, &fps)) {
                *error = std::string("--fps needs a whole number from 1 to 1000, not '") + value + "'";
                return false;
            }
            parsed.fps = static_cast<int>(fps);
            fpsGiven = true;
            ++i;
        } else if (std::strcmp(arg, "--frames") == 0) {
            if (!needValue("a number")) return false;
            if (!ParseCount(value, 1, INT64_MAX, &parsed.maxFrames)) {
                *error = std::string("--frames needs a whole number of at least 1, not '") + value + "'";
                return false;
            }
            framesGiven = true;
            ++i;
        } else {
            *error = std::string("unknown option '") + arg + "'";
            return false;
        }
    }

    if (capture && benchmark) {
        *error = "--capture and --benchmark cannot be used together";
        return false;
    }
    if (!parsed.videoFile.empty() && !capture) {
        *error = "--video needs --capture";
        return false;
    }
    if (parsed.perEffect && !benchmark) {
        *error = "--per-effect needs --benchmark";
        return false;
    }
    if ((fpsGiven || framesGiven) && !capture && !benchmark) {
        *error = "--fps and --frames need --capture or --benchmark";
        return false;
    }
    if (parsed.windowed && (capture || benchmark)) {
        *error = "--windowed is only for the interactive run";
        return false;
    }
    parsed.mode = capture ? ERunMode::kCapture : benchmark ? ERunMode::kBenchmark : ERunMode::kInteractive;
    *options = parsed;
    return true;
}
