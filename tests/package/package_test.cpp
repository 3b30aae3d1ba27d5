// The Debian package as a user gets it: unpacked into a root of its own,
// with nothing of the build tree, it must hold everything the install
// installs and play its own presentation.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "tests/shell/run_program.h"
#include "tests/shell/test_files.h"

namespace {

namespace fs = std::filesystem;

SProgramRun RunTool(const std::string& program, const std::vector<std::string>& args, const ProgramEnv& env = {}) {
    return CRunningProgram(program, fs::current_path().string(), args, env).Wait();
}

std::string FirstLine(const std::string& text) { return text.substr(0, text.find('\n')); }

std::string PackagePath() {
    const std::string architecture = FirstLine(RunTool("dpkg", {"--print-architecture"}).out);
    return std::string(QB_PACKAGE_DIR) + "/quellbrook_" QB_VERSION "_" + architecture + ".deb";
}

// Every file and link below root, as paths relative to it.
std::set<std::string> FilesBelow(const std::string& root) {
    std::set<std::string> files;
    for (const fs::directory_entry& entry : fs::recursive_directory_iterator(root)) {
        if (!entry.is_directory()) files.insert(fs::relative(entry.path(), root).string());
    }
    return files;
}

// The package unpacked into a fresh directory, as dpkg would lay it out.
class CUnpackedPackage {
public:
    CUnpackedPackage() : m_package(PackagePath()) {
        const SProgramRun unpack = RunTool("dpkg-deb", {"-x", m_package, m_root.Path()});
        m_ok = unpack.exited && unpack.status == 0;
        if (!m_ok) m_error = unpack.err;
    }

