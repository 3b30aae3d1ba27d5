#include "tests/shell/run_program.h"

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>

#include "tests/shell/test_files.h"

namespace {

// Waits for the child, sending the signal when it is due and SIGKILL when
// the run outlives its grace; *peak is the most memory it held.
int WaitFor(pid_t child, const SSignalLater& later, long* peak) {
    int status = 0;
    rusage usage{};
    if (later.signal == 0) {
        wait4(child, &status, 0, &usage);
        *peak = usage.ru_maxrss;
        return status;
    }
    using Clock = std::chrono::steady_clock;
    const auto start = Clock::now();
    const auto seconds = [&] { return std::chrono::duration<double>(Clock::now() - start).count(); };
    bool signalled = false;
    while (wait4(child, &status, WNOHANG, &usage) == 0) {
        if (!signalled && seconds() >= later.after) {
            kill(child, later.signal);
            signalled = true;
        } else if (signalled && seconds() >= later.after + later.grace) {
            kill(child, SIGKILL);
            wait4(child, &status, 0, &usage);
            break;
        }
        usleep(5000);
    }
    *peak = usage.ru_maxrss;
    return status;
}

}  // namespace

CRunningProgram::CRunningProgram(const std::string& program, const std::string& dir,
                                 const std::vector<std::string>& args, const ProgramEnv& env) {
    const std::string outFile = m_logs / "stdout";
    const std::string errFile = m_logs / "stderr";
    m_child = fork();
    if (m_child == 0) {
        if (chdir(dir.c_str()) != 0) _exit(120);
        if (!std::freopen(outFile.c_str(), "w", stdout) || !std::freopen(errFile.c_str(), "w", stderr)) _exit(121);
        for (const auto& [name, value] : env) {
            if (value) {
                setenv(name.c_str(), value, 1);
            } else {
                unsetenv(name.c_str());
            }
        }
        std::vector<std::string> copies = args;
        copies.insert(copies.begin(), program);
        std::vector<char*> argv;
        for (std::string& arg : copies) argv.push_back(arg.data());
        argv.push_back(nullptr);
        execvp(argv[0], argv.data());
        _exit(122);
    }
}

CRunningProgram::~CRunningProgram() {
    if (m_child > 0) {
        kill(m_child, SIGKILL);
        Wait();
    }
}

void CRunningProgram::Signal(int signal) {
    if (m_child > 0) kill(m_child, signal);
}

SProgramRun CRunningProgram::Wait(const SSignalLater& later) {
    SProgramRun run;
    const int status = WaitFor(m_child, later, &run.peakKilobytes);
    run.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - m_started).count();
    m_child = -1;
    run.exited = WIFEXITED(status);
    run.status = run.exited ? WEXITSTATUS(status) : -WTERMSIG(status);
    run.out = ReadFile(m_logs / "stdout");
    run.err = ReadFile(m_logs / "stderr");
    return run;
}

const char* QuellbrookBinary() { return QUELLBROOK_BINARY; }

SProgramRun RunQuellbrook(const std::string& dir, const std::vector<std::string>& args, const ProgramEnv& env,
                          const SSignalLater& signal) {
    return CRunningProgram(QUELLBROOK_BINARY, dir, args, env).Wait(signal);
}

std::string HeadlessRenderingProblem(const std::string& dir) {
    const SProgramRun probe = RunQuellbrook(dir, {"--benchmark", "--frames", "1"});
    if (probe.err.find("cannot render without a display") != std::string::npos ||
        probe.err.find("cannot create the display device") != std::string::npos) {
        return probe.err;
    }
    return {};
}
