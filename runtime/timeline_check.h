// Finds the timeline lines that will not do what they seem to (a name that
// matches no effect, a line end that eats a letter, an event that waits for
// an earlier line, ...), working on the timeline's bytes exactly as the
// loader reads them and on the effects the run registers.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// What the checker knows of a registered effect.
struct STimelineEffect {
    std::string name;
    bool takesParameters = false;
};

struct STimelineProblem {
    int line = 0;  // 0: the timeline as a whole
    std::string text;
    // The timeline would show no frame at all (no timeline lines, no scene
    // ever opened or closed): author mode keeps the one that played.
    bool fatal = false;
};

// songMilliseconds < 0: the song's length is not known and not checked.
std::vector<STimelineProblem> CheckTimeline(const uint8_t* bytes, size_t size,
                                            const std::vector<STimelineEffect>& effects, int64_t songMilliseconds);

// Reads the timeline at `path` through the file system, as the loader does,
// and reports every problem, compiler style ("script.txt:12: ..."). Returns
// how many there were; a timeline that cannot be opened counts as one.
size_t ReportTimelineProblems(const char* path, const std::vector<STimelineEffect>& effects,
                              int64_t songMilliseconds);
