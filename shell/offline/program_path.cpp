#include "shell/offline/program_path.h"

#include <unistd.h>

#include <cstdlib>

std::string ProgramPath(const char* program) {
    const char* path = std::getenv("PATH");
    if (!path) return {};
    std::string dirs(path);
    size_t start = 0;
    while (start <= dirs.size()) {
        size_t end = dirs.find(':', start);
        if (end == std::string::npos) end = dirs.size();
        const std::string dir = end > start ? dirs.substr(start, end - start) : ".";
        const std::string candidate = dir + "/" + program;
        if (access(candidate.c_str(), X_OK) == 0) return candidate;
        start = end + 1;
    }
    return {};
}
