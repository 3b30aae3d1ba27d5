#include "shell/offline/run_length.h"

#include <cstdio>
#include <string>

#include "resources/report.h"
#include "runtime/effect_manager.h"
#include "shell/demo_driver.h"
#include "shell/offline/fixed_counter.h"
#include "shell/run_span.h"
#include "shell/shell_globals.h"

bool MeasureRun(const SOptions& options, SRunLength* length) {
    *length = SRunLength();
    CFixedCounter counter(options.fps);
    g_timer.SetSource(&counter);
    CRunSpan span = CRunSpan::FromOptions(options);
    g_timer.Start();
    SDemo demo;
    while (!demo.ended && !span.Over() && !(options.maxFrames >= 0 && length->frames >= options.maxFrames)) {
        // Nothing is drawn, so there is nothing to hide.
        if (DemoPassDraws(demo) && span.EnterPass(nullptr)) {
            if (length->frames == 0) length->firstSteps = counter.Steps();
            ++length->frames;
        }
        RunDemoPass(&demo);
    }
    g_timer.Stop();
    g_timer.SetSource(nullptr);
    return span.CheckReached(options);
}

bool LoadTimeline() {
    std::string error;
    if (g_effectManager.Load("script.txt", 640, 480, &error)) return true;
    ShowMessageBox("Timeline Error", error.c_str());
    return false;
}

int RunFrameCount(const SOptions& options) {
    SRunLength length;
    if (!LoadTimeline() || !MeasureRun(options, &length)) return 1;
    std::printf("%lld\n", static_cast<long long>(length.frames));
    return 0;
}
