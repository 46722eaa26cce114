#include "UsersDatabase.h"

#include "platform/Database.h"
#include "platform/LockedRetry.h"
#include "review/PhraseResults.h"
#include "state/AppState.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>

namespace {

using LockedRetry::Failure;
using LockedRetry::openUsers;
using LockedRetry::prepared;

template <typename Operation> bool withLockedRetry(QString* error, int* code, Operation operation)
{
    return LockedRetry::run(error, code, operation);
}

template <typename Operation> bool withLockedRetry(QString* error, Operation operation)
{
    return LockedRetry::run(error, nullptr, operation);
}

// A users database of an older version lacks columns added since; they are added (an
// older program ignores them), so its learners stay. A file without the learners' table
// is left to the query, which finds it foreign.
bool addMissingColumns(Database& db, Failure& f)
{
    struct Column
    {
        const char* table;
        const char* name;
        const char* type;
    };
    static const Column expected[] = {
        {"tblUsers", "tFirstname", "TEXT"},   {"tblUsers", "tLastname", "TEXT"},
        {"tblUsers", "tPassword", "TEXT"},    {"tblUsers", "nIcon", "INTEGER"},
        {"tblscores", "tName", "TEXT"},       {"tblscores", "tActivity", "TEXT"},
        {"tblscores", "tSubject", "TEXT"},    {"tblscores", "textScore", "TEXT"},
        {"tblscores", "numberScore", "REAL"}, {"tblscores", "nDate", "TEXT"},
        {"tblscores", "nTime", "TEXT"},
    };
    QHash<QString, QStringList> present;
    for (const char* table : {"tblUsers", "tblscores"}) {
        Statement s = prepared(db, QStringLiteral("PRAGMA table_info(%1)").arg(QLatin1String(table)), f);
        if (!s.isValid())
            return false;
        Statement::Step step;
        while ((step = s.step()) == Statement::Step::Row)
            present[QLatin1String(table)] << s.text(1).toLower();
        if (step == Statement::Step::Error)
            return f.fromStatement(s);
    }
    for (const Column& c : expected) {
        const QStringList& columns = present[QLatin1String(c.table)];
        if (columns.isEmpty() || columns.contains(QString::fromLatin1(c.name).toLower()))
            continue;
        if (!db.exec(QStringLiteral("ALTER TABLE %1 ADD COLUMN %2 %3")
                         .arg(QLatin1String(c.table), QLatin1String(c.name), QLatin1String(c.type)),
                     &f.text)) {
            f.code = db.lastErrorCode();
            return false;
        }
    }
    return true;
}

const QStringList& journalSuffixes()
{
    static const QStringList s{QStringLiteral("-journal"), QStringLiteral("-wal"), QStringLiteral("-shm")};
    return s;
}

// Column 0 of every row of a statement without parameters.
std::optional<QStringList> firstColumn(const QString& path, const QString& sql, QString* error)
{
    QStringList names;
    const bool ok = withLockedRetry(error, [&](Failure& f) {
        names.clear();
        auto db = openUsers(path, f);
        if (!db)
            return false;
        Statement s = prepared(*db, sql, f);
        if (!s.isValid())
            return false;
        Statement::Step step;
        while ((step = s.step()) == Statement::Step::Row)
            names.append(s.text(0));
        if (step == Statement::Step::Error) {
            return f.fromStatement(s);
        }
        return true;
    });
    if (!ok)
        return std::nullopt;
    return names;
}

// The results whose two columns hold the two names, with nameColumn as the row's name. The
// column names are the program's own; the names are bound, so any text is safe.
std::optional<QList<ResultRow>> results(const QString& path, const QString& nameColumn,
                                        const QString& firstColumnName, const QString& firstValue,
                                        const QString& secondColumnName, const QString& secondValue,
                                        QString* error)
{
    QList<ResultRow> rows;
    const bool ok = withLockedRetry(error, [&](Failure& f) {
        rows.clear();
        auto db = openUsers(path, f);
        if (!db)
            return false;
        Statement s =
            prepared(*db,
                     QStringLiteral("SELECT %1, textScore, numberScore, nDate, nTime FROM tblscores "
                                    "WHERE %2 = ? AND %3 = ? ORDER BY pkScoreID")
                         .arg(nameColumn, firstColumnName, secondColumnName),
                     f);
        if (!s.isValid())
            return false;
        s.bindText(1, firstValue).bindText(2, secondValue);
        Statement::Step step;
        while ((step = s.step()) == Statement::Step::Row) {
            ResultRow r;
            r.name = s.text(0);
            r.score = UsersDatabase::shownScore(s.text(1), s.value(2));
            r.nDate = s.text(3);
            r.nTime = s.text(4);
            rows.append(r);
        }
        if (step == Statement::Step::Error) {
            return f.fromStatement(s);
        }
        return true;
    });
    if (!ok)
        return std::nullopt;
    return rows;
}

} // namespace

