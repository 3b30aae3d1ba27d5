// The music of an offline run as a WAV file, written before the first frame
// is drawn (the music does not depend on the picture), so that ffmpeg can
// take it while the frames are still coming, and cut to the frames made at
// the end.
//
// The music starts with the timer, and the clock trails the timer by its
// start offset plus one pass, so a frame is heard with the music at the
// timer's position when the frame is drawn, not at its clock value. The
// file therefore starts at the music position of the first frame, and in
// the end holds exactly frames * 44100 / fps sample frames (rounded down).
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "shell/offline/wav_writer.h"

class CMusicCapture {
public:
    // Until the song ends, however long that is.
    static constexpr uint64_t kWholeSong = UINT64_MAX;

    CMusicCapture() = default;
    // A file not finished goes with the capture.
    ~CMusicCapture();
    CMusicCapture(const CMusicCapture&) = delete;
    CMusicCapture& operator=(const CMusicCapture&) = delete;

    // Starts an empty WAV file under a hidden name beside `path` (Path()),
    // which Finish gives `path`'s name.
    bool Open(const std::string& path, std::string* error);
    // Where the file is being written.
    const std::string& Path() const { return m_hidden; }
    // Writes the song from `skip` sample frames in: `length` sample frames
    // (silence after the song's end), or up to its end for kWholeSong. The
    // file is complete on disk afterwards. Stops early, still complete, when
    // `stop` says so.
    bool WriteSong(uint32_t stream, uint64_t skip, uint64_t length, const std::function<bool()>& stop,
                   std::string* error);
    // Cuts or pads the file to `length` sample frames, closes it and gives
    // it its name.
    bool Finish(uint64_t length, std::string* error);

    uint64_t FramesWritten() const { return m_wav.FramesWritten(); }

private:
    CWavWriter m_wav;
    std::string m_path;
    std::string m_hidden;  // empty once the file has its name
};
