#include "shell/command_line.h"

#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "shell/run_span.h"

namespace {

constexpr int kMaxThreads = 64;
// The last frame of the longest run --start allows (a day) at the highest rate.
constexpr int64_t kMaxStartFrame = 86400LL * 1000;

// Every option the program knows, GNU style: "--name VALUE", "--name=VALUE",
// and for those with a letter "-X VALUE" or "-XVALUE"; "--" ends the options.
enum class EOption {
    kHelp,
    kVersion,
    kWindowed,
    kCapture,
    kVideo,
    kVideoCodec,
    kOverwrite,
    kBenchmark,
    kPerEffect,
    kCheck,
    kFps,
    kFrames,
    kStart,
    kStartFrame,
    kEnd,
    kFrameCount,
    kSound,
    kNoSound,
    kAuthor,
    kBpm,
    kBeatOffset,
    kDirectory,
    kRenderer,
    kThreads,
    kSize,
    kSupersample
};

struct SOptionSpec {
    const char* name;
    char letter;        // 0: long form only
    const char* value;  // what the value is, for messages; null: takes none
    EOption option;
};

constexpr SOptionSpec kOptions[] = {
    {"help", 'h', nullptr, EOption::kHelp},
    {"version", 0, nullptr, EOption::kVersion},
    {"windowed", 0, nullptr, EOption::kWindowed},
    {"capture", 0, "a directory", EOption::kCapture},
    {"video", 0, "a file name", EOption::kVideo},
    {"video-codec", 0, "h264 or lossless", EOption::kVideoCodec},
    {"overwrite", 0, nullptr, EOption::kOverwrite},
    {"benchmark", 0, nullptr, EOption::kBenchmark},
    {"per-effect", 0, nullptr, EOption::kPerEffect},
    {"check", 0, nullptr, EOption::kCheck},
    {"fps", 0, "a frame rate", EOption::kFps},
    {"frames", 0, "a number", EOption::kFrames},
    {"start", 0, "a time in seconds", EOption::kStart},
    {"start-frame", 0, "a frame number", EOption::kStartFrame},
    {"end", 0, "a time in seconds", EOption::kEnd},
    {"frame-count", 0, nullptr, EOption::kFrameCount},
    {"sound", 0, "a file name", EOption::kSound},
    {"no-sound", 0, nullptr, EOption::kNoSound},
    {"author", 0, nullptr, EOption::kAuthor},
    {"bpm", 0, "a tempo in beats a minute", EOption::kBpm},
    {"beat-offset", 0, "a time in seconds", EOption::kBeatOffset},
    {"directory", 'C', "a directory", EOption::kDirectory},
    {"renderer", 0, "auto, gpu or cpu", EOption::kRenderer},
    {"threads", 0, "a number", EOption::kThreads},
    {"size", 0, "a size such as 1920x1080, or native", EOption::kSize},
    {"supersample", 0, "2, 3 or 4", EOption::kSupersample},
};

bool ParseCount(const char* text, int64_t low, int64_t high, int64_t* value) {
    if (!text || !*text) return false;
    char* end = nullptr;
    errno = 0;
    const long long parsed = std::strtoll(text, &end, 10);
    if (errno != 0 || *end != '\0' || parsed < low || parsed > high) return false;
    *value = parsed;
    return true;
}

// A time in seconds: a plain decimal number from 0 to about a day.
bool ParseSeconds(const char* text, double* value) {
    constexpr double kMaxSeconds = 86400.0;
    if (!text || !*text) return false;
    int dots = 0;
    for (const char* c = text; *c; ++c) {
        if (*c == '.') ++dots;
        else if (!std::isdigit(static_cast<unsigned char>(*c))) return false;
    }
    if (dots > 1 || std::strcmp(text, ".") == 0) return false;
    char* end = nullptr;
    errno = 0;
    const double parsed = std::strtod(text, &end);
    if (errno != 0 || *end != '\0' || !(parsed >= 0.0 && parsed <= kMaxSeconds)) return false;
    *value = parsed;
    return true;
}

// "WxH" within the sizes a frame may have.
bool ParseSize(const char* text, int* width, int* height) {
    const char* x = std::strchr(text, 'x');
    if (!x) return false;
    int64_t w = 0, h = 0;
    if (!ParseCount(std::string(text, x).c_str(), kMinFrameWidth, kMaxFrameWidth, &w) ||
        !ParseCount(x + 1, kMinFrameHeight, kMaxFrameHeight, &h)) {
        return false;
    }
    *width = static_cast<int>(w);
    *height = static_cast<int>(h);
    return true;
}

const SOptionSpec* FindLong(const std::string& name) {
    for (const SOptionSpec& entry : kOptions)
        if (name == entry.name) return &entry;
    return nullptr;
}

const SOptionSpec* FindLetter(char letter) {
    for (const SOptionSpec& entry : kOptions)
        if (entry.letter != 0 && entry.letter == letter) return &entry;
    return nullptr;
}

// What the options say, before the checks of what goes together.
struct SParsed {
    SOptions options;
    bool help = false;
    bool version = false;
    bool capture = false;
    bool benchmark = false;
    bool check = false;
    bool frameCount = false;
    bool codecGiven = false;
    bool fpsGiven = false;
    bool framesGiven = false;
    bool startGiven = false;
    bool startFrameGiven = false;
    bool endGiven = false;
    bool beatOffsetGiven = false;
};

bool Apply(const SOptionSpec& entry, const std::string& shown, const char* value, SParsed* parsed,
           std::string* error) {
    SOptions& options = parsed->options;
    switch (entry.option) {
        case EOption::kHelp:
            parsed->help = true;
            return true;
        case EOption::kVersion:
            parsed->version = true;
            return true;
        case EOption::kWindowed:
            options.windowed = true;
            return true;
        case EOption::kBenchmark:
            parsed->benchmark = true;
            return true;
        case EOption::kPerEffect:
            options.perEffect = true;
            return true;
        case EOption::kCheck:
            parsed->check = true;
            return true;
        case EOption::kFrameCount:
            parsed->frameCount = true;
            return true;
        case EOption::kSound:
            options.soundFile = value;
            return true;
        case EOption::kNoSound:
            options.noSound = true;
            return true;
        case EOption::kStartFrame:
            if (!ParseCount(value, 0, kMaxStartFrame, &options.startFrame)) {
                *error = shown + " needs a frame number from 0 to " + std::to_string(kMaxStartFrame) + ", not '" +
                         value + "'";
                return false;
            }
            parsed->startFrameGiven = true;
            return true;
        case EOption::kCapture:
            parsed->capture = true;
            options.captureDir = value;
            return true;
        case EOption::kVideo:
            options.videoFile = value;
            return true;
        case EOption::kVideoCodec:
            if (std::strcmp(value, "h264") == 0) {
                options.videoCodec = EVideoCodec::kH264;
            } else if (std::strcmp(value, "lossless") == 0) {
                options.videoCodec = EVideoCodec::kLossless;
            } else {
                *error = shown + " needs h264 or lossless, not '" + value + "'";
                return false;
            }
            parsed->codecGiven = true;
            return true;
        case EOption::kOverwrite:
            options.overwrite = true;
            return true;
        case EOption::kDirectory:
            options.directory = value;
            return true;
        case EOption::kFps:
            if (!ParseFrameRate(value, &options.fps)) {
                *error = shown + " needs a rate from 1 to 1000 such as 60, 60000/1001 or 29.97, not '" + value + "'";
                return false;
            }
            parsed->fpsGiven = true;
            return true;
        case EOption::kRenderer: {
            const std::string name = value;
            if (name == "auto") {
                options.renderer = ERenderer::kAuto;
            } else if (name == "gpu") {
                options.renderer = ERenderer::kGpu;
            } else if (name == "cpu") {
                options.renderer = ERenderer::kCpu;
            } else {
                *error = shown + " needs auto, gpu or cpu, not '" + name + "'";
                return false;
            }
            return true;
        }
        case EOption::kThreads: {
            int64_t threads = 0;
            if (!ParseCount(value, 1, kMaxThreads, &threads)) {
                *error = shown + " needs a whole number from 1 to 64, not '" + value + "'";
                return false;
            }
            options.threads = static_cast<int>(threads);
            return true;
        }
        case EOption::kStart:
        case EOption::kEnd: {
            double seconds = 0.0;
            if (!ParseSeconds(value, &seconds)) {
                *error = shown + " needs a time in seconds from 0 to 86400, such as 12.5, not '" + value + "'";
                return false;
            }
            (entry.option == EOption::kStart ? options.start : options.end) = seconds;
            (entry.option == EOption::kStart ? parsed->startGiven : parsed->endGiven) = true;
            return true;
        }
        case EOption::kAuthor:
            options.author = true;
            return true;
        case EOption::kSize:
            if (std::strcmp(value, "native") == 0) {
                options.nativeSize = true;
                return true;
            }
            options.nativeSize = false;
            if (!ParseSize(value, &options.width, &options.height)) {
                *error = shown + " needs WIDTHxHEIGHT from 320x240 to 7680x4320, or native, not '" + value + "'";
                return false;
            }
            return true;
        case EOption::kSupersample: {
            int64_t factor = 0;
            if (!ParseCount(value, 2, 4, &factor)) {
                *error = shown + " needs 2, 3 or 4, not '" + value + "'";
                return false;
            }
            options.supersample = static_cast<int>(factor);
            return true;
        }
        case EOption::kBpm:
            if (!ParseSeconds(value, &options.bpm) || options.bpm < 1.0 || options.bpm > 999.0) {
                *error = shown + " needs a tempo from 1 to 999 beats a minute, such as 120 or 92.5, not '" + value + "'";
                return false;
            }
            return true;
        case EOption::kBeatOffset:
            if (!ParseSeconds(value, &options.beatOffset)) {
                *error = shown + " needs a time in seconds from 0 to 86400, such as 0.25, not '" + value + "'";
                return false;
            }
            parsed->beatOffsetGiven = true;
            return true;
        case EOption::kFrames:
            if (!ParseCount(value, 1, INT64_MAX, &options.maxFrames)) {
                *error = shown + " needs a whole number of at least 1, not '" + value + "'";
                return false;
            }
            parsed->framesGiven = true;
            return true;
    }
    return false;
}

// Reads argv into *parsed; false, with the reason, at the first argument
// that is not a known option with a value where it needs one.
bool ReadArguments(int argc, const char* const* argv, SParsed* parsed, std::string* error) {
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--") {
            if (i + 1 < argc) {
                *error = std::string("unexpected argument '") + argv[i + 1] + "'";
                return false;
            }
            return true;
        }
        const SOptionSpec* entry = nullptr;
        std::string shown;
        const char* inlineValue = nullptr;  // the value given in the same argument
        if (arg.compare(0, 2, "--") == 0) {
            const size_t equals = arg.find('=');
            shown = arg.substr(0, equals);
            entry = FindLong(shown.substr(2));
            if (equals != std::string::npos) inlineValue = argv[i] + equals + 1;
        } else if (arg.size() >= 2 && arg[0] == '-') {
            shown = arg.substr(0, 2);
            entry = FindLetter(arg[1]);
            if (arg.size() > 2) inlineValue = argv[i] + 2;
        } else {
            *error = "unexpected argument '" + arg + "'";
            return false;
        }
        if (!entry) {
            *error = "unknown option '" + shown + "'";
            return false;
        }
        const char* value = nullptr;
        if (entry->value) {
            value = inlineValue;
            if (!value && i + 1 < argc) value = argv[++i];
            if (!value || !*value) {
                *error = shown + " needs " + entry->value;
                return false;
            }
        } else if (inlineValue) {
            *error = shown + " takes no value";
            return false;
        }
        if (!Apply(*entry, shown, value, parsed, error)) return false;
    }
    return true;
}

}  // namespace

