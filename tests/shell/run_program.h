// Runs the built program as a user would, in a working directory of the
// test's, and reports how it ended.
#pragma once

#include <string>
#include <utility>
#include <vector>

struct SProgramRun {
    bool exited = false;  // false: ended by a signal
    int status = -1;      // the exit status, or minus the signal's number
    std::string out;
    std::string err;
};

// Variables to set for the run; a null value unsets the variable.
using ProgramEnv = std::vector<std::pair<std::string, const char*>>;

// A signal sent to the run once it has run for `after` seconds; a run still
// going `grace` seconds later is killed and reported as ended by SIGKILL.
struct SSignalLater {
    int signal = 0;  // 0: none
    double after = 0;
    double grace = 10;
};

SProgramRun RunQuellbrook(const std::string& dir, const std::vector<std::string>& args,
                          const ProgramEnv& env = {}, const SSignalLater& signal = {});

// Why this machine cannot render without a display (no OpenGL 3.3 core
// through EGL), or empty when it can. `dir` must hold a runnable demo.
std::string HeadlessRenderingProblem(const std::string& dir);
