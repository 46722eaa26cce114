#include "ResultsHistory.h"

#include "platform/Database.h"
#include "platform/NaturalOrder.h"
#include "users/UsersDatabase.h"

#include <QHash>
#include <QMap>
#include <QRegularExpression>
#include <QSet>

#include <algorithm>
#include <cmath>

namespace ResultsHistory {

namespace {

// A number with "." or "," as its decimal mark.
std::optional<double> number(const QString& text)
{
    bool ok = false;
    QString t = text.trimmed();
    t.replace(QLatin1Char(','), QLatin1Char('.'));
    const double v = t.toDouble(&ok);
    if (!ok || !std::isfinite(v))
        return std::nullopt;
    return v;
}

std::optional<double> inRange(std::optional<double> percent)
{
    if (!percent || *percent < 0 || *percent > 100)
        return std::nullopt;
    return percent;
}

bool byName(const QString& a, const QString& b)
{
    return NaturalOrder::less(a, b);
}

} // namespace

std::optional<double> percentOf(const QString& textScore, const QVariant& numberScore)
{
    const QString text = textScore.trimmed();
    if (!text.isEmpty()) {
        static const QString Num = QStringLiteral(R"(\d+(?:[.,]\d+)?)");
        // "6/9", "6 / 9", "6/9 (67%)": the fraction decides, the percentage is only shown.
        static const QRegularExpression fraction(
            QStringLiteral(R"(^(%1)\s*/\s*(%1)(?:\s*\(\s*%1\s*%\s*\))?$)").arg(Num));
        static const QRegularExpression percentage(QStringLiteral(R"(^(%1)\s*%?$)").arg(Num));
        if (const auto m = fraction.match(text); m.hasMatch()) {
            const auto done = number(m.captured(1));
            const auto of = number(m.captured(2));
            if (!done || !of || *of <= 0)
                return std::nullopt;
            return inRange(*done / *of * 100);
        }
        if (const auto m = percentage.match(text); m.hasMatch())
            return inRange(number(m.captured(1)));
        return std::nullopt;
    }
    if (!numberScore.isValid() || numberScore.isNull())
        return std::nullopt;
    if (numberScore.typeId() == QMetaType::QString)
        return inRange(number(numberScore.toString()));
    bool ok = false;
    const double v = numberScore.toDouble(&ok);
    return ok && std::isfinite(v) ? inRange(v) : std::nullopt;
}

QDateTime whenOf(const QString& nDate, const QString& nTime)
{
    const QString d = nDate.trimmed();
    QDate date = QDate::fromString(d, Qt::ISODate);
    QTime time = QTime::fromString(nTime.trimmed(), Qt::ISODate); // "HH:mm:ss" or "HH:mm"
    if (!date.isValid()) {
        // A date written with its time, as some programs store one value for both.
        const QDateTime full = QDateTime::fromString(d, Qt::ISODate);
        if (!full.isValid())
            return QDateTime();
        date = full.date();
        if (nTime.trimmed().isEmpty())
            time = full.time();
    }
    if (!time.isValid())
        time = QTime(0, 0);
    return QDateTime(date, time, Qt::UTC);
}

QString percentText(double percent)
{
    return QString::number(std::lround(percent)) + QLatin1Char('%');
}

std::optional<QList<HistoryEntry>> load(const QString& usersDatabasePath, const ResultsFilter& filter,
                                        QString* error)
{
    auto db = Database::open(usersDatabasePath, Database::TemplatePassword, Database::Mode::ReadWrite, error);
    if (!db)
        return std::nullopt;
    // An empty filter value is bound as Null and matches every row.
    Statement s = db->prepare(
        QStringLiteral("SELECT pkScoreID, tName, tActivity, tSubject, textScore, numberScore, nDate, nTime "
                       "FROM tblscores WHERE (?1 IS NULL OR tName = ?1) AND (?2 IS NULL OR tActivity = ?2) "
                       "AND (?3 IS NULL OR tSubject = ?3) ORDER BY pkScoreID"),
        error);
    if (!s.isValid())
        return std::nullopt;
    const QString* values[] = {&filter.learner, &filter.activity, &filter.subject};
    for (int i = 0; i < 3; ++i) {
        if (values[i]->isEmpty())
            s.bindNull(i + 1);
        else
            s.bindText(i + 1, *values[i]);
    }
    QList<HistoryEntry> entries;
    Statement::Step step;
    while ((step = s.step()) == Statement::Step::Row) {
        HistoryEntry e;
        e.key = s.integer(0);
        e.learner = s.text(1);
        e.activity = s.text(2);
        e.subject = s.text(3);
        e.textScore = s.text(4);
        e.numberScore = s.value(5);
        e.nDate = s.text(6);
        e.nTime = s.text(7);
        e.score = UsersDatabase::shownScore(e.textScore, e.numberScore);
        e.percent = percentOf(e.textScore, e.numberScore);
        e.when = whenOf(e.nDate, e.nTime);
        entries.append(std::move(e));
    }
    if (step == Statement::Step::Error) {
        if (error)
            *error = s.errorString();
        return std::nullopt;
    }
    return entries;
}

ChartData chartData(const QList<HistoryEntry>& entries)
{
    ChartData data;
    QMap<QString, QList<const HistoryEntry*>> byActivity;
    for (const HistoryEntry& e : entries) {
        if (e.charted())
            byActivity[e.activity].append(&e);
        else
            data.unreadable.append(e);
    }
    QStringList names = byActivity.keys();
    std::sort(names.begin(), names.end(), byName);
    // Milliseconds of local midnight per date: one time zone lookup a day, not one a result.
    QHash<QDate, qint64> midnight;
    const auto localMsecs = [&midnight](const QDateTime& when) {
        auto it = midnight.find(when.date());
        if (it == midnight.end())
            it = midnight.insert(when.date(), QDateTime(when.date(), QTime(0, 0)).toMSecsSinceEpoch());
        return *it + when.time().msecsSinceStartOfDay();
    };
    for (const QString& name : names) {
        QList<const HistoryEntry*>& list = byActivity[name];
        // Date order; results of the same moment keep the order they were recorded in.
        std::stable_sort(list.begin(), list.end(),
                         [](const HistoryEntry* a, const HistoryEntry* b) { return a->when < b->when; });
        Series series{name, {}};
        series.points.reserve(list.size());
        for (const HistoryEntry* e : list)
            series.points.append(QPointF(double(localMsecs(e->when)), *e->percent));
        data.activities.append(std::move(series));
    }
    return data;
}

Summary summarize(const QList<HistoryEntry>& entries, const QDate& today, const QString& notASubject)
{
    Summary summary;
    const QDate monday = today.addDays(1 - today.dayOfWeek());
    QMap<std::pair<QString, QString>, SubjectSummary> subjects;
    QSet<QString> subjectNames;
    for (const HistoryEntry& e : entries) {
        if (e.when.isValid() && e.when.date() >= monday && e.when.date() <= today)
            ++summary.sessionsThisWeek;
        SubjectSummary& s = subjects[{e.subject, e.activity}];
        s.subject = e.subject;
        s.activity = e.activity;
        // The review's scores mix phrases of many subjects: listed, never counted as one.
        if (notASubject.isEmpty() || e.subject != notASubject)
            subjectNames.insert(e.subject);
        if (e.percent && (!s.best || *e.percent > *s.best))
            s.best = e.percent;
        // Entries come in the order they were recorded: the last one is the latest.
        s.latest = e.percent ? percentText(*e.percent) : e.score;
    }
    summary.subjects = subjects.values();
    summary.subjectCount = int(subjectNames.size());
    std::sort(summary.subjects.begin(), summary.subjects.end(),
              [](const SubjectSummary& a, const SubjectSummary& b) {
                  if (a.subject != b.subject)
                      return byName(a.subject, b.subject);
                  return byName(a.activity, b.activity);
              });
    return summary;
}

} // namespace ResultsHistory
