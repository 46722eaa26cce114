#include "UsersTemplate.h"
#include "platform/Database.h"
#include "review/PhraseResults.h"
#include "review/ReviewSchedule.h"
#include "support/TestSupport.h"
#include "users/UsersDatabase.h"

#include <QDateTime>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <QtEndian>

#include <atomic>
#include <cmath>
#include <csignal>
#include <cstring>
#include <limits>
#include <sys/resource.h>
#include <thread>

namespace {

QByteArray bytesOf(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("(unreadable)");
}

QStringList filesIn(const QString& folder)
{
    QStringList names = QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System);
    names.sort();
    return names;
}

QMap<QString, QString> probeValues(QProcess& p)
{
    QMap<QString, QString> values;
    for (const QString& line : QString::fromUtf8(p.readAllStandardOutput()).split(QLatin1Char('\n'))) {
        const int eq = line.indexOf(QLatin1Char('='));
        if (eq > 0)
            values.insert(line.left(eq), line.mid(eq + 1));
    }
    return values;
}

qint64 scalar(const QString& path, const QString& sql)
{
    QString error;
    auto db = Database::open(path, Database::TemplatePassword, Database::Mode::ReadOnly, &error);
    Statement s = db ? db->prepare(sql) : Statement();
    return s.isValid() && s.step() == Statement::Step::Row ? s.integer(0) : -1;
}

bool execute(const QString& path, const QString& sql)
{
    QString error;
    auto db = Database::open(path, Database::TemplatePassword, Database::Mode::ReadWrite, &error);
    if (!db || !db->exec(sql, &error))
        qWarning("%s", qPrintable(error));
    return db && error.isEmpty();
}

} // namespace

class TestUsersDatabase : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void createdFromReadOnlyTemplate();
    void missingTemplateMakesNothing();
    void learnersKeepKeyOrderAndValues();
    void oneFirstLearnerOfTwoPrograms();
    void passwordNullWhenAddedEmptyWhenEdited();
    void duplicateNames_data();
    void duplicateNames();
    void unreadableFiles_data();
    void unreadableFiles();
    void movedAsideWithJournal();
    void brieflyLockedIsNotDamaged();
    void scoresAppended();
    void fullDiskKeepsResultsAndLearners();
    void passingFailuresLeaveTheFile_data();
    void passingFailuresLeaveTheFile();
    void renameCarriesResults_data();
    void renameCarriesResults();
    void phraseResultsWithTheScore();
    void keptMemoryMatchesTheRows();
    void phraseTableOfAnotherShape();
    void rowsAndCopiesNoReplayGives();

private:
    UsersDatabase users() const
    {
        return UsersDatabase(m_dir->filePath(QStringLiteral("data/Users.dat")),
                             m_dir->filePath(QStringLiteral("program/Parlanto.tpl")));
    }
    std::unique_ptr<QTemporaryDir> m_dir;
};

void TestUsersDatabase::initTestCase()
{
    QStandardPaths::setTestModeEnabled(true);
}

void TestUsersDatabase::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    QVERIFY(QDir(m_dir->path()).mkpath(QStringLiteral("program")));
    QString error;
    QVERIFY2(UsersTemplate::write(users().templatePath(), &error), qPrintable(error));
}

void TestUsersDatabase::createdFromReadOnlyTemplate()
{
    const UsersDatabase db = users();
    QVERIFY(QFile::setPermissions(db.templatePath(), QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther));
    QVERIFY(!db.exists());
    QString error;
    QVERIFY2(db.createFromTemplate(&error), qPrintable(error));
    QVERIFY(db.exists());
    QVERIFY(QFile::permissions(db.path()) & QFile::WriteOwner);
    // Only the file itself is left in the data folder, no temporary copy.
    QCOMPARE(QDir(QFileInfo(db.path()).path()).entryList(QDir::Files),
             QStringList{QStringLiteral("Users.dat")});
    const auto learners = db.readLearners(&error);
    QVERIFY2(learners, qPrintable(error));
    QVERIFY(learners->isEmpty());
    QVERIFY2(db.addLearner({0, QStringLiteral("Anna"), QStringLiteral("Rossi"), {}, 3}, &error),
             qPrintable(error));
}

void TestUsersDatabase::missingTemplateMakesNothing()
{
    const UsersDatabase db(m_dir->filePath(QStringLiteral("data/Users.dat")),
                           m_dir->filePath(QStringLiteral("program/Missing.tpl")));
    QString error;
    QVERIFY(!db.createFromTemplate(&error));
    QVERIFY(error.contains(QStringLiteral("Missing.tpl")));
    QVERIFY(QDir(QFileInfo(db.path()).path()).entryList(QDir::Files).isEmpty());
}

// Two programs on one empty folder: both read an empty list of learners, then both add one
// at once. The file decides: exactly one of them is told it is the administrator, and it is
// the learner the list shows first.
void TestUsersDatabase::oneFirstLearnerOfTwoPrograms()
{
    const UsersDatabase db = users();
    QProcess programs[2];
    for (int i = 0; i < 2; ++i) {
        programs[i].start(QStringLiteral(USERS_PROBE), {QStringLiteral("add"), db.path(), db.templatePath(),
                                                        QStringLiteral("P%1").arg(i)});
        QVERIFY(programs[i].waitForStarted());
    }
    for (QProcess& p : programs) {
        QByteArray said;
        while (!said.contains("ready\n")) {
            QVERIFY2(p.waitForReadyRead(30000), p.readAllStandardError().constData());
            said += p.readAllStandardOutput();
        }
        QVERIFY2(said.startsWith("count=0\n"), said.constData()); // both see no learner yet
    }
    for (QProcess& p : programs)
        p.write("go\n");
    QList<QString> administrators;
    for (int i = 0; i < 2; ++i) {
        QVERIFY(programs[i].waitForFinished(60000));
        const auto values = probeValues(programs[i]);
        QVERIFY2(programs[i].exitCode() == 0, qPrintable(values.value(QStringLiteral("error"))));
        if (values.value(QStringLiteral("administrator")) == QLatin1String("1"))
            administrators << QStringLiteral("P%1").arg(i);
    }
    QCOMPARE(administrators.size(), 1);
    QString error;
    const auto learners = db.readLearners(&error);
    QVERIFY2(learners && learners->size() == 2, qPrintable(error));
    QCOMPARE(learners->first().tFirstname, administrators.first());
}

