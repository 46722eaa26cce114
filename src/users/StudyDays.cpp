#include "StudyDays.h"

#include "platform/LockedRetry.h"
#include "review/PhraseMemory.h"
#include "review/PhraseResults.h"
#include "state/AppState.h"
#include "state/CaptionId.h"
#include "users/ResultsHistory.h"

#include <QDateTime>
#include <QHash>

#include <algorithm>
#include <limits>

namespace {

using LockedRetry::Failure;

bool isMissing(const Failure& f)
{
    return f.text.contains(QLatin1String("no such table"));
}

// Julian day numbers are never negative for the dates the program reads.
qint64 weekOf(qint64 julianDay)
{
    return julianDay / 7; // Julian day 0 is a Monday
}

// The local day of moments, asking the time zone about twice per UTC day rather than once
// per hour: the offset is the same at both ends of a day but on the day it changes.
class LocalDays
{
public:
    qint64 of(qint64 utcSeconds)
    {
        const qint64 utcDay = utcSeconds >= 0 ? utcSeconds / 86400 : (utcSeconds - 86399) / 86400;
        auto it = m_offsets.constFind(utcDay);
        if (it == m_offsets.constEnd()) {
            const int start = offsetAt(utcDay * 86400), end = offsetAt(utcDay * 86400 + 86399);
            it = m_offsets.insert(utcDay, start == end ? start : Changing);
        }
        if (*it == Changing)
            return PhraseMemory::localDay(utcSeconds);
        const qint64 local = utcSeconds + *it;
        return (local >= 0 ? local / 86400 : (local - 86399) / 86400) + 2440588; // Julian day of 1970-01-01
    }

private:
    static constexpr int Changing = std::numeric_limits<int>::min();
    static int offsetAt(qint64 utcSeconds) { return QDateTime::fromSecsSinceEpoch(utcSeconds).offsetFromUtc(); }
    QHash<qint64, int> m_offsets;
};

} // namespace

std::optional<StudyDays> StudyDays::load(const QString& usersDatabase, const QString& learner,
                                         const QDate& since, QString* error)
{
    // Per day and activity: its phrases and its score rows.
    struct Counts
    {
        int phrases = 0;
        int scores = 0;
    };
    std::map<std::pair<qint64, QString>, Counts> byActivity;
    const qint64 sinceDay = since.isValid() ? since.toJulianDay() : 0;
    // The day before in UTC: the text comparison in the query only narrows, the local day decides.
    const QString sinceUtc =
        since.isValid()
            ? PhraseResults::utcText(QDateTime(since.addDays(-1), QTime(0, 0), Qt::UTC).toSecsSinceEpoch())
            : QString();

    LocalDays localDays;
    const bool ok = LockedRetry::run(error, nullptr, [&](Failure& f) {
        byActivity.clear();
        auto db = LockedRetry::openUsers(usersDatabase, f);
        if (!db)
            return false;
        // Both tables seen in one state of the file.
        if (!db->exec(QStringLiteral("BEGIN DEFERRED"), &f.text)) {
            f.code = db->lastErrorCode();
            return false;
        }
        struct End
        {
            Database& db;
            ~End() { db.exec(QStringLiteral("COMMIT")); }
        } end{*db};

        // Rows written together share their second: grouped by it, the local day is worked out
        // once per session, not per phrase.
        Statement phrases = LockedRetry::prepared(
            *db,
            QStringLiteral("SELECT tUtcTime, tActivity, count(*) FROM tblPhraseResults WHERE tName = ? "
                           "AND tUtcTime >= ? GROUP BY tUtcTime, tActivity"),
            f);
        if (phrases.isValid()) {
            phrases.bindText(1, learner).bindText(2, sinceUtc);
            Statement::Step step;
            while ((step = phrases.step()) == Statement::Step::Row) {
                const auto when = PhraseResults::parseUtc(phrases.text(0));
                if (!when)
                    continue;
                const qint64 day = localDays.of(*when);
                if (day >= sinceDay)
                    byActivity[{day, phrases.text(1)}].phrases += int(phrases.integer(2));
            }
            if (step == Statement::Step::Error)
                return f.fromStatement(phrases);
        } else if (!isMissing(f)) {
            return false;
        }

        // Score rows carry the learner's own date.
        Statement scores = LockedRetry::prepared(
            *db,
            QStringLiteral("SELECT nDate, tActivity, count(*) FROM tblscores WHERE tName = ? GROUP BY nDate, "
                           "tActivity"),
            f);
        if (!scores.isValid())
            return false;
        scores.bindText(1, learner);
        Statement::Step step;
        while ((step = scores.step()) == Statement::Step::Row) {
            const QDate date = ResultsHistory::whenOf(scores.text(0), QString()).date();
            if (date.isValid() && date.toJulianDay() >= sinceDay)
                byActivity[{date.toJulianDay(), scores.text(1)}].scores += int(scores.integer(2));
        }
        if (step == Statement::Step::Error)
            return f.fromStatement(scores);
        return true;
    });
    if (!ok)
        return std::nullopt;
    StudyDays days;
    for (const auto& [key, counts] : byActivity) {
        const int n = counts.phrases > 0 ? counts.phrases : counts.scores;
        if (n > 0)
            days.m_days[key.first] += n;
    }
    return days;
}

void StudyDays::add(const QDate& day, int count)
{
    if (day.isValid() && count > 0)
        m_days[day.toJulianDay()] += count;
}

int StudyDays::count(const QDate& day) const
{
    const auto it = m_days.find(day.toJulianDay());
    return it == m_days.end() ? 0 : it->second;
}

QDate StudyDays::first() const
{
    return m_days.empty() ? QDate() : QDate::fromJulianDay(m_days.begin()->first);
}

QDate StudyDays::last() const
{
    return m_days.empty() ? QDate() : QDate::fromJulianDay(m_days.rbegin()->first);
}

int StudyDays::daysMetInLastWeek(const QDate& today, int goal) const
{
    const qint64 end = today.toJulianDay();
    int met = 0;
    for (auto it = m_days.lower_bound(end - RecentDays + 1); it != m_days.end() && it->first <= end; ++it)
        met += meets(it->second, goal) ? 1 : 0;
    return met;
}

int StudyDays::longestWeekRun(int goal) const
{
    int longest = 0, run = 0, metThisWeek = 0;
    qint64 week = -2, lastCounted = -2;
    auto closeWeek = [&] {
        if (metThisWeek < DaysForAWeek)
            return;
        run = lastCounted == week - 1 ? run + 1 : 1;
        lastCounted = week;
        longest = std::max(longest, run);
    };
    for (const auto& [day, count] : m_days) {
        if (weekOf(day) != week) {
            closeWeek();
            week = weekOf(day);
            metThisWeek = 0;
        }
        metThisWeek += meets(count, goal) ? 1 : 0;
    }
    closeWeek();
    return longest;
}

QString StudyDays::goalStatus(int todayCount, int goal, const QDate& today, QDate* metToldOn)
{
    const Captions& c = app().captions;
    if (goal <= 0)
        return QString();
    if (todayCount < goal)
        return c(Caption::GoalProgressToday).arg(todayCount).arg(goal);
    if (*metToldOn == today)
        return QString();
    *metToldOn = today;
    return c(Caption::GoalMetToday).arg(todayCount).arg(goal);
}
