#include "PhraseResults.h"

#include "platform/Database.h"
#include "platform/LockedRetry.h"
#include "review/FsrsOptimizer.h"
#include "review/FsrsScheduler.h"
#include "review/UsersWrite.h"

#include <QDate>
#include <QDateTime>
#include <QStringList>

#include <algorithm>
#include <cmath>

namespace PhraseResults {

namespace {

using LockedRetry::Failure;

// A database of a program older than the table, or with a table of another shape that a
// write will set aside: reading it finds no rows.
bool isMissingTable(const Failure& f)
{
    return f.text.contains(QLatin1String("no such table")) ||
           f.text.contains(QLatin1String("no such column"));
}

// A row as the memory replays it: a time and grade of ours (an integer 1 to 4, not 3.9 nor a
// number a cast would cut to one) and a subject name that can name a file.
bool replayable(const Statement& s, int fileColumn, int timeColumn, int gradeColumn,
                std::optional<qint64>* when, Grade* grade)
{
    if (s.byteCount(fileColumn) > PhraseIdentity::MaxSubjectFileBytes)
        return false;
    const QVariant g = s.value(gradeColumn);
    const auto stored = g.typeId() == QMetaType::LongLong ? Grades::fromStored(g.toLongLong()) : std::nullopt;
    if (!stored)
        return false;
    *grade = *stored;
    *when = s.byteCount(timeColumn) == 20 ? parseUtc(s.text(timeColumn)) : std::nullopt;
    return when->has_value();
}

QStringList commaList(const char* text)
{
    return QString::fromLatin1(text).split(QLatin1Char(','), Qt::SkipEmptyParts);
}

// Whether the table, when there is one, has the shape the program reads and writes: its
// columns there, the same primary key, and no further column that a row must give.
bool hasShape(Database& db, const LearnerTable& table, bool* exists, QString* error)
{
    Statement info =
        db.prepare(QStringLiteral("PRAGMA main.table_info(%1)").arg(QLatin1String(table.name)), error);
    if (!info.isValid())
        return false;
    QStringList missing = commaList(table.columns);
    const QStringList key = commaList(table.key);
    bool fits = true;
    *exists = false;
    Statement::Step step;
    while ((step = info.step()) == Statement::Step::Row) {
        *exists = true;
        const QString column = info.text(1);
        const bool inKey = info.integer(5) > 0;
        const bool ours = missing.removeIf([&](const QString& c) {
            return c.compare(column, Qt::CaseInsensitive) == 0;
        }) > 0;
        if (inKey != key.contains(column, Qt::CaseInsensitive))
            fits = false;
        if (!ours && info.integer(3) != 0 && info.isNull(4) && !inKey)
            fits = false; // NOT NULL without a default: our rows could not be added
    }
    if (step == Statement::Step::Error) {
        if (error)
            *error = info.errorString();
        return false;
    }
    return !*exists || (fits && missing.isEmpty());
}

bool hasColumn(Database& db, const QString& table, const QString& column, bool* has, QString* error)
{
    Statement s = db.prepare(QStringLiteral("PRAGMA table_info(%1)").arg(table), error);
    if (!s.isValid())
        return false;
    *has = false;
    Statement::Step step;
    while ((step = s.step()) == Statement::Step::Row)
        *has = *has || s.text(1).compare(column, Qt::CaseInsensitive) == 0;
    if (step == Statement::Step::Error) {
        if (error)
            *error = s.errorString();
        return false;
    }
    return true;
}

template <typename Read> bool readUsers(const QString& path, QString* error, Read read)
{
    return LockedRetry::run(error, nullptr, [&](Failure& f) {
        auto db = LockedRetry::openUsers(path, f);
        if (!db)
            return false;
        return read(*db, f) || isMissingTable(f);
    });
}

// A read transaction: the statements in it see one state of the file, and writers (activities)
// are not held up, as they would be by a write transaction.
struct ReadSnapshot
{
    Database& db;
    bool ok;
    explicit ReadSnapshot(Database& d) : db(d), ok(d.exec(QStringLiteral("BEGIN DEFERRED"))) {}
    ~ReadSnapshot()
    {
        if (ok)
            db.exec(QStringLiteral("COMMIT"));
    }
};

bool newestKey(Database& db, Failure& f, qint64* key)
{
    Statement s =
        LockedRetry::prepared(db, QStringLiteral("SELECT max(pkResultID) FROM tblPhraseResults"), f);
    if (!s.isValid())
        return false;
    if (s.step() != Statement::Step::Row)
        return f.fromStatement(s);
    *key = s.integer(0);
    return true;
}

int twoDigits(QStringView t, int at)
{
    const int a = t[at].unicode() - '0', b = t[at + 1].unicode() - '0';
    return (a < 0 || a > 9 || b < 0 || b > 9) ? -1 : a * 10 + b;
}

// A table made before the daily goal gains its column; its rows keep their settings.
bool addDailyGoalColumn(Database& db, QString* error)
{
    bool has = false;
    if (!hasColumn(db, QStringLiteral("tblReviewSettings"), QStringLiteral("nDailyGoal"), &has, error))
        return false;
    return has ||
           db.exec(QStringLiteral("ALTER TABLE tblReviewSettings ADD COLUMN nDailyGoal INTEGER"), error);
}

// Sets one of the learner's review settings within the caller's transaction; the others stay.
bool setSetting(Database& db, const QString& column, const QString& learner, const QVariant& value,
                Failure& f)
{
    Statement row = LockedRetry::prepared(
        db, QStringLiteral("INSERT OR IGNORE INTO tblReviewSettings (tName) VALUES (?)"), f);
    if (!row.isValid())
        return false;
    row.bindText(1, learner);
    if (!row.run())
        return f.fromStatement(row);
    Statement set = LockedRetry::prepared(
        db, QStringLiteral("UPDATE tblReviewSettings SET %1 = ? WHERE tName = ?").arg(column), f);
    if (!set.isValid())
        return false;
    set.bind(1, value).bindText(2, learner);
    return set.run() || f.fromStatement(set);
}

} // namespace

const std::vector<LearnerTable>& learnerTables()
{
    static const std::vector<LearnerTable> tables{
        {"tblPhraseResults",
         "(pkResultID INTEGER PRIMARY KEY AUTOINCREMENT, tName TEXT NOT NULL, tSubjectFile TEXT NOT NULL, "
         "nPhraseNo INTEGER NOT NULL, tActivity TEXT, tUtcTime TEXT NOT NULL, nGrade INTEGER NOT NULL "
         "CHECK (nGrade BETWEEN 1 AND 4))",
         "pkResultID,tName,tSubjectFile,nPhraseNo,tActivity,tUtcTime,nGrade", "pkResultID",
         "idxPhraseResultsLearner", "(tName, tSubjectFile, nPhraseNo, tUtcTime, nGrade)", false},
        // nDailyGoal is not part of the shape: an older table gains it below, its rows kept.
        {"tblReviewSettings", "(tName TEXT PRIMARY KEY, nDesiredRetention REAL, nDailyGoal INTEGER)",
         "tName,nDesiredRetention", "tName", nullptr, nullptr, false},
        // In parts (nPart 0, 1, ...), all of one nUpToResultID.
        {"tblPhraseMemory",
         "(tName TEXT NOT NULL, nPart INTEGER NOT NULL DEFAULT 0, nUpToResultID INTEGER NOT NULL, "
         "bMemory BLOB NOT NULL, PRIMARY KEY (tName, nPart))",
         "tName,nPart,nUpToResultID,bMemory", "tName,nPart", nullptr, nullptr, true},
        // The weights fitted to the learner: kept with the rows they were fitted on.
        {"tblFsrsParameters",
         "(tName TEXT PRIMARY KEY, tWeights TEXT NOT NULL, nReviews INTEGER NOT NULL, nFittedLoss REAL, "
         "nDefaultLoss REAL, tUtcTime TEXT NOT NULL)",
         "tName,tWeights,nReviews,nFittedLoss,nDefaultLoss,tUtcTime", "tName", nullptr, nullptr, false},
    };
    return tables;
}

bool ensureTables(Database& db, QString* error, QStringList* setAside)
{
    for (const LearnerTable& table : learnerTables()) {
        const QString name = QLatin1String(table.name);
        bool exists = false;
        if (!hasShape(db, table, &exists, error)) {
            if (!exists)
                return false;
            if (table.derived) {
                // Only a copy (an older program's form of it): the rows make it again.
                if (!db.exec(QStringLiteral("DROP TABLE %1").arg(name), error))
                    return false;
            } else {
                QString keptAs;
                for (int n = 1;; ++n) {
                    keptAs = QStringLiteral("%1_kept%2").arg(name).arg(n);
                    Statement taken = db.prepare(
                        QStringLiteral("SELECT count(*) FROM sqlite_master WHERE lower(name) = lower(?)"),
                        error);
                    taken.bindText(1, keptAs);
                    if (taken.step() != Statement::Step::Row)
                        return false;
                    if (taken.integer(0) == 0)
                        break;
                }
                if (!db.exec(QStringLiteral("ALTER TABLE %1 RENAME TO %2").arg(name, keptAs), error))
                    return false;
                // An index of our name went with the table: the new table gets its own.
                if (table.index &&
                    !db.exec(QStringLiteral("DROP INDEX IF EXISTS %1").arg(QLatin1String(table.index)),
                             error))
                    return false;
                if (setAside)
                    *setAside << QStringLiteral("%1 -> %2").arg(name, keptAs);
            }
        }
        if (!db.exec(
                QStringLiteral("CREATE TABLE IF NOT EXISTS %1 %2").arg(name, QLatin1String(table.definition)),
                error) ||
            (table.index &&
             !db.exec(QStringLiteral("CREATE INDEX IF NOT EXISTS %1 ON %2 %3")
                          .arg(QLatin1String(table.index), name, QLatin1String(table.indexColumns)),
                      error)))
            return false;
    }
    // The learner's answers by time: the study days are counted from this index alone. One
    // that went with a table set aside above is made again on the new table.
    Statement on = db.prepare(
        QStringLiteral(
            "SELECT tbl_name FROM sqlite_master WHERE type = 'index' AND name = 'idxPhraseResultsTime'"),
        error);
    if (!on.isValid())
        return false;
    if (on.step() == Statement::Step::Row && on.text(0) != QLatin1String("tblPhraseResults") &&
        !db.exec(QStringLiteral("DROP INDEX idxPhraseResultsTime"), error))
        return false;
    return db.exec(QStringLiteral("CREATE INDEX IF NOT EXISTS idxPhraseResultsTime ON tblPhraseResults "
                                  "(tName, tUtcTime, tActivity)"),
                   error) &&
           addDailyGoalColumn(db, error);
}

// A row's values as both inserts bind them: learner, subject file, phrase, activity, time, grade.
static void bindRow(Statement& s, const PhraseResultRow& r)
{
    s.reset();
    s.bindText(1, r.learner)
        .bindText(2, r.phrase.subjectFile)
        .bindInt(3, r.phrase.phraseNo)
        .bindText(4, r.activity)
        .bindText(5, utcText(r.utcSeconds))
        .bindInt(6, Grades::stored(r.grade));
}

bool insert(Database& db, const std::vector<PhraseResultRow>& rows, QString* error)
{
    Statement s = db.prepare(QStringLiteral("INSERT INTO tblPhraseResults (tName, tSubjectFile, nPhraseNo, "
                                            "tActivity, tUtcTime, nGrade) VALUES (?, ?, ?, ?, ?, ?)"),
                             error);
    if (!s.isValid())
        return false;
    for (const PhraseResultRow& r : rows) {
        bindRow(s, r);
        if (!s.run()) {
            if (error)
                *error = s.errorString();
            return false;
        }
    }
    return true;
}

std::optional<int> insertMissing(const QString& usersDatabase, const std::vector<PhraseResultRow>& rows,
                                 QString* error)
{
    int added = 0;
    const bool ok = writeUsers(usersDatabase, error, [&](Database& db, Failure& f) {
        added = 0;
        Statement s = LockedRetry::prepared(
            db,
            QStringLiteral(
                "INSERT INTO tblPhraseResults (tName, tSubjectFile, nPhraseNo, tActivity, tUtcTime, "
                "nGrade) SELECT ?1, ?2, ?3, ?4, ?5, ?6 WHERE NOT EXISTS (SELECT 1 FROM "
                "tblPhraseResults WHERE tName = ?1 AND tSubjectFile = ?2 AND nPhraseNo = ?3 AND "
                "tUtcTime = ?5 AND nGrade = ?6)"),
            f);
        if (!s.isValid())
            return false;
        for (const PhraseResultRow& r : rows) {
            bindRow(s, r);
            if (!s.run())
                return f.fromStatement(s);
            added += db.changes();
        }
        return true;
    });
    if (!ok)
        return std::nullopt;
    return added;
}

bool renameLearner(Database& db, const QString& oldName, const QString& newName, QString* error)
{
    for (const LearnerTable& table : learnerTables()) {
        Statement s = db.prepare(
            QStringLiteral("UPDATE %1 SET tName = ? WHERE tName = ?").arg(QLatin1String(table.name)), error);
        if (!s.isValid())
            return false;
        s.bindText(1, newName).bindText(2, oldName);
        if (!s.run()) {
            if (error)
                *error = s.errorString();
            return false;
        }
    }
    return true;
}

QString utcText(qint64 utcSeconds)
{
    return QDateTime::fromSecsSinceEpoch(utcSeconds, Qt::UTC)
        .toString(QStringLiteral("yyyy-MM-ddTHH:mm:ssZ"));
}

std::optional<qint64> parseUtc(QStringView t)
{
    // Read by position: this runs for every row of a learner's history.
    if (t.size() != 20 || t[4] != u'-' || t[7] != u'-' || t[10] != u'T' || t[13] != u':' || t[16] != u':' ||
        t[19] != u'Z')
        return std::nullopt;
    const int c = twoDigits(t, 0), y = twoDigits(t, 2), mo = twoDigits(t, 5), d = twoDigits(t, 8),
              h = twoDigits(t, 11), mi = twoDigits(t, 14), s = twoDigits(t, 17);
    if (c < 0 || y < 0 || mo < 1 || mo > 12 || d < 1 || d > 31 || h < 0 || h > 23 || mi < 0 || mi > 59 ||
        s < 0 || s > 60)
        return std::nullopt;
    const QDate date(c * 100 + y, mo, d);
    if (!date.isValid())
        return std::nullopt;
    return (date.toJulianDay() - QDate(1970, 1, 1).toJulianDay()) * 86400 + h * 3600 + mi * 60 + s;
}

std::optional<std::vector<PhraseHistory>> historiesOf(const QString& usersDatabase, const QString& learner,
                                                      QString* error, qint64* lastResultId,
                                                      qint64* lastOwnResultId, SkippedRows* skipped)
{
    std::vector<PhraseHistory> histories;
    const bool ok = readUsers(usersDatabase, error, [&](Database& db, Failure& f) {
        histories.clear();
        qint64 newestOwn = 0;
        SkippedRows skippedRows;
        // One snapshot for the rows and the newest key: a row written meanwhile is either in
        // both or in neither.
        ReadSnapshot snapshot(db);
        if (!snapshot.ok) {
            f.code = db.lastErrorCode();
            f.text = db.lastError();
            return false;
        }
        if (lastResultId && !newestKey(db, f, lastResultId))
            return false;
        // The index gives this order without a sort.
        Statement s = LockedRetry::prepared(
            db,
            QStringLiteral("SELECT tSubjectFile, nPhraseNo, tUtcTime, nGrade, pkResultID "
                           "FROM tblPhraseResults WHERE tName = ? ORDER BY tSubjectFile, "
                           "nPhraseNo, tUtcTime, pkResultID"),
            f);
        if (!s.isValid())
            return false;
        s.bindText(1, learner);
        Statement::Step step;
        while ((step = s.step()) == Statement::Step::Row) {
            const qint64 number = s.integer(1);
            std::optional<qint64> when;
            Grade grade = Grade::Again;
            const qint64 key = s.integer(4);
            newestOwn = std::max(newestOwn, key);
            if (!replayable(s, 0, 2, 3, &when, &grade)) {
                // A row no program of ours wrote: it cannot be replayed.
                ++skippedRows.count;
                skippedRows.lastResultId = std::max(skippedRows.lastResultId, key);
                continue;
            }
            if (histories.empty() || histories.back().phrase.phraseNo != number ||
                histories.back().phrase.subjectFile != s.text(0))
                histories.push_back({{s.text(0), number}, {}});
            histories.back().reviews.push_back({*when, grade});
        }
        if (step == Statement::Step::Error)
            return f.fromStatement(s);
        if (lastOwnResultId)
            *lastOwnResultId = newestOwn;
        if (skipped)
            *skipped = skippedRows;
        return true;
    });
    if (!ok)
        return std::nullopt;
    return histories;
}

std::optional<std::vector<NewReview>> reviewsSince(const QString& usersDatabase, const QString& learner,
                                                   qint64 afterResultId, qint64* lastResultId, QString* error,
                                                   SkippedRows* skipped)
{
    std::vector<NewReview> found;
    const bool ok = readUsers(usersDatabase, error, [&](Database& db, Failure& f) {
        found.clear();
        SkippedRows skippedRows;
        ReadSnapshot snapshot(db);
        if (!snapshot.ok) {
            f.code = db.lastErrorCode();
            f.text = db.lastError();
            return false;
        }
        if (!newestKey(db, f, lastResultId))
            return false;
        Statement s = LockedRetry::prepared(
            db,
            QStringLiteral("SELECT tSubjectFile, nPhraseNo, tUtcTime, nGrade, pkResultID "
                           "FROM tblPhraseResults WHERE pkResultID > ? AND +tName = ? "
                           "ORDER BY pkResultID"),
            f);
        if (!s.isValid())
            return false;
        s.bindInt(1, afterResultId).bindText(2, learner);
        Statement::Step step;
        while ((step = s.step()) == Statement::Step::Row) {
            std::optional<qint64> when;
            Grade grade = Grade::Again;
            if (replayable(s, 0, 2, 3, &when, &grade)) {
                found.push_back({{s.text(0), s.integer(1)}, {*when, grade}, s.integer(4)});
            } else {
                ++skippedRows.count;
                skippedRows.lastResultId = s.integer(4);
            }
        }
        if (step == Statement::Step::Error)
            return f.fromStatement(s);
        if (skipped)
            *skipped = skippedRows;
        return true;
    });
    if (!ok)
        return std::nullopt;
    return found;
}

std::optional<std::vector<PhraseResultRow>> rows(const QString& usersDatabase, const QString& learner,
                                                 QString* error)
{
    std::vector<PhraseResultRow> result;
    const bool ok = readUsers(usersDatabase, error, [&](Database& db, Failure& f) {
        result.clear();
        Statement s = LockedRetry::prepared(
            db,
            QStringLiteral("SELECT tName, tSubjectFile, nPhraseNo, tActivity, tUtcTime, nGrade FROM "
                           "tblPhraseResults %1 ORDER BY pkResultID")
                .arg(learner.isEmpty() ? QString() : QStringLiteral("WHERE tName = ?")),
            f);
        if (!s.isValid())
            return false;
        if (!learner.isEmpty())
            s.bindText(1, learner);
        Statement::Step step;
        while ((step = s.step()) == Statement::Step::Row) {
            // A grade no program of ours writes (a table made without the check) is no answer.
            if (const auto grade = Grades::fromStored(s.integer(5)))
                result.push_back({s.text(0),
                                  {s.text(1), s.integer(2)},
                                  s.text(3),
                                  parseUtc(s.text(4)).value_or(0),
                                  *grade});
        }
        if (step == Statement::Step::Error)
            return f.fromStatement(s);
        return true;
    });
    if (!ok)
        return std::nullopt;
    return result;
}

std::optional<QStringList> learners(const QString& usersDatabase, QString* error)
{
    QStringList names;
    const bool ok = readUsers(usersDatabase, error, [&](Database& db, Failure& f) {
        names.clear();
        Statement s = LockedRetry::prepared(
            db, QStringLiteral("SELECT DISTINCT tName FROM tblPhraseResults ORDER BY tName"), f);
        if (!s.isValid())
            return false;
        Statement::Step step;
        while ((step = s.step()) == Statement::Step::Row)
            names << s.text(0);
        if (step == Statement::Step::Error)
            return f.fromStatement(s);
        return true;
    });
    if (!ok)
        return std::nullopt;
    return names;
}

bool storedMemory(const QString& usersDatabase, const QString& learner, StoredMemory* stored, QString* error)
{
    return readUsers(usersDatabase, error, [&](Database& db, Failure& f) {
        *stored = {};
        ReadSnapshot snapshot(db);
        if (!snapshot.ok) {
            f.code = db.lastErrorCode();
            f.text = db.lastError();
            return false;
        }
        // Parts 0, 1, ... of one copy, whose row is still the learner's; anything else is no copy.
        Statement s =
            LockedRetry::prepared(db,
                                  QStringLiteral("SELECT nPart, nUpToResultID, bMemory FROM tblPhraseMemory "
                                                 "WHERE tName = ? ORDER BY nPart"),
                                  f);
        if (!s.isValid())
            return false;
        s.bindText(1, learner);
        qint64 parts = 0, upTo = 0;
        QByteArray bytes;
        Statement::Step step;
        while ((step = s.step()) == Statement::Step::Row) {
            if (parts == 0)
                upTo = s.integer(1);
            if (s.integer(0) != parts || s.integer(1) != upTo ||
                bytes.size() + s.byteCount(2) > MaxMemoryBytes)
                return true;
            bytes += s.blob(2);
            ++parts;
        }
        if (step == Statement::Step::Error)
            return f.fromStatement(s);
        if (parts == 0)
            return true;
        Statement owned = LockedRetry::prepared(
            db, QStringLiteral("SELECT count(*) FROM tblPhraseResults WHERE pkResultID = ? AND tName = ?"),
            f);
        if (!owned.isValid())
            return false;
        owned.bindInt(1, upTo).bindText(2, learner);
        if (owned.step() != Statement::Step::Row)
            return f.fromStatement(owned);
        if (owned.integer(0) == 0)
            return true;
        *stored = {upTo, bytes};
        return true;
    });
}

bool storeMemory(const QString& usersDatabase, const QString& learner, const StoredMemory& memory,
                 QString* error)
{
    if (memory.bytes.size() > MaxMemoryBytes)
        return true; // not kept: the rows are replayed instead
    return writeUsers(usersDatabase, error, [&](Database& db, Failure& f) {
        // Only a copy of rows that are still the learner's: the file may have been cleared or
        // restored while the copy was worked out.
        Statement owned = LockedRetry::prepared(
            db, QStringLiteral("SELECT count(*) FROM tblPhraseResults WHERE pkResultID = ? AND tName = ?"),
            f);
        if (!owned.isValid())
            return false;
        owned.bindInt(1, memory.upToResultId).bindText(2, learner);
        if (owned.step() != Statement::Step::Row)
            return f.fromStatement(owned);
        if (owned.integer(0) == 0)
            return true;
        Statement drop =
            LockedRetry::prepared(db, QStringLiteral("DELETE FROM tblPhraseMemory WHERE tName = ?"), f);
        if (!drop.isValid())
            return false;
        drop.bindText(1, learner);
        if (!drop.run())
            return f.fromStatement(drop);
        Statement s = LockedRetry::prepared(
            db,
            QStringLiteral(
                "INSERT INTO tblPhraseMemory (tName, nPart, nUpToResultID, bMemory) VALUES (?, ?, ?, ?)"),
            f);
        if (!s.isValid())
            return false;
        for (qsizetype at = 0, part = 0; at < memory.bytes.size() || part == 0;
             at += MemoryPartBytes, ++part) {
            s.reset();
            s.bindText(1, learner)
                .bindInt(2, part)
                .bindInt(3, memory.upToResultId)
                .bindBlob(4, memory.bytes.mid(at, MemoryPartBytes));
            if (!s.run())
                return f.fromStatement(s);
        }
        return true;
    });
}

namespace {

// The weights as stored: 21 numbers separated by spaces, each within the optimiser's bounds
// (a row no program of ours wrote gives nullopt: the defaults).
std::optional<FsrsScheduler::Weights> parseWeights(const QString& text)
{
    const QStringList parts = text.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    if (parts.size() != 21)
        return std::nullopt;
    FsrsScheduler::Weights w{};
    for (size_t i = 0; i < w.size(); ++i) {
        bool ok = false;
        w[i] = parts[int(i)].toDouble(&ok);
        if (!ok || !std::isfinite(w[i]))
            return std::nullopt;
    }
    if (FsrsOptimizer::clipped(w) != w)
        return std::nullopt;
    return w;
}

bool readFitted(Database& db, Failure& f, const QString& learner, std::optional<FittedParameters>* fitted)
{
    fitted->reset();
    Statement s =
        LockedRetry::prepared(db,
                              QStringLiteral("SELECT tWeights, nReviews, nFittedLoss, nDefaultLoss, "
                                             "tUtcTime FROM tblFsrsParameters WHERE tName = ?"),
                              f);
    if (!s.isValid())
        return false;
    s.bindText(1, learner);
    const Statement::Step step = s.step();
    if (step == Statement::Step::Error)
        return f.fromStatement(s);
    if (step == Statement::Step::Row)
        *fitted = FittedParameters{parseWeights(s.text(0)), int(s.integer(1)), s.value(2).toDouble(),
                                   s.value(3).toDouble(), parseUtc(s.text(4)).value_or(0)};
    return true;
}

std::optional<double> readRetention(Database& db, Failure& f, const QString& learner)
{
    Statement s = LockedRetry::prepared(
        db, QStringLiteral("SELECT nDesiredRetention FROM tblReviewSettings WHERE tName = ?"), f);
    if (!s.isValid())
        return std::nullopt;
    s.bindText(1, learner);
    const Statement::Step step = s.step();
    if (step == Statement::Step::Error) {
        f.fromStatement(s);
        return std::nullopt;
    }
    if (step != Statement::Step::Row)
        return FsrsScheduler::DefaultRetention;
    // A number in range, or the default: a text ('nan'), a blob or an infinity is none.
    const QVariant stored = s.value(0);
    const double value = stored.toDouble();
    if ((stored.typeId() == QMetaType::Double || stored.typeId() == QMetaType::LongLong) &&
        value >= FsrsScheduler::MinRetention && value <= FsrsScheduler::MaxRetention)
        return value;
    return FsrsScheduler::DefaultRetention;
}

} // namespace

bool fittedParameters(const QString& usersDatabase, const QString& learner,
                      std::optional<FittedParameters>* fitted, QString* error)
{
    return readUsers(usersDatabase, error,
                     [&](Database& db, Failure& f) { return readFitted(db, f, learner, fitted); });
}

bool storeFittedParameters(const QString& usersDatabase, const QString& learner,
                           const FittedParameters& fitted, QString* error)
{
    QStringList weights;
    if (fitted.weights) {
        for (double w : *fitted.weights)
            weights << QString::number(w, 'g', 17);
    }
    return writeUsers(usersDatabase, error, [&](Database& db, Failure& f) {
        Statement s = LockedRetry::prepared(
            db,
            QStringLiteral(
                "INSERT OR REPLACE INTO tblFsrsParameters (tName, tWeights, nReviews, nFittedLoss, "
                "nDefaultLoss, tUtcTime) VALUES (?, ?, ?, ?, ?, ?)"),
            f);
        if (!s.isValid())
            return false;
        s.bindText(1, learner)
            .bindText(2, weights.join(QLatin1Char(' ')))
            .bindInt(3, fitted.reviews)
            .bind(4, QVariant(fitted.fittedLoss))
            .bind(5, QVariant(fitted.defaultLoss))
            .bindText(6, utcText(fitted.utcSeconds));
        return s.run() || f.fromStatement(s);
    });
}

std::optional<int> reviewCount(const QString& usersDatabase, const QString& learner, QString* error)
{
    int count = 0;
    const bool ok = readUsers(usersDatabase, error, [&](Database& db, Failure& f) {
        count = 0;
        Statement s = LockedRetry::prepared(
            db, QStringLiteral("SELECT count(*) FROM tblPhraseResults WHERE tName = ?"), f);
        if (!s.isValid())
            return false;
        s.bindText(1, learner);
        if (s.step() != Statement::Step::Row)
            return f.fromStatement(s);
        count = int(s.integer(0));
        return true;
    });
    if (!ok)
        return std::nullopt;
    return count;
}

std::optional<FsrsScheduler> schedulerOf(const QString& usersDatabase, const QString& learner, QString* error)
{
    double retention = FsrsScheduler::DefaultRetention;
    std::optional<FittedParameters> fitted;
    const bool ok = readUsers(usersDatabase, error, [&](Database& db, Failure& f) {
        fitted.reset();
        const auto read = readRetention(db, f, learner);
        if (!read)
            return false;
        retention = *read;
        return readFitted(db, f, learner, &fitted);
    });
    if (!ok)
        return std::nullopt;
    return FsrsScheduler(retention,
                         fitted && fitted->weights ? *fitted->weights : FsrsScheduler::DefaultWeights);
}

std::optional<double> desiredRetention(const QString& usersDatabase, const QString& learner, QString* error)
{
    double retention = FsrsScheduler::DefaultRetention;
    const bool ok = readUsers(usersDatabase, error, [&](Database& db, Failure& f) {
        const auto read = readRetention(db, f, learner);
        if (read)
            retention = *read;
        return read.has_value();
    });
    if (!ok)
        return std::nullopt;
    return retention;
}

bool setDesiredRetention(const QString& usersDatabase, const QString& learner, double retention,
                         QString* error)
{
    retention = std::clamp(retention, FsrsScheduler::MinRetention, FsrsScheduler::MaxRetention);
    return writeUsers(usersDatabase, error, [&](Database& db, Failure& f) {
        return setSetting(db, QStringLiteral("nDesiredRetention"), learner, QVariant(retention), f);
    });
}

std::optional<int> dailyGoal(const QString& usersDatabase, const QString& learner, QString* error)
{
    int goal = DefaultDailyGoal;
    const bool ok = readUsers(usersDatabase, error, [&](Database& db, Failure& f) {
        goal = DefaultDailyGoal;
        Statement s = LockedRetry::prepared(
            db, QStringLiteral("SELECT nDailyGoal FROM tblReviewSettings WHERE tName = ?"), f);
        if (!s.isValid()) // a settings table older than the goal has none
            return f.text.contains(QLatin1String("no such column"));
        s.bindText(1, learner);
        const Statement::Step step = s.step();
        if (step == Statement::Step::Error)
            return f.fromStatement(s);
        if (step == Statement::Step::Row && !s.isNull(0))
            goal = int(std::clamp<qint64>(s.integer(0), 0, MaxDailyGoal));
        return true;
    });
    if (!ok)
        return std::nullopt;
    return goal;
}

bool setDailyGoal(const QString& usersDatabase, const QString& learner, int goal, QString* error)
{
    goal = std::clamp(goal, 0, MaxDailyGoal);
    return writeUsers(usersDatabase, error, [&](Database& db, Failure& f) {
        return setSetting(db, QStringLiteral("nDailyGoal"), learner, QVariant(goal), f);
    });
}

} // namespace PhraseResults