void TestUsersDatabase::learnersKeepKeyOrderAndValues()
{
    const UsersDatabase db = users();
    QString error;
    QVERIFY(db.createFromTemplate(&error));
    const QList<Learner> added = {
        {0, QStringLiteral("Zoë"), QStringLiteral("O'Brien"), QStringLiteral("pa\"ss'"), 40},
        {0, QStringLiteral("Ana"), QStringLiteral("Núñez; DROP TABLE tblUsers"), {}, 1},
        {0, QStringLiteral("Bob"), QStringLiteral("Smith"), QStringLiteral("x"), 17},
    };
    QList<qint64> keys;
    for (const Learner& l : added) {
        const auto key = db.addLearner(l, &error);
        QVERIFY2(key, qPrintable(error));
        keys.append(*key);
    }
    QVERIFY(keys[0] < keys[1] && keys[1] < keys[2]);

    const auto read = db.readLearners(&error);
    QVERIFY2(read, qPrintable(error));
    QCOMPARE(read->size(), 3);
    for (int i = 0; i < 3; ++i) {
        QCOMPARE(read->at(i).pkStudentID, keys[i]);
        QCOMPARE(read->at(i).displayName(), added[i].displayName());
        QCOMPARE(read->at(i).tPassword, added[i].tPassword.isNull() ? QString("") : added[i].tPassword);
        QCOMPARE(read->at(i).nIcon, added[i].nIcon);
    }
}

void TestUsersDatabase::passwordNullWhenAddedEmptyWhenEdited()
{
    const UsersDatabase db = users();
    QString error;
    QVERIFY(db.createFromTemplate(&error));
    Learner l{0, QStringLiteral("Anna"), QStringLiteral("Rossi"), {}, 5};
    const auto key = db.addLearner(l, &error);
    QVERIFY2(key, qPrintable(error));

    auto storedPassword = [&]() -> QVariant {
        auto raw = Database::open(db.path(), Database::TemplatePassword, Database::Mode::ReadOnly, &error);
        Statement s = raw->prepare(QStringLiteral("SELECT tPassword FROM tblUsers WHERE pkStudentID = ?"));
        s.bindInt(1, *key);
        return s.step() == Statement::Step::Row ? s.value(0) : QVariant(QStringLiteral("<no row>"));
    };
    QVERIFY(storedPassword().isNull());

    l.pkStudentID = *key;
    l.tLastname = QStringLiteral("Bianchi");
    QVERIFY2(db.updateLearner(l, &error), qPrintable(error));
    const QVariant edited = storedPassword();
    QVERIFY(!edited.isNull());
    QCOMPARE(edited.toString(), QString(""));

    l.pkStudentID = *key + 100;
    QVERIFY(!db.updateLearner(l, &error)); // no such learner: not reported as saved
}

void TestUsersDatabase::duplicateNames_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("duplicate");
    QTest::newRow("same") << "Anna Rossi" << true;
    QTest::newRow("other case") << "ANNA rossi" << true;
    QTest::newRow("accents other case") << "ÈVA D'ANGELO" << true;
    QTest::newRow("other name") << "Anna Rossini" << false;
    QTest::newRow("split elsewhere") << "AnnaRossi" << false;
}

void TestUsersDatabase::duplicateNames()
{
    QFETCH(QString, name);
    QFETCH(bool, duplicate);
    const QList<Learner> list = {{1, QStringLiteral("Anna"), QStringLiteral("Rossi"), {}, 1},
                                 {2, QStringLiteral("Èva"), QStringLiteral("d'Angelo"), {}, 2}};
    QCOMPARE(UsersDatabase::isDuplicateName(list, name), duplicate);
}

void TestUsersDatabase::unreadableFiles_data()
{
    QTest::addColumn<QString>("kind");
    QTest::newRow("garbage") << "garbage";
    QTest::newRow("other password") << "password";
    QTest::newRow("no learners table") << "foreign";
    QTest::newRow("empty file") << "empty";
}

void TestUsersDatabase::unreadableFiles()
{
    QFETCH(QString, kind);
    const UsersDatabase db = users();
    QString error;
    QVERIFY(QDir().mkpath(QFileInfo(db.path()).path()));
    if (kind == QLatin1String("garbage")) {
        TestSupport::writeGarbage(db.path());
    } else if (kind == QLatin1String("password")) {
        auto other = Database::open(db.path(), Database::SubjectPassword, Database::Mode::Create, &error);
        QVERIFY(other && other->exec(QStringLiteral("CREATE TABLE tblUsers (x)")));
    } else if (kind == QLatin1String("foreign")) {
        auto other = Database::open(db.path(), Database::TemplatePassword, Database::Mode::Create, &error);
        QVERIFY(other && other->exec(QStringLiteral("CREATE TABLE tblOther (x)")));
    } else {
        QFile f(db.path());
        QVERIFY(f.open(QIODevice::WriteOnly));
    }
    QFile f(db.path());
    QVERIFY(f.open(QIODevice::ReadOnly));
    const QByteArray bytes = f.readAll();
    f.close();

    DatabaseFailure failure = DatabaseFailure::None;
    QVERIFY(!db.readLearners(&error, &failure));
    QCOMPARE(failure, DatabaseFailure::Damaged);
    QVERIFY(!error.isEmpty());

    const QDateTime when(QDate(2024, 3, 9), QTime(7, 5, 3));
    const auto kept = db.moveAside(&error, when);
    QVERIFY2(kept, qPrintable(error));
    QCOMPARE(*kept, db.path() + QStringLiteral(".damaged-20240309-070503"));
    QVERIFY(!db.exists());
    QFile moved(*kept);
    QVERIFY(moved.open(QIODevice::ReadOnly));
    QCOMPARE(moved.readAll(), bytes);

    // A second damaged file in the same second gets its own name.
    QFile::copy(*kept, db.path());
    const auto second = db.moveAside(&error, when);
    QVERIFY2(second, qPrintable(error));
    QVERIFY(*second != *kept);
    QVERIFY(QFile::exists(*kept) && QFile::exists(*second));
}

