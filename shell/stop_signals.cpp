#include "shell/stop_signals.h"

#include <csignal>

namespace {

volatile std::sig_atomic_t g_signal = 0;

void OnStopSignal(int signal) { g_signal = signal; }

void Install(int signal) {
    struct sigaction action = {};
    action.sa_handler = OnStopSignal;
    sigemptyset(&action.sa_mask);
    // The handler is reset after its first run: the next signal is fatal.
    action.sa_flags = SA_RESETHAND;
    sigaction(signal, &action, nullptr);
}

}  // namespace

void InstallStopSignals() {
    Install(SIGINT);
    Install(SIGTERM);
}

int StopSignal() { return g_signal; }

int StopSignalExitStatus(int signal) { return 128 + signal; }
