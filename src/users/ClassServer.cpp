#include "ClassServer.h"

#include "platform/Database.h"
#include "platform/LockedRetry.h"
#include "platform/Registry.h"
#include "review/Grade.h"
#include "review/PhraseResults.h"
#include "review/UsersWrite.h"
#include "users/RowOrigins.h"
#include "users/UsersDatabase.h"

#include <QFile>
#include <QSet>

#include <vector>

namespace {

using LockedRetry::Failure;
using Params = std::vector<std::optional<QString>>;

QString settingsKey(const QString& programCode)
{
    return EditionRegistryKey(programCode) + QStringLiteral("\\ClassServer");
}

// Rows per statement: ten values a row stays below the protocol's 65,535 parameters.
constexpr int BatchRows = 2000;

// One write transaction on the users database with the identities in place.
template <typename Work> bool withUsers(const QString& path, QString* error, Work work)
{
    return PhraseResults::writeUsers(path, error, [&](Database& db, Failure& f) {
        if (!RowOrigins::ensure(db, RowOrigins::placeOf(path), &f.text)) {
            f.code = db.lastErrorCode();
            return false;
        }
        return work(db, f);
    });
}

// One read of the users database: the statements see one state of it, and activities writing
// meanwhile are not held up.
template <typename Work> bool readingUsers(const QString& path, QString* error, Work work)
{
    return LockedRetry::run(error, nullptr, [&](Failure& f) {
        auto db = LockedRetry::openUsers(path, f);
        if (!db)
            return false;
        if (!db->exec(QStringLiteral("BEGIN DEFERRED"), &f.text)) {
            f.code = db->lastErrorCode();
            return false;
        }
        const bool ok = work(*db, f);
        db->exec(QStringLiteral("COMMIT"));
        return ok;
    });
}

struct Mark
{
    qint64 upTo = 0;
    QString token;
};

bool readMark(Database& db, const QString& table, Mark* mark, Failure& f)
{
    Statement s = LockedRetry::prepared(
        db, QStringLiteral("SELECT nSentUpTo, tMark FROM tblServerSent WHERE tTable = ?"), f);
    if (!s.isValid())
        return false;
    s.bindText(1, table);
    const Statement::Step step = s.step();
    if (step == Statement::Step::Error)
        return f.fromStatement(s);
    if (step != Statement::Step::Row) {
        // Cleared by a restore a moment ago: the next preparation counts anew.
        f.text = QStringLiteral("the rows sent are counted anew");
        return false;
    }
    *mark = Mark{s.integer(0), s.text(1)};
    return true;
}

QString numberText(const QVariant& v)
{
    return v.typeId() == QMetaType::Double ? QString::number(v.toDouble(), 'g', 17) : v.toString();
}

// One batch of rows to send, each already in the server's column order.
struct Batch
{
    Mark scoreMark, phraseMark;
    qint64 lastScore = 0, lastPhrase = 0; // the newest keys read
    std::vector<Params> scores, phrases;
};

// The file's identities must have been prepared (prepareIdentities).
bool readBatch(const QString& usersDatabase, const QString& className, Batch* batch, QString* error)
{
    return readingUsers(usersDatabase, error, [&](Database& db, Failure& f) {
        *batch = {};
        std::vector<RowOrigins::Run> scoreRuns, phraseRuns;
        if (!RowOrigins::runsOf(db, RowOrigins::Scores, &scoreRuns, &f.text) ||
            !RowOrigins::runsOf(db, RowOrigins::PhraseResults, &phraseRuns, &f.text) ||
            !readMark(db, RowOrigins::Scores, &batch->scoreMark, f) ||
            !readMark(db, RowOrigins::PhraseResults, &batch->phraseMark, f))
            return false;
        Statement s = LockedRetry::prepared(
            db,
            QStringLiteral(
                "SELECT pkScoreID, tName, tActivity, tSubject, textScore, numberScore, nDate, nTime FROM "
                "tblscores WHERE pkScoreID > ? ORDER BY pkScoreID LIMIT ?"),
            f);
        if (!s.isValid())
            return false;
        s.bindInt(1, batch->scoreMark.upTo).bindInt(2, BatchRows);
        Statement::Step step;
        while ((step = s.step()) == Statement::Step::Row) {
            const qint64 key = s.integer(0);
            batch->lastScore = key;
            const QString identity = RowOrigins::identityOf(scoreRuns, key);
            if (identity.isEmpty())
                continue;
            auto text = [&](int c) { return s.isNull(c) ? std::optional<QString>() : s.text(c); };
            batch->scores.push_back({identity, QString::number(key), className, s.text(1), text(2), text(3),
                                     text(4), s.isNull(5) ? std::optional<QString>() : numberText(s.value(5)),
                                     text(6), text(7)});
        }
        if (step == Statement::Step::Error)
            return f.fromStatement(s);
        Statement p = LockedRetry::prepared(
            db,
            QStringLiteral(
                "SELECT r.pkResultID, r.tName, r.tSubjectFile, r.nPhraseNo, r.tActivity, r.tUtcTime, "
                "r.nGrade, f.tIdentity, f.nKey FROM tblPhraseResults r LEFT JOIN tblFetchedPhrases f "
                "ON f.nResultID = r.pkResultID WHERE r.pkResultID > ? ORDER BY r.pkResultID LIMIT ?"),
            f);
        if (!p.isValid())
            return false;
        p.bindInt(1, batch->phraseMark.upTo).bindInt(2, BatchRows);
        while ((step = p.step()) == Statement::Step::Row) {
            const qint64 key = p.integer(0);
            batch->lastPhrase = key;
            const auto grade = Grades::fromStored(p.integer(6));
            // A row no program of ours wrote (another grade, another time form) stays here.
            if (!grade || !PhraseResults::parseUtc(p.text(5)))
                continue;
            // A row fetched from the server goes back under the identity it came with.
            const bool fetched = !p.isNull(7);
            const QString identity = fetched ? p.text(7) : RowOrigins::identityOf(phraseRuns, key);
            if (identity.isEmpty())
                continue;
            batch->phrases.push_back({identity, QString::number(fetched ? p.integer(8) : key), className,
                                      p.text(1), p.text(2), QString::number(p.integer(3)),
                                      p.isNull(4) ? std::optional<QString>() : p.text(4), p.text(5),
                                      QString::number(Grades::stored(*grade))});
        }
        if (step == Statement::Step::Error)
            return f.fromStatement(p);
        return true;
    });
}

QString insertStatement(const QString& table, const QString& columns, int columnCount, int rowCount)
{
    QString sql = QStringLiteral("INSERT INTO %1 (%2) VALUES ").arg(table, columns);
    int n = 1;
    for (int r = 0; r < rowCount; ++r) {
        sql += r ? QStringLiteral(",(") : QStringLiteral("(");
        for (int c = 0; c < columnCount; ++c, ++n)
            sql += (c ? QStringLiteral(",$") : QStringLiteral("$")) + QString::number(n);
        sql += QLatin1Char(')');
    }
    return sql + QStringLiteral(" ON CONFLICT DO NOTHING");
}

bool insertRows(PgConnection& c, const QString& table, const QString& columns, int columnCount,
                const std::vector<Params>& rows, QString* error, const std::atomic_bool* stop)
{
    if (rows.empty())
        return true;
    Params params;
    params.reserve(rows.size() * size_t(columnCount));
    for (const Params& r : rows)
        params.insert(params.end(), r.begin(), r.end());
    return c.exec(insertStatement(table, columns, columnCount, int(rows.size())), params, error, nullptr,
                  nullptr, stop);
}

bool noteSent(const QString& usersDatabase, const Batch& batch, QString* error)
{
    return withUsers(usersDatabase, error, [&](Database& db, Failure& f) {
        const std::pair<QString, std::pair<qint64, QString>> marks[] = {
            {RowOrigins::Scores, {batch.lastScore, batch.scoreMark.token}},
            {RowOrigins::PhraseResults, {batch.lastPhrase, batch.phraseMark.token}}};
        for (const auto& [table, mark] : marks) {
            if (mark.first == 0)
                continue;
            // Only the mark the rows were read under: after a restore the file counts anew.
            Statement s =
                LockedRetry::prepared(db,
                                      QStringLiteral("UPDATE tblServerSent SET nSentUpTo = ? WHERE tTable "
                                                     "= ? AND tMark = ? AND nSentUpTo < ?"),
                                      f);
            if (!s.isValid())
                return false;
            s.bindInt(1, mark.first).bindText(2, table).bindText(3, mark.second).bindInt(4, mark.first);
            if (!s.run())
                return f.fromStatement(s);
        }
        return true;
    });
}

} // namespace

