#include "FsrsFitter.h"

#include "review/FsrsOptimizer.h"
#include "review/PhraseResults.h"

#include <QDateTime>

FsrsFitter::FsrsFitter(QObject* parent) : QObject(parent) {}

FsrsFitter::~FsrsFitter()
{
    stop();
}

void FsrsFitter::stop()
{
    m_cancel = true;
    if (m_thread.joinable())
        m_thread.join();
    ++m_generation; // a hand-back still queued is for nobody now
    m_cancel = false;
    m_done = true;
}

void FsrsFitter::fitIfDue(const QString& usersDatabase, const QString& learner)
{
    if (learner.isEmpty() || isRunning())
        return;
    if (m_thread.joinable())
        m_thread.join(); // done: only its hand-back may still be queued
    m_done = false;
    const quint64 generation = ++m_generation;
    m_thread = std::thread([this, usersDatabase, learner, generation] {
        QString error;
        const auto changed = runIfDue(usersDatabase, learner, &m_cancel, &error);
        if (!changed)
            qWarning("The memory model could not be fitted: %s", qPrintable(error));
        m_done = true;
        // Handed back on the main thread, where this object lives.
        QMetaObject::invokeMethod(
            this,
            [this, generation, ok = changed.value_or(false), learner] { finish(generation, ok, learner); },
            Qt::QueuedConnection);
    });
}

void FsrsFitter::finish(quint64 generation, bool changed, const QString& learner)
{
    if (generation != m_generation)
        return;
    if (m_thread.joinable())
        m_thread.join();
    if (changed)
        emit fitted(learner);
}

std::optional<bool> FsrsFitter::runIfDue(const QString& usersDatabase, const QString& learner,
                                         const std::atomic<bool>* cancel, QString* error)
{
    std::optional<PhraseResults::FittedParameters> last;
    if (!PhraseResults::fittedParameters(usersDatabase, learner, &last, error))
        return std::nullopt;
    const auto count = PhraseResults::reviewCount(usersDatabase, learner, error);
    if (!count)
        return std::nullopt;
    // A count below the last fitting's: the rows were cleared or restored, so it is due again.
    const int since = last && *count >= last->reviews ? *count - last->reviews : *count;
    if (since < NewReviews)
        return false;
    const auto histories = PhraseResults::historiesOf(usersDatabase, learner, error);
    if (!histories)
        return std::nullopt;
    const FsrsOptimizer::Result result = FsrsOptimizer(*histories).fit(cancel);
    if (result.cancelled)
        return false;
    PhraseResults::FittedParameters fitted;
    if (result.fitted)
        fitted.weights = result.weights;
    fitted.reviews = *count;
    fitted.fittedLoss = result.fittedLoss;
    fitted.defaultLoss = result.defaultLoss;
    fitted.utcSeconds = QDateTime::currentSecsSinceEpoch();
    if (!PhraseResults::storeFittedParameters(usersDatabase, learner, fitted, error))
        return std::nullopt;
    const auto before = last ? last->weights : std::nullopt;
    return before != fitted.weights;
}