void TestUsersDatabase::movedAsideWithJournal()
{
    const UsersDatabase db = users();
    QString error;
    QVERIFY(QDir().mkpath(QFileInfo(db.path()).path()));
    TestSupport::writeGarbage(db.path());
    TestSupport::writeGarbage(db.path() + QStringLiteral("-journal"), 512);
    const auto kept = db.moveAside(&error);
    QVERIFY2(kept, qPrintable(error));
    // A journal left beside a fresh copy would be played into it.
    QVERIFY(!QFile::exists(db.path() + QStringLiteral("-journal")));
    QVERIFY(QFile::exists(*kept + QStringLiteral("-journal")));
    QVERIFY(db.createFromTemplate(&error));
    QVERIFY2(db.readLearners(&error), qPrintable(error));
}

void TestUsersDatabase::brieflyLockedIsNotDamaged()
{
    const UsersDatabase db = users();
    QString error;
    QVERIFY(db.createFromTemplate(&error));
    QVERIFY(db.addLearner({0, QStringLiteral("Anna"), QStringLiteral("Rossi"), {}, 1}, &error));

    // Another program holds the file exclusively for a moment.
    std::atomic<bool> locked{false};
    std::thread holder([&] {
        QString e;
        auto other = Database::open(db.path(), Database::TemplatePassword, Database::Mode::ReadWrite, &e);
        // Uncommitted until the end: a reader that did not wait would see one learner only.
        if (!other || !other->exec(QStringLiteral("PRAGMA locking_mode = EXCLUSIVE"), &e) ||
            !other->exec(QStringLiteral("BEGIN EXCLUSIVE"), &e) ||
            !other->exec(
                QStringLiteral(
                    "INSERT INTO tblUsers (tFirstname, tLastname, nIcon) VALUES ('Bob', 'Smith', 2)"),
                &e)) {
            qWarning("%s", qPrintable(e));
            locked = true;
            return;
        }
        locked = true;
        std::this_thread::sleep_for(std::chrono::milliseconds(400));
        other->exec(QStringLiteral("COMMIT"));
    });
    while (!locked)
        std::this_thread::yield();
    DatabaseFailure failure = DatabaseFailure::Damaged;
    const auto learners = db.readLearners(&error, &failure);
    holder.join();
    QVERIFY2(learners, qPrintable(error));
    QCOMPARE(failure, DatabaseFailure::None);
    QCOMPARE(learners->size(), 2);
    QVERIFY(db.exists());
}

void TestUsersDatabase::scoresAppended()
{
    const UsersDatabase db = users();
    QString error;
    QVERIFY(db.createFromTemplate(&error));
    QVERIFY2(appendScore(db.path(),
                         {QStringLiteral("Anna O'Brien"), QStringLiteral("Memory"), QStringLiteral("Saluti"),
                          QString(), 7.5, QStringLiteral("2024-03-09"), QStringLiteral("07:05:03")},
                         &error),
             qPrintable(error));
    QVERIFY(
        db.appendScore({QStringLiteral("Bob Smith"), QStringLiteral("Dictation"), QStringLiteral("Saluti"),
                        QStringLiteral("8/10"), 0, QStringLiteral("2024-03-10"), QStringLiteral("10:00:00")},
                       &error));
    QCOMPARE(db.scoreCount(&error).value_or(-1), 2);
    auto raw = Database::open(db.path(), Database::TemplatePassword, Database::Mode::ReadOnly, &error);
    QVERIFY(raw);
    Statement s = raw->prepare(QStringLiteral("SELECT * FROM qryActivities"));
    QStringList activities;
    while (s.step() == Statement::Step::Row)
        activities << s.text(0);
    QCOMPARE(activities, (QStringList{QStringLiteral("Dictation"), QStringLiteral("Memory")}));
    Statement names = raw->prepare(QStringLiteral("SELECT numberScore FROM tblscores WHERE tName = ?"));
    names.bindText(1, QStringLiteral("Anna O'Brien"));
    QCOMPARE(names.step(), Statement::Step::Row);
    QCOMPARE(names.value(0).toDouble(), 7.5);
}

// With no room left, a result or a profile change is refused with the engine's reason and
// everything stored before stays as it was.
void TestUsersDatabase::fullDiskKeepsResultsAndLearners()
{
    const UsersDatabase db = users();
    QString error;
    QVERIFY(db.createFromTemplate(&error));
    QVERIFY(db.addLearner({0, QStringLiteral("Anna"), QStringLiteral("Rossi"), {}, 1}, &error));
    const ScoreRow row{
        QStringLiteral("Anna Rossi"), QStringLiteral("Memory"),  QStringLiteral("Saluti"), QString(), 7,
        QStringLiteral("2024-03-09"), QStringLiteral("07:05:03")};
    QVERIFY(db.appendScore(row, &error));
    const QByteArray before = bytesOf(db.path());

    std::signal(SIGXFSZ, SIG_IGN);
    rlimit saved{};
    getrlimit(RLIMIT_FSIZE, &saved);
    rlimit full = saved;
    full.rlim_cur = 0; // every write fails as on a full disk
    setrlimit(RLIMIT_FSIZE, &full);
    const bool appended = appendScore(db.path(), row, &error);
    const QString appendError = error;
    const bool updated = db.updateLearner({1, QStringLiteral("Bob"), QStringLiteral("Smith"), {}, 2}, &error);
    setrlimit(RLIMIT_FSIZE, &saved);

    QVERIFY(!appended && !updated);
    QVERIFY2(!appendError.isEmpty(), "no reason given");
    QCOMPARE(bytesOf(db.path()), before);
    QCOMPARE(db.scoreCount(&error).value_or(-1), 1);
    const auto learners = db.readLearners(&error);
    QVERIFY2(learners, qPrintable(error));
    QCOMPARE(learners->first().displayName(), QStringLiteral("Anna Rossi"));
}

