// The fuzzers hand the loaders real files, as the program does: each input
// is written to a file in a private scratch directory that is also the
// working directory, so relative names like "Data/anim.tga" resolve there.
#pragma once

#include <cstddef>
#include <cstdint>

// Makes the scratch directory (with a Data/ folder) and enters it. Call once,
// from LLVMFuzzerInitialize with its arguments: relative paths among them
// (inputs, corpus folders, artifact prefixes) are made absolute first, so
// they still name what the user meant.
void EnterFuzzScratchDir(int* argc, char*** argv);
// Replaces the file at `path` (relative to the scratch directory).
void WriteFuzzFile(const char* path, const uint8_t* data, size_t size);
