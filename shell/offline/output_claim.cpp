#include "shell/offline/output_claim.h"

#include <cstring>
#include <filesystem>
#include <system_error>

namespace fs = std::filesystem;

namespace {

// The lock of a capture directory, inside it.
constexpr const char* kDirectoryLock = ".quellbrook.lock";

// Locks `what` (FILE or DIR, as given) at `lockFile`. When another run
// holds it, that run is named and the user is asked to name another
// `kind`; when the file cannot be made, `cannotWrite` starts the reason.
bool Lock(COutputLock* lock, const std::string& lockFile, const std::string& what, const char* kind,
          const std::string& cannotWrite, std::string* error) {
    pid_t holder = 0;
    int reason = 0;
    switch (lock->Take(lockFile, &holder, &reason)) {
        case ELockResult::kTaken:
            return true;
        case ELockResult::kHeld:
            *error = what + " is being written by another run" +
                     (holder > 0 ? " (process " + std::to_string(holder) + ")" : std::string()) +
                     "; wait for it to end or name another " + kind;
            return false;
        case ELockResult::kFailed:
            *error = cannotWrite + std::strerror(reason);
            return false;
    }
    return false;
}

}  // namespace

bool COutputClaim::Claim(const std::string& captureDir, const std::string& file, const char* fileOption,
                         std::string* error) {
    // The directory first: the file may be made in it.
    return (captureDir.empty() || ClaimDirectory(captureDir, error)) &&
           (file.empty() || ClaimFile(file, fileOption, error));
}

bool COutputClaim::ClaimFile(const std::string& file, const char* option, std::string* error) {
    std::error_code failed;
    // Only a file can take the file's name; --overwrite would find that
    // out at the very end.
    if (fs::is_directory(file, failed)) {
        *error = file + " is a directory; " + option + " needs the name of a file";
        return false;
    }
    const fs::path path(file);
    const fs::path folder = path.has_parent_path() ? path.parent_path() : fs::path(".");
    if (!fs::exists(folder, failed)) {
        *error = "cannot write " + file + ": the folder " + folder.string() + " does not exist";
        return false;
    }
    if (!fs::is_directory(folder, failed)) {
        *error = "cannot write " + file + ": " + folder.string() + " is not a folder";
        return false;
    }
    return Lock(&m_file, (folder / ("." + path.filename().string() + ".lock")).string(), file, "file",
                "cannot write " + file + ": ", error);
}

bool COutputClaim::ClaimDirectory(const std::string& dir, std::string* error) {
    std::error_code failed;
    fs::create_directories(dir, failed);
    if (failed) {
        *error = "cannot create " + dir + ": " + failed.message();
        return false;
    }
    return Lock(&m_directory, (fs::path(dir) / kDirectoryLock).string(), dir, "directory",
                "cannot write in " + dir + ": ", error);
}
