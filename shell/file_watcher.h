// Watches one file for saves, through inotify on its directory, so that
// editors that save by writing a new file and renaming it over the old one
// are seen too. A change counts once the file has stayed unchanged for a
// while (editors write in several steps).
#pragma once

#include <string>

class CFileWatcher {
public:
    CFileWatcher() = default;
    ~CFileWatcher();
    CFileWatcher(const CFileWatcher&) = delete;
    CFileWatcher& operator=(const CFileWatcher&) = delete;

    // False, with the reason, when the directory cannot be watched.
    bool Watch(const std::string& directory, const std::string& name, std::string* error);
    // True once per change, when `quietSeconds` have passed since the last
    // event on the file; `now` in seconds on any steady clock.
    bool Changed(double now, double quietSeconds);

private:
    int m_fd = -1;
    std::string m_name;
    bool m_pending = false;
    double m_lastEvent = 0.0;
};
