// quellbrook: plays the timeline in a window, or renders it headless to
// files (--capture) or for timing (--benchmark).
#include <cstdio>
#include <string>

#include "shell/offline/benchmark.h"
#include "shell/offline/capture.h"
#include "shell/command_line.h"
#include "shell/win_main.h"

int main(int argc, char** argv) {
    SOptions options;
    std::string error;
    if (!ParseCommandLine(argc, argv, &options, &error)) {
        std::fprintf(stderr, "quellbrook: %s\n%s", error.c_str(), UsageText());
        return 2;
    }
    switch (options.mode) {
        case ERunMode::kHelp:
            std::printf("%s\n%s", UsageText(), HelpText());
            return 0;
        case ERunMode::kCapture:
            return RunCapture(options);
        case ERunMode::kBenchmark:
            return RunBenchmark(options);
        case ERunMode::kInteractive:
            break;
    }
    // Only returns when the window could not be made; a finished run ends
    // the process in ExitDemo.
    return WinMain(options.windowed) == 0 ? 0 : 1;
}
