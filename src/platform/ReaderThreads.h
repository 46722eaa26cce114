#pragma once

#include <atomic>
#include <cstddef>
#include <functional>
#include <thread>
#include <vector>

// Jobs numbered 0 to count - 1, each taken once, in order, by threads of this object's own
// (files to read: one thread per core keeps every core busy). The threads are joined, not
// pooled: a pool's thread may still be ending as the process exits, after the crypto
// library's exit handlers have dropped its per-thread state.
class ReaderThreads
{
public:
    ReaderThreads() = default;
    // Lets no thread take another job and waits for those running.
    ~ReaderThreads() { stop(); }
    ReaderThreads(const ReaderThreads&) = delete;
    ReaderThreads& operator=(const ReaderThreads&) = delete;

    // Threads for count jobs: one per core, at most one per job, less the calling thread's
    // share when it takes part too (finish()).
    static size_t perCore(size_t count, bool callerTakesPart);

    // Starts up to `threads` threads running work(0) to work(count - 1) (after stop(): a
    // new set). A thread that cannot be started leaves its jobs to the others and to
    // finish(); with none at all the jobs run only there.
    void start(size_t count, std::function<void(size_t)> work, size_t threads);
    // The calling thread takes the jobs not taken yet, then waits for those running.
    void finish();
    void stop();

private:
    void takeJobs();

    std::function<void(size_t)> m_work;
    size_t m_count = 0;
    std::atomic<size_t> m_next = 0;
    std::atomic<bool> m_stopping = false;
    std::vector<std::thread> m_threads;
};