PgTarget ClassServerSettings::target(const QString& password) const
{
    PgTarget t;
    t.host = host;
    t.port = port;
    t.database = database;
    t.user = role;
    t.password = password;
    t.requireTls = requireTls || verifyCertificate;
    t.verifyCertificate = verifyCertificate;
    t.caFile = caFile;
    return t;
}

ClassServerSettings ClassServerSettings::load(const QString& programCode)
{
    const QString key = settingsKey(programCode);
    ClassServerSettings s;
    s.host = RegGetString(key, QStringLiteral("Host")).trimmed();
    s.port = int(RegGetDword(key, QStringLiteral("Port"), 5432));
    if (s.port <= 0 || s.port > 65535)
        s.port = 5432;
    s.database = RegGetString(key, QStringLiteral("Database")).trimmed();
    s.className = RegGetString(key, QStringLiteral("Class")).trimmed();
    s.role = RegGetString(key, QStringLiteral("Role")).trimmed();
    s.requireTls = RegGetDword(key, QStringLiteral("RequireTls")) != 0;
    s.verifyCertificate = RegGetDword(key, QStringLiteral("VerifyCertificate")) != 0;
    s.caFile = RegGetString(key, QStringLiteral("CertificateAuthorities")).trimmed();
    return s;
}

void ClassServerSettings::save(const QString& programCode) const
{
    const QString key = settingsKey(programCode);
    RegSaveString(key, QStringLiteral("Host"), host);
    RegSaveDword(key, QStringLiteral("Port"), quint32(port));
    RegSaveString(key, QStringLiteral("Database"), database);
    RegSaveString(key, QStringLiteral("Class"), className);
    RegSaveString(key, QStringLiteral("Role"), role);
    RegSaveDword(key, QStringLiteral("RequireTls"), requireTls ? 1 : 0);
    RegSaveDword(key, QStringLiteral("VerifyCertificate"), verifyCertificate ? 1 : 0);
    RegSaveString(key, QStringLiteral("CertificateAuthorities"), caFile);
}

