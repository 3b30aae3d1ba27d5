// quellbrook: plays the timeline in a window, or renders it headless to
// files (--capture, --video) or for timing (--benchmark), or checks it.
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstdio>
#include <cstring>
#include <string>

#include "resources/report.h"
#include "shell/check_run.h"
#include "shell/command_line.h"
#include "shell/offline/benchmark.h"
#include "shell/offline/capture.h"
#include "shell/offline/run_length.h"
#include "shell/offline/sound_run.h"
#include "shell/window_run.h"

namespace {

// Paths on the command line mean the directory the program was started in,
// whatever -C names.
void AnchorPath(const std::string& startDir, std::string* path) {
    if (!path->empty() && (*path)[0] != '/') *path = startDir + "/" + *path;
}

// Moves into the presentation's directory; false, said to the user, when
// that cannot be done.
bool EnterDirectory(SOptions* options) {
    if (options->directory.empty()) return true;
    char* startDir = getcwd(nullptr, 0);
    if (!startDir) {
        ReportF("quellbrook", 0, "cannot tell the current directory: %s", std::strerror(errno));
        return false;
    }
    AnchorPath(startDir, &options->captureDir);
    AnchorPath(startDir, &options->videoFile);
    AnchorPath(startDir, &options->soundFile);
    options->shotDirectory = startDir;
    std::free(startDir);
    if (chdir(options->directory.c_str()) != 0) {
        ReportF("quellbrook", 0, "-C %s: cannot enter the directory: %s", options->directory.c_str(),
                std::strerror(errno));
        return false;
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    SOptions options;
    std::string error;
    if (!ParseCommandLine(argc, argv, &options, &error)) {
        Report("quellbrook", 0, error);
        std::fputs(UsageText(), stderr);
        return 2;
    }
    if (!EnterDirectory(&options)) return 1;
    switch (options.mode) {
        case ERunMode::kHelp:
            std::printf("%s\n%s", UsageText(), HelpText());
            return 0;
        case ERunMode::kVersion:
            std::printf("quellbrook %s\n", QB_VERSION);
            return 0;
        case ERunMode::kCapture:
            return RunCapture(options);
        case ERunMode::kBenchmark:
            return RunBenchmark(options);
        case ERunMode::kCheck:
            return RunCheck();
        case ERunMode::kFrameCount:
            return RunFrameCount(options);
        case ERunMode::kSound:
            return RunSound(options);
        case ERunMode::kInteractive:
            return RunInWindow(options);
    }
    return 1;
}
