#include "tests/shell/video_probe.h"

#include <cstdio>
#include <sstream>

#include "tests/shell/run_program.h"

namespace {

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream stream(text);
    for (std::string line; std::getline(stream, line);) lines.push_back(line);
    return lines;
}

}  // namespace

std::vector<SStream> ProbeStreams(const std::string& file) {
    const SProgramRun run =
        CRunningProgram("ffprobe", ".",
                        {"-v", "error", "-count_frames", "-show_entries",
                         "stream=codec_name,r_frame_rate,nb_read_frames,duration,width,height:stream_tags=DURATION", file})
            .Wait();
    std::vector<SStream> streams;
    for (const std::string& line : Lines(run.out)) {
        const size_t equals = line.find('=');
        if (line == "[STREAM]") streams.emplace_back();
        if (streams.empty() || equals == std::string::npos) continue;
        const std::string key = line.substr(0, equals);
        const std::string value = line.substr(equals + 1);
        SStream& stream = streams.back();
        if (key == "codec_name") stream.codec = value;
        if (key == "r_frame_rate") stream.rate = value;
        if (key == "nb_read_frames" && value != "N/A") stream.frames = std::stoll(value);
        if (key == "duration" && value != "N/A") stream.duration = std::stod(value);
        if (key == "width") stream.width = std::stoi(value);
        if (key == "height") stream.height = std::stoi(value);
        int hours = 0, minutes = 0;
        double seconds = 0.0;
        if (key == "TAG:DURATION" && std::sscanf(value.c_str(), "%d:%d:%lf", &hours, &minutes, &seconds) == 3) {
            stream.duration = hours * 3600.0 + minutes * 60.0 + seconds;
        }
    }
    return streams;
}

std::string DecodeSound(const std::string& file) {
    return CRunningProgram("ffmpeg", ".", {"-v", "error", "-i", file, "-f", "s16le", "-ac", "2", "-ar", "44100", "-"})
        .Wait()
        .out;
}

std::vector<std::string> FrameHashes(const std::string& file) {
    const SProgramRun run =
        CRunningProgram("ffmpeg", ".", {"-v", "error", "-i", file, "-map", "0:v:0", "-f", "framemd5", "-"}).Wait();
    std::vector<std::string> frames;
    if (run.status != 0) return frames;
    for (const std::string& line : Lines(run.out)) {
        if (!line.empty() && line[0] != '#') frames.push_back(line);
    }
    return frames;
}

std::vector<double> FrameTimes(const std::string& file) {
    const SProgramRun run = CRunningProgram("ffprobe", ".",
                                            {"-v", "error", "-select_streams", "v:0", "-show_entries",
                                             "frame=pts_time", "-of", "csv=p=0", file})
                                .Wait();
    std::vector<double> times;
    for (const std::string& line : Lines(run.out)) {
        if (!line.empty()) times.push_back(std::stod(line));
    }
    return times;
}
