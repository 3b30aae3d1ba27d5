// Feeds the real program, headless, the broken files a user may leave in its
// working directory. Every run must end with status 0 or a documented
// failure status and a message naming what is wrong; never with a signal
// (under the sanitizer build a report aborts the child, which shows here).
#include <gtest/gtest.h>


#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "tests/shell/run_program.h"
#include "tests/shell/test_files.h"
#include "tests/tga_file.h"

namespace {

// A capture run and the frames it left under out/.
struct SRun : SProgramRun {
    int frames = 0;
};

SRun RunProgram(const std::string& dir, const std::vector<std::string>& args, const ProgramEnv& env = {}) {
    std::error_code ignored;
    std::filesystem::remove_all(dir + "/out", ignored);
    SRun run;
    // A run that hangs is ended, and shows as killed.
    static_cast<SProgramRun&>(run) = RunQuellbrook(dir, args, env, {SIGKILL, 120, 0});
    if (std::filesystem::exists(dir + "/out")) {
        for (const auto& entry : std::filesystem::directory_iterator(dir + "/out"))
            run.frames += entry.path().extension() == ".png";
    }
    return run;
}

size_t Count(const std::string& text, const std::string& part) {
    size_t count = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++count;
    return count;
}

// An exit (not a signal) with the status expected and no sanitizer report.
void ExpectEnded(const SProgramRun& run, int status, const std::string& what) {
    EXPECT_TRUE(run.exited) << what << ": killed by signal " << -run.status << "\n" << run.err;
    EXPECT_EQ(run.status, status) << what << "\n" << run.err;
    for (const char* report : {"Sanitizer", "runtime error:"})
        EXPECT_EQ(run.err.find(report), std::string::npos) << what << "\n" << run.err;
}

// Bytes of every value, NULs, line feeds and "%" included, the same each run.
std::string Garbage(size_t size, uint32_t seed) {
    std::string bytes(size, '\0');
    for (char& byte : bytes) {
        seed = seed * 1664525u + 1013904223u;
        byte = static_cast<char>(seed >> 24);
    }
    return bytes;
}

// Every effect on its own layer inside the scene, for 300 ms.
std::string EveryEffectTimeline() {
    std::vector<std::string> lines = {"e 0 s i0 sbeginScene", "e 0 s i1 sclearScreen", "e 0 s i20 sendScene"};
    int layer = 3;
    for (const char* name : {"fade", "cube1", "testTexture", "bezier", "zoomblur", "pixBoard", "intro", "flare",
                             "oldzoom"})
        lines.push_back("e 0 s i" + std::to_string(layer++) + " s" + name);
    lines.push_back("F 300");
    return Timeline(lines);
}

// For runs that open a window: Mesa's driver, loaded and unloaded with the
// window's OpenGL context, leaves allocations that the leak checker can no
// longer put a name to (an unknown module) and so cannot be told apart from
// ours. Leak checking is off for those runs; the rest of the sanitizers stay on.
ProgramEnv WithWindow(ProgramEnv env) {
    static const std::string asan = [] {
        const char* given = std::getenv("ASAN_OPTIONS");
        return std::string(given ? given : "") + (given && *given ? ":" : "") + "detect_leaks=0";
    }();
    env.emplace_back("ASAN_OPTIONS", asan.c_str());
    return env;
}

class BrokenInputs : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(WriteToneMp3(m_dir / "Data/song.mp3", 44100, 2, 1.0));
        WriteFile(m_dir / "script.txt", EveryEffectTimeline());
        static const std::string problem = HeadlessRenderingProblem(m_dir.Path());
        if (!problem.empty()) GTEST_SKIP() << "no headless OpenGL 3.3 here: " << problem;
    }

    SRun Capture(const ProgramEnv& env = {}) { return RunProgram(m_dir.Path(), {"--capture", "out", "--frames", "3"}, env); }

    CTempDir m_dir;
};