UsersDatabase::UsersDatabase(const QString& path, const QString& templatePath)
    : m_path(path), m_templatePath(templatePath)
{
}

UsersDatabase UsersDatabase::forApp()
{
    return UsersDatabase(app().usersDatabasePath(), app().templateDatabasePath());
}

bool UsersDatabase::exists() const
{
    return QFileInfo(m_path).isFile();
}

bool UsersDatabase::createFromTemplate(QString* error) const
{
    auto fail = [&](const QString& text) {
        if (error)
            *error = text;
        return false;
    };
    const QFileInfo target(m_path);
    if (!QDir().mkpath(target.absolutePath()))
        return fail(QStringLiteral("The folder %1 cannot be created.").arg(target.absolutePath()));
    if (!QFileInfo(m_templatePath).isFile())
        return fail(QStringLiteral("The template database %1 does not exist.").arg(m_templatePath));

    const QString temp = m_path + QStringLiteral(".new-%1").arg(QCoreApplication::applicationPid());
    QFile::remove(temp); // a leftover of an earlier failed try of this process id
    QFile source(m_templatePath);
    if (!source.copy(temp)) {
        const QString reason = source.errorString();
        QFile::remove(temp);
        return fail(QStringLiteral("The template database %1 cannot be copied to %2: %3")
                        .arg(m_templatePath, m_path, reason));
    }
    // The template may come read-only from the installation; learners write to the copy.
    if (!QFile::setPermissions(temp, QFile::permissions(temp) | QFile::ReadOwner | QFile::WriteOwner)) {
        QFile::remove(temp);
        return fail(QStringLiteral("%1 cannot be made writable.").arg(m_path));
    }
    // Write-ahead logging lets the launcher read while activities append, and costs one
    // disk flush per result instead of several. The mode stays with the file.
    {
        QString openError;
        auto copy = Database::open(temp, Database::TemplatePassword, Database::Mode::ReadWrite, &openError);
        if (!copy || !copy->exec(QStringLiteral("PRAGMA journal_mode = WAL"), &openError) ||
            !PhraseResults::ensureTables(*copy, &openError)) {
            copy.reset();
            QFile::remove(temp);
            return fail(
                QStringLiteral("The template database %1 cannot be used: %2").arg(m_templatePath, openError));
        }
    }
    for (const QString& suffix : journalSuffixes()) {
        if (QFileInfo::exists(temp + suffix)) {
            QFile::remove(temp);
            return fail(QStringLiteral("%1 was not closed cleanly.").arg(temp));
        }
    }
    if (!QFile::rename(temp, m_path)) {
        QFile::remove(temp);
        if (exists())
            return true; // another copy of the program made it first: keep that one
        return fail(QStringLiteral("%1 cannot be created.").arg(m_path));
    }
    return true;
}

