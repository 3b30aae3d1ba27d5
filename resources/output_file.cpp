#include "resources/output_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>

namespace fs = std::filesystem;

namespace {

// fsync of a file or directory by name; the errno of what failed, or 0.
int SyncPath(const std::string& path, int flags) {
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | flags);
    if (fd < 0) return errno;
    const int synced = fsync(fd) == 0 ? 0 : errno;
    close(fd);
    return synced;
}

}  // namespace

std::string HiddenName(const std::string& path, const std::string& extension) {
    const fs::path file(path);
    const std::string name = "." + file.stem().string() + "." + std::to_string(getpid()) + ".partial" +
                             (extension.empty() ? file.extension().string() : extension);
    return file.has_parent_path() ? (file.parent_path() / name).string() : name;
}

bool PublishFile(const std::string& hidden, const std::string& path, std::string* error) {
    // Written back before the rename, so the name never points at data a
    // full disk or a crash could still lose.
    int failed = SyncPath(hidden, 0);
    if (failed == 0 && std::rename(hidden.c_str(), path.c_str()) != 0) failed = errno;
    if (failed != 0) {
        *error = path + ": " + std::strerror(failed);
        std::remove(hidden.c_str());
        return false;
    }
    // The new name itself, in its directory.
    const fs::path parent = fs::path(path).parent_path();
    failed = SyncPath(parent.empty() ? "." : parent.string(), O_DIRECTORY);
    if (failed != 0) {
        *error = path + ": " + std::strerror(failed);
        return false;
    }
    return true;
}
