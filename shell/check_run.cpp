#include "shell/check_run.h"

#include <cstdio>
#include <string>

#include "audio/bass.h"
#include "render/recording_device.h"
#include "resources/report.h"
#include "runtime/effect_manager.h"
#include "runtime/timeline_check.h"
#include "shell/demo_driver.h"
#include "effects/effect_table.h"

namespace {

// Everything said during the check is a problem found.
size_t g_problems = 0;

void CountAndWrite(const std::string& text) {
    ++g_problems;
    std::fputs(text.c_str(), stderr);
}

}  // namespace

int RunCheck() {
    g_problems = 0;
    SetReportSink(CountAndWrite);

    // The song as the run opens it, without a sound device; the stream
    // says why it cannot be opened.
    BassUseNoSoundOutput(true);
    int64_t songMilliseconds = -1;
    if (BASS_Init(-1, 44100, 0, nullptr)) {
        const HSTREAM stream = BASS_StreamCreateFile(FALSE, "Data/song.mp3", 0, 0);
        if (stream) songMilliseconds = SongMilliseconds(stream);
        BASS_Free();
    }

    ReportTimelineProblems("script.txt", TimelineEffects(), songMilliseconds);

    // The pictures, loaded by the effects themselves as in a run, onto a
    // device that only keeps them; their loaders say what is wrong.
    CRecordingDevice device;
    g_device = &device;
    CEffectManager manager;
    manager.Load("script.txt", 640, 480);
    RegisterEffects(&manager);
    g_device = nullptr;

    SetReportSink(nullptr);
    return g_problems == 0 ? 0 : 1;
}
