// The watcher of author mode's files: saves of any watched file, in place,
// by rename or by delete-and-recreate, count once the files have been left
// alone; other files in the same directories do not count.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "shell/file_watcher.h"
#include "tests/shell/test_files.h"

namespace {

TEST(FileWatcher, SavesOfEveryWatchedFileCountOnceTheyHoldStill) {
    CTempDir dir;
    std::filesystem::create_directory(dir / "Data");
    WriteFile(dir / "script.txt", "e 0 s i0 sfade\r\n");
    WriteFile(dir / "Data/bg.tga", "old");
    CWorkingDir here(dir.Path());
    CFileWatcher watcher;
    std::string error;
    ASSERT_TRUE(watcher.Watch("script.txt", &error)) << error;
    ASSERT_TRUE(watcher.Watch("Data/bg.tga", &error)) << error;
    EXPECT_FALSE(watcher.Watch("missing/x.tga", &error));
    EXPECT_NE(error.find("cannot watch missing for changes"), std::string::npos) << error;

    WriteFile(dir / "Data/other.tga", "not watched");
    EXPECT_FALSE(watcher.Changed(10.0, 0.1));
    EXPECT_FALSE(watcher.Changed(20.0, 0.1));

    WriteFile(dir / "Data/bg.tga", "new");
    EXPECT_FALSE(watcher.Changed(30.0, 0.1)) << "not yet left alone";
    EXPECT_TRUE(watcher.Changed(30.2, 0.1));
    EXPECT_FALSE(watcher.Changed(40.0, 0.1)) << "once per change";

    WriteFile(dir / "script.new", "e 0 s i0 sflare\r\n");
    std::rename("script.new", "script.txt");
    watcher.Changed(50.0, 0.1);
    EXPECT_TRUE(watcher.Changed(50.2, 0.1)) << "a rename over it";
    std::filesystem::remove(dir / "script.txt");
    WriteFile(dir / "script.txt", "");
    watcher.Changed(60.0, 0.1);
    EXPECT_TRUE(watcher.Changed(60.2, 0.1)) << "deleted and made again";
}

}  // namespace
