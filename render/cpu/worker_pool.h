// A small pool of worker threads that run one job on every worker at once.
// The thread that calls Run is worker 0, so a pool of one has no threads.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

class CWorkerPool {
public:
    explicit CWorkerPool(int workers);
    ~CWorkerPool();
    CWorkerPool(const CWorkerPool&) = delete;
    CWorkerPool& operator=(const CWorkerPool&) = delete;

    int Size() const { return static_cast<int>(m_threads.size()) + 1; }
    // Calls job(index) once for every index 0 .. Size() - 1, each on its own
    // worker, and returns when all have returned.
    void Run(const std::function<void(int)>& job);
    // Calls job(index) for every index 0 .. Size() - 2 on the pool's own
    // threads and returns at once; Wait returns when they have finished.
    // The caller must Wait before the next Start or Run.
    void Start(std::function<void(int)> job);
    void Wait();

private:
    void Launch(const std::function<void(int)>* job, int offset);
    void Loop(int index);

    std::vector<std::thread> m_threads;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::condition_variable m_done;
    const std::function<void(int)>* m_job = nullptr;
    std::function<void(int)> m_started;  // the job of Start
    int m_offset = 0;  // subtracted from thread indices: 1 for Start
    uint64_t m_generation = 0;
    int m_running = 0;
    bool m_stop = false;
};
