#include "shell/offline/written_frames.h"

void CWrittenFrames::Done(int64_t frame) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_ahead.insert(frame);
    while (!m_ahead.empty() && *m_ahead.begin() == m_whole) {
        m_ahead.erase(m_ahead.begin());
        ++m_whole;
    }
}

int64_t CWrittenFrames::Whole() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_whole;
}
