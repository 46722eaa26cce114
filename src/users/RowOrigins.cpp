#include "RowOrigins.h"

#include "platform/Database.h"
#include "platform/Fail.h"

#include <QDir>
#include <QFileInfo>
#include <QSysInfo>
#include <QUuid>

#include <algorithm>

namespace RowOrigins {

namespace {

bool hasTable(Database& db, const QString& table)
{
    Statement s = db.prepare(QStringLiteral("SELECT 1 FROM sqlite_master WHERE type = 'table' AND name = ?"));
    s.bindText(1, table);
    return s.isValid() && s.step() == Statement::Step::Row;
}

// The key the table gives its next row: above every key it has and every key it gave.
bool nextKey(Database& db, const QString& table, qint64* key, QString* error)
{
    *key = 1;
    if (!hasTable(db, table))
        return true;
    const QString primary = table == Scores ? QStringLiteral("pkScoreID") : QStringLiteral("pkResultID");
    Statement s =
        db.prepare(QStringLiteral("SELECT max(coalesce((SELECT max(%1) FROM %2), 0), "
                                  "coalesce((SELECT max(seq) FROM sqlite_sequence WHERE name = ?), 0))")
                       .arg(primary, table),
                   error);
    if (!s.isValid())
        return false;
    s.bindText(1, table);
    if (s.step() != Statement::Step::Row)
        return fail(error, s.errorString());
    *key = s.integer(0) + 1;
    return true;
}

bool beginRun(Database& db, const QString& table, const QString& place, QString* error)
{
    std::vector<Run> runs;
    if (!runsOf(db, table, &runs, error))
        return false;
    // The first run covers every row the table has.
    qint64 from = 1;
    if (!runs.empty() && !nextKey(db, table, &from, error))
        return false;
    // A new identity never collides with any other file's: 122 random bits.
    Statement s =
        db.prepare(QStringLiteral("INSERT OR REPLACE INTO tblRowOrigins (tTable, nFromKey, tIdentity, "
                                  "tPlace) VALUES (?, ?, ?, ?)"),
                   error);
    if (!s.isValid())
        return false;
    s.bindText(1, table)
        .bindInt(2, from)
        .bindText(3, QUuid::createUuid().toString(QUuid::WithoutBraces))
        .bindText(4, place);
    return s.run() || fail(error, s.errorString());
}

bool execute(Database& db, const QString& sql, const QString& table, QString* error)
{
    Statement s = db.prepare(sql, error);
    if (!s.isValid())
        return false;
    s.bindText(1, table);
    return s.run() || fail(error, s.errorString());
}

} // namespace

QString placeOf(const QString& usersDatabasePath)
{
    const QFileInfo info(usersDatabasePath);
    const QString folder = info.absoluteDir().canonicalPath();
    return QString::fromLatin1(QSysInfo::machineUniqueId()) + QLatin1Char(':') +
           (folder.isEmpty() ? info.absoluteFilePath() : folder + QLatin1Char('/') + info.fileName());
}

bool ensure(Database& db, const QString& place, QString* error)
{
    const bool made =
        db.exec(
            QStringLiteral("CREATE TABLE IF NOT EXISTS tblRowOrigins (tTable TEXT NOT NULL, nFromKey INTEGER "
                           "NOT NULL, tIdentity TEXT NOT NULL, tPlace TEXT NOT NULL, PRIMARY KEY (tTable, "
                           "nFromKey))"),
            error) &&
        db.exec(QStringLiteral("CREATE TABLE IF NOT EXISTS tblServerSent (tTable TEXT PRIMARY KEY, nSentUpTo "
                               "INTEGER NOT NULL, tMark TEXT NOT NULL)"),
                error) &&
        db.exec(QStringLiteral("CREATE TABLE IF NOT EXISTS tblFetchedPhrases (nResultID INTEGER PRIMARY KEY, "
                               "tIdentity TEXT NOT NULL, nKey INTEGER NOT NULL)"),
                error);
    if (!made)
        return false;
    for (const QString& table : {Scores, PhraseResults}) {
        std::vector<Run> runs;
        if (!runsOf(db, table, &runs, error))
            return false;
        if ((runs.empty() || runs.back().place != place) && !beginRun(db, table, place, error))
            return false;
        // A fresh mark names this start of counting; a mark written by a sender that read the
        // rows before a restore names another and is dropped.
        Statement s =
            db.prepare(QStringLiteral("INSERT OR IGNORE INTO tblServerSent (tTable, nSentUpTo, tMark) "
                                      "VALUES (?, 0, ?)"),
                       error);
        if (!s.isValid())
            return false;
        s.bindText(1, table).bindText(2, QUuid::createUuid().toString(QUuid::WithoutBraces));
        if (!s.run())
            return fail(error, s.errorString());
    }
    return true;
}

bool runsOf(Database& db, const QString& table, std::vector<Run>* runs, QString* error)
{
    runs->clear();
    if (!hasTable(db, QStringLiteral("tblRowOrigins")))
        return true;
    Statement s =
        db.prepare(QStringLiteral("SELECT nFromKey, tIdentity, tPlace FROM tblRowOrigins WHERE tTable = "
                                  "? ORDER BY nFromKey"),
                   error);
    if (!s.isValid())
        return false;
    s.bindText(1, table);
    Statement::Step step;
    while ((step = s.step()) == Statement::Step::Row)
        runs->push_back({s.integer(0), s.text(1), s.text(2)});
    return step == Statement::Step::Done || fail(error, s.errorString());
}

QString identityOf(const std::vector<Run>& runs, qint64 key)
{
    // The last run that begins at or below the key.
    auto it =
        std::upper_bound(runs.begin(), runs.end(), key, [](qint64 k, const Run& r) { return k < r.fromKey; });
    return it == runs.begin() ? QString() : std::prev(it)->identity;
}

// The marks of phrase rows fetched from the server follow the rows they mark: a fetched row
// left unmarked would be sent again under this file's identity and counted twice.
static bool replaceFetched(Database& live, Database* copy, QString* error)
{
    if (!live.exec(QStringLiteral("DELETE FROM tblFetchedPhrases"), error))
        return false;
    if (!copy || !hasTable(*copy, QStringLiteral("tblFetchedPhrases")))
        return true;
    Statement read = copy->prepare(QStringLiteral("SELECT nResultID, tIdentity, nKey FROM tblFetchedPhrases"), error);
    Statement write = live.prepare(
        QStringLiteral("INSERT INTO tblFetchedPhrases (nResultID, tIdentity, nKey) VALUES (?, ?, ?)"), error);
    if (!read.isValid() || !write.isValid())
        return false;
    Statement::Step step;
    while ((step = read.step()) == Statement::Step::Row) {
        write.reset();
        write.bindInt(1, read.integer(0)).bindText(2, read.text(1)).bindInt(3, read.integer(2));
        if (!write.run())
            return fail(error, write.errorString());
    }
    return step == Statement::Step::Done || fail(error, read.errorString());
}

bool afterRowsReplaced(Database& live, Database* copy, const QStringList& tables, const QString& place,
                       QString* error)
{
    if (!ensure(live, place, error))
        return false;
    for (const QString& table : tables) {
        std::vector<Run> kept;
        if (copy && !runsOf(*copy, table, &kept, error))
            return false;
        if (!copy &&
            !execute(live, QStringLiteral("DELETE FROM tblRowOrigins WHERE tTable = ?"), table, error))
            return false;
        if (!kept.empty()) {
            if (!execute(live, QStringLiteral("DELETE FROM tblRowOrigins WHERE tTable = ?"), table, error))
                return false;
            Statement s =
                live.prepare(QStringLiteral("INSERT INTO tblRowOrigins (tTable, nFromKey, tIdentity, "
                                            "tPlace) VALUES (?, ?, ?, ?)"),
                             error);
            if (!s.isValid())
                return false;
            for (const Run& r : kept) {
                s.reset();
                s.bindText(1, table).bindInt(2, r.fromKey).bindText(3, r.identity).bindText(4, r.place);
                if (!s.run())
                    return fail(error, s.errorString());
            }
        }
        if (!execute(live, QStringLiteral("DELETE FROM tblServerSent WHERE tTable = ?"), table, error))
            return false;
        if (table == PhraseResults && !replaceFetched(live, copy, error))
            return false;
    }
    // Keys given from now on may have been given before: they start a run of their own.
    for (const QString& table : {Scores, PhraseResults}) {
        if (!beginRun(live, table, place, error))
            return false;
    }
    return ensure(live, place, error);
}

} // namespace RowOrigins
