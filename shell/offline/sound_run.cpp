#include "shell/offline/sound_run.h"

#include <csignal>
#include <filesystem>
#include <string>
#include <system_error>

#include "audio/bass.h"
#include "effects/effect_table.h"
#include "resources/report.h"
#include "runtime/timeline_check.h"
#include "shell/demo_driver.h"
#include "shell/frame_rate.h"
#include "shell/offline/music_capture.h"
#include "shell/offline/run_length.h"
#include "shell/offline/output_claim.h"
#include "shell/stop_signals.h"

namespace fs = std::filesystem;

namespace {

// Writes the song heard with the run's frames; the file takes its name only
// when whole (a signal leaves nothing under it). False, with the reason in
// *error, when it cannot be written or a signal stopped it.
bool WriteRunSound(uint32_t stream, const SRunLength& length, const SOptions& options, std::string* error) {
    CMusicCapture music;
    const uint64_t samples = MusicSamplesIn(length.frames, options.fps);
    const auto stop = [] { return StopSignal() != 0; };
    return music.Open(options.soundFile, error) &&
           music.WriteSong(stream, MusicSamplesIn(length.firstSteps, options.fps), samples, stop, error) &&
           StopSignal() == 0 && music.Finish(samples, error);
}

int WriteSound(uint32_t stream, const SOptions& options) {
    // What the checker finds is said once, as every run says it.
    if (!LoadTimeline()) return 1;
    ReportTimelineProblems("script.txt", TimelineEffects(), SongMilliseconds(stream));
    SRunLength length;
    if (!MeasureRun(options, &length)) return 1;

    InstallStopSignals();
    std::string error;
    const bool written = WriteRunSound(stream, length, options, &error);
    if (const int signal = StopSignal()) {
        ReportF("sound", 0, "stopped by %s; %s was not written", signal == SIGINT ? "SIGINT" : "SIGTERM",
                options.soundFile.c_str());
        return StopSignalExitStatus(signal);
    }
    if (!written) {
        Report("sound", 0, error);
        return 1;
    }
    ReportF("sound", 0, "%llu samples (%lld frames at %s fps) written to %s",
            static_cast<unsigned long long>(MusicSamplesIn(length.frames, options.fps)),
            static_cast<long long>(length.frames), FrameRateText(options.fps).c_str(), options.soundFile.c_str());
    return 0;
}

}  // namespace

int RunSound(const SOptions& options) {
    // Another run may be writing there; the place must take a file.
    COutputClaim claim;
    std::string error;
    if (!claim.Claim("", options.soundFile, "--sound", &error)) {
        Report("quellbrook", 0, error);
        return 1;
    }
    std::error_code failed;
    if (fs::exists(options.soundFile, failed) && !options.overwrite) {
        Report("quellbrook", 0, options.soundFile + " exists already; --overwrite replaces it");
        return 1;
    }
    // The song as a run opens it, only decoded.
    BassUseNoSoundOutput(true);
    if (!BASS_Init(-1, 44100, 0, nullptr)) {
        ShowMessageBox("Sound Error", "Unable to initialize bass");
        return 1;
    }
    // The file is not in memory.
    const HSTREAM stream = BASS_StreamCreateFile(0, "Data/song.mp3", 0, 0);
    int status = 1;
    if (stream) {
        status = WriteSound(stream, options);
    } else {
        ShowMessageBox("Sound Error", "Unable to load song");
    }
    BASS_Free();
    return status;
}