std::optional<QList<Learner>> UsersDatabase::readLearners(QString* error, DatabaseFailure* failure) const
{
    if (failure)
        *failure = DatabaseFailure::None;
    if (!exists()) {
        if (error)
            *error = QStringLiteral("The file %1 does not exist.").arg(m_path);
        if (failure)
            *failure = DatabaseFailure::Missing;
        return std::nullopt;
    }
    QList<Learner> learners;
    bool foreign = false;
    int code = 0;
    const bool ok = withLockedRetry(error, &code, [&](Failure& f) {
        learners.clear();
        auto db = openUsers(m_path, f);
        if (!db || !addMissingColumns(*db, f))
            return false;
        // Key order keeps the first learner ever created first: the administrator.
        Statement s = prepared(*db,
                               QStringLiteral("SELECT pkStudentID, tFirstname, tLastname, tPassword, nIcon "
                                              "FROM tblUsers ORDER BY pkStudentID"),
                               f);
        // A database without the learners' table is somebody else's file, not ours.
        foreign = !s.isValid() && Database::failureOf(f.code) == DatabaseFailure::Other;
        if (!s.isValid())
            return false;
        Statement::Step step;
        while ((step = s.step()) == Statement::Step::Row) {
            Learner l;
            l.pkStudentID = s.integer(0);
            l.tFirstname = s.text(1);
            l.tLastname = s.text(2);
            l.tPassword = s.text(3);
            l.nIcon = s.text(4).toInt();
            learners.append(l);
        }
        if (step == Statement::Step::Error) {
            return f.fromStatement(s);
        }
        return true;
    });
    if (!ok) {
        if (failure)
            *failure = foreign ? DatabaseFailure::Damaged : Database::failureOf(code);
        if (error)
            *error = Database::namingFile(m_path, *error);
        return std::nullopt;
    }
    return learners;
}

LearnerList UsersDatabase::openLearnerList() const
{
    LearnerList list;
    if (!exists()) {
        list.outcome = createFromTemplate(&list.error) ? LearnerList::Outcome::Created
                                                       : LearnerList::Outcome::CannotCreate;
        return list;
    }
    auto learners = readLearners(&list.error, &list.failure);
    if (learners) {
        list.outcome = LearnerList::Outcome::Read;
        list.learners = *learners;
        // A file of an older program gains the per-phrase table now; one that cannot be
        // written (read-only) gains it at its first write, and reads find no rows meanwhile.
        addMissingTables(nullptr, &list.tablesSetAside);
        return list;
    }
    if (list.failure != DatabaseFailure::Damaged) {
        // A full disk, a refused permission or a lock passes: the file stays exactly as it is.
        list.outcome = LearnerList::Outcome::Unavailable;
        return list;
    }
    QString moveError;
    const auto keptAs = moveAside(&moveError);
    if (!keptAs) {
        list.outcome = LearnerList::Outcome::CannotSetAside;
        list.error += QStringLiteral("\n\n") + moveError;
        return list;
    }
    list.outcome = LearnerList::Outcome::SetAside;
    list.keptAs = *keptAs;
    createFromTemplate(&list.createError);
    return list;
}

std::optional<QString> UsersDatabase::moveAside(QString* error, const QDateTime& now) const
{
    const QString base =
        m_path + QStringLiteral(".damaged-") + now.toString(QStringLiteral("yyyyMMdd-HHmmss"));
    QString target = base;
    for (int n = 2; QFileInfo::exists(target); ++n)
        target = base + QStringLiteral("-%1").arg(n);

    // The journal goes first: left behind, it would be played into the fresh copy.
    QStringList movedSuffixes;
    for (const QString& suffix : journalSuffixes()) {
        if (!QFileInfo::exists(m_path + suffix))
            continue;
        if (!QFile::rename(m_path + suffix, target + suffix)) {
            for (const QString& back : movedSuffixes)
                QFile::rename(target + back, m_path + back);
            if (error)
                *error = QStringLiteral("%1 cannot be moved to %2.").arg(m_path + suffix, target + suffix);
            return std::nullopt;
        }
        movedSuffixes.append(suffix);
    }
    if (!QFile::rename(m_path, target)) {
        for (const QString& back : movedSuffixes)
            QFile::rename(target + back, m_path + back);
        if (error)
            *error = QStringLiteral("%1 cannot be moved to %2.").arg(m_path, target);
        return std::nullopt;
    }
    return target;
}

