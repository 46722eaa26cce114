#pragma once

#include <QObject>
#include <QString>

#include <atomic>
#include <optional>
#include <thread>

// Fits the FSRS weights to the logged-in learner's rows on a thread of its own, when the
// learner has answered NewReviews phrases more since the last fitting (or since the first
// answer): the launcher asks after each activity, and nobody waits for it. The result is kept
// in the users database (PhraseResults::storeFittedParameters) and used from then on by every
// reading of the learner's schedule; fitted() says it changed the weights in use.
class FsrsFitter : public QObject
{
    Q_OBJECT
public:
    static constexpr int NewReviews = 100;

    explicit FsrsFitter(QObject* parent = nullptr);
    ~FsrsFitter() override;

    // Begins a fitting when one is due and none is going.
    void fitIfDue(const QString& usersDatabase, const QString& learner);
    // Ends a fitting still going (at logout or exit): nothing is kept of it.
    void stop();
    bool isRunning() const { return m_thread.joinable() && !m_done; }

    // The work itself, on the calling thread: reads the learner's rows, fits when due, keeps
    // the result. True when the weights in use changed; nullopt with the reason on a failure.
    static std::optional<bool> runIfDue(const QString& usersDatabase, const QString& learner,
                                        const std::atomic<bool>* cancel, QString* error);

signals:
    void fitted(const QString& learner);

private:
    void finish(quint64 generation, bool changed, const QString& learner);

    std::thread m_thread;
    std::atomic<bool> m_cancel{false};
    std::atomic<bool> m_done{true};
    quint64 m_generation = 0;
};
