#pragma once

#include "review/Grade.h"

#include "review/FsrsScheduler.h"
#include "review/PhraseResults.h"

#include <QHash>

#include <optional>
#include <vector>

size_t qHash(const PhraseIdentity& phrase, size_t seed = 0) noexcept;

// What a learner's memory of one phrase has come to after all its reviews.
struct PhraseMemoryItem
{
    PhraseIdentity phrase;
    MemoryState state;
    int reviews = 0;
    int lapses = 0;     // reviews graded Again on a later day than the one before
    qint64 lastUtc = 0; // the last review, seconds since 1970 UTC
    qint64 lastDay = 0; // its local day (Julian day number)
    Grade lastGrade = Grade::Good; // the grade of the last review
    // lastDay + the interval for the desired retention; lastDay itself while the last answer
    // was Again: a phrase missed comes back the same day until it is recalled.
    qint64 dueDay = 0;
};

// A learner's memory of every phrase they have studied, computed from their per-phrase rows
// in time order (the rows are the one record). Days are the learner's
// local calendar days; a phrase never studied is not in it and is never due. A copy can be
// kept (toBytes) so that a long history need not be replayed at every login.
class PhraseMemory
{
public:
    // Thresholds of the memory view: a phrase reviewed once is new; after that it is known
    // from a stability of 21 days on (three weeks before recall falls to 90%), learning below.
    static constexpr double KnownStability = 21.0;

    PhraseMemory(const std::vector<PhraseHistory>& histories, const FsrsScheduler& scheduler);

    // One more review (a row added since the memory was made), in time order for its phrase.
    void add(const PhraseIdentity& phrase, const PhraseReview& review);
    // Another desired retention: every due date moves.
    void setScheduler(const FsrsScheduler& scheduler);

    // A copy for the users database (PhraseResults::storeMemory), with the memory-testing
    // reviews from testsSinceDay on; each subject name is in it once. fromBytes gives nullopt
    // for a copy made with other weights or of another form, or a damaged one (a value no
    // replay of rows can give: a stability that is not a positive finite number, a difficulty
    // outside 1 to 10, a day or time outside the years 1 to 9999, counts that do not add up, a
    // subject name longer than a file name): the rows then rebuild it.
    QByteArray toBytes(qint64 testsSinceDay) const;
    static std::optional<PhraseMemory> fromBytes(const QByteArray& bytes, const FsrsScheduler& scheduler);

    // The local calendar day of a moment, as a Julian day number.
    static qint64 localDay(qint64 utcSeconds);
    static qint64 today();

    const std::vector<PhraseMemoryItem>& items() const { return m_items; }
    // The phrase's memory; nullptr when it was never studied.
    const PhraseMemoryItem* find(const PhraseIdentity& phrase) const;
    const FsrsScheduler& scheduler() const { return m_scheduler; }
    // The chance of recalling the phrase on that day.
    double retrievabilityOn(const PhraseMemoryItem& item, qint64 day) const;

    // The phrases due on that day (due then or before), most overdue (lowest chance of
    // recall) first, at most limit of them (every one when limit < 0).
    std::vector<PhraseMemoryItem> due(qint64 day, int limit = -1) const;
    int dueCount(qint64 day) const;
    // The first day after day on which a phrase falls due; nullopt when nothing was studied.
    std::optional<qint64> nextDueDay(qint64 day) const;

    struct Counts
    {
        int newPhrases = 0;
        int learning = 0;
        int known = 0;
    };
    Counts counts() const;
    // Reviews falling due on each of the days from day on (the first also counts the overdue).
    std::vector<int> forecast(qint64 day, int days) const;
    // The share of reviews recalled (Hard, Good or Easy) among those of the last days before
    // and including day that tested memory: a later day than the phrase's review before.
    // nullopt when there were none.
    std::optional<double> achievedRetention(qint64 day, int days) const;

private:
    void apply(PhraseMemoryItem& item, const PhraseReview& review);
    qint64 dueDayOf(const PhraseMemoryItem& item) const;
    FsrsScheduler m_scheduler;
    QHash<PhraseIdentity, size_t> m_index; // position in m_items
    std::vector<PhraseMemoryItem> m_items;
    std::vector<std::pair<qint64, bool>> m_tests; // (day, recalled) of each review that tested memory
};