std::optional<qint64> UsersDatabase::addLearner(const Learner& learner, QString* error,
                                                bool* administrator) const
{
    qint64 key = 0;
    qint64 firstKey = 0;
    // Whether the new learner is the first one is decided with the file locked for writing:
    // two programs adding the first learners of one file at once never both make theirs the
    // administrator.
    const bool ok = LockedRetry::writeUsers(m_path, error, [&](Database& db, Failure& f) {
        Statement s = prepared(
            db,
            QStringLiteral(
                "INSERT INTO tblUsers (tFirstname, tLastname, tPassword, nIcon) VALUES (?, ?, ?, ?)"),
            f);
        if (!s.isValid())
            return false;
        s.bindText(1, learner.tFirstname).bindText(2, learner.tLastname).bindInt(4, learner.nIcon);
        if (learner.tPassword.isEmpty())
            s.bindNull(3);
        else
            s.bindText(3, learner.tPassword);
        if (!s.run()) {
            return f.fromStatement(s);
        }
        key = db.lastInsertId();
        s = Statement();
        Statement first = prepared(db, QStringLiteral("SELECT min(pkStudentID) FROM tblUsers"), f);
        if (!first.isValid())
            return false;
        if (first.step() != Statement::Step::Row)
            return f.fromStatement(first);
        firstKey = first.integer(0);
        return true;
    });
    if (!ok)
        return std::nullopt;
    if (administrator)
        *administrator = key == firstKey;
    return key;
}

bool UsersDatabase::updateLearner(const Learner& learner, QString* error) const
{
    // The profile and the learner's results change together or not at all.
    return LockedRetry::writeUsers(m_path, error, [&](Database& db, Failure& f) {
        Statement read = prepared(
            db, QStringLiteral("SELECT tFirstname, tLastname FROM tblUsers WHERE pkStudentID = ?"), f);
        if (!read.isValid())
            return false;
        read.bindInt(1, learner.pkStudentID);
        const Statement::Step found = read.step();
        if (found == Statement::Step::Error)
            return f.fromStatement(read);
        if (found != Statement::Step::Row) {
            f.text = QStringLiteral("There is no learner with the key %1.").arg(learner.pkStudentID);
            return false;
        }
        const QString oldName = read.text(0) + QLatin1Char(' ') + read.text(1);
        read = Statement();

        Statement s =
            prepared(db,
                     QStringLiteral("UPDATE tblUsers SET tFirstname = ?, tLastname = ?, tPassword = ?, "
                                    "nIcon = ? WHERE pkStudentID = ?"),
                     f);
        if (!s.isValid())
            return false;
        // After an edit "no password" is the empty text, never Null.
        s.bindText(1, learner.tFirstname)
            .bindText(2, learner.tLastname)
            .bindText(3, learner.tPassword.isNull() ? QString("") : learner.tPassword)
            .bindInt(4, learner.nIcon)
            .bindInt(5, learner.pkStudentID);
        if (!s.run())
            return f.fromStatement(s);

        // Results carry the display name: they follow a renamed learner, unless another
        // learner still has the old name, whose results cannot be told apart from these.
        if (oldName != learner.displayName()) {
            Statement others = prepared(
                db,
                QStringLiteral("SELECT count(*) FROM tblUsers WHERE tFirstname || ' ' || tLastname = ? "
                               "AND pkStudentID <> ?"),
                f);
            if (!others.isValid())
                return false;
            others.bindText(1, oldName).bindInt(2, learner.pkStudentID);
            if (others.step() != Statement::Step::Row)
                return f.fromStatement(others);
            if (others.integer(0) == 0) {
                Statement rename =
                    prepared(db, QStringLiteral("UPDATE tblscores SET tName = ? WHERE tName = ?"), f);
                if (!rename.isValid())
                    return false;
                rename.bindText(1, learner.displayName()).bindText(2, oldName);
                if (!rename.run())
                    return f.fromStatement(rename);
                if (!PhraseResults::ensureTables(db, &f.text) ||
                    !PhraseResults::renameLearner(db, oldName, learner.displayName(), &f.text)) {
                    f.code = db.lastErrorCode();
                    return false;
                }
            }
        }
        return true;
    });
}

