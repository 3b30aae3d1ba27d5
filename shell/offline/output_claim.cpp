#include "shell/offline/output_claim.h"

#include <cstring>
#include <filesystem>
#include <system_error>

namespace fs = std::filesystem;

namespace {

// The lock of a capture directory, inside it.
constexpr const char* kDirectoryLock = ".quellbrook.lock";

// What a second run is told about the first.
std::string HeldBy(const std::string& what, pid_t holder, const char* instead) {
    const std::string process = holder > 0 ? " (process " + std::to_string(holder) + ")" : "";
    return what + " is being written by another run" + process + "; wait for it to end or name another " + instead;
}

}  // namespace

bool COutputClaim::Claim(const std::string& captureDir, const std::string& videoFile, std::string* error) {
    // The directory first: the video may be made in it.
    return (captureDir.empty() || ClaimDirectory(captureDir, error)) &&
           (videoFile.empty() || ClaimVideo(videoFile, error));
}

bool COutputClaim::ClaimVideo(const std::string& file, std::string* error) {
    std::error_code failed;
    // Only a file can take the video's name; --overwrite would find that
    // out at the very end.
    if (fs::is_directory(file, failed)) {
        *error = file + " is a directory; --video needs the name of a file";
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
    pid_t holder = 0;
    int reason = 0;
    switch (m_video.Take((folder / ("." + path.filename().string() + ".lock")).string(), &holder, &reason)) {
        case ELockResult::kTaken:
            return true;
        case ELockResult::kHeld:
            *error = HeldBy(file, holder, "file");
            return false;
        case ELockResult::kFailed:
            *error = "cannot write " + file + ": " + std::strerror(reason);
            return false;
    }
    return false;
}

bool COutputClaim::ClaimDirectory(const std::string& dir, std::string* error) {
    std::error_code failed;
    fs::create_directories(dir, failed);
    if (failed) {
        *error = "cannot create " + dir + ": " + failed.message();
        return false;
    }
    pid_t holder = 0;
    int reason = 0;
    switch (m_directory.Take((fs::path(dir) / kDirectoryLock).string(), &holder, &reason)) {
        case ELockResult::kTaken:
            return true;
        case ELockResult::kHeld:
            *error = HeldBy(dir, holder, "directory");
            return false;
        case ELockResult::kFailed:
            *error = "cannot write in " + dir + ": " + std::strerror(reason);
            return false;
    }
    return false;
}
