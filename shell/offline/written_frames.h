// Which frames of a capture are on disk whole. The writer threads finish
// them in any order, and one may fail while later ones succeed; the capture
// keeps only the unbroken run from frame 0, so that its frames and its
// audio.wav always tell the same length.
#pragma once

#include <cstdint>
#include <mutex>
#include <set>

class CWrittenFrames {
public:
    // Frame `frame` is on disk whole; called from any thread.
    void Done(int64_t frame);
    // How many frames from 0 are all whole.
    int64_t Whole() const;

private:
    mutable std::mutex m_mutex;
    int64_t m_whole = 0;
    std::set<int64_t> m_ahead;  // done, past a frame that is not
};
