#include "ReviewSchedule.h"

namespace {

// Takes in rows added after the memory was made. A row dated before its phrase's last review
// taken in (a clock set back, a restore merged in) cannot be applied on top: false, and the
// memory must be worked out again from every row in time order, as a full replay does, so
// that both give the same memory.
bool takeIn(PhraseMemory& memory, const std::vector<PhraseResults::NewReview>& added)
{
    for (const PhraseResults::NewReview& r : added) {
        const PhraseMemoryItem* item = memory.find(r.phrase);
        if (item && r.review.utcSeconds < item->lastUtc)
            return false;
        memory.add(r.phrase, r.review);
    }
    return true;
}

} // namespace

ReviewSchedule::ReviewSchedule(const QString& usersDatabase, const QString& learner)
    : m_usersDatabase(usersDatabase), m_learner(learner)
{
}

bool ReviewSchedule::refresh(QString* error)
{
    const auto scheduler = PhraseResults::schedulerOf(m_usersDatabase, m_learner, error);
    if (!scheduler)
        return false;
    // Weights fitted anew change every memory: worked out again (a copy kept with the old
    // weights is not used).
    if (m_memory && scheduler->weights() != m_memory->scheduler().weights())
        m_memory.reset();
    if (!m_memory)
        return load(*scheduler, error);
    qint64 last = m_lastResultId;
    PhraseResults::SkippedRows skipped;
    const auto added =
        PhraseResults::reviewsSince(m_usersDatabase, m_learner, m_lastResultId, &last, error, &skipped);
    if (!added)
        return false;
    m_skippedRows += skipped.count;
    if (scheduler->desiredRetention() != m_memory->scheduler().desiredRetention())
        m_memory->setScheduler(*scheduler);
    // A table emptied and begun again (the users database cleared) starts the keys anew.
    if (last < m_lastResultId || !takeIn(*m_memory, *added)) {
        m_memory.reset();
        return load(*scheduler, error);
    }
    m_lastResultId = last;
    return true;
}

bool ReviewSchedule::load(const FsrsScheduler& scheduler, QString* error)
{
    PhraseResults::StoredMemory stored;
    if (!PhraseResults::storedMemory(m_usersDatabase, m_learner, &stored, error))
        return false;
    qint64 tableLast = 0;
    qint64 ownLast = 0;
    size_t rowsRead = 0;
    PhraseResults::SkippedRows skipped;
    if (!stored.bytes.isEmpty())
        m_memory = PhraseMemory::fromBytes(stored.bytes, scheduler);
    if (m_memory) {
        const auto added = PhraseResults::reviewsSince(m_usersDatabase, m_learner, stored.upToResultId,
                                                       &tableLast, error, &skipped);
        if (!added) {
            m_memory.reset();
            return false;
        }
        // Skipped rows count as read: the next copy is past them, so they are not read again.
        ownLast = std::max(stored.upToResultId, skipped.lastResultId);
        for (const PhraseResults::NewReview& r : *added)
            ownLast = std::max(ownLast, r.resultId);
        rowsRead = added->size() + size_t(skipped.count);
        if (!takeIn(*m_memory, *added))
            m_memory.reset();
    }
    if (!m_memory || tableLast < stored.upToResultId) {
        // No copy, or one the file no longer matches: every row, in time order.
        skipped = {};
        const auto histories =
            PhraseResults::historiesOf(m_usersDatabase, m_learner, error, &tableLast, &ownLast, &skipped);
        if (!histories) {
            m_memory.reset();
            return false;
        }
        m_memory.emplace(*histories, scheduler);
        rowsRead = size_t(ownLast > 0);
    }
    m_lastResultId = tableLast;
    m_skippedRows = skipped.count;
    if (rowsRead > 0) {
        // Kept for the next login; a copy that cannot be written (a full disk, a locked file)
        // costs only that login's time, so nobody is told.
        QString ignored;
        PhraseResults::storeMemory(m_usersDatabase, m_learner,
                                   {ownLast, m_memory->toBytes(PhraseMemory::today() - KeptTestDays)}, &ignored);
    }
    return true;
}
