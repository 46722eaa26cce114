#pragma once

#include <QDate>
#include <QString>

#include <map>
#include <optional>

// The phrases a learner answered on each local calendar day, and the habit they make: the
// days the daily goal was met and the runs of weeks it was met on most days.
//
// A day counts the learner's per-phrase rows of that day; an activity that recorded no
// phrases on a day (an activity that does not know them) counts its score rows there instead.
class StudyDays
{
public:
    // A week counts once the goal is met on this many of its days (Monday to Sunday).
    static constexpr int DaysForAWeek = 5;
    static constexpr int RecentDays = 7;

    // Reads the learner's rows dated on or after the local day since (every row when invalid).
    // A file without the per-phrase table counts its score rows. A locked file is waited for.
    static std::optional<StudyDays> load(const QString& usersDatabase, const QString& learner,
                                         const QDate& since, QString* error);

    // Adds answered phrases (or results) to a day.
    void add(const QDate& day, int count);
    int count(const QDate& day) const;
    // The days with at least one answer, by Julian day.
    const std::map<qint64, int>& days() const { return m_days; }
    // The first and last day with an answer; invalid when there is none.
    QDate first() const;
    QDate last() const;

    // A day meets the goal with at least goal answers; without a goal (0), with any.
    static bool meets(int count, int goal) { return goal > 0 ? count >= goal : count > 0; }
    // The days of the seven ending with today that met the goal.
    int daysMetInLastWeek(const QDate& today, int goal) const;
    // The most weeks in a row (Monday to Sunday) each with the goal met on at least
    // DaysForAWeek days.
    int longestWeekRun(int goal) const;

    // What the main window's status line says of today's goal after an activity has ended:
    // "8 of 10 phrases today" until it is met, once that it is met (*metToldOn keeps the day
    // it was said), then nothing; nothing without a goal.
    static QString goalStatus(int todayCount, int goal, const QDate& today, QDate* metToldOn);

private:
    std::map<qint64, int> m_days;
};