TEST_F(BrokenInputs, BrokenPicturesAreNamedOnceAndTheRunGoesOn) {
    WriteFile(m_dir / "Data/bez1.tga", TgaHeader(64, 64, 32) + std::string(100, '\x7f'));  // truncated
    WriteFile(m_dir / "Data/bg.tga", "");                                                  // zero-sized
    WriteFile(m_dir / "Data/circflare.tga", TgaHeader(8, 8, 32).substr(0, 10));            // cut header
    WriteFile(m_dir / "Data/happy.tga", TgaHeader(65535, 65535, 32));                      // huge size
    WriteFile(m_dir / "Data/coders.tga", TgaHeader(4, 4, 16) + std::string(32, '\1'));     // wrong depth
    WriteFile(m_dir / "Data/music.tga", TgaHeader(8193, 2, 24) + std::string(64, '\2'));   // too wide
    WriteFile(m_dir / "Data/anim.tga", Garbage(3000, 7));                                   // the flare's profile
    // The rest of Data/ is missing.
    const SRun run = Capture();
    ExpectEnded(run, 0, "broken pictures");
    EXPECT_EQ(run.frames, 3);
    EXPECT_NE(run.err.find("Data/bez1.tga: the file ends before its last pixel"), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("Data/bg.tga: 0 bytes is too short"), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("Data/circflare.tga: 10 bytes is too short"), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("Data/happy.tga: 65535 x 65535 pixels"), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("Data/coders.tga: 16 bits per pixel"), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("Data/music.tga: 8193 x 2 pixels"), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("Data/anim.tga: the flare's profile is"), std::string::npos) << run.err;
    EXPECT_EQ(Count(run.err, "Data/quelrate.tga: cannot open the picture"), 1u) << run.err;

    std::filesystem::remove(m_dir / "Data/anim.tga");
    const SRun noProfile = Capture();
    ExpectEnded(noProfile, 0, "no profile");
    EXPECT_EQ(Count(noProfile.err, "Data/anim.tga: cannot open the flare's profile"), 1u) << noProfile.err;
}

TEST_F(BrokenInputs, OddTimelinesEndCleanly) {
    const std::string longLine(100 * 1024, 'x');
    const std::vector<std::pair<const char*, std::string>> timelines = {
        {"binary garbage", Garbage(64 * 1024, 1)},
        {"garbage ending in %", Garbage(4096, 2) + "%"},
        {"empty", ""},
        {"only comments", Timeline({"# scene one", "; nothing here", "  e 0 s i0 sbeginScene"})},
        {"an event line of 100 kB", Timeline({"e 0 s i0 sbeginScene " + longLine, "l 0 f i0 i1 f" + longLine})},
        {"100 kB of ints", Timeline({"e 0 s " + [] {
                                        std::string ints;
                                        while (ints.size() < 100 * 1024) ints += "i99999999999 ";
                                        return ints;
                                    }()})},
        {"a last line of 100 kB without a line feed", "e 0 s i7 s" + longLine},
    };
    for (const auto& [what, text] : timelines) {
        WriteFile(m_dir / "script.txt", text);
        const SRun run = Capture();
        ExpectEnded(run, 0, what);
        if (std::string(what) == "only comments" || std::string(what) == "empty") {
            EXPECT_NE(run.err.find("script.txt: no timeline lines in it"), std::string::npos) << run.err;
            EXPECT_EQ(run.frames, 0);
        }
    }

    // Long comment lines between the events do not disturb them.
    WriteFile(m_dir / "script.txt", "#" + longLine + "\r\n" + EveryEffectTimeline() + longLine + "\r\n");
    const SRun run = Capture();
    ExpectEnded(run, 0, "long comments");
    EXPECT_EQ(run.frames, 3);
}

