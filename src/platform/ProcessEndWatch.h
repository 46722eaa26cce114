#pragma once

#include <QObject>

#include <map>

class QSocketNotifier;
class QTimer;

// Tells when programs this one started without waiting for them (detached, so never its
// children) have ended: through a process file descriptor where the system has them, else
// by asking once a second.
class ProcessEndWatch : public QObject
{
    Q_OBJECT
public:
    explicit ProcessEndWatch(QObject* parent = nullptr);
    ~ProcessEndWatch() override;

    // Watches the process; ended(pid) follows once it has ended (at once when it already has).
    void watch(qint64 pid);
    int watchedCount() const { return int(m_watched.size()); }

signals:
    void ended(qint64 pid);

private:
    void finish(qint64 pid);
    void poll();

    struct Watched
    {
        int fd = -1; // -1: polled
        QSocketNotifier* notifier = nullptr;
    };
    std::map<qint64, Watched> m_watched;
    QTimer* m_poll = nullptr;
};