void TestUsersDatabase::passingFailuresLeaveTheFile_data()
{
    QTest::addColumn<QString>("cause");
    QTest::addColumn<int>("failure");
    QTest::newRow("unreadable file") << "mode 000" << int(DatabaseFailure::AccessDenied);
    QTest::newRow("read-only file in a read-only folder") << "read-only" << int(DatabaseFailure::ReadOnly);
    QTest::newRow("locked by another process") << "locked" << int(DatabaseFailure::Locked);
    QTest::newRow("full disk") << "full" << int(DatabaseFailure::DiskFull);
}

// The probe opens the list as the login does, in a process of an unprivileged user: only
// a file that is not a users database may be set aside, never one that cannot be had now.
void TestUsersDatabase::passingFailuresLeaveTheFile()
{
    QFETCH(QString, cause);
    QFETCH(int, failure);
    bool available = true;
    const QStringList asUser = TestSupport::unprivilegedCommand(&available);
    if (!available)
        QSKIP("running as root without setpriv or runuser");

    // Everything under /tmp, every level open to the probe's user.
    QTemporaryDir shared(QStringLiteral("/tmp/parlanto-users-XXXXXX"));
    QVERIFY(shared.isValid());
    QFile::setPermissions(shared.path(),
                          QFile::permissions(shared.path()) | QFile::ExeOther | QFile::ReadOther);
    const QString folder = shared.filePath(QStringLiteral("data"));
    const UsersDatabase db(folder + QStringLiteral("/Users.dat"),
                           shared.filePath(QStringLiteral("Parlanto.tpl")));
    QString error;
    QVERIFY(QDir().mkpath(folder));
    QVERIFY2(UsersTemplate::write(db.templatePath(), &error), qPrintable(error));
    QVERIFY2(db.createFromTemplate(&error), qPrintable(error));
    QVERIFY(db.addLearner({0, QStringLiteral("Anna"), QStringLiteral("Rossi"), {}, 1}, &error));
    QVERIFY(db.addLearner({0, QStringLiteral("Bob"), QStringLiteral("Smith"), {}, 2}, &error));
    QVERIFY(TestSupport::giveToUnprivilegedUser(folder) && TestSupport::giveToUnprivilegedUser(db.path()));
    const QByteArray before = bytesOf(db.path());
    const QStringList filesBefore = filesIn(folder);

    auto probe = [&](QProcess& p, const QStringList& args) {
        QStringList command = asUser;
        command << QStringLiteral(USERS_PROBE) << args;
        p.setWorkingDirectory(shared.path());
        p.start(command.takeFirst(), command);
    };
    QStringList listArgs{QStringLiteral("list"), db.path(), db.templatePath()};
    QProcess holder;
    if (cause == QLatin1String("mode 000")) {
        QVERIFY(QFile::setPermissions(db.path(), QFile::Permissions()));
    } else if (cause == QLatin1String("read-only")) {
        QVERIFY(QFile::setPermissions(db.path(), QFile::ReadOwner | QFile::ReadOther));
        QVERIFY(QFile::setPermissions(folder, QFile::ReadOwner | QFile::ExeOwner | QFile::ReadOther));
    } else if (cause == QLatin1String("locked")) {
        probe(holder, {QStringLiteral("hold"), db.path()});
        QVERIFY(holder.waitForReadyRead(10000));
        QCOMPARE(holder.readLine().trimmed(), QByteArray("held"));
    } else {
        listArgs << QStringLiteral("--file-size-limit") << QStringLiteral("0");
    }

    QProcess reader;
    probe(reader, listArgs);
    QVERIFY(reader.waitForFinished(60000));
    const auto values = probeValues(reader);
    QVERIFY2(reader.exitCode() == 0, reader.readAllStandardError().constData());
    QCOMPARE(values.value(QStringLiteral("outcome")).toInt(), int(LearnerList::Outcome::Unavailable));
    QVERIFY2(values.value(QStringLiteral("failure")).toInt() == failure,
             qPrintable(values.value(QStringLiteral("failure")) + QLatin1Char(' ') +
                        values.value(QStringLiteral("error"))));

    // The cause goes away; the file is as it was, and every learner is back.
    holder.closeWriteChannel();
    QVERIFY(holder.state() == QProcess::NotRunning || holder.waitForFinished(10000));
    QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadOther |
                                      QFile::ExeOther);
    QFile::setPermissions(db.path(), QFile::ReadOwner | QFile::WriteOwner);
    QCOMPARE(bytesOf(db.path()), before);
    // Nothing beside it but the engine's own empty working files, which go at the next start.
    for (const QString& name : filesIn(folder)) {
        if (!filesBefore.contains(name))
            QVERIFY2((name.endsWith(QLatin1String("-wal")) || name.endsWith(QLatin1String("-shm"))) &&
                         QFileInfo(folder + QLatin1Char('/') + name).size() == 0,
                     qPrintable(name));
    }

    QProcess again;
    probe(again, {QStringLiteral("list"), db.path(), db.templatePath()});
    QVERIFY(again.waitForFinished(60000));
    const auto later = probeValues(again);
    QCOMPARE(later.value(QStringLiteral("outcome")).toInt(), int(LearnerList::Outcome::Read));
    QCOMPARE(later.value(QStringLiteral("count")), QStringLiteral("2"));
    QCOMPARE(filesIn(folder), filesBefore);
}