const char* UsageText() {
    return "usage: quellbrook [-C DIR] [--renderer R] [--threads N] [--windowed]\n"
           "                  [--size WxH|native] [--supersample N] [--fps N] [--start S] [--end S]\n"
           "       quellbrook [-C DIR] [--renderer R] [--threads N] [--windowed] --author\n"
           "                  [--size WxH|native] [--supersample N] [--fps N] [--start S]\n"
           "                  [--bpm N [--beat-offset S]]\n"
           "       quellbrook [-C DIR] [--renderer R] [--threads N] --capture DIR [--video FILE]\n"
           "                  [--size WxH] [--supersample N] [--fps N] [--frames N] [--start S]\n"
           "                  [--end S] [--overwrite]\n"
           "       quellbrook [-C DIR] [--renderer R] [--threads N] --video FILE [--video-codec C]\n"
           "                  [--no-sound] [--size WxH] [--supersample N] [--fps N] [--frames N]\n"
           "                  [--start S] [--end S] [--overwrite]\n"
           "       quellbrook [-C DIR] [--renderer R] [--threads N] --benchmark [--per-effect]\n"
           "                  [--size WxH] [--supersample N] [--fps N] [--frames N] [--start S]\n"
           "                  [--end S]\n"
           "       quellbrook [-C DIR] --frame-count [--fps N] [--frames N] [--start S] [--end S]\n"
           "       quellbrook [-C DIR] --sound FILE [--fps N] [--frames N] [--start S] [--end S]\n"
           "                  [--overwrite]\n"
           "       quellbrook [-C DIR] --check\n"
           "       quellbrook --help | --version\n"
           "  (--start-frame N may stand for --start S in every form but the first)\n";
}

