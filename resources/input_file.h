// Opening the files the program reads: the timeline, the song and the
// pictures. Only regular files are read. A FIFO would hold the open until a
// writer came (and what a first reader took from it a second would miss), a
// directory or a device reads as nothing a loader can use; so such a path is
// refused at once, saying what it is, and the open itself never blocks.
#pragma once

#include <string>

// Why an input could not be opened: the system's reason, or what the path
// names when that is not a regular file.
struct SInputError {
    int error = 0;               // errno, when kind is null
    const char* kind = nullptr;  // "a FIFO", "a directory", ...
};

// A read-only descriptor of the regular file at `path` (reads block as
// usual; closed on exec), or -1 with the reason in *why.
int OpenInputFile(const char* path, SInputError* why);

// What the user is told after "PATH: ": "is a FIFO, not a file", or
// "cannot open WHAT: REASON" with the system's reason.
std::string InputErrorText(const SInputError& why, const char* what);