void TestUsersDatabase::renameCarriesResults_data()
{
    QTest::addColumn<QString>("namesake");      // another learner's display name, "" for none
    QTest::addColumn<bool>("scoresWritable");   // false: the results cannot be changed
    QTest::addColumn<QString>("expectedOwner"); // who the old rows belong to afterwards, "" = failed
    QTest::newRow("renamed") << "" << true << "Anna Bianchi";
    QTest::newRow("old name shared by another learner") << "Anna Rossi" << true << "Anna Rossi";
    QTest::newRow("results cannot be changed") << "" << false << "";
}

void TestUsersDatabase::renameCarriesResults()
{
    QFETCH(QString, namesake);
    QFETCH(bool, scoresWritable);
    QFETCH(QString, expectedOwner);
    const UsersDatabase db = users();
    QString error;
    QVERIFY(db.createFromTemplate(&error));
    Learner anna{0, QStringLiteral("Anna"), QStringLiteral("Rossi"), {}, 5};
    anna.pkStudentID = db.addLearner(anna, &error).value_or(0);
    QVERIFY2(anna.pkStudentID > 0, qPrintable(error));
    if (!namesake.isEmpty())
        QVERIFY(db.addLearner({0, namesake.section(' ', 0, 0), namesake.section(' ', 1), {}, 2}, &error));
    for (const QString& name :
         {QStringLiteral("Anna Rossi"), QStringLiteral("Anna Rossi"), QStringLiteral("Bob Smith")})
        QVERIFY(appendScore(
            db.path(),
            {name, QStringLiteral("Memory"), QStringLiteral("Saluti"), QStringLiteral("6/9 (67%)"), 67,
             QStringLiteral("2026-01-02"), QStringLiteral("10:00:00")},
            {{name, {QStringLiteral("Saluti.ita"), 1}, QStringLiteral("Memory"), 1767348000, Grade::Good}}, &error));
    QVERIFY(PhraseResults::setDesiredRetention(db.path(), QStringLiteral("Anna Rossi"), 0.85, &error));
    QVERIFY2(ReviewSchedule(db.path(), QStringLiteral("Anna Rossi")).refresh(&error), qPrintable(error));
    if (!scoresWritable) {
        auto raw = Database::open(db.path(), Database::TemplatePassword, Database::Mode::ReadWrite, &error);
        // Results that refuse the new name (a file with triggers is not read at all).
        QVERIFY2(raw &&
                     raw->exec(QStringLiteral(
                                   "ALTER TABLE tblscores RENAME TO old_scores;"
                                   "CREATE TABLE tblscores (pkScoreID INTEGER PRIMARY KEY AUTOINCREMENT, "
                                   "tName TEXT CHECK (tName NOT LIKE '% Bianchi'), tActivity TEXT, "
                                   "tSubject TEXT, textScore TEXT, numberScore REAL, nDate TEXT, nTime TEXT);"
                                   "INSERT INTO tblscores SELECT * FROM old_scores; DROP TABLE old_scores;"),
                               &error),
                 qPrintable(error));
    }

    anna.tLastname = QStringLiteral("Bianchi");
    QCOMPARE(db.updateLearner(anna, &error), !expectedOwner.isEmpty());
    auto owners = [&] {
        QStringList names;
        auto raw = Database::open(db.path(), Database::TemplatePassword, Database::Mode::ReadOnly, &error);
        Statement s = raw->prepare(QStringLiteral("SELECT tName FROM tblscores ORDER BY pkScoreID"));
        while (s.step() == Statement::Step::Row)
            names << s.text(0);
        return names;
    };
    // Profile and results change together: a failure leaves both as they were.
    const QString owner = expectedOwner.isEmpty() ? QStringLiteral("Anna Rossi") : expectedOwner;
    QCOMPARE(owners(), (QStringList{owner, owner, QStringLiteral("Bob Smith")}));
    // The per-phrase rows and the review setting follow the same way.
    QCOMPARE(PhraseResults::rows(db.path(), owner, &error).value_or(std::vector<PhraseResultRow>{}).size(),
             size_t(2));
    QCOMPARE(PhraseResults::desiredRetention(db.path(), owner, &error).value_or(0), 0.85);
    PhraseResults::StoredMemory copy; // the kept copy of the memory too
    QVERIFY(PhraseResults::storedMemory(db.path(), owner, &copy, &error) && !copy.bytes.isEmpty());
    QCOMPARE(db.readLearners(&error).value_or(QList<Learner>{}).value(0).tLastname,
             expectedOwner.isEmpty() ? QStringLiteral("Rossi") : QStringLiteral("Bianchi"));
}

