#include "ReviewSchedule.h"

ReviewSchedule::ReviewSchedule(const QString& usersDatabase, const QString& learner)
    : m_usersDatabase(usersDatabase), m_learner(learner)
{
}

bool ReviewSchedule::refresh(QString* error)
{
    const auto retention = PhraseResults::desiredRetention(m_usersDatabase, m_learner, error);
    if (!retention)
        return false;
    const FsrsScheduler scheduler(*retention);
    if (!m_memory) {
        qint64 last = 0;
        const auto histories = PhraseResults::historiesOf(m_usersDatabase, m_learner, error, &last);
        if (!histories)
            return false;
        m_memory.emplace(*histories, scheduler);
        m_lastResultId = last;
        return true;
    }
    qint64 last = m_lastResultId;
    const auto added = PhraseResults::reviewsSince(m_usersDatabase, m_learner, m_lastResultId, &last, error);
    if (!added)
        return false;
    if (scheduler.desiredRetention() != m_memory->scheduler().desiredRetention())
        m_memory->setScheduler(scheduler);
    for (const PhraseResults::NewReview& r : *added)
        m_memory->add(r.phrase, r.review);
    // A table emptied and begun again (the users database cleared) starts the keys anew.
    if (last < m_lastResultId) {
        m_memory.reset();
        return refresh(error);
    }
    m_lastResultId = last;
    return true;
}
