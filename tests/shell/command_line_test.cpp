#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "shell/command_line.h"

namespace {

bool Parse(std::vector<const char*> args, SOptions* options, std::string* error) {
    args.insert(args.begin(), "quellbrook");
    return ParseCommandLine(static_cast<int>(args.size()), args.data(), options, error);
}

TEST(CommandLine, ModesAndTheirOptions) {
    SOptions options;
    std::string error;
    ASSERT_TRUE(Parse({}, &options, &error));
    EXPECT_EQ(options.mode, ERunMode::kInteractive);
    EXPECT_FALSE(options.windowed);

    ASSERT_TRUE(Parse({"--windowed"}, &options, &error));
    EXPECT_TRUE(options.windowed);

    ASSERT_TRUE(Parse({"--capture", "out", "--fps", "30", "--frames", "90", "--video", "a b.mp4"}, &options, &error));
    EXPECT_EQ(options.mode, ERunMode::kCapture);
    EXPECT_EQ(options.captureDir, "out");
    EXPECT_EQ(options.fps.num, 30);
    EXPECT_EQ(options.maxFrames, 90);
    EXPECT_EQ(options.videoFile, "a b.mp4");

    ASSERT_TRUE(Parse({"--benchmark"}, &options, &error));
    EXPECT_EQ(options.mode, ERunMode::kBenchmark);
    EXPECT_EQ(options.fps.num, 60);
    EXPECT_EQ(options.fps.den, 1);
    EXPECT_EQ(options.maxFrames, -1);
    EXPECT_FALSE(options.perEffect);

    ASSERT_TRUE(Parse({"--benchmark", "--per-effect"}, &options, &error));
    EXPECT_TRUE(options.perEffect);

    ASSERT_TRUE(Parse({"-C", "demo", "--check"}, &options, &error));
    EXPECT_EQ(options.mode, ERunMode::kCheck);
    EXPECT_EQ(options.directory, "demo");
    // A video needs no PNG frames.
    ASSERT_TRUE(Parse({"--video", "v.mkv", "--video-codec", "lossless", "--overwrite", "--fps", "60000/1001"}, &options,
                      &error))
        << error;
    EXPECT_EQ(options.mode, ERunMode::kCapture);
    EXPECT_TRUE(options.captureDir.empty());
    EXPECT_EQ(options.videoCodec, EVideoCodec::kLossless);
    EXPECT_TRUE(options.overwrite);
    EXPECT_EQ(options.fps.num, 60000);
    EXPECT_EQ(options.fps.den, 1001);

    ASSERT_TRUE(Parse({"--capture", "x", "--help"}, &options, &error));
    EXPECT_EQ(options.mode, ERunMode::kHelp);
}

TEST(CommandLine, GnuForms) {
    SOptions options;
    std::string error;
    ASSERT_TRUE(Parse({"--capture=a=b", "--fps=30", "--frames", "5", "-Cdemo", "--"}, &options, &error)) << error;
    EXPECT_EQ(options.captureDir, "a=b");
    EXPECT_EQ(options.fps.num, 30);
    EXPECT_EQ(options.maxFrames, 5);
    EXPECT_EQ(options.directory, "demo");
    ASSERT_TRUE(Parse({"-C", "-x", "--version"}, &options, &error)) << error;
    EXPECT_EQ(options.mode, ERunMode::kVersion);

    EXPECT_FALSE(Parse({"--benchmark", "--frames=ten"}, &options, &error));
    EXPECT_EQ(error, "--frames needs a whole number of at least 1, not 'ten'");
    EXPECT_FALSE(Parse({"--windowed=yes"}, &options, &error));
    EXPECT_EQ(error, "--windowed takes no value");
    EXPECT_FALSE(Parse({"--", "--windowed"}, &options, &error));
    EXPECT_EQ(error, "unexpected argument '--windowed'");
    EXPECT_FALSE(Parse({"--capture="}, &options, &error));
    EXPECT_EQ(error, "--capture needs a directory");
}

TEST(CommandLine, RendererAndThreadsGoWithEveryMode) {
    SOptions options;
    std::string error;
    ASSERT_TRUE(Parse({}, &options, &error));
    EXPECT_EQ(options.renderer, ERenderer::kAuto);
    EXPECT_EQ(options.threads, 0);
    ASSERT_TRUE(Parse({"--renderer", "cpu", "--threads=3", "--benchmark"}, &options, &error)) << error;
    EXPECT_EQ(options.renderer, ERenderer::kCpu);
    EXPECT_EQ(options.threads, 3);
    ASSERT_TRUE(Parse({"--renderer=gpu", "--windowed"}, &options, &error)) << error;
    EXPECT_EQ(options.renderer, ERenderer::kGpu);
    EXPECT_FALSE(Parse({"--renderer", "gl"}, &options, &error));
    EXPECT_EQ(error, "--renderer needs auto, gpu or cpu, not 'gl'");
    EXPECT_FALSE(Parse({"--threads", "0"}, &options, &error));
    EXPECT_FALSE(Parse({"--threads", "65"}, &options, &error));
    EXPECT_NE(std::string(HelpText()).find("--renderer auto|gpu|cpu"), std::string::npos);
}

TEST(CommandLine, TakesAStartAnEndAndAuthorMode) {
    SOptions options;
    std::string error;
    ASSERT_TRUE(Parse({"--capture", "d", "--start", "80.5", "--end=96"}, &options, &error)) << error;
    EXPECT_EQ(options.start, 80.5);
    EXPECT_EQ(options.end, 96.0);
    ASSERT_TRUE(Parse({"--author", "--windowed", "--fps", "30", "--start", ".25"}, &options, &error)) << error;
    EXPECT_TRUE(options.author);
    EXPECT_EQ(options.mode, ERunMode::kInteractive);
    EXPECT_EQ(options.start, 0.25);
    EXPECT_EQ(options.end, -1.0);
    EXPECT_FALSE(Parse({"--benchmark", "--start", "9", "--end", "3"}, &options, &error));
    EXPECT_EQ(error, "--end must come after --start");

    // The panel's ruler in bars and beats.
    ASSERT_TRUE(Parse({"--author", "--bpm", "92.5", "--beat-offset=0.25"}, &options, &error)) << error;
    EXPECT_EQ(options.bpm, 92.5);
    EXPECT_EQ(options.beatOffset, 0.25);
    ASSERT_TRUE(Parse({"--author"}, &options, &error));
    EXPECT_EQ(options.bpm, 0.0) << "in seconds unless asked";
    EXPECT_EQ(options.shotDirectory, ".");
    EXPECT_FALSE(Parse({"--bpm", "120"}, &options, &error));
    EXPECT_EQ(error, "--bpm is for --author, whose panel it gives a ruler in bars and beats");
    EXPECT_FALSE(Parse({"--author", "--beat-offset", "1"}, &options, &error));
    EXPECT_EQ(error, "--beat-offset needs --bpm");
    EXPECT_FALSE(Parse({"--author", "--bpm", "0"}, &options, &error));
    EXPECT_EQ(error, "--bpm needs a tempo from 1 to 999 beats a minute, such as 120 or 92.5, not '0'");
}

TEST(CommandLine, TakesWhatAVideoMadeInSegmentsAsks) {
    SOptions options;
    std::string error;
    ASSERT_TRUE(Parse({"--video", "s.mp4", "--no-sound", "--start-frame", "4800", "--frames", "300"}, &options, &error))
        << error;
    EXPECT_EQ(options.mode, ERunMode::kCapture);
    EXPECT_TRUE(options.noSound);
    EXPECT_EQ(options.startFrame, 4800);
    ASSERT_TRUE(Parse({"--frame-count", "--fps", "60000/1001", "--start", "80", "--end", "96"}, &options, &error))
        << error;
    EXPECT_EQ(options.mode, ERunMode::kFrameCount);
    EXPECT_EQ(options.startFrame, -1);
    ASSERT_TRUE(Parse({"--sound", "a.wav", "--start-frame=0", "--overwrite"}, &options, &error)) << error;
    EXPECT_EQ(options.mode, ERunMode::kSound);
    EXPECT_EQ(options.soundFile, "a.wav");
    EXPECT_EQ(options.startFrame, 0);

    EXPECT_FALSE(Parse({"--benchmark", "--start-frame", "5", "--start", "1"}, &options, &error));
    EXPECT_EQ(error, "--start-frame cannot be used with --start");
    // Frame 60 at 30 fps is 2 s in.
    EXPECT_FALSE(Parse({"--frame-count", "--fps", "30", "--start-frame", "60", "--end", "2"}, &options, &error));
    EXPECT_EQ(error, "--end must come after --start-frame");
    EXPECT_TRUE(Parse({"--frame-count", "--fps", "30", "--start-frame", "60", "--end", "2.02"}, &options, &error));
    EXPECT_FALSE(Parse({"--sound", "a.wav", "--frame-count"}, &options, &error));
    EXPECT_EQ(error, "--sound cannot be used with --frame-count");
    EXPECT_FALSE(Parse({"--capture", "d", "--no-sound"}, &options, &error));
    EXPECT_EQ(error, "--no-sound needs --video");
    EXPECT_FALSE(Parse({"--windowed", "--start-frame", "5"}, &options, &error));
    EXPECT_EQ(error, "--start-frame needs --capture, --video, --benchmark, --frame-count or --sound");
    EXPECT_FALSE(Parse({"--sound", "a.wav", "--start-frame", "86400001"}, &options, &error));
    EXPECT_FALSE(Parse({"--check", "--frame-count"}, &options, &error));
}

TEST(CommandLine, RefusesWhatItCannotDo) {
    const std::vector<std::vector<const char*>> bad = {
        {"--fullscreen"},
        {"-x"},
        {"capture"},
        {"--capture"},
        {"--capture", "d", "--fps"},
        {"--capture", "d", "--fps", "0"},
        {"--capture", "d", "--fps", "60x"},
        {"--capture", "d", "--fps", "1001"},
        {"--capture", "d", "--frames", "0"},
        {"--capture", "d", "--frames", "-3"},
        {"--capture", "d", "--frames", "99999999999999999999"},
        {"--capture", "d", "--fps", "60/0"},
        {"--capture", "d", "--fps", "1/2"},
        {"--capture", "d", "--fps", "29."},
        {"--capture", "d", "--fps", "1e3"},
        {"--benchmark", "--video", "v.mp4"},
        {"--capture", "d", "--video-codec", "lossless"},
        {"--video", "v.mp4", "--video-codec", "vp9"},
        {"--overwrite"},
        {"--capture", "d", "--benchmark"},
        {"--fps", "30"},
        {"--benchmark", "--windowed"},
        {"--capture", "d", "--start", "-1"},
        {"--capture", "d", "--start", "1e3"},
        {"--capture", "d", "--start", "nan"},
        {"--capture", "d", "--start", "12s"},
        {"--capture", "d", "--start", "5", "--end", "5"},
        {"--capture", "d", "--start", "6", "--end", "5"},
        {"--capture", "d", "--author"},
        {"--author", "--frames", "3"},
        {"--author", "--end", "3"},
        {"--check", "--capture", "d"},
        {"--windowed", "--check"},
        {"--per-effect"},
        {"--capture", "d", "--per-effect"},
        {"--check", "--start", "3"},
        {"--capture", "d", "--size", "1920"},
        {"--capture", "d", "--size", "1920x"},
        {"--capture", "d", "--size", "319x240"},
        {"--capture", "d", "--size", "7681x4320"},
        {"--capture", "d", "--size", "1920x1080x3"},
        {"--capture", "d", "--size", "native"},
        {"--benchmark", "--size", "native"},
        {"--capture", "d", "--supersample", "1"},
        {"--capture", "d", "--supersample", "5"},
        {"--capture", "d", "--size", "7680x4320", "--supersample", "3"},
        {"--video", "v.mp4", "--size", "1921x1080"},
        {"--check", "--size", "1920x1080"},
        {"--author", "--bpm", "1000"},
        {"--author", "--bpm", "-5"},
        {"--author", "--bpm", "fast"},
        {"--author", "--bpm", "120", "--beat-offset", "-1"},
    };
    for (const auto& args : bad) {
        SOptions options;
        std::string error;
        EXPECT_FALSE(Parse(args, &options, &error)) << args[0];
        EXPECT_FALSE(error.empty()) << args[0];
    }
    SOptions options;
    std::string error;
    Parse({"--fullscreen"}, &options, &error);
    EXPECT_EQ(error, "unknown option '--fullscreen'");
    EXPECT_NE(std::string(UsageText()).find("--capture DIR"), std::string::npos);
    EXPECT_NE(std::string(HelpText()).find("--benchmark"), std::string::npos);
    // Every key author mode answers is in the help.
    for (const char* key : {"Space", "Page Up", "F12", "Tab", "  M ", "-  =", ",  .", "--bpm N", "--beat-offset S"})
        EXPECT_NE(std::string(HelpText()).find(key), std::string::npos) << key;
}

TEST(CommandLine, SizesAndSupersampling) {
    SOptions options;
    std::string error;
    ASSERT_TRUE(Parse({"--video", "v.mp4", "--size=3840x2160", "--supersample", "2"}, &options, &error)) << error;
    EXPECT_EQ(options.width, 3840);
    EXPECT_EQ(options.height, 2160);
    EXPECT_EQ(options.supersample, 2);
    ASSERT_TRUE(Parse({"--windowed", "--size", "native"}, &options, &error)) << error;
    EXPECT_TRUE(options.nativeSize);
    ASSERT_TRUE(Parse({"--benchmark"}, &options, &error));
    EXPECT_EQ(options.width, 1024);
    EXPECT_EQ(options.height, 768);
    EXPECT_EQ(options.supersample, 1);
    // Lossless video takes any size; H.264's colour needs even ones.
    EXPECT_TRUE(Parse({"--video", "v.mkv", "--video-codec", "lossless", "--size", "1001x751"}, &options, &error));
    EXPECT_FALSE(Parse({"--video", "v.mp4", "--size", "1001x752"}, &options, &error));
    EXPECT_NE(error.find("even width and height"), std::string::npos) << error;
    EXPECT_FALSE(Parse({"--capture", "d", "--size", "7680x4320", "--supersample", "3"}, &options, &error));
    EXPECT_NE(error.find("17280x12960 picture"), std::string::npos) << error;
}

// The picture is the largest 4k x 3k rectangle that fits, centred.
TEST(FrameSize, LargestFourByThreePictureCentred) {
    struct {
        int width, height;
        int pictureWidth, pictureHeight, x, y;
    } cases[] = {
        {1024, 768, 1024, 768, 0, 0},    {1920, 1080, 1440, 1080, 240, 0}, {3840, 2160, 2880, 2160, 480, 0},
        {1600, 1200, 1600, 1200, 0, 0},  {1280, 1024, 1280, 960, 0, 32},  {1366, 768, 1024, 768, 171, 0},
        {2000, 1001, 1332, 999, 334, 1}, {320, 240, 320, 240, 0, 0},      {7680, 4320, 5760, 4320, 960, 0},
    };
    for (const auto& c : cases) {
        const SFrameSize size = FrameSizeFor(c.width, c.height, 2);
        EXPECT_EQ(size.pictureWidth, c.pictureWidth) << c.width << "x" << c.height;
        EXPECT_EQ(size.pictureHeight, c.pictureHeight) << c.width << "x" << c.height;
        EXPECT_EQ(size.pictureX, c.x) << c.width << "x" << c.height;
        EXPECT_EQ(size.pictureY, c.y) << c.width << "x" << c.height;
        EXPECT_EQ(size.DrawnWidth(), 2 * c.pictureWidth);
        EXPECT_EQ(size.pictureWidth * 3, size.pictureHeight * 4);
    }
}

TEST(FrameRate, WholeRatiosAndDecimalsAndTheMusicTheirFramesLast) {
    const std::vector<std::pair<const char*, SFrameRate>> good = {
        {"60", {60, 1}}, {"60000/1001", {60000, 1001}}, {"120/2", {60, 1}}, {"29.97", {2997, 100}}, {"1000", {1000, 1}}};
    for (const auto& [text, expected] : good) {
        SFrameRate rate;
        ASSERT_TRUE(ParseFrameRate(text, &rate)) << text;
        EXPECT_EQ(rate.num, expected.num) << text;
        EXPECT_EQ(rate.den, expected.den) << text;
    }
    for (const char* bad : {"", "0", "1001", "-5", "60/", "/2", "2/3", ".5", "60.0000001", "9999999/10"}) {
        SFrameRate rate;
        EXPECT_FALSE(ParseFrameRate(bad, &rate)) << bad;
    }
    EXPECT_EQ(FrameRateText({60000, 1001}), "60000/1001");
    EXPECT_EQ(FrameRateText({24, 1}), "24");
    EXPECT_EQ(MusicSamplesIn(60, {60, 1}), 44100u);
    EXPECT_EQ(MusicSamplesIn(7, {24, 1}), 7u * 44100 / 24);
    // 60 frames of 1001/60000 s: 44144.1 samples.
    EXPECT_EQ(MusicSamplesIn(60, {60000, 1001}), 44144u);
    // A day at the slowest exact rate still fits.
    EXPECT_EQ(MusicSamplesIn(86400LL * 1000000, {1000000, 999999}), 86400ULL * 44100 * 999999);
}

}  // namespace
