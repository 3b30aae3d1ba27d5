// Jobs queued for worker threads beside the render loop (encoders, writers). The queue is bounded, so
// a slow consumer holds the loop back instead of filling memory with frames.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class CJobQueue {
public:
    // False, with the reason in *error, when the job failed.
    using Job = std::function<bool(std::string* error)>;

    // One thread runs the jobs in the order given; more run them in any order.
    CJobQueue(int threads, size_t capacity);
    // Runs what is queued and joins the threads.
    ~CJobQueue();
    CJobQueue(const CJobQueue&) = delete;
    CJobQueue& operator=(const CJobQueue&) = delete;

    // Waits while the queue is full. False once a job has failed: later jobs
    // are dropped.
    bool Submit(Job job);
    // Runs what is queued and joins the threads; false with the first
    // failure's reason.
    bool Finish(std::string* error);

private:
    void Work();

    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::deque<Job> m_queue;
    size_t m_capacity;
    bool m_closing = false;
    bool m_failed = false;
    std::string m_failure;
    std::vector<std::thread> m_threads;
};
