// Author mode in a real window on a virtual display (Xvfb, with openbox to
// give it focus), driven by xdotool as a user would: the panel opened with
// Tab, a click on its strip, F12. The frame shown must be the one for the
// time under the click, and F12's picture byte for byte a headless capture
// of it, the panel drawn over every frame shown before it notwithstanding.
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "tests/shell/run_program.h"
#include "tests/shell/test_files.h"

namespace {

constexpr int kFps = 60;
// The default content's end, and where the panel's strip lies in the
// 1024 x 768 window: from after the row labels to the right edge, each
// inset by the panel's and the strip's padding.
constexpr double kEndSeconds = 163.0;
constexpr double kStripLeft = 8 + 8 + 150;
constexpr double kStripRight = 1024 - 8 - 8 - 14;
constexpr int kStripY = 505;

// An X server of the test's own, on the first free display (Xvfb picks it).
class CVirtualDisplay {
public:
    // The server's messages go to `log`.
    explicit CVirtualDisplay(const std::string& log) : m_log(log) {
        int fds[2];
        if (pipe(fds) != 0) return;
        m_server = fork();
        if (m_server == 0) {
            close(fds[0]);
            const std::string fd = std::to_string(fds[1]);
            if (!std::freopen(log.c_str(), "w", stderr)) _exit(121);
            execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "1280x1024x24", "-nolisten", "tcp", "-noreset",
                   static_cast<char*>(nullptr));
            _exit(122);
        }
        close(fds[1]);
        // The number comes in pieces, ended by a line feed; the pipe stays
        // open while the server runs, which would die writing to a closed one.
        m_pipe = fds[0];
        std::string number;
        pollfd ready{m_pipe, POLLIN, 0};
        char piece[16];
        while (number.find('\n') == std::string::npos && poll(&ready, 1, 20000) == 1) {
            const ssize_t got = read(m_pipe, piece, sizeof piece);
            if (got <= 0) break;
            number.append(piece, static_cast<size_t>(got));
        }
        if (number.find('\n') != std::string::npos) m_name = ":" + std::to_string(std::atoi(number.c_str()));
    }
    ~CVirtualDisplay() {
        if (m_server > 0) {
            kill(m_server, SIGTERM);
            waitpid(m_server, nullptr, 0);
        }
        if (m_pipe >= 0) close(m_pipe);
    }
    CVirtualDisplay(const CVirtualDisplay&) = delete;
    CVirtualDisplay& operator=(const CVirtualDisplay&) = delete;

    // ":N", or empty when the server did not start.
    const std::string& Name() const { return m_name; }
    std::string Log() const { return ReadFile(m_log); }

private:
    std::string m_log;
    pid_t m_server = -1;
    int m_pipe = -1;
    std::string m_name;
};

class AuthorWindow : public ::testing::TestWithParam<const char*> {
protected:
    void SetUp() override {
        for (const char* program : {"Xvfb", "xdotool", "openbox"}) {
            if (ProgramPath(program).empty())
                GTEST_SKIP() << program << " is not installed (tools/packages-test.txt lists it); no window to test";
        }
        // Should a server not come up, or its manager not, another try.
        for (int attempt = 0; attempt < 3; ++attempt) {
            m_manager.reset();
            m_display = std::make_unique<CVirtualDisplay>(m_logs / "xvfb.log");
            if (m_display->Name().empty()) continue;
            m_manager = std::make_unique<CRunningProgram>("openbox", m_dir.Path(), std::vector<std::string>{}, Env());
            // A window made before the manager has taken the screen may
            // never be mapped: wait until it answers for its desktops.
            for (int tries = 0; tries < 100; ++tries) {
                if (Xdotool({"get_desktop"}).status == 0) return;
                std::this_thread::sleep_for(std::chrono::milliseconds(100));
            }
        }
        FAIL() << "no virtual display with a window manager could be started; Xvfb said: " << m_display->Log();
    }

    ProgramEnv Env() const { return {{"DISPLAY", m_display->Name().c_str()}}; }

