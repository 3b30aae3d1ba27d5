#include "shell/offline/output_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <thread>

namespace {

// The process a held lock file names. Its holder writes its id just after
// taking the lock, so an empty file is given a moment.
pid_t HolderOf(int fd) {
    for (int attempt = 0; attempt < 20; ++attempt) {
        char text[32] = {};
        const ssize_t got = pread(fd, text, sizeof text - 1, 0);
        if (got > 0) return static_cast<pid_t>(std::strtol(text, nullptr, 10));
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return 0;
}

// Whether `fd` is still the file at `path`: a lock taken on a file that its
// holder removed meanwhile guards nothing.
bool StillThere(int fd, const std::string& path) {
    struct stat opened, named;
    return fstat(fd, &opened) == 0 && stat(path.c_str(), &named) == 0 && opened.st_dev == named.st_dev &&
           opened.st_ino == named.st_ino;
}

}  // namespace

COutputLock::~COutputLock() {
    if (m_fd < 0) return;
    // Removed while still held, so a run waiting on this file sees that it
    // is gone and makes a new one.
    unlink(m_path.c_str());
    close(m_fd);
}

ELockResult COutputLock::Take(const std::string& lockFile, pid_t* holder, int* error) {
    for (;;) {
        // Closed on exec: ffmpeg must not keep the lock after the run.
        const int fd = open(lockFile.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0644);
        if (fd < 0) {
            *error = errno;
            return ELockResult::kFailed;
        }
        if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
            const int reason = errno;
            *holder = reason == EWOULDBLOCK ? HolderOf(fd) : 0;
            *error = reason;
            close(fd);
            return reason == EWOULDBLOCK ? ELockResult::kHeld : ELockResult::kFailed;
        }
        if (!StillThere(fd, lockFile)) {
            close(fd);
            continue;
        }
        const std::string pid = std::to_string(getpid()) + "\n";
        if (ftruncate(fd, 0) != 0 || pwrite(fd, pid.data(), pid.size(), 0) != static_cast<ssize_t>(pid.size())) {
            *error = errno;
            unlink(lockFile.c_str());
            close(fd);
            return ELockResult::kFailed;
        }
        m_fd = fd;
        m_path = lockFile;
        return ELockResult::kTaken;
    }
}
