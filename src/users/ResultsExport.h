#pragma once

#include "users/ResultsHistory.h"

#include <QByteArray>
#include <QList>
#include <QString>

// Results as a CSV file that spreadsheet programs import: UTF-8 (with a byte order mark so
// that they take it as UTF-8), a header row, fields quoted as RFC 4180 says, CRLF line ends,
// dates as yyyy-MM-dd and times as HH:mm:ss. Columns: Learner, Activity, Subject, Score
// (as the result lists show it), Percent (empty when the score cannot be read), Date, Time.
namespace ResultsExport {

QByteArray csv(const QList<HistoryEntry>& entries);
// One CSV field: quoted when a separator, a quote, a line break or blanks at an end are in it.
QString field(const QString& value);

// Writes the results of one learner (every result when learner is empty) to file, replacing
// it atomically. *count (when given) receives the number of results written.
bool exportResults(const QString& usersDatabasePath, const QString& learner, const QString& file,
                   QString* error, qsizetype* count = nullptr);

} // namespace ResultsExport
