#include "shell/offline/job_queue.h"

CJobQueue::CJobQueue(int threads, size_t capacity) : m_capacity(capacity > 0 ? capacity : 1) {
    for (int i = 0; i < (threads > 0 ? threads : 1); ++i) m_threads.emplace_back([this] { Work(); });
}

CJobQueue::~CJobQueue() {
    std::string ignored;
    Finish(&ignored);
}

bool CJobQueue::Submit(Job job) {
    std::unique_lock<std::mutex> lock(m_mutex);
    m_changed.wait(lock, [this] { return m_failed || m_queue.size() < m_capacity; });
    if (m_failed) return false;
    m_queue.push_back(std::move(job));
    m_changed.notify_all();
    return true;
}

bool CJobQueue::Finish(std::string* error) {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_closing = true;
    }
    m_changed.notify_all();
    for (std::thread& thread : m_threads) thread.join();
    m_threads.clear();
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_failed) *error = m_failure;
    return !m_failed;
}

void CJobQueue::Work() {
    for (;;) {
        Job job;
        {
            std::unique_lock<std::mutex> lock(m_mutex);
            m_changed.wait(lock, [this] { return m_closing || !m_queue.empty(); });
            if (m_queue.empty()) return;
            job = std::move(m_queue.front());
            m_queue.pop_front();
            // A slot is free for the loop.
            m_changed.notify_all();
        }
        std::string reason;
        const bool done = job(&reason);
        std::lock_guard<std::mutex> lock(m_mutex);
        if (!done && !m_failed) {
            m_failed = true;
            m_failure = reason;
            m_queue.clear();
            m_changed.notify_all();
        }
    }
}
