#include "ResultsExport.h"

#include "platform/Files.h"

#include <QStringList>

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
    // One decimal, and none when it is a whole number: "66.7", "100".
    QString text = QString::number(*percent, 'f', 1);
    if (text.endsWith(QLatin1String(".0")))
        text.chop(2);
    return text;
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
          QStringLiteral("Score"), QStringLiteral("Percent"), QStringLiteral("Date"),
          QStringLiteral("Time")});
    for (const HistoryEntry& e : entries) {
        // A date that cannot be read is written as it was stored rather than lost.
        const QString date = e.when.isValid() ? e.when.date().toString(Qt::ISODate) : e.nDate;
        const QString time = e.when.isValid() ? e.when.time().toString(QStringLiteral("HH:mm:ss")) : e.nTime;
        line({e.learner, e.activity, e.subject, e.score, percentField(e.percent), date, time});
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
