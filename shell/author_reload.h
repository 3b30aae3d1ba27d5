// Author mode's reading of the timeline and the pictures on a save: the file
// read until it holds still, checked as --check checks it, and played only
// when it would show a frame; otherwise the timeline that played is kept.
// Everything a reload says is kept as it was reported, for the screen.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "runtime/timeline_check.h"

struct SReloadOutcome {
    // Something the run shows changed: the timeline played anew, or a picture.
    bool changed = false;
    // The new timeline was not played: it cannot be read or shows no frame.
    bool kept = false;
    bool picturesChanged = false;
    // Each as reported: "script.txt:47: ...", "Data/bg.tga: ...".
    std::vector<std::string> problems;
};

class CTimelineReloader {
public:
    // `songMilliseconds` < 0: the song's length is not checked.
    CTimelineReloader(std::string path, std::vector<STimelineEffect> effects, int64_t songMilliseconds);

    // Takes the timeline on the disk as the one that plays, whatever it
    // holds (there is nothing else to play), into g_effectManager; the start
    // of the run has said what is wrong with it.
    void Start();
    // Reads the timeline and the pictures again after a save.
    SReloadOutcome Reload();

    // The timeline that plays, as bytes; a new count at every change.
    const std::vector<uint8_t>& Played() const { return m_played; }
    int Generation() const { return m_generation; }

private:
    // The checker's problems, each as reported; true when one is fatal.
    bool Check(const std::vector<uint8_t>& bytes, std::vector<std::string>* lines) const;

    std::string m_path;
    std::vector<STimelineEffect> m_effects;
    int64_t m_song;
    std::vector<uint8_t> m_played;
    int m_generation = 0;
};

// Reads a file that may be being written: read again (a few times at most)
// while its size, time or inode changed during the read, so that a save in
// several writes settles to what it ended with. False, with errno's reason
// in *error, when the file cannot be opened.
bool ReadSettled(const std::string& path, std::vector<uint8_t>* bytes, std::string* error);
