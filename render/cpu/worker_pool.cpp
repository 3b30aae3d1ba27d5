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

void CWorkerPool::Launch(const std::function<void(int)>* job, int offset) {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_job = job;
        m_offset = offset;
        m_running = static_cast<int>(m_threads.size());
        ++m_generation;
    }
    m_wake.notify_all();
}

void CWorkerPool::Wait() {
    std::unique_lock<std::mutex> lock(m_mutex);
    m_done.wait(lock, [this] { return m_running == 0; });
    m_job = nullptr;
}

void CWorkerPool::Run(const std::function<void(int)>& job) {
    if (m_threads.empty()) {
        job(0);
        return;
    }
    Launch(&job, 0);
    job(0);
    Wait();
}

void CWorkerPool::Start(std::function<void(int)> job) {
    m_started = std::move(job);
    Launch(&m_started, 1);
}

void CWorkerPool::Loop(int index) {
    uint64_t seen = 0;
    for (;;) {
        const std::function<void(int)>* job = nullptr;
        int offset = 0;
        {
            std::unique_lock<std::mutex> lock(m_mutex);
            m_wake.wait(lock, [&] { return m_stop || m_generation != seen; });
            if (m_stop) return;
            seen = m_generation;
            job = m_job;
            offset = m_offset;
        }
        (*job)(index - offset);
        std::lock_guard<std::mutex> lock(m_mutex);
        if (--m_running == 0) m_done.notify_one();
    }
}
