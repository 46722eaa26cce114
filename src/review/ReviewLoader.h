#pragma once

#include "review/ReviewSchedule.h"

#include <QObject>
#include <QString>

#include <memory>
#include <thread>

// Reads the logged-in learner's review schedule on a thread of its own, so that a long
// history adds nothing to the login: the main tree's review node shows its count when the
// reading is done (loaded()). An activity press asks for the schedule with current(), which
// waits for that reading if it is still going and then takes in the rows added since.
class ReviewLoader : public QObject
{
    Q_OBJECT
public:
    explicit ReviewLoader(QObject* parent = nullptr);
    ~ReviewLoader() override;

    // Begins reading the learner's schedule (a reading of another learner still going is
    // waited for and dropped).
    void start(const QString& usersDatabase, const QString& learner);
    // Forgets the learner (at logout, or when the users database was replaced).
    void stop();
    // The schedule once read, else nullptr (also when the reading failed: see error()).
    const ReviewSchedule* schedule() const { return m_schedule.get(); }
    QString error() const { return m_error; }
    QString learner() const { return m_learner; }
    // The schedule brought up to date now; nullptr with the reason when it cannot be read or
    // nobody is logged in.
    const ReviewSchedule* current(QString* error);

signals:
    // The reading begun by start() is done: schedule() or error() tells how it went.
    void loaded();

private:
    void finish(quint64 generation);

    std::thread m_thread;
    std::unique_ptr<ReviewSchedule> m_reading; // only the thread touches it until joined
    bool m_readingOk = false;
    QString m_readingError;
    std::unique_ptr<ReviewSchedule> m_schedule;
    QString m_usersDatabase;
    QString m_learner;
    QString m_error;
    quint64 m_generation = 0;
};