// A file of an older program (no per-phrase table) keeps every row when the launcher opens it
// or an activity writes phrases; the score and its phrases land together or not at all.
void TestUsersDatabase::phraseResultsWithTheScore()
{
    const UsersDatabase db = users();
    QString error;
    QVERIFY(QDir().mkpath(QFileInfo(db.path()).absolutePath()));
    QVERIFY(QFile::copy(db.templatePath(), db.path())); // as older programs made it
    const ScoreRow row{QStringLiteral("Anna Rossi"),
                       QStringLiteral("Flashcards"),
                       QStringLiteral("Saluti"),
                       QStringLiteral("1/2 (50%)"),
                       50,
                       QStringLiteral("2026-12-01"),
                       QStringLiteral("10:00:00")};
    QVERIFY(db.appendScore(row, &error));
    // Reading an older file finds no phrase rows, and no error.
    const auto none = PhraseResults::historiesOf(db.path(), QStringLiteral("Anna Rossi"), &error);
    QVERIFY2(none && none->empty(), qPrintable(error));

    const std::vector<PhraseResultRow> phrases{
        {row.tName, {QStringLiteral("Caffè.ita"), 2}, row.tActivity, 1764583200, Grade::Again},
        {row.tName, {QStringLiteral("Caffè.ita"), 1}, row.tActivity, 1764583200, Grade::Good},
        {row.tName, {QStringLiteral("Caffè.ita"), 2}, row.tActivity, 1764669600, Grade::Easy},
    };
    QVERIFY2(appendScore(db.path(), row, phrases, &error), qPrintable(error));
    QCOMPARE(db.scoreCount(&error).value_or(-1), 2);
    const auto histories = PhraseResults::historiesOf(db.path(), row.tName, &error);
    QVERIFY2(histories, qPrintable(error));
    QCOMPARE(histories->size(), size_t(2));
    QCOMPARE(histories->at(0).phrase, (PhraseIdentity{QStringLiteral("Caffè.ita"), 1}));
    QCOMPARE(histories->at(1).reviews.size(), size_t(2));
    QCOMPARE(histories->at(1).reviews.at(1).grade, Grade::Easy);
    QCOMPARE(PhraseResults::utcText(1764669600), QStringLiteral("2025-12-02T10:00:00Z"));

    // A full disk: neither the score nor any phrase row lands.
    const QByteArray before = bytesOf(db.path());
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit saved{};
    getrlimit(RLIMIT_FSIZE, &saved);
    rlimit full = saved;
    full.rlim_cur = 0;
    setrlimit(RLIMIT_FSIZE, &full);
    const bool appended = appendScore(db.path(), row, phrases, &error);
    setrlimit(RLIMIT_FSIZE, &saved);
    QVERIFY(!appended);
    QVERIFY2(error.startsWith("The result could not be saved in " + db.path()), qPrintable(error));
    QCOMPARE(bytesOf(db.path()), before);
    QCOMPARE(
        PhraseResults::rows(db.path(), QString(), &error).value_or(std::vector<PhraseResultRow>{}).size(),
        size_t(3));

    // Opening the learner list of an older file adds the tables; a fresh file has them.
    const UsersDatabase older(m_dir->filePath(QStringLiteral("older.dat")), db.templatePath());
    QVERIFY(QFile::copy(db.templatePath(), older.path()));
    QVERIFY(older.appendScore(row, &error));
    QCOMPARE(older.openLearnerList().outcome, LearnerList::Outcome::Read);
    auto raw = Database::open(older.path(), Database::TemplatePassword, Database::Mode::ReadOnly, &error);
    QVERIFY(raw);
    Statement count = raw->prepare(QStringLiteral("SELECT count(*) FROM tblPhraseResults"), &error);
    QVERIFY2(count.step() == Statement::Step::Row, qPrintable(error));
    QCOMPARE(older.scoreCount(&error).value_or(-1), 1);
}

// The copy of a learner's memory that a login keeps gives, with the rows added after it, what
// replaying every row gives, also when rows come dated out of order; a copy that no longer
// matches the rows (the learner renamed), was made with other weights or is damaged is not used.
void TestUsersDatabase::keptMemoryMatchesTheRows()
{
    const UsersDatabase db = users();
    QString error;
    QVERIFY(db.createFromTemplate(&error));
    const QString anna = QStringLiteral("Anna Rossi");
    const qint64 start = QDateTime::currentSecsSinceEpoch() - 20 * 86400;
    auto study = [&](const QString& name, qint64 day, int grade) {
        std::vector<PhraseResultRow> rows;
        for (int p = 1; p <= 10; ++p)
            rows.push_back({name,
                            {QStringLiteral("Saluti.ita"), p},
                            QStringLiteral("Flashcards"),
                            start + day * 86400 + p,
                            p % 3 == 0 ? Grade::Again : Grade(grade)});
        QVERIFY2(appendScore(db.path(),
                             {name,
                              QStringLiteral("Flashcards"),
                              QStringLiteral("Saluti"),
                              QStringLiteral("1/1"),
                              100,
                              {},
                              {}},
                             rows, &error),
                 qPrintable(error));
    };
    auto replayed = [&](const QString& name) {
        return PhraseMemory(PhraseResults::historiesOf(db.path(), name, &error).value(), FsrsScheduler());
    };
    auto same = [](const PhraseMemory& a, const PhraseMemory& b) {
        if (a.items().size() != b.items().size())
            return false;
        for (size_t i = 0; i < a.items().size(); ++i) {
            const PhraseMemoryItem &x = a.items()[i], &y = b.items()[i];
            if (!(x.phrase == y.phrase) || x.state.stability != y.state.stability ||
                x.state.difficulty != y.state.difficulty || x.dueDay != y.dueDay || x.reviews != y.reviews ||
                x.lastGrade != y.lastGrade)
                return false;
        }
        return a.achievedRetention(PhraseMemory::today(), 30) ==
               b.achievedRetention(PhraseMemory::today(), 30);
    };
    auto kept = [&](const QString& name) {
        PhraseResults::StoredMemory stored;
        PhraseResults::storedMemory(db.path(), name, &stored, &error);
        return stored;
    };

    study(anna, 0, 3);
    study(QStringLiteral("Bob Smith"), 0, 3);
    study(anna, 3, 4);
    ReviewSchedule first(db.path(), anna);
    QVERIFY2(first.refresh(&error), qPrintable(error));
    QVERIFY(!kept(anna).bytes.isEmpty());
    QVERIFY(same(first.memory(), replayed(anna)));
    // Rows after the copy are taken in on top of it.
    study(anna, 9, 1);
    study(anna, 9, 3);
    ReviewSchedule second(db.path(), anna);
    QVERIFY2(second.refresh(&error), qPrintable(error));
    QVERIFY(same(second.memory(), replayed(anna)));
    // Missed last (Again): due again that very day, until recalled; recalled: days later.
    const PhraseMemoryItem* missed = second.memory().find({QStringLiteral("Saluti.ita"), 3});
    const PhraseMemoryItem* known = second.memory().find({QStringLiteral("Saluti.ita"), 1});
    QVERIFY(missed && known);
    QCOMPARE(missed->dueDay, missed->lastDay);
    QVERIFY(known->dueDay > known->lastDay);
    const PhraseResults::StoredMemory copy = kept(anna);

    // Another name owns the rows now: the old name's copy is not given out.
    auto raw = Database::open(db.path(), Database::TemplatePassword, Database::Mode::ReadWrite, &error);
    QVERIFY(raw && raw->exec(QStringLiteral("UPDATE tblPhraseResults SET tName = 'Anna Bianchi'"), &error));
    QVERIFY(kept(anna).bytes.isEmpty());
    QVERIFY(raw->exec(QStringLiteral("UPDATE tblPhraseResults SET tName = 'Anna Rossi'"), &error));
    raw.reset();
    // Other weights, another form or damage: no copy, the rows instead.
    FsrsScheduler::Weights other = FsrsScheduler::DefaultWeights;
    other[20] = 0.5;
    QVERIFY(PhraseMemory::fromBytes(copy.bytes, FsrsScheduler()));
    QVERIFY(!PhraseMemory::fromBytes(copy.bytes, FsrsScheduler(0.9, other)));
    for (const QByteArray& bad :
         {copy.bytes.left(copy.bytes.size() - 3), copy.bytes + "x", QByteArray(4000, '\xff'), QByteArray()})
        QVERIFY(!PhraseMemory::fromBytes(bad, FsrsScheduler()));
    QByteArray hostileCount = copy.bytes;
    hostileCount.replace(4 + 21 * 8, 4, QByteArray("\x7f\xff\xff\xff", 4));
    QVERIFY(!PhraseMemory::fromBytes(hostileCount, FsrsScheduler()));
    QVERIFY(PhraseResults::storeMemory(db.path(), anna, {copy.upToResultId, "damaged"}, &error));
    ReviewSchedule third(db.path(), anna);
    QVERIFY2(third.refresh(&error), qPrintable(error));
    QVERIFY(same(third.memory(), replayed(anna)));
    const auto remade = PhraseMemory::fromBytes(kept(anna).bytes, FsrsScheduler()); // and kept anew
    QVERIFY(remade && same(*remade, replayed(anna)));

    // Rows dated before reviews the copy already holds (a clock set back, a restore merged
    // in): a login and a schedule read before both give what the full replay gives.
    study(anna, 5, 2);
    ReviewSchedule login(db.path(), anna);
    QVERIFY2(login.refresh(&error), qPrintable(error));
    QVERIFY(same(login.memory(), replayed(anna)));
    study(anna, 6, 4);
    QVERIFY2(third.refresh(&error), qPrintable(error));
    QVERIFY(same(third.memory(), replayed(anna)));
}

