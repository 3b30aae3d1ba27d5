#include <gtest/gtest.h>

#include <string>
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
    EXPECT_EQ(options.fps, 30);
    EXPECT_EQ(options.maxFrames, 90);
    EXPECT_EQ(options.videoFile, "a b.mp4");

    ASSERT_TRUE(Parse({"--benchmark"}, &options, &error));
    EXPECT_EQ(options.mode, ERunMode::kBenchmark);
    EXPECT_EQ(options.fps, 60);
    EXPECT_EQ(options.maxFrames, -1);

    ASSERT_TRUE(Parse({"-C", "demo", "--check"}, &options, &error));
    EXPECT_EQ(options.mode, ERunMode::kCheck);
    EXPECT_EQ(options.directory, "demo");

    ASSERT_TRUE(Parse({"--capture", "x", "--help"}, &options, &error));
    EXPECT_EQ(options.mode, ERunMode::kHelp);
}

TEST(CommandLine, GnuForms) {
    SOptions options;
    std::string error;
    ASSERT_TRUE(Parse({"--capture=a=b", "--fps=30", "--frames", "5", "-Cdemo", "--"}, &options, &error)) << error;
    EXPECT_EQ(options.captureDir, "a=b");
    EXPECT_EQ(options.fps, 30);
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
        {"--benchmark", "--video", "v.mp4"},
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
        {"--check", "--start", "3"},
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
}

}  // namespace
