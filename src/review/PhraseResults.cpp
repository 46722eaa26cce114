#include "PhraseResults.h"

#include "platform/Database.h"
#include "platform/LockedRetry.h"
#include "review/FsrsScheduler.h"

#include <QDate>
#include <QDateTime>
#include <QStringList>

#include <algorithm>

namespace PhraseResults {

namespace {

using LockedRetry::Failure;

// A database of a program older than the table: reading it finds no rows.
bool isMissingTable(const Failure& f)
{
    return f.text.contains(QLatin1String("no such table"));
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

// One write transaction on the users database, with the per-phrase tables made where missing.
template <typename Write> bool writeUsers(const QString& path, QString* error, Write write)
{
    return LockedRetry::run(error, nullptr, [&](Failure& f) {
        auto db = LockedRetry::openUsers(path, f);
        if (!db)
            return false;
        Transaction transaction(*db);
        if (!transaction.ok()) {
            f.text = transaction.errorString();
            return false;
        }
        if (!ensureTables(*db, &f.text)) {
            f.code = db->lastErrorCode();
            return false;
        }
        return write(*db, f) && transaction.commit(&f.text);
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

bool ensureTables(Database& db, QString* error)
{
    return db.exec(
               QStringLiteral("CREATE TABLE IF NOT EXISTS tblPhraseResults (pkResultID INTEGER PRIMARY KEY "
                              "AUTOINCREMENT, tName TEXT NOT NULL, tSubjectFile TEXT NOT NULL, nPhraseNo "
                              "INTEGER NOT NULL, tActivity TEXT, tUtcTime TEXT NOT NULL, nGrade INTEGER NOT "
                              "NULL CHECK (nGrade BETWEEN 1 AND 4))"),
               error) &&
           db.exec(QStringLiteral("CREATE INDEX IF NOT EXISTS idxPhraseResultsLearner ON tblPhraseResults "
                                  "(tName, tSubjectFile, nPhraseNo, tUtcTime, nGrade)"),
                   error) &&
           // The learner's answers by time: the study days are counted from this index alone.
           db.exec(QStringLiteral("CREATE INDEX IF NOT EXISTS idxPhraseResultsTime ON tblPhraseResults "
                                  "(tName, tUtcTime, tActivity)"),
                   error) &&
           db.exec(QStringLiteral("CREATE TABLE IF NOT EXISTS tblReviewSettings (tName TEXT PRIMARY KEY, "
                                  "nDesiredRetention REAL, nDailyGoal INTEGER)"),
                   error) &&
           addDailyGoalColumn(db, error) &&
           db.exec(QStringLiteral("CREATE TABLE IF NOT EXISTS tblPhraseMemory (tName TEXT PRIMARY KEY, "
                                  "nUpToResultID INTEGER NOT NULL, bMemory BLOB NOT NULL)"),
                   error);
}

bool insert(Database& db, const std::vector<PhraseResultRow>& rows, QString* error)
{
    Statement s = db.prepare(QStringLiteral("INSERT INTO tblPhraseResults (tName, tSubjectFile, nPhraseNo, "
                                            "tActivity, tUtcTime, nGrade) VALUES (?, ?, ?, ?, ?, ?)"),
                             error);
    if (!s.isValid())
        return false;
    for (const PhraseResultRow& r : rows) {
        s.reset();
        s.bindText(1, r.learner)
            .bindText(2, r.phrase.subjectFile)
            .bindInt(3, r.phrase.phraseNo)
            .bindText(4, r.activity)
            .bindText(5, utcText(r.utcSeconds))
            .bindInt(6, r.grade);
        if (!s.run()) {
            if (error)
                *error = s.errorString();
            return false;
        }
    }
    return true;
}

bool renameLearner(Database& db, const QString& oldName, const QString& newName, QString* error)
{
    for (const char* table : {"tblPhraseResults", "tblReviewSettings", "tblPhraseMemory"}) {
        Statement s = db.prepare(
            QStringLiteral("UPDATE %1 SET tName = ? WHERE tName = ?").arg(QLatin1String(table)), error);
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
                                                      qint64* lastOwnResultId)
{
    std::vector<PhraseHistory> histories;
    const bool ok = readUsers(usersDatabase, error, [&](Database& db, Failure& f) {
        histories.clear();
        qint64 newestOwn = 0;
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
        Statement s =
            LockedRetry::prepared(db,
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
            const auto when = parseUtc(s.text(2));
            const int grade = int(s.integer(3));
            newestOwn = std::max(newestOwn, s.integer(4));
            if (!when || grade < 1 || grade > 4)
                continue; // a row no program of ours wrote: it cannot be replayed
            if (histories.empty() || histories.back().phrase.phraseNo != number ||
                histories.back().phrase.subjectFile != s.text(0))
                histories.push_back({{s.text(0), number}, {}});
            histories.back().reviews.push_back({*when, grade});
        }
        if (step == Statement::Step::Error)
            return f.fromStatement(s);
        if (lastOwnResultId)
            *lastOwnResultId = newestOwn;
        return true;
    });
    if (!ok)
        return std::nullopt;
    return histories;
}

std::optional<std::vector<NewReview>> reviewsSince(const QString& usersDatabase, const QString& learner,
                                                   qint64 afterResultId, qint64* lastResultId, QString* error)
{
    std::vector<NewReview> found;
    const bool ok = readUsers(usersDatabase, error, [&](Database& db, Failure& f) {
        found.clear();
        ReadSnapshot snapshot(db);
        if (!snapshot.ok) {
            f.code = db.lastErrorCode();
            f.text = db.lastError();
            return false;
        }
        if (!newestKey(db, f, lastResultId))
            return false;
        Statement s =
            LockedRetry::prepared(db,
                                  QStringLiteral("SELECT tSubjectFile, nPhraseNo, tUtcTime, nGrade, pkResultID "
                                                 "FROM tblPhraseResults WHERE pkResultID > ? AND +tName = ? "
                                                 "ORDER BY pkResultID"),
                                  f);
        if (!s.isValid())
            return false;
        s.bindInt(1, afterResultId).bindText(2, learner);
        Statement::Step step;
        while ((step = s.step()) == Statement::Step::Row) {
            const auto when = parseUtc(s.text(2));
            const int grade = int(s.integer(3));
            if (when && grade >= 1 && grade <= 4)
                found.push_back({{s.text(0), s.integer(1)}, {*when, grade}, s.integer(4)});
        }
        if (step == Statement::Step::Error)
            return f.fromStatement(s);
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
        while ((step = s.step()) == Statement::Step::Row)
            result.push_back({s.text(0),
                              {s.text(1), s.integer(2)},
                              s.text(3),
                              parseUtc(s.text(4)).value_or(0),
                              int(s.integer(5))});
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
        Statement s = LockedRetry::prepared(
            db,
            QStringLiteral("SELECT m.nUpToResultID, m.bMemory FROM tblPhraseMemory m JOIN tblPhraseResults r "
                           "ON r.pkResultID = m.nUpToResultID AND r.tName = m.tName WHERE m.tName = ?"),
            f);
        if (!s.isValid())
            return false;
        s.bindText(1, learner);
        const Statement::Step step = s.step();
        if (step == Statement::Step::Error)
            return f.fromStatement(s);
        if (step == Statement::Step::Row)
            *stored = {s.integer(0), s.blob(1)};
        return true;
    });
}

bool storeMemory(const QString& usersDatabase, const QString& learner, const StoredMemory& memory,
                 QString* error)
{
    return writeUsers(usersDatabase, error, [&](Database& db, Failure& f) {
        // Only a copy of rows that are still the learner's: the file may have been cleared or
        // restored while the copy was worked out.
        Statement s = LockedRetry::prepared(
            db,
            QStringLiteral("INSERT OR REPLACE INTO tblPhraseMemory (tName, nUpToResultID, bMemory) "
                           "SELECT tName, pkResultID, ? FROM tblPhraseResults WHERE pkResultID = ? AND tName = ?"),
            f);
        if (!s.isValid())
            return false;
        s.bindBlob(1, memory.bytes).bindInt(2, memory.upToResultId).bindText(3, learner);
        return s.run() || f.fromStatement(s);
    });
}

std::optional<double> desiredRetention(const QString& usersDatabase, const QString& learner, QString* error)
{
    double retention = FsrsScheduler::DefaultRetention;
    const bool ok = readUsers(usersDatabase, error, [&](Database& db, Failure& f) {
        retention = FsrsScheduler::DefaultRetention;
        Statement s = LockedRetry::prepared(
            db, QStringLiteral("SELECT nDesiredRetention FROM tblReviewSettings WHERE tName = ?"), f);
        if (!s.isValid())
            return false;
        s.bindText(1, learner);
        const Statement::Step step = s.step();
        if (step == Statement::Step::Error)
            return f.fromStatement(s);
        if (step == Statement::Step::Row && !s.isNull(0))
            retention =
                std::clamp(s.value(0).toDouble(), FsrsScheduler::MinRetention, FsrsScheduler::MaxRetention);
        return true;
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
