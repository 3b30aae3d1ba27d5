// The program's options: the interactive run (the default), capture to files
// and the benchmark.
#pragma once

#include <cstdint>
#include <string>

enum class ERunMode { kInteractive, kCapture, kBenchmark, kCheck, kHelp, kVersion };

struct SOptions {
    ERunMode mode = ERunMode::kInteractive;
    bool windowed = false;
    std::string captureDir;
    std::string videoFile;  // empty: no video
    int fps = 60;
    int64_t maxFrames = -1;  // -1: until the timeline ends
    double start = 0.0;      // --start: seconds of the timeline before the first frame shown
    double end = -1.0;       // --end: seconds at which the run stops; -1: the timeline's end
    bool author = false;     // --author: the interactive run for timeline authors
    std::string directory;   // -C: where the presentation is; empty: here
};

// False, with the reason in *error, for unknown options, missing or bad
// values and options that do not go together.
bool ParseCommandLine(int argc, const char* const* argv, SOptions* options, std::string* error);

// One line per form of the command.
const char* UsageText();
// The usage and what every option does.
const char* HelpText();