bool UsersDatabase::appendScore(const ScoreRow& row, QString* error) const
{
    return ::appendScore(m_path, row, error);
}

bool UsersDatabase::addMissingTables(QString* error, QStringList* setAside) const
{
    // One transaction: a table set aside is made again in the same step.
    QStringList kept;
    const bool ok = LockedRetry::writeUsers(m_path, error, [&](Database& db, Failure& f) {
        kept.clear();
        if (PhraseResults::ensureTables(db, &f.text, &kept))
            return true;
        f.code = db.lastErrorCode();
        return false;
    });
    if (ok && setAside)
        *setAside = kept;
    return ok;
}

std::optional<qint64> UsersDatabase::scoreCount(QString* error) const
{
    qint64 count = 0;
    const bool ok = withLockedRetry(error, [&](Failure& f) {
        auto db = openUsers(m_path, f);
        if (!db)
            return false;
        Statement s = prepared(*db, QStringLiteral("SELECT count(*) FROM tblscores"), f);
        if (s.step() != Statement::Step::Row) {
            return f.fromStatement(s);
        }
        count = s.integer(0);
        return true;
    });
    if (!ok)
        return std::nullopt;
    return count;
}

std::optional<QStringList> UsersDatabase::activityNames(QString* error) const
{
    // The table itself, not the file's view of it: a file's views are not trusted to be
    // what the template made.
    return firstColumn(m_path, QStringLiteral("SELECT DISTINCT tActivity FROM tblscores ORDER BY tActivity"),
                       error);
}

std::optional<QStringList> UsersDatabase::subjectNames(QString* error) const
{
    return firstColumn(m_path, QStringLiteral("SELECT DISTINCT tSubject FROM tblscores ORDER BY tSubject"),
                       error);
}

std::optional<QList<ResultRow>> UsersDatabase::resultsOfLearnerInActivity(const QString& learner,
                                                                          const QString& activity,
                                                                          QString* error) const
{
    return results(m_path, QStringLiteral("tSubject"), QStringLiteral("tName"), learner,
                   QStringLiteral("tActivity"), activity, error);
}

std::optional<QList<ResultRow>> UsersDatabase::resultsOfActivityInSubject(const QString& activity,
                                                                          const QString& subject,
                                                                          QString* error) const
{
    return results(m_path, QStringLiteral("tName"), QStringLiteral("tActivity"), activity,
                   QStringLiteral("tSubject"), subject, error);
}

std::optional<QList<ResultRow>> UsersDatabase::resultsOfSubjectForLearner(const QString& subject,
                                                                          const QString& learner,
                                                                          QString* error) const
{
    return results(m_path, QStringLiteral("tActivity"), QStringLiteral("tSubject"), subject,
                   QStringLiteral("tName"), learner, error);
}

QString UsersDatabase::shownScore(const QString& textScore, const QVariant& numberScore)
{
    if (!textScore.isEmpty())
        return textScore;
    if (!numberScore.isValid() || numberScore.isNull())
        return QString();
    if (numberScore.typeId() == QMetaType::Double)
        return QString::number(numberScore.toDouble(), 'g', 15); // 85 rather than 85.0
    return numberScore.toString();
}

bool UsersDatabase::remove(QString* error) const
{
    auto fail = [&](const QString& file) {
        if (error)
            *error = QStringLiteral("%1 cannot be deleted.").arg(file);
        return false;
    };
    if (QFileInfo::exists(m_path) && !QFile::remove(m_path))
        return fail(m_path);
    // Left behind, a journal would be played into the fresh copy made from the template.
    for (const QString& suffix : journalSuffixes()) {
        const QString file = m_path + suffix;
        if (QFileInfo::exists(file) && !QFile::remove(file))
            return fail(file);
    }
    return true;
}