// A per-learner table another program made in another shape is kept under a new name with
// its rows and made again, by the score writer and by the login (which names it); a phrase row
// the table refuses costs the score nothing.
void TestUsersDatabase::phraseTableOfAnotherShape()
{
    const UsersDatabase db = users();
    QString error;
    QVERIFY(db.createFromTemplate(&error));
    QVERIFY(execute(db.path(),
                    "DROP TABLE tblPhraseResults; CREATE TABLE tblPhraseResults (pkResultID INTEGER "
                    "PRIMARY KEY, tName TEXT, tSubjectFile TEXT, nPhraseNo INTEGER, tUtcTime TEXT, "
                    "nGrade INTEGER); INSERT INTO tblPhraseResults VALUES (1, 'Anna Rossi', "
                    "'Saluti.ita', 1, '2026-12-01T10:00:00Z', 3)"));
    const ScoreRow score{QStringLiteral("Anna Rossi"),
                         QStringLiteral("Flashcards"),
                         QStringLiteral("Saluti"),
                         QStringLiteral("1/1"),
                         100,
                         QStringLiteral("2026-12-02"),
                         QStringLiteral("10:00:00")};
    auto phrase = [&](int grade) {
        return std::vector<PhraseResultRow>{
            {score.tName, {QStringLiteral("Saluti.ita"), 2}, score.tActivity, 1764583200, Grade(grade)}};
    };
    QVERIFY2(appendScore(db.path(), score, phrase(4), &error), qPrintable(error));
    QCOMPARE(db.scoreCount(&error).value_or(-1), 1);
    QCOMPARE(scalar(db.path(), "SELECT count(*) FROM tblPhraseResults_kept1"), 1);
    QCOMPARE(
        PhraseResults::rows(db.path(), QString(), &error).value_or(std::vector<PhraseResultRow>{}).size(),
        size_t(1));

    // A further column a row must give, and no key: the login sets it aside and says so.
    QVERIFY(execute(db.path(), "DROP TABLE tblReviewSettings; CREATE TABLE tblReviewSettings (tName TEXT, "
                               "nDesiredRetention REAL, nGoal INTEGER NOT NULL)"));
    QVERIFY(execute(db.path(), "CREATE TABLE tblReviewSettings_kept1 (x)")); // the name is taken
    const LearnerList list = db.openLearnerList();
    QCOMPARE(list.outcome, LearnerList::Outcome::Read);
    QCOMPARE(list.tablesSetAside, QStringList{"tblReviewSettings -> tblReviewSettings_kept2"});
    QCOMPARE(db.openLearnerList().tablesSetAside, QStringList());
    QVERIFY(PhraseResults::setDesiredRetention(db.path(), score.tName, 0.8, &error));

    // A grade the table's check refuses: the score is kept without its phrase.
    QVERIFY2(appendScore(db.path(), score, phrase(5), &error), qPrintable(error));
    QCOMPARE(db.scoreCount(&error).value_or(-1), 2);
    QCOMPARE(scalar(db.path(), "SELECT count(*) FROM tblPhraseResults"), 1);
}

