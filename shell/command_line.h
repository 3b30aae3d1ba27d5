// The program's options: the interactive run (the default), capture to files
// (frames, a video or both), the benchmark, and the questions a farm of
// renderers asks (how many frames a run has, its sound alone).
#pragma once

#include <cstdint>
#include <string>

#include "shell/frame_rate.h"
#include "shell/frame_size.h"
#include "shell/renderer_choice.h"

// kCapture: --capture DIR, --video FILE or both. kFrameCount prints how many
// frames the run would make; kSound writes its sound without drawing.
enum class ERunMode { kInteractive, kCapture, kBenchmark, kCheck, kFrameCount, kSound, kHelp, kVersion };

// kH264: H.264 and AAC, which every player plays; kLossless: FFV1 and FLAC
// in Matroska, for archiving.
enum class EVideoCodec { kH264, kLossless };

struct SOptions {
    ERunMode mode = ERunMode::kInteractive;
    bool windowed = false;
    std::string captureDir;  // empty: no PNG frames
    std::string videoFile;   // empty: no video
    std::string soundFile;   // --sound: the run's sound alone, as a WAV file
    bool noSound = false;    // --no-sound: a video without a sound track
    EVideoCodec videoCodec = EVideoCodec::kH264;
    bool overwrite = false;  // replace earlier frames or an existing video
    SFrameRate fps;
    int64_t maxFrames = -1;  // -1: until the timeline ends
    double start = 0.0;      // --start: seconds of the timeline before the first frame shown
    int64_t startFrame = -1; // --start-frame: the first frame shown by number; -1: from --start
    double end = -1.0;       // --end: seconds at which the run stops; -1: the timeline's end
    bool author = false;     // --author: the interactive run for timeline authors
    double bpm = 0.0;        // --bpm: author mode's ruler in bars and beats; 0: in seconds
    double beatOffset = 0.0; // --beat-offset: seconds of the first beat
    std::string shotDirectory = ".";  // where F12 writes: the directory the program was started in
    std::string directory;   // -C: where the presentation is; empty: here
    bool perEffect = false;  // the benchmark times each effect instead of whole frames
    ERenderer renderer = ERenderer::kAuto;
    int threads = 0;  // CPU backend workers; 0: one per core
    // --size: the frame (window, captured frame, video); nativeSize: the
    // display's or the window's own.
    int width = kDefaultFrameWidth;
    int height = kDefaultFrameHeight;
    bool nativeSize = false;
    int supersample = 1;  // --supersample: drawn this many times larger, filtered down
};

// False, with the reason in *error, for unknown options, missing or bad
// values and options that do not go together.
bool ParseCommandLine(int argc, const char* const* argv, SOptions* options, std::string* error);

// One line per form of the command.
const char* UsageText();
// The usage and what every option does.
const char* HelpText();