TEST_F(BrokenInputs, BrokenSongsSayWhy) {
    const std::string song = ReadFile(m_dir / "Data/song.mp3");
    for (const auto& [what, bytes] : std::vector<std::pair<const char*, std::string>>{
             {"garbage", Garbage(20000, 3)}, {"zero-sized", ""}, {"a text file", "not a song\n"},
             {"a WAV file", WaveFile(1, Garbage(40000, 5))}}) {
        WriteFile(m_dir / "Data/song.mp3", bytes);
        const SRun run = Capture();
        ExpectEnded(run, 1, what);
        EXPECT_NE(run.err.find("Unable to load song"), std::string::npos) << what << "\n" << run.err;
        EXPECT_NE(run.err.find("Data/song.mp3: "), std::string::npos) << what << "\n" << run.err;
        EXPECT_EQ(run.frames, 0) << what;
    }
    EXPECT_NE(RunProgram(m_dir.Path(), {"--capture", "out"}).err.find(
                  "Data/song.mp3: not an MP3 file that can be decoded (it is a WAV file)\n"),
              std::string::npos);

    // A song cut short or broken midway plays what it can; the frames go on.
    WriteFile(m_dir / "Data/song.mp3", song.substr(0, song.size() / 3));
    SRun run = Capture();
    ExpectEnded(run, 0, "truncated song");
    EXPECT_EQ(run.frames, 3);

    // Past the resynchronisation limit the decoder gives up: the music stops
    // there, said once, and the capture goes on in silence.
    WriteFile(m_dir / "Data/song.mp3", song.substr(0, song.size() / 4) + Garbage(60000, 4));
    WriteFile(m_dir / "script.txt", Timeline({"e 0 s i0 sbeginScene", "e 0 s i2 sendScene", "F 2000"}));
    run = RunProgram(m_dir.Path(), {"--capture", "out", "--frames", "60"});
    ExpectEnded(run, 0, "song broken midway");
    EXPECT_EQ(run.frames, 60);
    EXPECT_EQ(Count(run.err, "Data/song.mp3: the music stops here"), 1u) << run.err;
    EXPECT_EQ(ReadFile(m_dir / "out/audio.wav").size(), 44u + 60 * 735 * 4) << "silence fills the rest";
}

// A timeline saved with bare LF ends enables no "beginScene", so nothing
// pumps messages; the signals still end the window's run, promptly.
TEST_F(BrokenInputs, SignalsEndTheWindowedRunWhateverTheTimelineEnables) {
    const ProgramEnv offscreen = WithWindow({{"SDL_VIDEODRIVER", "offscreen"}, {"SDL_AUDIODRIVER", "dummy"}});
    const std::string pumping = Timeline({"e 0 s i0 sbeginScene", "e 0 s i2 sendScene", "F 60000"});
    std::string bareLf = pumping;
    for (size_t at = bareLf.find('\r'); at != std::string::npos; at = bareLf.find('\r')) bareLf.erase(at, 1);
    for (const auto& [timeline, what] : {std::pair(bareLf, "bare LF"), std::pair(pumping, "CR LF")}) {
        WriteFile(m_dir / "script.txt", timeline);
        for (const int signal : {SIGTERM, SIGINT}) {
            SRun run;
            static_cast<SProgramRun&>(run) = RunQuellbrook(m_dir.Path(), {"--windowed"}, offscreen, {signal, 1.5, 5});
            ExpectEnded(run, 128 + signal, what);
        }
    }
}

