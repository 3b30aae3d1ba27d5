// Runs the built program (or another) as a user would, in a working directory
// of the test's, and reports how it ended.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <string>
#include <utility>
#include <vector>

#include "shell/offline/program_path.h"  // whether a tool a test runs is installed
#include "tests/shell/test_files.h"

struct SProgramRun {
    bool exited = false;  // false: ended by a signal
    int status = -1;      // the exit status, or minus the signal's number
    long peakKilobytes = 0;  // the most memory it held at once
    double seconds = 0;      // how long it ran
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

// A program running in the background until Wait.
class CRunningProgram {
public:
    // `program` is looked up in PATH unless it holds a slash.
    CRunningProgram(const std::string& program, const std::string& dir, const std::vector<std::string>& args,
                    const ProgramEnv& env = {});
    ~CRunningProgram();
    CRunningProgram(const CRunningProgram&) = delete;
    CRunningProgram& operator=(const CRunningProgram&) = delete;

    pid_t Pid() const { return m_child; }
    void Signal(int signal);
    // Waits for the end, sending `later` on the way when it names a signal.
    SProgramRun Wait(const SSignalLater& later = {});

private:
    // The output goes beside, not into, the working directory it runs in.
    CTempDir m_logs;
    pid_t m_child = -1;
    std::chrono::steady_clock::time_point m_started = std::chrono::steady_clock::now();
};

// The path of the built program.
const char* QuellbrookBinary();

SProgramRun RunQuellbrook(const std::string& dir, const std::vector<std::string>& args,
                          const ProgramEnv& env = {}, const SSignalLater& signal = {});

// Why this machine cannot render without a display (no OpenGL 3.3 core
// through EGL), or empty when it can. `dir` must hold a runnable demo.
std::string HeadlessRenderingProblem(const std::string& dir);