QString ClassServerSettings::secretName() const
{
    return QStringLiteral("%1@%2:%3/%4").arg(role, host).arg(port).arg(database);
}

namespace ClassSync {

bool prepareIdentities(const QString& usersDatabase, QString* error)
{
    return withUsers(usersDatabase, error, [](Database&, Failure&) { return true; });
}

bool sendPending(const QString& usersDatabase, PgConnection& connection, const QString& className,
                 QString* error, Sent* sent, const std::atomic_bool* stop)
{
    for (;;) {
        if (stop && *stop)
            return false;
        Batch batch;
        if (!readBatch(usersDatabase, className, &batch, error))
            return false;
        if (batch.lastScore == 0 && batch.lastPhrase == 0)
            return true;
        if (!batch.scores.empty() || !batch.phrases.empty()) {
            const bool ok =
                connection.exec(QStringLiteral("BEGIN"), error, stop) &&
                insertRows(
                    connection, QStringLiteral("parlanto_scores"),
                    QStringLiteral("origin, origin_key, class_name, learner, activity, subject, text_score, "
                                   "number_score, score_date, score_time"),
                    10, batch.scores, error, stop) &&
                insertRows(connection, QStringLiteral("parlanto_phrase_results"),
                           QStringLiteral("origin, origin_key, class_name, learner, subject_file, phrase_no, "
                                          "activity, utc_time, grade"),
                           9, batch.phrases, error, stop) &&
                connection.exec(QStringLiteral("COMMIT"), error, stop);
            if (!ok) {
                if (connection.isConnected())
                    connection.exec(QStringLiteral("ROLLBACK"), nullptr, stop);
                return false;
            }
        }
        if (!noteSent(usersDatabase, batch, error))
            return false;
        if (sent) {
            sent->scores += qint64(batch.scores.size());
            sent->phrases += qint64(batch.phrases.size());
        }
    }
}

std::optional<qint64> unsentScores(const QString& usersDatabase, QString* error)
{
    qint64 count = 0;
    const bool ok = LockedRetry::run(error, nullptr, [&](Failure& f) {
        auto db = LockedRetry::openUsers(usersDatabase, f);
        if (!db)
            return false;
        // A file no sender has seen yet has every row to send.
        Statement s = LockedRetry::prepared(
            *db,
            QStringLiteral("SELECT count(*) FROM tblscores WHERE pkScoreID > coalesce((SELECT nSentUpTo FROM "
                           "tblServerSent WHERE tTable = 'tblscores'), 0)"),
            f);
        if (!s.isValid()) {
            if (!f.text.contains(QLatin1String("no such table: tblServerSent")))
                return false;
            f = {};
            s = LockedRetry::prepared(*db, QStringLiteral("SELECT count(*) FROM tblscores"), f);
            if (!s.isValid())
                return false;
        }
        if (s.step() != Statement::Step::Row)
            return f.fromStatement(s);
        count = s.integer(0);
        return true;
    });
    if (!ok)
        return std::nullopt;
    return count;
}

bool fetchLearner(const QString& usersDatabase, PgConnection& connection, const QString& className,
                  const QString& learner, QString* error, int* added, const std::atomic_bool* stop)
{
    if (added)
        *added = 0;
    PgRows rows;
    if (!connection.exec(
            QStringLiteral("SELECT origin, origin_key, subject_file, phrase_no, activity, utc_time, "
                           "grade FROM parlanto_phrase_results WHERE class_name = $1 AND learner = $2"),
            {className, learner}, error, &rows, nullptr, stop))
        return false;
    return withUsers(usersDatabase, error, [&](Database& db, Failure& f) {
        int count = 0;
        std::vector<RowOrigins::Run> runs;
        if (!RowOrigins::runsOf(db, RowOrigins::PhraseResults, &runs, &f.text))
            return false;
        QSet<QString> known;
        Statement s =
            LockedRetry::prepared(db,
                                  QStringLiteral("SELECT r.pkResultID, f.tIdentity, f.nKey FROM "
                                                 "tblPhraseResults r LEFT JOIN tblFetchedPhrases f ON "
                                                 "f.nResultID = r.pkResultID WHERE r.tName = ?"),
                                  f);
        if (!s.isValid())
            return false;
        s.bindText(1, learner);
        Statement::Step step;
        while ((step = s.step()) == Statement::Step::Row) {
            if (s.isNull(1))
                known.insert(RowOrigins::identityOf(runs, s.integer(0)) + QLatin1Char('#') +
                             QString::number(s.integer(0)));
            else
                known.insert(s.text(1) + QLatin1Char('#') + QString::number(s.integer(2)));
        }
        if (step == Statement::Step::Error)
            return f.fromStatement(s);
        Statement addRow =
            LockedRetry::prepared(db,
                                  QStringLiteral("INSERT INTO tblPhraseResults (tName, tSubjectFile, "
                                                 "nPhraseNo, tActivity, tUtcTime, nGrade) VALUES (?, "
                                                 "?, ?, ?, ?, ?)"),
                                  f);
        Statement addOrigin = LockedRetry::prepared(
            db, QStringLiteral("INSERT INTO tblFetchedPhrases (nResultID, tIdentity, nKey) VALUES (?, ?, ?)"),
            f);
        if (!addRow.isValid() || !addOrigin.isValid())
            return false;
        for (const auto& r : rows.rows) {
            if (r.size() != 7 || !r[0] || !r[1] || !r[2] || !r[3] || !r[5] || !r[6])
                continue;
            const QString name = *r[0] + QLatin1Char('#') + *r[1];
            const auto grade = Grades::fromStored(r[6]->toLongLong());
            if (known.contains(name) || !grade || !PhraseResults::parseUtc(*r[5]))
                continue;
            known.insert(name);
            addRow.reset();
            addRow.bindText(1, learner)
                .bindText(2, *r[2])
                .bindInt(3, r[3]->toLongLong())
                .bindText(4, r[4].value_or(QString()))
                .bindText(5, *r[5])
                .bindInt(6, Grades::stored(*grade));
            if (!addRow.run())
                return f.fromStatement(addRow);
            addOrigin.reset();
            addOrigin.bindInt(1, db.lastInsertId()).bindText(2, *r[0]).bindInt(3, r[1]->toLongLong());
            if (!addOrigin.run())
                return f.fromStatement(addOrigin);
            ++count;
        }
        if (count > 0) {
            // The kept copy of the memory was worked out without these rows: the next reading
            // replays them all in time order.
            Statement forget =
                LockedRetry::prepared(db, QStringLiteral("DELETE FROM tblPhraseMemory WHERE tName = ?"), f);
            if (!forget.isValid())
                return false;
            forget.bindText(1, learner);
            if (!forget.run())
                return f.fromStatement(forget);
        }
        if (added)
            *added = count;
        return true;
    });
}

bool mirrorClass(const QString& mirrorPath, const QString& templatePath, PgConnection& connection,
                 const QString& className, QString* error, const std::atomic_bool* stop)
{
    PgRows scores, phrases;
    if (!connection.exec(
            QStringLiteral("SELECT learner, activity, subject, text_score, number_score, score_date, "
                           "score_time FROM parlanto_scores WHERE class_name = $1 ORDER BY score_date, "
                           "score_time, origin, origin_key"),
            {className}, error, &scores, nullptr, stop) ||
        !connection.exec(
            QStringLiteral("SELECT learner, subject_file, phrase_no, activity, utc_time, grade FROM "
                           "parlanto_phrase_results WHERE class_name = $1 ORDER BY utc_time, origin, "
                           "origin_key"),
            {className}, error, &phrases, nullptr, stop))
        return false;
    UsersDatabase mirror(mirrorPath, templatePath);
    if (!mirror.remove(error) || !mirror.createFromTemplate(error))
        return false;
    auto db = Database::open(mirrorPath, Database::TemplatePassword, Database::Mode::ReadWrite, error);
    if (!db)
        return false;
    Transaction transaction(*db);
    if (!transaction.ok() || !PhraseResults::ensureTables(*db, error))
        return false;
    QSet<QString> learners;
    Statement addScore =
        db->prepare(QStringLiteral("INSERT INTO tblscores (tName, tActivity, tSubject, textScore, "
                                   "numberScore, nDate, nTime) VALUES (?, ?, ?, ?, ?, ?, ?)"),
                    error);
    if (!addScore.isValid())
        return false;
    for (const auto& r : scores.rows) {
        if (r.size() != 7)
            continue;
        learners.insert(r[0].value_or(QString()));
        addScore.reset();
        for (int c = 0; c < 7; ++c) {
            if (!r[size_t(c)])
                addScore.bindNull(c + 1);
            else if (c == 4)
                addScore.bind(c + 1, QVariant(r[size_t(c)]->toDouble()));
            else
                addScore.bindText(c + 1, *r[size_t(c)]);
        }
        if (!addScore.run()) {
            if (error)
                *error = addScore.errorString();
            return false;
        }
    }
    std::vector<PhraseResultRow> phraseRows;
    phraseRows.reserve(phrases.rows.size());
    for (const auto& r : phrases.rows) {
        if (r.size() != 6 || !r[0] || !r[1] || !r[2] || !r[4] || !r[5])
            continue;
        // The server keeps grades 1 to 4 only; another number would be a row of no program of ours.
        const auto grade = Grades::fromStored(r[5]->toLongLong());
        if (!grade)
            continue;
        learners.insert(*r[0]);
        phraseRows.push_back({*r[0],
                              {*r[1], r[2]->toLongLong()},
                              r[3].value_or(QString()),
                              PhraseResults::parseUtc(*r[4]).value_or(0),
                              *grade});
    }
    if (!PhraseResults::insert(*db, phraseRows, error))
        return false;
    // The learners by the names their rows carry: "first last" splits at the last blank.
    Statement addLearner = db->prepare(
        QStringLiteral("INSERT INTO tblUsers (tFirstname, tLastname, nIcon) VALUES (?, ?, 1)"), error);
    if (!addLearner.isValid())
        return false;
    QStringList names = learners.values();
    names.sort(Qt::CaseInsensitive);
    for (const QString& name : names) {
        const qsizetype blank = name.lastIndexOf(QLatin1Char(' '));
        addLearner.reset();
        addLearner.bindText(1, blank < 0 ? name : name.left(blank))
            .bindText(2, blank < 0 ? QString() : name.mid(blank + 1));
        if (!addLearner.run()) {
            if (error)
                *error = addLearner.errorString();
            return false;
        }
    }
    return transaction.commit(error);
}

} // namespace ClassSync
