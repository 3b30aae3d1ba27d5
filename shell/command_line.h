// The program's options: the interactive run (the default), capture to files
// and the benchmark.
#pragma once

#include <cstdint>
#include <string>

#include "shell/renderer_choice.h"

enum class ERunMode { kInteractive, kCapture, kBenchmark, kCheck, kHelp, kVersion };

struct SOptions {
    ERunMode mode = ERunMode::kInteractive;
    bool windowed = false;
    std::string captureDir;
    std::string videoFile;  // empty: no video
    int fps = 60;
    int64_t maxFrames = -1;  // -1: until the timeline ends
    std::string directory;   // -C: where the presentation is; empty: here
    bool perEffect = false;  // the benchmark times each effect instead of whole frames
    ERenderer renderer = ERenderer::kAuto;
    int threads = 0;  // CPU backend workers; 0: one per core
};

// False, with the reason in *error, for unknown options, missing or bad
// values and options that do not go together.
bool ParseCommandLine(int argc, const char* const* argv, SOptions* options, std::string* error);

// One line per form of the command.
const char* UsageText();
// The usage and what every option does.
const char* HelpText();