// --check needs no display: it reads the files a run reads and says what
// will go wrong, with status 1; the run itself says the same once and plays.
TEST(Check, SaysWhatARunWouldAndFailsOnlyThen) {
    CTempDir dir;
    ASSERT_TRUE(WriteToneMp3(dir / "Data/song.mp3", 44100, 2, 1.0));
    const std::string bareLf = "e 0 s i0 sbeginScene\ne 0 s i1 sclearScreen \ne 0 s i2 sendScene\r\nF 1500\n";
    WriteFile(dir / "script.txt", bareLf);
    SProgramRun run = RunQuellbrook(dir.Path(), {"--check"});
    ExpectEnded(run, 1, "check");
    EXPECT_NE(run.err.find("script.txt:1: the line ends in a bare LF, not CR LF, so its last character is lost: "
                           "\"sbeginScene\" is read as \"sbeginScen\"\n"),
              std::string::npos)
        << run.err;
    EXPECT_EQ(run.err.find("script.txt:2:"), std::string::npos) << "a lost blank loses nothing\n" << run.err;
    EXPECT_NE(run.err.find("script.txt:4: the line ends in a bare LF"), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("Data/bg.tga: cannot open the picture"), std::string::npos) << run.err;
    EXPECT_EQ(run.out, "");

    const std::string problem = HeadlessRenderingProblem(dir.Path());
    if (problem.empty()) {
        run = RunQuellbrook(dir.Path(), {"--capture", "out", "--frames", "2"});
        EXPECT_EQ(run.status, 0) << run.err;
        EXPECT_EQ(Count(run.err, "script.txt:1: the line ends in a bare LF"), 1u) << run.err;
    }

    // Sound files: only the song is left to blame.
    WriteFile(dir / "script.txt", "e 0 s i0 sbeginScene\r\ne 0 s i2 sendScene\r\nF 2000\r\n");
    WriteFile(dir / "Data/song.mp3", WaveFile(1, Garbage(4000, 9)));
    run = RunQuellbrook(dir.Path(), {"--check"});
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("Data/song.mp3: not an MP3 file that can be decoded (it is a WAV file)\n"),
              std::string::npos)
        << run.err;
    ASSERT_TRUE(WriteToneMp3(dir / "Data/song.mp3", 44100, 2, 1.0));
    run = RunQuellbrook(dir.Path(), {"--check"});
    EXPECT_NE(run.err.find("script.txt:3: the end at 2000 ms is after the end of the song (1000 ms)"),
              std::string::npos)
        << run.err;
}

TEST_F(BrokenInputs, MissingDisplayOrOpenGLSaysWhatToDo) {
    const SRun noDisplay = RunProgram(
        m_dir.Path(), {}, {{"DISPLAY", nullptr}, {"WAYLAND_DISPLAY", nullptr}, {"SDL_VIDEODRIVER", nullptr}});
    ExpectEnded(noDisplay, 1, "interactive without a display");
    EXPECT_NE(noDisplay.err.find("No display"), std::string::npos) << noDisplay.err;
    EXPECT_NE(noDisplay.err.find("--capture"), std::string::npos) << noDisplay.err;

    // Mesa refuses a 3.3 core context when told to offer only 3.0: the CPU
    // draws instead, unless OpenGL is asked for.
    const ProgramEnv oldGL = {{"MESA_GL_VERSION_OVERRIDE", "3.0"}};
    const SRun fallback = Capture(oldGL);
    ExpectEnded(fallback, 0, "capture without OpenGL 3.3, drawn by the CPU");
    EXPECT_NE(fallback.err.find("drawing with cpu"), std::string::npos) << fallback.err;
    EXPECT_NE(fallback.err.find("no OpenGL 3.3 core context"), std::string::npos) << fallback.err;
    EXPECT_EQ(fallback.frames, 3);
    const SRun headless = RunProgram(m_dir.Path(), {"--capture", "out", "--frames", "3", "--renderer", "gpu"}, oldGL);
    ExpectEnded(headless, 1, "capture without OpenGL 3.3");
    EXPECT_NE(headless.err.find("OpenGL 3.3 core"), std::string::npos) << headless.err;
    EXPECT_EQ(headless.frames, 0);

    const SRun windowed = RunProgram(m_dir.Path(), {"--windowed", "--renderer", "gpu"},
                                     WithWindow({{"SDL_VIDEODRIVER", "offscreen"}, {"MESA_GL_VERSION_OVERRIDE", "3.0"}}));
    ExpectEnded(windowed, 1, "window without OpenGL 3.3");
    EXPECT_NE(windowed.err.find("OpenGL 3.3 core"), std::string::npos) << windowed.err;
}