// Rows and kept copies that no replay of our rows gives are skipped or rebuilt: grades that are
// not the integers 1 to 4, subject names longer than a file name, a desired retention that is
// no number in range; a copy with a value out of range. Skipped rows are counted and read once.
// A copy longer than one part of the table is kept whole in several.
void TestUsersDatabase::rowsAndCopiesNoReplayGives()
{
    const UsersDatabase db = users();
    QString error;
    QVERIFY(db.createFromTemplate(&error));
    // Of our shape, without the grade check: as another program could make it.
    QVERIFY(execute(
        db.path(),
        "DROP TABLE tblPhraseResults; CREATE TABLE tblPhraseResults (pkResultID INTEGER PRIMARY KEY "
        "AUTOINCREMENT, tName TEXT NOT NULL, tSubjectFile TEXT NOT NULL, nPhraseNo INTEGER NOT NULL, "
        "tActivity "
        "TEXT, tUtcTime TEXT NOT NULL, nGrade INTEGER NOT NULL);"
        "INSERT INTO tblPhraseResults (tName, tSubjectFile, nPhraseNo, tUtcTime, nGrade) VALUES "
        "('Anna', 'Saluti.ita', 1, '2026-12-01T10:00:00Z', 3), ('Anna', 'Saluti.ita', 2, "
        "'2026-12-01T10:00:00Z', "
        "3.9), ('Anna', 'Saluti.ita', 3, '2026-12-01T10:00:00Z', 4294967299), ('Anna', 'Saluti.ita', 4, "
        "'2026-12-01 10:00', 3), ('Anna', replace(hex(zeroblob(128)), '0', 'x'), 5, '2026-12-01T10:00:00Z', "
        "3);"
        "INSERT INTO tblReviewSettings (tName, nDesiredRetention) VALUES ('Anna', 'nan'), ('Bob', 1e308), "
        "('Carla', 0.8)"));
    PhraseResults::SkippedRows skipped;
    const auto histories = PhraseResults::historiesOf(db.path(), "Anna", &error, nullptr, nullptr, &skipped);
    QVERIFY2(histories, qPrintable(error));
    QCOMPARE(histories->size(), size_t(1));
    QCOMPARE(skipped.count, 4);
    QCOMPARE(skipped.lastResultId, 5);
    for (const char* name : {"Anna", "Bob", "Carla"})
        QCOMPARE(PhraseResults::desiredRetention(db.path(), name, &error).value_or(0),
                 name[0] == 'C' ? 0.8 : FsrsScheduler::DefaultRetention);
    ReviewSchedule first(db.path(), "Anna");
    QVERIFY2(first.refresh(&error), qPrintable(error));
    QCOMPARE(first.memory().items().size(), size_t(1));
    QCOMPARE(first.skippedRows(), 4);
    QVERIFY(execute(db.path(),
                    "INSERT INTO tblPhraseResults (tName, tSubjectFile, nPhraseNo, tUtcTime, nGrade) "
                    "VALUES ('Anna', 'Saluti.ita', 6, '2026-12-01T10:00:00Z', 2.5)"));
    ReviewSchedule second(db.path(), "Anna"); // from the copy, past the rows skipped before it
    QVERIFY2(second.refresh(&error), qPrintable(error));
    QCOMPARE(second.skippedRows(), 1);
    ReviewSchedule third(db.path(), "Anna");
    QVERIFY2(third.refresh(&error), qPrintable(error));
    QCOMPARE(third.skippedRows(), 0);

    // The copy's fields, written in order after its 4-byte form, 21 weights, one name
    // ("Saluti.ita") and the item count; each value out of range makes it no copy.
    const QByteArray bytes = third.memory().toBytes(0);
    QVERIFY(PhraseMemory::fromBytes(bytes, FsrsScheduler()));
    constexpr int item = 4 + 21 * 8 + 4 + 4 + 10 + 4;
    auto with = [&](int at, auto value) {
        QByteArray b = bytes;
        if constexpr (std::is_floating_point_v<decltype(value)>) {
            quint64 bits;
            std::memcpy(&bits, &value, 8);
            qToLittleEndian(bits, b.data() + at);
        } else {
            qToLittleEndian(value, b.data() + at);
        }
        return PhraseMemory::fromBytes(b, FsrsScheduler()).has_value();
    };
    QVERIFY(with(item + 12, 2.5)); // a stability that can be
    for (double stability : {std::numeric_limits<double>::infinity(), std::nan(""), 0.0, -1.0})
        QVERIFY(!with(item + 12, stability));
    QVERIFY(!with(item + 20, 10.5));                               // difficulty
    QVERIFY(!with(item + 28, qint32(0)));                          // reviews
    QVERIFY(!with(item + 32, qint32(1)));                          // lapses, as many as reviews
    QVERIFY(!with(item + 36, std::numeric_limits<qint64>::min())); // the last review's time
    for (qint64 day : {std::numeric_limits<qint64>::max(), std::numeric_limits<qint64>::min(), qint64(0)})
        QVERIFY(!with(item + 44, day));           // its day
    QVERIFY(!with(item, quint32(1)));             // a name the copy lacks
    QVERIFY(!with(4 + 21 * 8 + 4, quint32(300))); // a name longer than a file name

    // A copy of more than one part comes back whole.
    QByteArray large(PhraseResults::MemoryPartBytes * 2 + 5, 'm');
    large[PhraseResults::MemoryPartBytes] = 'n';
    QVERIFY(PhraseResults::storeMemory(db.path(), "Anna", {1, large}, &error));
    QCOMPARE(scalar(db.path(), "SELECT count(*) FROM tblPhraseMemory WHERE tName = 'Anna'"), 3);
    PhraseResults::StoredMemory stored;
    QVERIFY(PhraseResults::storedMemory(db.path(), "Anna", &stored, &error));
    QCOMPARE(stored.upToResultId, 1);
    QVERIFY(stored.bytes == large);
    QVERIFY(execute(db.path(), "DELETE FROM tblPhraseMemory WHERE nPart = 1")); // a part missing
    QVERIFY(PhraseResults::storedMemory(db.path(), "Anna", &stored, &error));
    QVERIFY(stored.bytes.isEmpty());
}

QTEST_GUILESS_MAIN(TestUsersDatabase)
#include "TestUsersDatabase.moc"
