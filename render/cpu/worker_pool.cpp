#include "render/cpu/worker_pool.h"

CWorkerPool::CWorkerPool(int workers) {
    for (int i = 1; i < workers; ++i) m_threads.emplace_back([this, i] { Loop(i); });
}

CWorkerPool::~CWorkerPool() {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_stop = true;
    }
    m_wake.notify_all();
    for (std::thread& thread : m_threads) thread.join();
}

void CWorkerPool::Run(const std::function<void(int)>& job) {
    if (m_threads.empty()) {
        job(0);
        return;
    }
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_job = &job;
        m_running = static_cast<int>(m_threads.size());
        ++m_generation;
    }
    m_wake.notify_all();
    job(0);
    std::unique_lock<std::mutex> lock(m_mutex);
    m_done.wait(lock, [this] { return m_running == 0; });
    m_job = nullptr;
}

void CWorkerPool::Loop(int index) {
    uint64_t seen = 0;
    for (;;) {
        const std::function<void(int)>* job = nullptr;
        {
            std::unique_lock<std::mutex> lock(m_mutex);
            m_wake.wait(lock, [&] { return m_stop || m_generation != seen; });
            if (m_stop) return;
            seen = m_generation;
            job = m_job;
        }
        (*job)(index);
        std::lock_guard<std::mutex> lock(m_mutex);
        if (--m_running == 0) m_done.notify_one();
    }
}
