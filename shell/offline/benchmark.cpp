#include "shell/offline/benchmark.h"

#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "render/core/raster_device.h"
#include "resources/report.h"
#include "runtime/effect_manager.h"
#include "shell/demo_driver.h"
#include "shell/offline/frame_stats.h"
#include "shell/offline/headless_output.h"
#include "shell/offline/progress.h"
#include "shell/run_span.h"

namespace {

using Clock = std::chrono::steady_clock;

double MillisecondsSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

struct SEffectTime {
    const CEffect* effect;
    std::string name;  // the effects are gone when the report is printed
    int64_t renders = 0;
    double totalMs = 0.0;
};

// Times each effect's Render. The GPU is drained before and after, so the
// time includes the drawing the effect caused and nothing of its neighbours;
// the drains keep the GPU from overlapping effects, so such a run's frames
// take longer than real ones and are not reported.
class CEffectTimer {
public:
    explicit CEffectTimer(CRasterDevice* device) : m_device(device) {}

    static void Observe(void* context, const CEffect* effect, bool begin) {
        static_cast<CEffectTimer*>(context)->OnRender(effect, begin);
    }

    const std::vector<SEffectTime>& Times() const { return m_times; }

private:
    void OnRender(const CEffect* effect, bool begin) {
        m_device->Finish();
        if (begin) {
            m_start = Clock::now();
            return;
        }
        const double elapsed = MillisecondsSince(m_start);
        SEffectTime* entry = nullptr;
        for (SEffectTime& time : m_times) {
            if (time.effect == effect) entry = &time;
        }
        if (!entry) {
            m_times.push_back(SEffectTime{effect, effect->name});
            entry = &m_times.back();
        }
        ++entry->renders;
        entry->totalMs += elapsed;
    }

    CRasterDevice* m_device;
    std::vector<SEffectTime> m_times;
    Clock::time_point m_start;
};

void PrintEffectTimes(const std::vector<SEffectTime>& times, size_t frames) {
    double effectsMs = 0.0;
    for (const SEffectTime& time : times) effectsMs += time.totalMs;
    std::printf("%-16s %10s %12s %12s %8s\n", "effect", "renders", "mean ms", "total ms", "share");
    for (const SEffectTime& time : times) {
        const double share = effectsMs > 0.0 ? 100.0 * time.totalMs / effectsMs : 0.0;
        std::printf("%-16s %10lld %12.4f %12.3f %7.1f%%\n", time.name.c_str(),
                    static_cast<long long>(time.renders), time.totalMs / static_cast<double>(time.renders),
                    time.totalMs, share);
    }
    std::printf("per-effect: %zu frames, %.3f ms in effects, each drained on its own\n", frames,
                effectsMs);
}

}  // namespace

int RunBenchmark(const SOptions& options) {
    CHeadlessOutput output(options.fps);
    std::string error;
    if (!output.Open(DisplayRequest(options), nullptr, &error)) {
        Report("quellbrook", 0, error);
        return 1;
    }
    CRasterDevice& device = output.Device();
    const std::string& renderer = output.Display().Name();
    CEffectTimer effectTimer(&device);
    CProgress progress(("benchmark with " + renderer).c_str(), stderr);
    std::vector<double> frameMs;

    CRunSpan span = CRunSpan::FromOptions(options);
    SDemo demo;
    const bool started = StartDemo(SDemoStart(), &demo);
    if (started) {
        while (!demo.ended && !demo.stopped && !span.Over() &&
               !(options.maxFrames >= 0 && static_cast<int64_t>(frameMs.size()) >= options.maxFrames)) {
            const bool shown = DemoPassDraws(demo) && span.EnterPass(&device);
            // The simulated frames are not timed.
            if (shown && span.FirstShown() && options.perEffect) {
                g_effectManager.SetRenderObserver(CEffectTimer::Observe, &effectTimer);
            }
            const float clock = demo.loop.clock;
            const Clock::time_point frameStart = Clock::now();
            RunDemoPass(&demo);
            if (!shown || demo.stopped) continue;
            // A frame counts until the renderer has finished it: one drain a
            // frame, as presenting has.
            device.Finish();
            frameMs.push_back(MillisecondsSince(frameStart));
            progress.Update(static_cast<int64_t>(frameMs.size()), clock);
        }
        StopDemo(&demo);
    }
    g_effectManager.SetRenderObserver(nullptr, nullptr);
    progress.Finish();
    if (!started || !span.CheckReached(options)) return 1;

    std::printf("renderer: %s: %s\n", renderer.c_str(), output.Display().Why().c_str());
    if (options.perEffect) {
        PrintEffectTimes(effectTimer.Times(), frameMs.size());
    } else {
        std::printf("%s\n", FormatBenchmarkLine(SummariseFrameTimes(frameMs)).c_str());
    }
    return 0;
}