    SProgramRun Xdotool(const std::vector<std::string>& args) {
        return CRunningProgram("xdotool", m_dir.Path(), args, Env()).Wait();
    }
    std::string Title() {
        std::string name = Xdotool({"getwindowname", m_window}).out;
        while (!name.empty() && (name.back() == '\n' || name.back() == '\r')) name.pop_back();
        return name;
    }
    // Waits (a minute at most) until the title passes `test`.
    bool WaitForTitle(const std::function<bool(const std::string&)>& test, std::string* title) {
        for (int tries = 0; tries < 600; ++tries) {
            *title = Title();
            if (test(*title)) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
        return false;
    }

    CTempDir m_dir;
    CTempDir m_logs;
    std::unique_ptr<CVirtualDisplay> m_display;
    std::unique_ptr<CRunningProgram> m_manager;
    std::string m_window;
};

// The N of "frame N" in the title; -1 without one.
int64_t FrameIn(const std::string& title) {
    const size_t at = title.find("frame ");
    if (at == std::string::npos) return -1;
    char* end = nullptr;
    const long long frame = std::strtoll(title.c_str() + at + 6, &end, 10);
    return end == title.c_str() + at + 6 ? -1 : frame;
}

TEST_P(AuthorWindow, AClickOnTheStripShowsThatMomentAndF12WritesItAsACapture) {
    const std::string renderer = GetParam();
    ProgramEnv env = Env();
    env.push_back({"SDL_AUDIODRIVER", "dummy"});
    // Under the sanitizers: the desktop's libraries that a window brings in
    // (D-Bus, X11, the GL driver, some unloaded by exit) keep what they
    // allocate to the end; the program's own leaks are checked headless.
    const char* asan = std::getenv("ASAN_OPTIONS");
    const std::string noLeaks = std::string(asan ? asan : "") + (asan && *asan ? ":" : "") + "detect_leaks=0";
    env.push_back({"ASAN_OPTIONS", noLeaks.c_str()});
    CRunningProgram author(QuellbrookBinary(), m_dir.Path(),
                           {"-C", QB_DEMO_DIR, "--author", "--windowed", "--start", "10", "--renderer", renderer},
                           env);
    for (int tries = 0; tries < 300 && m_window.empty(); ++tries) {
        const std::string found = Xdotool({"search", "--name", "^Quellbrook"}).out;
        m_window = found.substr(0, found.find('\n'));
        if (m_window.empty()) std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    if (m_window.empty()) {
        author.Signal(SIGKILL);
        FAIL() << "no window came up on " << m_display->Name() << ": " << author.Wait().err;
    }
    std::string title;
    ASSERT_TRUE(WaitForTitle([](const std::string& t) { return FrameIn(t) >= 600; }, &title)) << title;
    Xdotool({"windowactivate", "--sync", m_window});
    Xdotool({"key", "space"});
    ASSERT_TRUE(WaitForTitle([](const std::string& t) { return t.find("paused") != std::string::npos; }, &title))
        << title;
    Xdotool({"key", "Tab"});
    std::this_thread::sleep_for(std::chrono::milliseconds(500));

    // Three fifths of the way along the strip.
    const double x = kStripLeft + 0.6 * (kStripRight - kStripLeft);
    const int64_t before = FrameIn(title);
    Xdotool({"mousemove", "--window", m_window, std::to_string(static_cast<int>(x)), std::to_string(kStripY),
             "click", "1"});
    // The seek lands far on from the paused frame, and stays.
    ASSERT_TRUE(WaitForTitle([&](const std::string& t) { return FrameIn(t) > before + 10 * kFps; }, &title)) << title;
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    title = Title();
    const int64_t frame = FrameIn(title);
    const double expected = 0.6 * kEndSeconds * kFps;
    EXPECT_NEAR(static_cast<double>(frame), expected, 0.02 * kEndSeconds * kFps) << title;

    Xdotool({"key", "F12"});
    ASSERT_TRUE(WaitForTitle([](const std::string& t) { return t.find("wrote ") != std::string::npos; }, &title))
        << title;
    const std::string shot = title.substr(title.find("wrote ") + 6, title.find(".png") + 4 - title.find("wrote ") - 6);
    EXPECT_EQ(FrameIn(title), frame) << "F12 leaves the frame shown";
    EXPECT_EQ(std::filesystem::path(shot).parent_path(), std::filesystem::path(m_dir.Path()))
        << "the shot goes where the program was started, not under -C";
    Xdotool({"key", "Escape"});
    const SProgramRun ended = author.Wait({SIGKILL, 30.0, 5.0});
    EXPECT_TRUE(ended.exited && ended.status == 0) << ended.err;

    char start[32];
    std::snprintf(start, sizeof start, "%.6f", static_cast<double>(frame) / kFps);
    const SProgramRun capture = RunQuellbrook(
        m_dir.Path(), {"-C", QB_DEMO_DIR, "--capture", "capture", "--start", start, "--frames", "1", "--renderer", renderer});
    ASSERT_EQ(capture.status, 0) << capture.err;
    const std::string captured = ReadFile(m_dir / "capture/000000.png");
    ASSERT_FALSE(captured.empty());
    EXPECT_TRUE(ReadFile(shot) == captured) << shot << " differs from the capture of frame " << frame;
}

INSTANTIATE_TEST_SUITE_P(Renderers, AuthorWindow, ::testing::Values("cpu", "gpu"),
                         [](const ::testing::TestParamInfo<const char*>& info) { return std::string(info.param); });

}  // namespace
