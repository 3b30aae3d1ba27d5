#include "shell/author_run.h"

#include <chrono>
#include <cstring>
#include <iterator>
#include <limits>

#include "shell/shell_globals.h"

namespace {

// Seconds of timeline between checkpoints: a seek simulates at most this much.
constexpr int kCheckpointSeconds = 5;

}  // namespace

CAuthorRun::CAuthorRun(int fps, CRasterDevice* device)
    : m_fps(fps), m_device(device), m_counter(SFrameRate{fps, 1}), m_checkpointFrames(int64_t{kCheckpointSeconds} * fps) {
    g_timer.SetSource(&m_counter);
}

CAuthorRun::~CAuthorRun() { g_timer.SetSource(nullptr); }

void CAuthorRun::Start(const SDemo& demo) {
    m_demo = demo;
    Keep(0);
}

void CAuthorRun::Keep(int64_t frame) { Capture(&m_checkpoints[frame]); }

void CAuthorRun::Capture(SCheckpoint* into) {
    SCheckpoint& checkpoint = *into;
    checkpoint.demo = m_demo;
    checkpoint.shownSong = m_shownSong;
    checkpoint.timer = g_timer;
    checkpoint.counter = m_counter;
    if (m_demo.begun) {
        checkpoint.manager = std::make_unique<CEffectManager::SPosition>();
        g_effectManager.SavePosition(checkpoint.manager.get());
    }
    checkpoint.effects.assign(static_cast<size_t>(g_effectManager.RegisteredCount()), CEffectState());
    for (int slot = 0; slot < g_effectManager.RegisteredCount(); ++slot) {
        g_effectManager.Registered(slot)->SaveState(&checkpoint.effects[static_cast<size_t>(slot)]);
    }
    // Drawn first: a checkpoint is gone back to again and again, and what
    // it held back would be drawn every time. A frame that the next clear
    // wipes stays held back, and its back buffer is not kept.
    m_device->DrawHeldBack(true);
    checkpoint.device = m_device->SaveState();
}

void CAuthorRun::Restore(const SCheckpoint& checkpoint, int64_t frame) {
    m_demo = checkpoint.demo;
    m_shownSong = checkpoint.shownSong;
    g_timer = checkpoint.timer;
    m_counter = checkpoint.counter;
    if (checkpoint.manager) {
        g_effectManager.LoadPosition(*checkpoint.manager);
    } else {
        g_effectManager.Rewind();
    }
    for (size_t slot = 0; slot < checkpoint.effects.size(); ++slot) {
        CEffectState state = checkpoint.effects[slot];
        g_effectManager.Registered(static_cast<int>(slot))->LoadState(&state);
    }
    m_device->LoadState(*checkpoint.device);
    m_next = frame;
    m_demo.ended = false;
    m_stale = false;
}

bool CAuthorRun::Advance(bool shown) {
    if (m_demo.ended || m_demo.stopped) return false;
    if (m_next % m_checkpointFrames == 0 && m_checkpoints.count(m_next) == 0) Keep(m_next);
    m_device->SetHidden(!shown);
    bool drawn = false;
    while (!m_demo.ended && !m_demo.stopped && !drawn) {
        if (DemoPassDraws(m_demo)) m_shownSong = static_cast<double>(m_counter.Steps()) / m_fps;
        drawn = RunDemoPass(&m_demo);
    }
    m_device->SetHidden(false);
    if (drawn) ++m_next;
    return drawn && !m_demo.stopped;
}

CAuthorRun::SSaved CAuthorRun::LatestSaved(int64_t frame) const {
    const auto checkpoint = std::prev(m_checkpoints.upper_bound(frame));  // the start's is always there
    if (m_ahead && m_aheadNext > checkpoint->first && m_aheadNext <= frame) return {m_ahead.get(), m_aheadNext};
    return {&checkpoint->second, checkpoint->first};
}

void CAuthorRun::Seek(int64_t frame) {
    if (frame < 0) frame = 0;
    const SSaved from = LatestSaved(frame);
    // Already on the way there: no need to go back.
    if (m_stale || m_demo.ended || !(m_next <= frame && m_next >= from.frame)) Restore(*from.state, from.frame);
    while (m_next < frame && Advance(false)) {
    }
    // Past the end: the last frame again, from its own state.
    if (m_demo.ended && m_next <= frame) {
        const int64_t last = m_next - 1;
        if (last < 0) return;
        Seek(last);
        return;
    }
    Advance(true);
}

namespace {

bool SameEvent(const CScriptEvent& a, const CScriptEvent& b) {
    return a.command == b.command && a.time == b.time && a.subCommand == b.subCommand &&
           std::memcmp(a.ints, b.ints, sizeof(a.ints)) == 0 && std::memcmp(a.name, b.name, sizeof(a.name)) == 0 &&
           std::memcmp(&a.value, &b.value, sizeof(a.value)) == 0;
}

}  // namespace

void CAuthorRun::BeforeReload() {
    m_oldEvents.clear();
    for (int i = 0; const CScriptEvent* event = g_effectManager.EventAt(i); ++i) m_oldEvents.push_back(*event);
    for (auto& entry : m_checkpoints) {
        const SCheckpoint& checkpoint = entry.second;
        entry.second.nextEvent = checkpoint.manager ? g_effectManager.EventIndex(checkpoint.manager->current) : -1;
    }
}

void CAuthorRun::AfterReload(bool picturesChanged) {
    size_t same = 0;
    while (same < m_oldEvents.size()) {
        const CScriptEvent* event = g_effectManager.EventAt(static_cast<int>(same));
        if (!event || !SameEvent(*event, m_oldEvents[same])) break;
        ++same;
    }
    // A checkpoint whose next event is still the same has fired the same
    // events, and fires the next one at the same moment.
    for (auto it = m_checkpoints.begin(); it != m_checkpoints.end();) {
        SCheckpoint& checkpoint = it->second;
        if (!checkpoint.manager) {
            ++it;
        } else if (!picturesChanged && checkpoint.nextEvent >= 0 && static_cast<size_t>(checkpoint.nextEvent) < same) {
            checkpoint.manager->current = g_effectManager.EventAt(checkpoint.nextEvent);
            ++it;
        } else {
            it = m_checkpoints.erase(it);
        }
    }
    m_oldEvents.clear();
    m_stale = true;
    m_ahead.reset();
    m_aheadDone = false;
}

bool CAuthorRun::LookAhead(double seconds) {
    // A stale live state is about to be left for the edited timeline's.
    if (m_aheadDone || m_stale) return false;
    const auto until = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    SCheckpoint live;
    Capture(&live);
    const int64_t liveNext = m_next;
    const bool liveEnded = m_demo.ended;
    const SSaved furthest = LatestSaved(std::numeric_limits<int64_t>::max());
    Restore(*furthest.state, furthest.frame);
    while (Advance(false) && std::chrono::steady_clock::now() < until) {
    }
    if (m_demo.ended) {
        m_aheadDone = true;
        m_ahead.reset();
    } else {
        if (!m_ahead) m_ahead = std::make_unique<SCheckpoint>();
        Capture(m_ahead.get());
        m_aheadNext = m_next;
    }
    Restore(live, liveNext);
    m_demo.ended = liveEnded;
    return !m_aheadDone;
}
