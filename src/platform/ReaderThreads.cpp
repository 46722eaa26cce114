#include "ReaderThreads.h"

#include <QThread>

#include <algorithm>
#include <system_error>

size_t ReaderThreads::perCore(size_t count, bool callerTakesPart)
{
    const size_t cores = size_t(std::max(1, QThread::idealThreadCount()));
    const size_t threads = std::min(count, cores);
    return callerTakesPart && threads > 0 ? threads - 1 : threads;
}

void ReaderThreads::start(size_t count, std::function<void(size_t)> work, size_t threads)
{
    stop();
    m_work = std::move(work);
    m_count = count;
    m_next = 0;
    for (size_t i = 0; i < threads; ++i) {
        try {
            m_threads.emplace_back(&ReaderThreads::takeJobs, this);
        } catch (const std::system_error&) {
            break; // no thread to be had
        }
    }
}

void ReaderThreads::finish()
{
    takeJobs();
    stop();
}

void ReaderThreads::stop()
{
    // The jobs not started yet are dropped; those running end first.
    m_stopping = true;
    for (std::thread& thread : m_threads)
        thread.join();
    m_threads.clear();
    m_stopping = false;
}

void ReaderThreads::takeJobs()
{
    while (!m_stopping) {
        const size_t next = m_next++;
        if (next >= m_count)
            return;
        m_work(next);
    }
}
