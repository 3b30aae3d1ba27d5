#include "resources/input_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace {

const char* KindOf(mode_t mode) {
    if (S_ISDIR(mode)) return "a directory";
    if (S_ISFIFO(mode)) return "a FIFO";
    if (S_ISCHR(mode)) return "a character device";
    if (S_ISBLK(mode)) return "a block device";
    if (S_ISSOCK(mode)) return "a socket";
    return "something other than a file";
}

// True for a regular file; otherwise *why says what it is.
bool RegularFile(const struct stat& info, SInputError* why) {
    if (S_ISREG(info.st_mode)) return true;
    why->kind = KindOf(info.st_mode);
    return false;
}

}  // namespace

int OpenInputFile(const char* path, SInputError* why) {
    *why = SInputError{};
    // Looked at before it is opened: opening a device can do something of
    // its own, and a socket cannot be opened at all.
    struct stat info;
    if (stat(path, &info) != 0) {
        why->error = errno;
        return -1;
    }
    if (!RegularFile(info, why)) return -1;
    // Without blocking, in case a FIFO took the file's place meanwhile; what
    // is opened is checked again.
    const int fd = open(path, O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        why->error = errno;
        return -1;
    }
    const int flags = fcntl(fd, F_GETFL);
    if (fstat(fd, &info) != 0 || flags < 0 || fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0) {
        why->error = errno;
        close(fd);
        return -1;
    }
    if (!RegularFile(info, why)) {
        close(fd);
        return -1;
    }
    return fd;
}

std::string InputErrorText(const SInputError& why, const char* what) {
    if (why.kind) return std::string("is ") + why.kind + ", not a file";
    return std::string("cannot open ") + what + ": " + std::strerror(why.error);
}
