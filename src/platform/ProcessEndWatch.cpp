#include "ProcessEndWatch.h"

#include "platform/Files.h"

#include <QSocketNotifier>
#include <QTimer>

#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <vector>

namespace {

int openProcessFd(qint64 pid)
{
#ifdef SYS_pidfd_open
    return int(::syscall(SYS_pidfd_open, pid_t(pid), 0));
#else
    Q_UNUSED(pid);
    return -1;
#endif
}

} // namespace

ProcessEndWatch::ProcessEndWatch(QObject* parent) : QObject(parent)
{
    m_poll = new QTimer(this);
    m_poll->setInterval(1000);
    connect(m_poll, &QTimer::timeout, this, &ProcessEndWatch::poll);
}

ProcessEndWatch::~ProcessEndWatch()
{
    for (auto& [pid, w] : m_watched) {
        delete w.notifier;
        if (w.fd >= 0)
            ::close(w.fd);
    }
}

void ProcessEndWatch::watch(qint64 pid)
{
    if (pid <= 0 || m_watched.count(pid))
        return;
    Watched w;
    w.fd = openProcessFd(pid);
    if (w.fd < 0 && !processIsRunning(pid)) {
        // Ended before it could be watched; told from the event loop, as a later end would be.
        QTimer::singleShot(0, this, [this, pid] { emit ended(pid); });
        return;
    }
    if (w.fd >= 0) {
        // The descriptor becomes readable once the process has ended.
        w.notifier = new QSocketNotifier(w.fd, QSocketNotifier::Read, this);
        connect(w.notifier, &QSocketNotifier::activated, this, [this, pid] { finish(pid); });
    } else if (!m_poll->isActive()) {
        m_poll->start();
    }
    m_watched.emplace(pid, w);
}

void ProcessEndWatch::finish(qint64 pid)
{
    const auto it = m_watched.find(pid);
    if (it == m_watched.end())
        return;
    if (it->second.notifier) {
        it->second.notifier->setEnabled(false);
        it->second.notifier->deleteLater();
    }
    if (it->second.fd >= 0)
        ::close(it->second.fd);
    m_watched.erase(it);
    emit ended(pid);
}

void ProcessEndWatch::poll()
{
    std::vector<qint64> ended;
    for (const auto& [pid, w] : m_watched) {
        if (w.fd < 0 && !processIsRunning(pid))
            ended.push_back(pid);
    }
    for (qint64 pid : ended)
        finish(pid);
    if (std::none_of(m_watched.begin(), m_watched.end(),
                     [](const auto& entry) { return entry.second.fd < 0; }))
        m_poll->stop();
}
