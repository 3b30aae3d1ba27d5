// Summaries of measured frame times for the benchmark report.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

struct SFrameStats {
    size_t frames = 0;
    double meanMs = 0.0;
    double p50Ms = 0.0;
    double p99Ms = 0.0;
    double maxMs = 0.0;
    double fps = 0.0;  // frames per second of wall time spent rendering
};

// Percentiles by nearest rank: the smallest time that at least p% of the
// frames do not exceed.
SFrameStats SummariseFrameTimes(std::vector<double> frameMs);

// "benchmark: F frames, mean X ms, p50 X ms, p99 X ms, max X ms, X fps"
std::string FormatBenchmarkLine(const SFrameStats& stats);
