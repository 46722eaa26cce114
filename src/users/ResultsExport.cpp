#include "ResultsExport.h"

#include "platform/Files.h"
#include "study/ActivityNames.h"

#include <QStringList>

#include <cmath>

namespace ResultsExport {

QString field(const QString& value)
{
    // Quoted when a separator, a quote or a line break is inside, or blanks at either end
    // that an importer could trim.
    const bool quote = value.contains(QLatin1Char(',')) || value.contains(QLatin1Char('"')) ||
                       value.contains(QLatin1Char('\n')) || value.contains(QLatin1Char('\r')) ||
                       (!value.isEmpty() && (value.front().isSpace() || value.back().isSpace()));
    if (!quote)
        return value;
    QString v = value;
    v.replace(QLatin1Char('"'), QStringLiteral("\"\""));
    return QLatin1Char('"') + v + QLatin1Char('"');
}

namespace {

QString percentField(const std::optional<double>& percent)
{
    if (!percent)
        return QString();
    // Rounded as the scores and the program's windows round it, so that 1/8 is 13 both in
    // "1/8 (13%)" and here; the header says so.
    return QString::number(std::lround(*percent));
}

} // namespace

QByteArray csv(const QList<HistoryEntry>& entries)
{
    QString out;
    out.reserve(64 * (entries.size() + 1));
    const auto line = [&out](const QStringList& fields) {
        QStringList quoted;
        for (const QString& f : fields)
            quoted << field(f);
        out += quoted.join(QLatin1Char(',')) + QStringLiteral("\r\n");
    };
    line({QStringLiteral("Learner"), QStringLiteral("Activity"), QStringLiteral("Subject"),
          QStringLiteral("Score"), QStringLiteral("Percent (rounded)"), QStringLiteral("Date"),
          QStringLiteral("Time")});
    for (const HistoryEntry& e : entries) {
        // A date that cannot be read is written as it was stored rather than lost.
        const QString date = e.when.isValid() ? e.when.date().toString(Qt::ISODate) : e.nDate;
        const QString time = e.when.isValid() ? e.when.time().toString(QStringLiteral("HH:mm:ss")) : e.nTime;
        line({e.learner, ActivityNames::displayName(e.activity), e.subject, e.score, percentField(e.percent),
              date, time});
    }
    return QByteArrayLiteral("\xEF\xBB\xBF") + out.toUtf8();
}

bool exportResults(const QString& usersDatabasePath, const QString& learner, const QString& file,
                   QString* error, qsizetype* count)
{
    ResultsFilter filter;
    filter.learner = learner;
    const auto entries = ResultsHistory::load(usersDatabasePath, filter, error);
    if (!entries)
        return false;
    if (!writeFileAtomically(file, csv(*entries), error))
        return false;
    if (count)
        *count = entries->size();
    return true;
}

} // namespace ResultsExport
