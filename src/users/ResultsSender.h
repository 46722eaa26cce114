#pragma once

#include "users/ClassServer.h"

#include <QDateTime>
#include <QObject>
#include <QString>
#include <QStringList>

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>

// Sends the results of the users database to the class server and fetches a learner's rows
// from it, on a thread of its own: nobody ever waits for the network. It sends at start, when
// asked (after a login, after an activity) and every few minutes; a failure (no server, a
// wrong password, a server gone mid-send, a full disk there) leaves the rows queued for the
// next try and is only shown in the state. Without settings it only gives the file its row
// identities.
class ResultsSender : public QObject
{
    Q_OBJECT
public:
    static constexpr int DefaultIntervalMs = 3 * 60 * 1000;

    struct State
    {
        bool configured = false;
        bool busy = false;
        qint64 unsent = -1; // results not sent yet (-1: not counted yet)
        QString serverAddress;
        QString error;         // the last try's failure, "" after a success
        QDateTime lastSuccess; // the last send that left nothing behind (local time)
    };

    explicit ResultsSender(QObject* parent = nullptr);
    ~ResultsSender() override;

    // Begins the thread for the users database (settings not set: identities only).
    void start(const QString& usersDatabase, const ClassServerSettings& settings, const QString& password,
               int intervalMs = DefaultIntervalMs);
    // New settings take effect at the next try, which begins now.
    void configure(const ClassServerSettings& settings, const QString& password);
    // Sends what is queued as soon as the thread is free.
    void sendSoon();
    // Fetches the learner's per-phrase rows, then sends.
    void fetchFor(const QString& learner);
    // Ends the thread (a try under way is broken off at once; its rows stay queued).
    void stop();

    State state() const;

signals:
    // The state changed (queued to the receiver's thread).
    void stateChanged();
    // Rows of the learner from other machines were added: their memory must be read again.
    void learnerRowsAdded(const QString& learner, int added);

private:
    void run();
    void setState(const State& state);

    mutable std::mutex m_mutex;
    std::condition_variable m_wake;
    std::thread m_thread;
    std::atomic_bool m_stop{false};
    // Guarded by m_mutex:
    QString m_usersDatabase;
    ClassServerSettings m_settings;
    QString m_password;
    bool m_settingsChanged = false;
    bool m_sendRequested = false;
    QStringList m_fetchRequests;
    int m_intervalMs = DefaultIntervalMs;
    State m_state;
};
