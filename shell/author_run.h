// Author mode's run of the timeline: the main loop's passes one at a time at
// the fixed step, with the whole state kept every few seconds (checkpoints in
// memory), so that the run can go to any frame and show exactly what a run
// from 0 shows there.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "render/core/raster_device.h"
#include "runtime/effect_manager.h"
#include "shell/demo_driver.h"
#include "shell/offline/fixed_counter.h"
#include "shell/timer.h"

class CAuthorRun {
public:
    // Takes over g_timer with a fixed step of 1 / fps until destroyed;
    // draws on `device`, which is g_device.
    CAuthorRun(int fps, CRasterDevice* device);
    ~CAuthorRun();
    CAuthorRun(const CAuthorRun&) = delete;
    CAuthorRun& operator=(const CAuthorRun&) = delete;

    // After StartDemo, before any pass: keeps the state the run starts from.
    void Start(const SDemo& demo);

    // Runs passes up to and including the next one that draws a frame,
    // presented when `shown` (otherwise on the hidden device). False when no
    // frame was drawn because the timeline had ended or a stop was asked for.
    bool Advance(bool shown);
    // Goes to `frame` and shows it: from the latest checkpoint before it,
    // the frames in between drawn hidden. Past the timeline's end it shows
    // the last frame.
    void Seek(int64_t frame);
    // Around reading the timeline again: the checkpoints made before the
    // first event the edit changed stay good; the others, and the live
    // state, are of the old timeline. Changed pictures leave only the
    // start's (render targets drawn from them are in the others).
    void BeforeReload();
    void AfterReload(bool picturesChanged);
    // Runs on, hidden, from the furthest moment reached so far for about
    // `seconds` (at least one frame), keeping checkpoints on the way, then
    // comes back to the frame shown exactly as it was: idle time spent so
    // that a later seek to a moment not yet reached starts from a
    // checkpoint near it. False when there is nothing left to do (every
    // checkpoint up to the end is made).
    bool LookAhead(double seconds);

    int Fps() const { return m_fps; }
    // The frame drawn last (-1 before the first), the next one to draw.
    int64_t Shown() const { return m_next - 1; }
    int64_t Next() const { return m_next; }
    bool Ended() const { return m_demo.ended; }
    // Seconds of the song at the frame drawn last: where the music stands
    // when a run from 0 draws it (the music starts with the timer). The
    // frames after it follow at the fixed step.
    double ShownSongSeconds() const { return m_shownSong; }
    size_t Checkpoints() const { return m_checkpoints.size(); }

private:
    struct SCheckpoint {
        SDemo demo;
        double shownSong = 0.0;
        CTimer timer;
        CFixedCounter counter{SFrameRate{}};
        std::unique_ptr<CEffectManager::SPosition> manager;  // null: rewound
        int nextEvent = -1;  // the index of manager->current, around a reload
        std::vector<CEffectState> effects;  // by registry slot
        std::shared_ptr<const SRasterDeviceState> device;
    };

    // A state to run on from: a checkpoint, or where looking ahead stopped.
    struct SSaved {
        const SCheckpoint* state;
        int64_t frame;
    };
    // The latest one at or before `frame`.
    SSaved LatestSaved(int64_t frame) const;
    void Keep(int64_t frame);
    void Capture(SCheckpoint* checkpoint);
    void Restore(const SCheckpoint& checkpoint, int64_t frame);

    int m_fps;
    CRasterDevice* m_device;
    CFixedCounter m_counter;
    SDemo m_demo;
    int64_t m_next = 0;
    double m_shownSong = 0.0;
    int64_t m_checkpointFrames;
    std::map<int64_t, SCheckpoint> m_checkpoints;
    std::vector<CScriptEvent> m_oldEvents;  // the timeline before a reload
    bool m_stale = false;  // the live state is of a timeline read over since
    // Where looking ahead stopped, when that is past every checkpoint.
    std::unique_ptr<SCheckpoint> m_ahead;
    int64_t m_aheadNext = 0;
    bool m_aheadDone = false;  // it reached the timeline's end
};
