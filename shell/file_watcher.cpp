#include "shell/file_watcher.h"

#include <sys/inotify.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

CFileWatcher::~CFileWatcher() {
    if (m_fd >= 0) close(m_fd);
}

bool CFileWatcher::Watch(const std::string& path, std::string* error) {
    if (m_fd < 0) m_fd = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (m_fd < 0) {
        *error = std::string("cannot watch for changes: ") + std::strerror(errno);
        return false;
    }
    const size_t slash = path.rfind('/');
    const std::string directory = slash == std::string::npos ? "." : path.substr(0, slash);
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    // A directory watched already gives the same descriptor back.
    const int watch = inotify_add_watch(m_fd, directory.c_str(),
                                        IN_CLOSE_WRITE | IN_MODIFY | IN_MOVED_TO | IN_CREATE | IN_DELETE);
    if (watch < 0) {
        *error = "cannot watch " + directory + " for changes: " + std::strerror(errno);
        return false;
    }
    m_names[watch].insert(name);
    return true;
}

bool CFileWatcher::Changed(double now, double quietSeconds) {
    if (m_fd < 0) return false;
    alignas(inotify_event) char buffer[4096];
    for (;;) {
        const ssize_t got = read(m_fd, buffer, sizeof(buffer));
        if (got <= 0) break;
        for (ssize_t at = 0; at < got;) {
            const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
            const auto names = m_names.find(event->wd);
            if (event->len > 0 && names != m_names.end() && names->second.count(event->name) > 0) {
                m_pending = true;
                m_lastEvent = now;
            }
            at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
        }
    }
    if (!m_pending || now - m_lastEvent < quietSeconds) return false;
    m_pending = false;
    return true;
}
