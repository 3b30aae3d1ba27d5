#include "tests/shell/video_probe.h"

#include <cstdio>
#include <sstream>

#include "tests/shell/run_program.h"

std::vector<SStream> ProbeStreams(const std::string& file) {
    const SProgramRun run =
        CRunningProgram("ffprobe", ".",
                        {"-v", "error", "-count_frames", "-show_entries",
                         "stream=codec_name,r_frame_rate,nb_read_frames,duration:stream_tags=DURATION", file})
            .Wait();
    std::vector<SStream> streams;
    std::istringstream lines(run.out);
    for (std::string line; std::getline(lines, line);) {
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
        int hours = 0, minutes = 0;
        double seconds = 0.0;
        if (key == "TAG:DURATION" && std::sscanf(value.c_str(), "%d:%d:%lf", &hours, &minutes, &seconds) == 3) {
            stream.duration = hours * 3600.0 + minutes * 60.0 + seconds;
        }
    }
    return streams;
}
