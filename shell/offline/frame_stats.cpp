#include "shell/offline/frame_stats.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <numeric>

namespace {

double Percentile(const std::vector<double>& sorted, double percent) {
    const double rank = std::ceil(percent / 100.0 * static_cast<double>(sorted.size()));
    const size_t index = rank < 1.0 ? 0 : static_cast<size_t>(rank) - 1;
    return sorted[std::min(index, sorted.size() - 1)];
}

}  // namespace

SFrameStats SummariseFrameTimes(std::vector<double> frameMs) {
    SFrameStats stats;
    stats.frames = frameMs.size();
    if (frameMs.empty()) return stats;
    std::sort(frameMs.begin(), frameMs.end());
    const double totalMs = std::accumulate(frameMs.begin(), frameMs.end(), 0.0);
    stats.meanMs = totalMs / static_cast<double>(frameMs.size());
    stats.p50Ms = Percentile(frameMs, 50.0);
    stats.p99Ms = Percentile(frameMs, 99.0);
    stats.maxMs = frameMs.back();
    stats.fps = totalMs > 0.0 ? 1000.0 * static_cast<double>(frameMs.size()) / totalMs : 0.0;
    return stats;
}

std::string FormatBenchmarkLine(const SFrameStats& stats) {
    char line[256];
    std::snprintf(line, sizeof(line),
                  "benchmark: %zu frames, mean %.3f ms, p50 %.3f ms, p99 %.3f ms, max %.3f ms, %.1f fps",
                  stats.frames, stats.meanMs, stats.p50Ms, stats.p99Ms, stats.maxMs, stats.fps);
    return line;
}