const char* HelpText() {
    return "Plays the timeline \"script.txt\" with the music \"Data/song.mp3\" from the\n"
           "working directory (or DIR with -C). Any key ends the run early.\n"
           "Options take their value as \"--fps 30\" or \"--fps=30\"; \"--\" ends them.\n"
           "\n"
           "  --windowed        run in a window (1024 x 768, or --size) instead of full screen\n"
           "  --capture DIR     render without a window or sound device, at a fixed frame\n"
           "                    rate: every frame to DIR/000000.png, DIR/000001.png, ...\n"
           "                    and the music to DIR/audio.wav\n"
           "  --video FILE      render the same way into a video made by ffmpeg while it\n"
           "                    runs (FILE.mp4 when FILE has no extension); with or\n"
           "                    without --capture\n"
           "  --video-codec C   h264 (default): H.264 and AAC in the container FILE's\n"
           "                    extension names; lossless: FFV1 and FLAC in .mkv\n"
           "  --no-sound        with --video: a video without a sound track\n"
           "  --sound FILE      write only the run's sound, without drawing: the WAV file\n"
           "                    --capture would write as audio.wav for the same options\n"
           "  --frame-count     print how many frames the run would make for the options\n"
           "                    given (--fps, --start, --end, --frames), without drawing\n"
           "  --overwrite       replace the frames and audio.wav of an earlier capture in\n"
           "                    DIR, or an existing video or --sound FILE (never while\n"
           "                    another run writes there)\n"
           "  --benchmark       render at a fixed frame rate as fast as possible and report\n"
           "                    the time per frame (mean, p50, p99, max), from whole\n"
           "                    frames with one drain of the renderer each\n"
           "  --per-effect      with --benchmark: instead, time each effect's drawing,\n"
           "                    draining the renderer around every effect (a run of its\n"
           "                    own, since the drains slow the frames down)\n"
           "  --fps N           frames per second of timeline time (default 60); a ratio\n"
           "                    such as 60000/1001 or a decimal such as 29.97 works too\n"
           "  --frames N        stop after N frames (default: at the timeline's end)\n"
           "  --start S         begin at S seconds of the timeline: the time before it is\n"
           "                    run at the fixed step of --fps without being shown, so\n"
           "                    the first frame is exactly frame S x fps of a run from 0\n"
           "                    (frames are numbered from 000000 all the same)\n"
           "  --start-frame N   begin at frame N of a run from 0, the way --start does,\n"
           "                    for the runs at a fixed rate; not with --start\n"
           "  --end S           stop at S seconds of the timeline\n"
           "  --author          play in a window for writing the timeline: a fixed step\n"
           "                    paced by the music, the last frame held at the end, and\n"
           "                    the keys below; script.txt and the pictures are reloaded\n"
           "                    whenever they are saved (one that would show nothing, or\n"
           "                    cannot be read, is not played and the title says why)\n"
           "  --bpm N           with --author: the panel's ruler in bars of 4 beats at N\n"
           "                    beats a minute instead of seconds\n"
           "  --beat-offset S   with --bpm: the first beat falls S seconds in (default 0)\n"
           "  --check           say which timeline lines will not do what they seem to, and\n"
           "                    which pictures or song cannot be used; status 1 if any\n"
           "  -C, --directory DIR\n"
           "                    play the presentation in DIR (its script.txt and Data/);\n"
           "                    paths given on the command line still mean the directory\n"
           "                    the program was started in\n"
           "  --renderer auto|gpu|cpu\n"
           "                    what draws: gpu is OpenGL 3.3 core, cpu the program's own\n"
           "                    rasteriser on every core; auto (the default) takes OpenGL\n"
           "                    on a hardware driver and cpu when OpenGL is a software\n"
           "                    renderer (llvmpipe, softpipe, swrast) or missing\n"
           "  --threads N       with the cpu renderer: draw on N threads (default: one per\n"
           "                    core)\n"
           "  --size WxH        the frame: the window, each captured frame and the video are\n"
           "                    W x H (320x240 to 7680x4320; default 1024x768); the picture\n"
           "                    is the largest 4:3 rectangle of 4k x 3k pixels that fits,\n"
           "                    centred, black around it; native: the display's size full\n"
           "                    screen, the window's own in a window\n"
           "  --supersample N   draw every frame N times larger each way (2, 3 or 4) and\n"
           "                    filter it down, N x N pixels to one, before it is shown,\n"
           "                    captured or encoded: smooth edges\n"
           "  --version         print the program's version\n"
           "  -h, --help        show this text\n"
           "\n"
           "Keys with --author (other keys do nothing; without --author any key ends the\n"
           "run):\n"
           "  Space             pause or resume picture and music\n"
           "  Left, Right       one second back or on; with Shift ten seconds\n"
           "  ,  .              one frame back or on, paused\n"
           "  Page Up, Down     the moment of the previous or next event\n"
           "  Home              back to 0\n"
           "  [ and ]           set the loop's start or end at the moment shown\n"
           "  L                 loop between them, or stop looping\n"
           "  M                 mute or unmute the music\n"
           "  -  =              slower (1/2, then 1/4 of the speed, muted), or faster\n"
           "                    again\n"
           "  Tab               show or hide the panel: the timeline strip (click or drag\n"
           "                    on it to go there), the lines in force, the problems and\n"
           "                    the frame times; it is never in a picture written\n"
           "  F12               write the frame shown, as --capture would, to\n"
           "                    shot-MMSS.mmm.png in the directory the program started in\n"
           "  R                 reload script.txt and the pictures under Data/\n"
           "  Escape            quit (closing the window does too)\n";
}

