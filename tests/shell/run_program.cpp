#include "tests/shell/run_program.h"

#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>

#include "tests/shell/test_files.h"

namespace {

// Waits for the child, sending the signal when it is due and SIGKILL when
// the run outlives its grace.
int WaitFor(pid_t child, const SSignalLater& later) {
    int status = 0;
    if (later.signal == 0) {
        waitpid(child, &status, 0);
        return status;
    }
    using Clock = std::chrono::steady_clock;
    const auto start = Clock::now();
    const auto seconds = [&] { return std::chrono::duration<double>(Clock::now() - start).count(); };
    bool signalled = false;
    while (waitpid(child, &status, WNOHANG) == 0) {
        if (!signalled && seconds() >= later.after) {
            kill(child, later.signal);
            signalled = true;
        } else if (signalled && seconds() >= later.after + later.grace) {
            kill(child, SIGKILL);
            waitpid(child, &status, 0);
            break;
        }
        usleep(5000);
    }
    return status;
}

}  // namespace

SProgramRun RunQuellbrook(const std::string& dir, const std::vector<std::string>& args, const ProgramEnv& env,
                          const SSignalLater& signal) {
    // The output goes beside, not into, the working directory it runs in.
    const CTempDir logs;
    const std::string outFile = logs / "stdout";
    const std::string errFile = logs / "stderr";
    const pid_t child = fork();
    if (child == 0) {
        if (chdir(dir.c_str()) != 0) _exit(120);
        if (!std::freopen(outFile.c_str(), "w", stdout) || !std::freopen(errFile.c_str(), "w", stderr)) _exit(121);
        for (const auto& [name, value] : env) {
            if (value) {
                setenv(name.c_str(), value, 1);
            } else {
                unsetenv(name.c_str());
            }
        }
        std::string program = QUELLBROOK_BINARY;
        std::vector<std::string> copies = args;
        std::vector<char*> argv = {program.data()};
        for (std::string& arg : copies) argv.push_back(arg.data());
        argv.push_back(nullptr);
        execv(program.c_str(), argv.data());
        _exit(122);
    }
    const int status = WaitFor(child, signal);
    SProgramRun run;
    run.exited = WIFEXITED(status);
    run.status = run.exited ? WEXITSTATUS(status) : -WTERMSIG(status);
    run.out = ReadFile(outFile);
    run.err = ReadFile(errFile);
    return run;
}

std::string HeadlessRenderingProblem(const std::string& dir) {
    const SProgramRun probe = RunQuellbrook(dir, {"--benchmark", "--frames", "1"});
    if (probe.err.find("cannot render without a display") != std::string::npos ||
        probe.err.find("cannot create the display device") != std::string::npos) {
        return probe.err;
    }
    return {};
}