    const std::string& Package() const { return m_package; }
    std::string operator/(const std::string& path) const { return m_root / path; }
    const std::string& Root() const { return m_root.Path(); }
    bool Ok() const { return m_ok; }
    const std::string& Error() const { return m_error; }

private:
    std::string m_package;
    CTempDir m_root;
    bool m_ok = false;
    std::string m_error;
};

TEST(Package, HoldsExactlyWhatTheInstallInstalls) {
    const CUnpackedPackage unpacked;
    ASSERT_TRUE(unpacked.Ok()) << unpacked.Package() << ": " << unpacked.Error();

    CTempDir staging;
    const SProgramRun install = RunTool("cmake", {"--install", QB_BUILD_DIR, "--prefix", "/usr"},
                                    {{"DESTDIR", staging.Path().c_str()}});
    ASSERT_EQ(install.status, 0) << install.out << install.err;
    EXPECT_EQ(FilesBelow(unpacked.Root()), FilesBelow(staging.Path()));

    for (const char* path : {"usr/bin/quellbrook", "usr/share/quellbrook/script.txt", "usr/share/quellbrook/Data/song.mp3",
                             "usr/share/quellbrook/Data/bg.tga", "usr/share/man/man1/quellbrook.1.gz",
                             "usr/share/bash-completion/completions/quellbrook",
                             "usr/share/applications/quellbrook.desktop",
                             "usr/share/icons/hicolor/256x256/apps/quellbrook.png",
                             "usr/share/doc/quellbrook/copyright", "usr/share/doc/quellbrook/changelog.gz"}) {
        EXPECT_TRUE(fs::is_regular_file(unpacked / path)) << path;
    }
    struct stat program {};
    ASSERT_EQ(stat((unpacked / "usr/bin/quellbrook").c_str(), &program), 0);
    EXPECT_EQ(program.st_mode & 07777, 0755u);
}

TEST(Package, DependsOnTheLibrariesItLinksAndRecommendsWhatVideoNeeds) {
    const std::string package = PackagePath();
    const SProgramRun fields = RunTool("dpkg-deb", {"--field", package, "Package", "Version", "Depends", "Recommends",
                                                "Section", "Priority", "Maintainer"});
    ASSERT_EQ(fields.status, 0) << fields.err;
    const std::string& control = fields.out;
    EXPECT_NE(control.find("Package: quellbrook\n"), std::string::npos) << control;
    EXPECT_NE(control.find("Version: " QB_VERSION "\n"), std::string::npos) << control;
    // Worked out from the binary: the libraries it links, with their versions.
    for (const char* library : {"libc6 (>=", "libsdl2-2.0-0 (>=", "libmpg123-0 (>=", "libpng16-16 (>=", "libepoxy0 (>="}) {
        EXPECT_NE(control.find(library), std::string::npos) << library << " in\n" << control;
    }
    EXPECT_NE(control.find("Recommends: ffmpeg, parallel\n"), std::string::npos) << control;
    EXPECT_NE(control.find("Section: video\n"), std::string::npos) << control;
    EXPECT_NE(control.find("Priority: optional\n"), std::string::npos) << control;
    EXPECT_NE(control.find("Maintainer: "), std::string::npos) << control;
}

TEST(Package, UnpackedProgramPlaysTheUnpackedPresentation) {
    const CUnpackedPackage unpacked;
    ASSERT_TRUE(unpacked.Ok()) << unpacked.Error();
    const std::string program = unpacked / "usr/bin/quellbrook";
    const std::string presentation = unpacked / "usr/share/quellbrook";
    // Nothing may lead back to the build: the program must not know it.
    EXPECT_EQ(ReadFile(program).find(QB_BUILD_DIR), std::string::npos) << "the program names the build directory";

    CTempDir elsewhere;  // run from a directory holding nothing
    const SProgramRun benchmark =
        CRunningProgram(program, elsewhere.Path(), {"-C", presentation, "--benchmark", "--frames", "10"}).Wait();
    EXPECT_EQ(benchmark.status, 0) << benchmark.err;
    EXPECT_NE(benchmark.out.find("benchmark: 10 frames"), std::string::npos) << benchmark.out << benchmark.err;

    const SProgramRun check = CRunningProgram(program, elsewhere.Path(), {"-C", presentation, "--check"}).Wait();
    EXPECT_EQ(check.status, 0) << check.out << check.err;
}

TEST(Package, DesktopEntryIsValidAndStartsTheInstalledPresentation) {
    if (ProgramPath("desktop-file-validate").empty()) GTEST_SKIP() << "desktop-file-validate (Debian package desktop-file-utils) is missing";
    const CUnpackedPackage unpacked;
    ASSERT_TRUE(unpacked.Ok()) << unpacked.Error();
    const std::string entry = unpacked / "usr/share/applications/quellbrook.desktop";
    const SProgramRun validate = RunTool("desktop-file-validate", {entry});
    EXPECT_EQ(validate.status, 0);
    EXPECT_EQ(validate.out + validate.err, "");

    const std::string text = ReadFile(entry);
    EXPECT_NE(text.find("\nExec=quellbrook -C /usr/share/quellbrook\n"), std::string::npos) << text;
    EXPECT_TRUE(fs::is_regular_file(unpacked / "usr/share/quellbrook/script.txt"));
    EXPECT_NE(text.find("\nIcon=quellbrook\n"), std::string::npos) << text;
    // The theme's folder names the size the generator paints.
    EXPECT_TRUE(ReadFile(unpacked / "usr/share/icons/hicolor/256x256/apps/quellbrook.png") == ReadFile(QB_ICON_FILE));
}

TEST(Package, LintianReportsNoErrorsOrWarnings) {
    if (ProgramPath("lintian").empty()) GTEST_SKIP() << "lintian (Debian package lintian) is missing";
    const SProgramRun lintian = RunTool("lintian", {"--tag-display-limit", "0", PackagePath()});
    ASSERT_TRUE(lintian.exited) << lintian.err;
    std::istringstream lines(lintian.out);
    std::vector<std::string> problems;
    for (std::string line; std::getline(lines, line);) {
        if (line.compare(0, 3, "E: ") == 0 || line.compare(0, 3, "W: ") == 0) problems.push_back(line);
    }
    EXPECT_TRUE(problems.empty()) << lintian.out << lintian.err;
}

}  // namespace
