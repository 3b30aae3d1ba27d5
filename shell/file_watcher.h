// Watches files for saves, through inotify on their directories, so that
// editors that save by writing a new file and renaming it over the old one
// are seen too. A change counts once the files have stayed unchanged for a
// while (editors write in several steps).
#pragma once

#include <map>
#include <set>
#include <string>

class CFileWatcher {
public:
    CFileWatcher() = default;
    ~CFileWatcher();
    CFileWatcher(const CFileWatcher&) = delete;
    CFileWatcher& operator=(const CFileWatcher&) = delete;

    // Adds a file ("script.txt", "Data/bg.tga"); false, with the reason,
    // when its directory cannot be watched.
    bool Watch(const std::string& path, std::string* error);
    // True once per change to any of the files, when `quietSeconds` have
    // passed since the last event on one; `now` in seconds on any steady clock.
    bool Changed(double now, double quietSeconds);

private:
    int m_fd = -1;
    // The names watched in each watched directory, by watch descriptor.
    std::map<int, std::set<std::string>> m_names;
    bool m_pending = false;
    double m_lastEvent = 0.0;
};
