#pragma once

#include <QDateTime>
#include <QList>
#include <QPointF>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <optional>

// One recorded result of tblscores, read for the progress views and the export.
struct HistoryEntry
{
    qint64 key = 0; // pkScoreID: the order in which results were recorded
    QString learner;
    QString activity;
    QString subject;
    QString score;     // as the result lists show it
    QString textScore; // as stored
    QVariant numberScore;
    QString nDate; // as stored
    QString nTime;
    std::optional<double> percent; // empty when the score cannot be read as a percentage
    // The date and time as recorded, on the learner's clock (held as UTC so that reading
    // thousands of results costs no time zone lookups); invalid when the date cannot be read.
    QDateTime when;

    bool charted() const { return percent.has_value() && when.isValid(); }
};

// Which results to read; an empty name matches every value.
struct ResultsFilter
{
    QString learner;
    QString activity;
    QString subject;
};

// The results of the users database read as a history: scores compared as percentages,
// dates as dates, a chart's points per activity and a learner's summary.
namespace ResultsHistory {

// Text scores win over numbers, as in the result lists: "6/9" and "6/9 (67%)" read as
// fractions, "67%" and "67" as percentages; without text the number is a percentage. A
// score that cannot be read, or lies outside 0 to 100, gives nothing.
std::optional<double> percentOf(const QString& textScore, const QVariant& numberScore);
// nDate as "yyyy-MM-dd" (or a full ISO 8601 date and time), nTime as "HH:mm:ss" or "HH:mm";
// an unreadable time counts as the start of the day, an unreadable date gives nothing. The
// result holds the recorded date and time as they stand, marked as UTC so no zone shifts them.
QDateTime whenOf(const QString& nDate, const QString& nTime);
// "67%": a percentage as the summary shows it.
QString percentText(double percent);

// The matching results in the order they were recorded.
std::optional<QList<HistoryEntry>> load(const QString& usersDatabasePath, const ResultsFilter& filter,
                                        QString* error);

struct Series
{
    QString activity;
    QList<QPointF> points; // x: milliseconds since 1970 of the local time, y: percent; in date order
};

struct ChartData
{
    QList<Series> activities;       // by activity name
    QList<HistoryEntry> unreadable; // listed, not charted
};
ChartData chartData(const QList<HistoryEntry>& entries);

// One subject in one activity: results of different activities are never mixed.
struct SubjectSummary
{
    QString subject;
    QString activity; // as stored
    std::optional<double> best;
    QString latest; // the last recorded result, as a percentage when it can be read
};

struct Summary
{
    int sessionsThisWeek = 0;       // results dated from Monday of today's week up to today
    QList<SubjectSummary> subjects; // by subject name, then activity
    int subjectCount = 0;           // different subjects studied
};
// notASubject: the name the review's scores carry, which is listed but counts as no subject.
Summary summarize(const QList<HistoryEntry>& entries, const QDate& today, const QString& notASubject = {});

} // namespace ResultsHistory
