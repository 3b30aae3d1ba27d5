#include "shell/author_reload.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <memory>
#include <utility>

#include "resources/file_system.h"
#include "resources/input_file.h"
#include "resources/picture_reload.h"
#include "resources/report.h"
#include "runtime/effect_manager.h"

namespace {

// Reads while a file keeps changing under them; then the last read is taken.
constexpr int kReadAttempts = 5;

struct SFileStamp {
    bool exists = false;
    off_t size = 0;
    ino_t inode = 0;
    timespec modified{};
    timespec changed{};

    bool operator==(const SFileStamp& o) const {
        return exists == o.exists && size == o.size && inode == o.inode && modified.tv_sec == o.modified.tv_sec &&
               modified.tv_nsec == o.modified.tv_nsec && changed.tv_sec == o.changed.tv_sec &&
               changed.tv_nsec == o.changed.tv_nsec;
    }
};

SFileStamp Stamp(const std::string& path) {
    SFileStamp stamp;
    struct stat info{};
    if (stat(path.c_str(), &info) != 0) return stamp;
    stamp.exists = true;
    stamp.size = info.st_size;
    stamp.inode = info.st_ino;
    stamp.modified = info.st_mtim;
    stamp.changed = info.st_ctim;
    return stamp;
}

}  // namespace

bool ReadSettled(const std::string& path, std::vector<uint8_t>* bytes, std::string* error) {
    for (int attempt = 0;; ++attempt) {
        const SFileStamp before = Stamp(path);
        SInputError why;
        std::unique_ptr<IFile> file(g_fileSystem.OpenFile(path.c_str(), &why));
        if (!file->IsOpen()) {
            *error = InputErrorText(why, "the timeline");
            return false;
        }
        std::string unread;
        const bool whole = ReadAll(file.get(), bytes, &unread);
        file->Close();
        if (!whole) {
            *error = "cannot be read: " + unread;
            return false;
        }
        if (attempt + 1 == kReadAttempts || Stamp(path) == before) return true;
    }
}

CTimelineReloader::CTimelineReloader(std::string path, std::vector<STimelineEffect> effects, int64_t songMilliseconds)
    : m_path(std::move(path)), m_effects(std::move(effects)), m_song(songMilliseconds) {}

bool CTimelineReloader::Check(const std::vector<uint8_t>& bytes, std::vector<std::string>* lines) const {
    // What keeps a timeline from playing comes first: the title shows it.
    std::vector<std::string> others;
    const size_t before = lines->size();
    for (const STimelineProblem& problem : CheckTimeline(bytes.data(), bytes.size(), m_effects, m_song)) {
        (problem.fatal ? *lines : others).push_back(ReportLine(m_path, problem.line, problem.text));
    }
    const bool fatal = lines->size() > before;
    lines->insert(lines->end(), others.begin(), others.end());
    return fatal;
}

void CTimelineReloader::Start() {
    std::vector<uint8_t> bytes;
    std::string error;
    // Gone since the start loaded it: that load plays on.
    if (!ReadSettled(m_path, &bytes, &error)) return;
    g_effectManager.Reload(bytes.data(), bytes.size());
    m_played = std::move(bytes);
    ++m_generation;
}

SReloadOutcome CTimelineReloader::Reload() {
    SReloadOutcome outcome;
    std::vector<uint8_t> bytes;
    std::string error;
    bool fatal = true;
    if (ReadSettled(m_path, &bytes, &error)) {
        fatal = Check(bytes, &outcome.problems);
    } else {
        outcome.problems.push_back(ReportLine(m_path, 0, error));
    }
    if (fatal) {
        const std::string kept = ReportLine(m_path, 0, "kept the timeline that played, and its place");
        outcome.problems.insert(outcome.problems.begin() + (outcome.problems.empty() ? 0 : 1), kept);
        outcome.kept = true;
    } else if (bytes != m_played) {
        g_effectManager.Reload(bytes.data(), bytes.size());
        m_played = std::move(bytes);
        ++m_generation;
        outcome.changed = true;
    }
    for (const std::string& line : outcome.problems) Report("", 0, line);
    // The picture loaders report for themselves.
    CReportCopy said;
    ReloadPictures(&outcome.picturesChanged);
    outcome.problems.insert(outcome.problems.end(), said.Lines().begin(), said.Lines().end());
    outcome.changed = outcome.changed || outcome.picturesChanged;
    return outcome;
}