// What a user may leave in place of a file: a FIFO (which would block the
// open until a writer came) or a directory. Each is refused at once, saying
// what it is; the run goes on without a picture and cannot without the
// timeline or the song. --check says the same.
TEST_F(BrokenInputs, InputsThatAreNotFilesAreRefusedAtOnce) {
    struct SCase {
        const char* path;
        int status;  // of the capture
        const char* after;  // what follows the message, where something does
    };
    const SCase cases[] = {{"script.txt", 1, ""}, {"Data/song.mp3", 1, "Sound Error: Unable to load song"},
                           {"Data/bg.tga", 0, ""}};
    for (const SCase& test : cases) {
        const std::string path = m_dir / test.path;
        const std::string kept = ReadFile(path);
        for (const bool fifo : {true, false}) {
            std::filesystem::remove(path);
            if (fifo) {
                ASSERT_EQ(mkfifo(path.c_str(), 0644), 0);
            } else {
                std::filesystem::create_directory(path);
            }
            const std::string what = std::string(test.path) + (fifo ? " as a FIFO" : " as a directory");
            const std::string message = std::string(test.path) + ": is " + (fifo ? "a FIFO" : "a directory") +
                                        ", not a file\n";
            const SRun run = Capture();
            ExpectEnded(run, test.status, what);
            const std::string said = std::string(test.path) == "script.txt" ? "Timeline Error: " + message : message;
            EXPECT_EQ(Count(run.err, said), 1u) << what << "\n" << run.err;
            EXPECT_NE(run.err.find(test.after), std::string::npos) << what << "\n" << run.err;
            EXPECT_EQ(run.frames, test.status == 0 ? 3 : 0) << what;

            const SRun check = RunProgram(m_dir.Path(), {"--check"});
            ExpectEnded(check, 1, what + ", --check");
            EXPECT_NE(check.err.find(message), std::string::npos) << what << "\n" << check.err;
        }
        std::filesystem::remove(path);
        WriteFile(path, kept);
    }
}

// A picture's header is read before the rest of it, and its size is told
// right however large the file: a sparse file past 3 GiB with a good header
// is shown, one whose header is refused costs only its header (no gigabyte
// read to find out), and the message is the header's.
TEST(Check, LargePicturesAreReadOnlyAsFarAsTheirHeaderAllows) {
    CTempDir dir;
    ASSERT_TRUE(WriteToneMp3(dir / "Data/song.mp3", 44100, 2, 1.0));
    WriteFile(dir / "script.txt", Timeline({"e 0 s i0 sbeginScene", "e 0 s i2 sendScene", "F 500"}));
    const auto sparse = [&](const char* name, const std::string& start, int64_t size) {
        WriteFile(dir / name, start);
        ASSERT_EQ(truncate((dir / name).c_str(), size), 0);
    };
    sparse("Data/bg.tga", TgaHeader(8, 8, 32) + std::string(8 * 8 * 4, '\x40'), (int64_t{3} << 30) + 5);
    sparse("Data/happy.tga", std::string(18, '\0'), int64_t{3} << 30);
    sparse("Data/coders.tga", TgaHeader(16384, 16384, 32), (int64_t{1} << 30) + 18);
    const SRun run = RunProgram(dir.Path(), {"--check"});
    ExpectEnded(run, 1, "--check");
    EXPECT_EQ(run.err.find("Data/bg.tga"), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("Data/happy.tga: 0 bits per pixel; only uncompressed"), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("Data/coders.tga: 16384 x 16384 pixels is not an image size this program can show"),
              std::string::npos)
        << run.err;
    EXPECT_LT(run.peakKilobytes, 400 * 1024) << "the refused picture was read";
}

}  // namespace
