#include "tests/fuzz/fuzz_files.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace {

std::string g_scratch;
std::vector<std::string> g_arguments;
std::vector<char*> g_argv;

// "-artifact_prefix=out/" keeps its flag and gets an absolute value.
std::string Absolute(const std::string& argument) {
    for (const char* flag : {"-artifact_prefix=", "-exact_artifact_path="}) {
        const std::string prefix = flag;
        if (argument.rfind(prefix, 0) == 0) {
            const std::string value = argument.substr(prefix.size());
            if (value.empty() || value[0] == '/') return argument;
            // A prefix may end in "/", which absolute() would keep as well.
            return prefix + std::filesystem::absolute(value).string();
        }
    }
    if (argument.empty() || argument[0] == '-' || argument[0] == '/') return argument;
    return std::filesystem::absolute(argument).string();
}

// Runs at exit, so repeated runs leave nothing behind in the temporary
// directory.
void RemoveScratchDir() {
    std::error_code ignored;
    std::filesystem::remove_all(g_scratch, ignored);
}

}  // namespace

void EnterFuzzScratchDir(int* argc, char*** argv) {
    for (int k = 0; k < *argc; ++k) g_arguments.push_back(k == 0 ? (*argv)[k] : Absolute((*argv)[k]));
    for (std::string& argument : g_arguments) g_argv.push_back(argument.data());
    g_argv.push_back(nullptr);
    *argv = g_argv.data();

    std::string pattern = (std::filesystem::temp_directory_path() / "qb_fuzz_XXXXXX").string();
    if (!mkdtemp(pattern.data())) {
        std::perror("qb fuzz: cannot make a scratch directory");
        std::abort();
    }
    g_scratch = pattern;
    std::filesystem::create_directories(g_scratch + "/Data");
    std::filesystem::current_path(g_scratch);
    std::atexit(RemoveScratchDir);
}

void WriteFuzzFile(const char* path, const uint8_t* data, size_t size) {
    FILE* file = std::fopen(path, "wb");
    if (!file) {
        std::perror(path);
        std::abort();
    }
    if (size > 0 && std::fwrite(data, 1, size, file) != size) {
        std::perror(path);
        std::abort();
    }
    std::fclose(file);
}
