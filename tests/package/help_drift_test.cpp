// The manual page and the bash completion say what --help says: every
// option it names, no more, so that a new option cannot be left out.
#include <gtest/gtest.h>

#include <filesystem>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "tests/shell/run_program.h"
#include "tests/shell/test_files.h"

namespace {

namespace fs = std::filesystem;

const char* const kBashCompletion = "/usr/share/bash-completion/bash_completion";

// "--name" and "-X" wherever they stand as words of their own (not the
// "-bit" of "16-bit").
std::set<std::string> OptionsNamed(const std::string& text) {
    static const std::regex option("(^|[^A-Za-z0-9-])(--[a-z][a-z0-9-]*|-[A-Za-z])(?![A-Za-z0-9-])");
    std::set<std::string> found;
    for (std::sregex_iterator it(text.begin(), text.end(), option), end; it != end; ++it) found.insert((*it)[2]);
    return found;
}

std::set<std::string> LongOnly(const std::set<std::string>& options) {
    std::set<std::string> longOnes;
    for (const std::string& option : options)
        if (option.compare(0, 2, "--") == 0) longOnes.insert(option);
    return longOnes;
}

std::string HelpText(const std::string& program = QuellbrookBinary()) {
    CTempDir dir;
    const SProgramRun help = CRunningProgram(program, dir.Path(), {"--help"}).Wait();
    EXPECT_EQ(help.status, 0) << help.err;
    return help.out;
}

// The page as text: roff's escaped dashes and font changes taken out.
std::string ManPageText(const std::string& path = QB_MAN_PAGE) {
    std::string page = ReadFile(path);
    page = std::regex_replace(page, std::regex(R"(\\-)"), "-");
    return std::regex_replace(page, std::regex(R"(\\f[BIRP])"), "");
}

// The lines between ".SH NAME" and the next ".SH".
std::string Section(const std::string& page, const std::string& name) {
    const size_t start = page.find("\n.SH " + name + "\n");
    if (start == std::string::npos) return {};
    const size_t body = start + name.size() + 6;
    return page.substr(body, page.find("\n.SH ", body) - body);
}

TEST(ManPage, NamesTheSameOptionsAsHelp) {
    const std::set<std::string> help = OptionsNamed(HelpText());
    ASSERT_TRUE(help.count("--renderer") && help.count("-C")) << "the help names no options";
    const std::string page = ManPageText();
    ASSERT_FALSE(page.empty()) << QB_MAN_PAGE;
    EXPECT_EQ(OptionsNamed(page), help);
}

TEST(ManPage, TheFarmsPageNamesTheSameOptionsAsItsHelp) {
    const std::set<std::string> help = OptionsNamed(HelpText(QB_RENDER_BINARY));
    ASSERT_TRUE(help.count("--sshlogin") && help.count("--jobs")) << "the help names no options";
    const std::string page = ManPageText(QB_RENDER_MAN_PAGE);
    ASSERT_FALSE(page.empty()) << QB_RENDER_MAN_PAGE;
    EXPECT_EQ(OptionsNamed(page), help);
}

TEST(ManPage, ShowsEveryUsageFormAndTheHandWrittenSections) {
    // Each form of the usage starts a line with the program's name; in the
    // synopsis each is one ".B quellbrook" line however it wraps in --help.
    const std::string help = HelpText();
    const std::string usage = help.substr(0, help.find("\n\n"));
    const std::regex form("(^usage: |\n +)quellbrook ");
    const auto forms = std::distance(std::sregex_iterator(usage.begin(), usage.end(), form), std::sregex_iterator());
    ASSERT_GT(forms, 1);

    const std::string page = ManPageText();
    const std::string synopsis = Section(page, "SYNOPSIS");
    size_t shown = 0;
    for (size_t at = synopsis.find(".B quellbrook"); at != std::string::npos; at = synopsis.find(".B quellbrook", at + 1))
        ++shown;
    EXPECT_EQ(shown, static_cast<size_t>(forms)) << synopsis;
    EXPECT_EQ(Section(page, "DESCRIPTION").find("usage:"), std::string::npos) << "the usage must not be left as text";

    for (const char* name : {"FILES", "ENVIRONMENT", "\"EXIT STATUS\"", "EXAMPLES", "\"SEE ALSO\""}) {
        EXPECT_FALSE(Section(page, name).empty()) << name;
    }
    // The author keys come from --help too.
    EXPECT_NE(page.find("\n.TP\nSpace\n"), std::string::npos);
    EXPECT_NE(page.find("\n.TP\n[ and ]\n"), std::string::npos);
}

TEST(Changelog, LatestEntryIsThisVersion) {
    const std::string changelog = ReadFile(QB_CHANGELOG);
    EXPECT_EQ(changelog.substr(0, changelog.find(';')), "quellbrook (" QB_VERSION ") unstable")
        << "packaging/changelog needs an entry for " QB_VERSION;
}

// Completes `line` (up to its end) as bash would on Tab, in `dir`, with
// the built program first in PATH.
std::vector<std::string> Complete(const std::string& line, const std::string& dir) {
    const std::string script = std::string("source ") + kBashCompletion + " && source " QB_COMPLETION_FILE R"(
COMP_LINE=$1
COMP_POINT=${#COMP_LINE}
read -ra COMP_WORDS <<<"$COMP_LINE"
[[ $COMP_LINE == *' ' ]] && COMP_WORDS+=('')
COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
_quellbrook quellbrook "${COMP_WORDS[COMP_CWORD]}" "${COMP_WORDS[COMP_CWORD - 1]}"
printf '%s\n' "${COMPREPLY[@]}"
)";
    const std::string path = fs::path(QuellbrookBinary()).parent_path().string() + ":" + std::getenv("PATH");
    const SProgramRun run = CRunningProgram("bash", dir, {"-c", script, "bash", line}, {{"PATH", path.c_str()}}).Wait();
    EXPECT_EQ(run.status, 0) << run.err;
    std::vector<std::string> words;
    std::istringstream lines(run.out);
    for (std::string word; std::getline(lines, word);)
        if (!word.empty()) words.push_back(word);
    return words;
}

std::set<std::string> AsSet(const std::vector<std::string>& words) { return {words.begin(), words.end()}; }

TEST(Completion, OffersEveryLongOptionOfHelp) {
    if (!fs::exists(kBashCompletion)) GTEST_SKIP() << kBashCompletion << " (Debian package bash-completion) is missing";
    CTempDir dir;
    EXPECT_EQ(AsSet(Complete("quellbrook --", dir.Path())), LongOnly(OptionsNamed(HelpText())));
    EXPECT_EQ(Complete("quellbrook --vid", dir.Path()), (std::vector<std::string>{"--video", "--video-codec"}));
}

TEST(Completion, OffersTheValuesOfAnOptionAndDirectoriesWhereOneIsNeeded) {
    if (!fs::exists(kBashCompletion)) GTEST_SKIP() << kBashCompletion << " (Debian package bash-completion) is missing";
    CTempDir dir;
    using Words = std::set<std::string>;
    EXPECT_EQ(AsSet(Complete("quellbrook --renderer ", dir.Path())), (Words{"auto", "cpu", "gpu"}));
    EXPECT_EQ(AsSet(Complete("quellbrook --renderer=g", dir.Path())), (Words{"gpu"}));
    EXPECT_EQ(AsSet(Complete("quellbrook --video demo.mp4 --video-codec ", dir.Path())), (Words{"h264", "lossless"}));

    fs::create_directory(dir / "shows");
    WriteFile(dir / "notes.txt", "not a directory");
    EXPECT_EQ(AsSet(Complete("quellbrook -C ", dir.Path())), (Words{"shows"}));
    EXPECT_EQ(AsSet(Complete("quellbrook --directory s", dir.Path())), (Words{"shows"}));
    EXPECT_EQ(AsSet(Complete("quellbrook --capture ", dir.Path())), (Words{"shows"}));
    EXPECT_EQ(AsSet(Complete("quellbrook --video ", dir.Path())), (Words{"notes.txt", "shows"}));
}

}  // namespace
