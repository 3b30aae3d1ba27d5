// One run at a time per output: an advisory lock (flock) on a lock file,
// held for the length of the run. A second run into the same place is told
// at once which process holds it. The lock goes with its process however
// that ends, so a killed run never leaves the place locked.
#pragma once

#include <sys/types.h>

#include <string>

enum class ELockResult {
    kTaken,
    kHeld,    // by another process
    kFailed,  // the lock file cannot be made
};

class COutputLock {
public:
    COutputLock() = default;
    // Releases the lock and removes its file.
    ~COutputLock();
    COutputLock(const COutputLock&) = delete;
    COutputLock& operator=(const COutputLock&) = delete;

    // Takes the lock at `lockFile` for this process, which the file then
    // names. kHeld: *holder is the holding process (0 when it cannot be
    // told); kFailed: *error is the errno.
    ELockResult Take(const std::string& lockFile, pid_t* holder, int* error);

private:
    int m_fd = -1;
    std::string m_path;
};