bool UsersDatabase::isDuplicateName(const QList<Learner>& learners, const QString& displayName)
{
    for (const Learner& l : learners) {
        if (l.displayName().compare(displayName, Qt::CaseInsensitive) == 0)
            return true;
    }
    return false;
}

void ScoreRow::setWhen(const QDateTime& when)
{
    const QDateTime local = when.toLocalTime();
    nDate = local.toString(QStringLiteral("yyyy-MM-dd"));
    nTime = local.toString(QStringLiteral("HH:mm:ss"));
}

bool appendScore(const QString& usersDatabasePath, const ScoreRow& row, QString* error)
{
    return appendScore(usersDatabasePath, row, {}, error);
}

bool appendScore(const QString& usersDatabasePath, const ScoreRow& row,
                 const std::vector<PhraseResultRow>& phrases, QString* error)
{
    QString why;
    // The score and its phrases land together or not at all: a failed write (a full disk)
    // leaves the database as it was. Without phrases it is the one statement it always was.
    const bool ok = withLockedRetry(&why, [&](Failure& f) {
        auto db = openUsers(usersDatabasePath, f);
        if (!db)
            return false;
        std::optional<Transaction> transaction;
        if (!phrases.empty()) {
            transaction.emplace(*db);
            if (!transaction->ok()) {
                f.text = transaction->errorString();
                f.code = db->lastErrorCode();
                return false;
            }
        }
        Statement s = prepared(*db,
                               QStringLiteral("INSERT INTO tblscores (tName, tActivity, tSubject, textScore, "
                                              "numberScore, nDate, nTime) VALUES (?, ?, ?, ?, ?, ?, ?)"),
                               f);
        if (!s.isValid())
            return false;
        s.bindText(1, row.tName).bindText(2, row.tActivity).bindText(3, row.tSubject);
        if (row.textScore)
            s.bindText(4, *row.textScore);
        else
            s.bindNull(4);
        if (row.numberScore)
            s.bind(5, QVariant(*row.numberScore));
        else
            s.bindNull(5);
        s.bindText(6, row.nDate).bindText(7, row.nTime);
        if (!s.run())
            return f.fromStatement(s);
        if (!transaction)
            return true;
        // The score is what every activity counts on: phrase rows the file refuses for a reason
        // of their own (a table another program made, a row it will not take) are left out and
        // the score kept. A passing cause (a lock, a full disk) fails the whole as before.
        if (!db->exec(QStringLiteral("SAVEPOINT phrases"), &f.text)) {
            f.code = db->lastErrorCode();
            return false;
        }
        QString phraseError;
        QStringList setAside;
        // An older file gets the tables here, its other rows untouched.
        if (!PhraseResults::ensureTables(*db, &phraseError, &setAside) ||
            !PhraseResults::insert(*db, phrases, &phraseError)) {
            const int code = db->lastErrorCode();
            const DatabaseFailure failure = Database::failureOf(code);
            if (failure != DatabaseFailure::Other && failure != DatabaseFailure::Damaged &&
                failure != DatabaseFailure::None) {
                f.text = phraseError;
                f.code = code;
                return false;
            }
            db->exec(QStringLiteral("ROLLBACK TO phrases"));
            qWarning("The phrases of the result were left out of %s: %s", qPrintable(usersDatabasePath),
                     qPrintable(phraseError));
        } else if (!setAside.isEmpty()) {
            qWarning("In %s a table of another shape was kept under a new name: %s",
                     qPrintable(usersDatabasePath), qPrintable(setAside.join(QStringLiteral(", "))));
        }
        if (!db->exec(QStringLiteral("RELEASE phrases"), &f.text)) {
            f.code = db->lastErrorCode();
            return false;
        }
        return transaction->commit(&f.text);
    });
    if (!ok && error) {
        if (why.isEmpty())
            why = QStringLiteral("unknown error");
        *error = QStringLiteral("The result could not be saved in %1: %2").arg(usersDatabasePath, why);
    }
    return ok;
}
