// Writes the music of a captured run to a WAV file, frame by frame, so that
// the sound lines up with the frames when both are played at the frame rate.
//
// The music starts with the timer, and the clock trails the timer by its
// start offset plus one pass, so a frame is heard with the music at the
// timer's position when the frame is drawn, not at its clock value. The
// file therefore starts at the music position of the first frame and holds
// exactly frames * 44100 / fps sample frames (rounded down).
#pragma once

#include <cstdint>
#include <string>

#include "shell/offline/wav_writer.h"

class CMusicCapture {
public:
    explicit CMusicCapture(int fps) : m_fps(fps) {}

    bool Open(const std::string& path, std::string* error);
    // The stream to read from once the music has started.
    void SetStream(uint32_t stream) { m_stream = stream; }
    // Called for each frame drawn, with the timer's position then, in steps
    // of 1/fps s since the timer started.
    bool AddFrame(int64_t timerSteps, std::string* error);
    bool Close(std::string* error);

    uint64_t FramesWritten() const { return m_wav.FramesWritten(); }

private:
    // Sample frames in `steps` frame periods.
    uint64_t SamplesIn(int64_t steps) const;
    // Appends music up to `end` samples into the file, silence after its end.
    bool WriteUpTo(uint64_t end, std::string* error);

    int m_fps;
    uint32_t m_stream = 0;
    CWavWriter m_wav;
    int64_t m_frames = 0;
};
