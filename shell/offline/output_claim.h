// The places a capture or video run writes to: checked before the run
// starts, so that a long render cannot end in a failure known at its start,
// and held against another run for as long as this one lasts.
#pragma once

#include <string>

#include "shell/offline/output_lock.h"

class COutputClaim {
public:
    // Makes DIR (with the folders above it) where it does not exist and
    // checks that FILE (the one `fileOption` names: --video, --sound) can be
    // made in its folder, locking each. Either may be empty. False, with the
    // reason for the user, naming the paths as given, when one cannot be
    // written or another run is writing it.
    bool Claim(const std::string& captureDir, const std::string& file, const char* fileOption, std::string* error);

private:
    bool ClaimFile(const std::string& file, const char* option, std::string* error);
    bool ClaimDirectory(const std::string& dir, std::string* error);

    COutputLock m_file;
    COutputLock m_directory;
};