bool ParseCommandLine(int argc, const char* const* argv, SOptions* options, std::string* error) {
    SParsed parsed;
    if (!ReadArguments(argc, argv, &parsed, error)) return false;
    SOptions& result = parsed.options;
    if (parsed.help || parsed.version) {
        *options = SOptions();
        options->mode = parsed.help ? ERunMode::kHelp : ERunMode::kVersion;
        return true;
    }
    const bool capture = parsed.capture || !result.videoFile.empty();
    const bool sound = !result.soundFile.empty();
    // The runs at a fixed rate, by the option that asks for each.
    std::vector<std::string> modes;
    if (capture) modes.push_back(parsed.capture ? "--capture" : "--video");
    if (parsed.benchmark) modes.push_back("--benchmark");
    if (parsed.frameCount) modes.push_back("--frame-count");
    if (sound) modes.push_back("--sound");
    const bool fixedRate = !modes.empty();
    const bool startGiven = result.start > 0.0 || parsed.startFrameGiven;
    if (parsed.check && (fixedRate || result.windowed)) {
        *error = "--check cannot be used with " + (fixedRate ? modes[0] : std::string("--windowed"));
        return false;
    }
    if (parsed.check && (result.author || startGiven || parsed.endGiven)) {
        *error = "--check cannot be used with --author, --start or --end";
        return false;
    }
    if (modes.size() > 1) {
        *error = modes[1] + " cannot be used with " + modes[0];
        return false;
    }
    if (parsed.codecGiven && result.videoFile.empty()) {
        *error = "--video-codec needs --video";
        return false;
    }
    if (result.noSound && result.videoFile.empty()) {
        *error = "--no-sound needs --video";
        return false;
    }
    if (result.perEffect && !parsed.benchmark) {
        *error = "--per-effect needs --benchmark";
        return false;
    }
    if (result.overwrite && !capture && !sound) {
        *error = "--overwrite needs --capture, --video or --sound";
        return false;
    }
    if (parsed.framesGiven && !fixedRate) {
        *error = "--frames needs --capture, --video, --benchmark, --frame-count or --sound";
        return false;
    }
    if (parsed.startFrameGiven && !fixedRate) {
        *error = "--start-frame needs --capture, --video, --benchmark, --frame-count or --sound";
        return false;
    }
    if (parsed.startFrameGiven && parsed.startGiven) {
        *error = "--start-frame cannot be used with --start";
        return false;
    }
    if (parsed.fpsGiven && !fixedRate && !result.author && !startGiven) {
        *error = "--fps needs --capture, --video, --benchmark, --start or --author";
        return false;
    }
    // The window's fixed step counts whole frames a second.
    if (!fixedRate && result.fps.den != 1) {
        *error = "--fps for the window needs a whole number of frames a second";
        return false;
    }
    if (result.author && fixedRate) {
        *error = "--author is only for the interactive run";
        return false;
    }
    if (result.bpm > 0.0 && !result.author) {
        *error = "--bpm is for --author, whose panel it gives a ruler in bars and beats";
        return false;
    }
    if (parsed.beatOffsetGiven && result.bpm <= 0.0) {
        *error = "--beat-offset needs --bpm";
        return false;
    }
    if (parsed.endGiven && result.author) {
        *error = "--end is not for --author, which holds the last frame at the timeline's end";
        return false;
    }
    if (parsed.endGiven && result.end <= result.start) {
        *error = "--end must come after --start";
        return false;
    }
    if (parsed.endGiven && parsed.startFrameGiven && FrameAtSeconds(result.end, result.fps) <= result.startFrame) {
        *error = "--end must come after --start-frame";
        return false;
    }
    if (result.windowed && fixedRate) {
        *error = "--windowed is only for the interactive run";
        return false;
    }
    if (parsed.check && (result.nativeSize || result.width != kDefaultFrameWidth ||
                         result.height != kDefaultFrameHeight || result.supersample != 1)) {
        *error = "--check draws nothing: --size and --supersample are not for it";
        return false;
    }
    if (result.nativeSize && fixedRate) {
        *error = "--size native is for the window and full screen; name a size such as 3840x2160";
        return false;
    }
    if (!result.nativeSize && !CheckDrawnSize(FrameSizeFor(result.width, result.height, result.supersample), error)) {
        return false;
    }
    // H.264 in 4:2:0 keeps one colour sample for every 2 x 2 pixels.
    if (!result.videoFile.empty() && result.videoCodec == EVideoCodec::kH264 &&
        (result.width % 2 != 0 || result.height % 2 != 0)) {
        *error = "--video with H.264 needs an even width and height (yuv420p halves the colour both ways), not " +
                 SizeText(result.width, result.height) + "; --video-codec lossless takes any size";
        return false;
    }
    result.mode = parsed.check        ? ERunMode::kCheck
                  : capture           ? ERunMode::kCapture
                  : parsed.benchmark  ? ERunMode::kBenchmark
                  : parsed.frameCount ? ERunMode::kFrameCount
                  : sound             ? ERunMode::kSound
                                      : ERunMode::kInteractive;
    *options = result;
    return true;
}
