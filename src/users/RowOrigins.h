#pragma once

#include <QString>
#include <QStringList>

#include <vector>

class Database;

// The identities of the result rows of a users database, by which the class server tells
// rows apart: a row is named by a random identity and its key in the file. The identity
// belongs to a run of keys of one table (tblRowOrigins: tTable, nFromKey, tIdentity, tPlace):
// keys from nFromKey up to the next run's start. A file gets its first identity when it is
// first needed, covering every row from key 1. A new run with a new identity begins at the
// table's next key when keys could be used a second time or the file turns up somewhere
// else:
// - the file was copied (to another machine or folder): tPlace, the machine and path the
//   run was made at, no longer matches; the copy's new rows then never meet the original's;
// - rows were brought back from a backup or cleared: the table's keys start again lower.
// Rows keep the identity they had before, so sending them again adds nothing on the server.
namespace RowOrigins {

// The tables whose rows are sent.
inline const QString Scores = QStringLiteral("tblscores");
inline const QString PhraseResults = QStringLiteral("tblPhraseResults");

struct Run
{
    qint64 fromKey = 1;
    QString identity;
    QString place;
};

// "machine id:absolute path" of a users database here.
QString placeOf(const QString& usersDatabasePath);

// Makes the tables of the identities, of what was sent (tblServerSent) and of rows fetched
// from the server (tblFetchedPhrases) where missing, and begins a run for every table whose
// newest run was made elsewhere (or that has none). Within the caller's write transaction.
bool ensure(Database& db, const QString& place, QString* error);

// The runs of a table, by their first key.
bool runsOf(Database& db, const QString& table, std::vector<Run>* runs, QString* error);
// The identity of a row's key among the runs ("" when none covers it).
QString identityOf(const std::vector<Run>& runs, qint64 key);

// After a restore (copy given) or a clear (copy nullptr) replaced the rows of `tables` in
// live: those tables take the copy's runs when it has any (its rows keep their identities)
// and their sent marks start again; then every table begins a new run at its next key.
// Within the caller's write transaction on live.
bool afterRowsReplaced(Database& live, Database* copy, const QStringList& tables, const QString& place,
                       QString* error);

} // namespace RowOrigins
