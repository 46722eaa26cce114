#include "UsersTemplate.h"
#include "platform/Database.h"
#include "review/ReviewSchedule.h"
#include "support/TestSupport.h"
#include "users/UsersBackup.h"
#include "users/UsersDatabase.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

namespace {

qint64 scalar(const QString& path, const QString& sql)
{
    QString error;
    auto db = Database::open(path, Database::TemplatePassword, Database::Mode::ReadWrite, &error);
    if (!db)
        return -1;
    Statement s = db->prepare(sql);
    return s.step() == Statement::Step::Row ? s.integer(0) : -1;
}

QStringList learnerNames(const QString& path)
{
    QStringList names;
    QString error;
    const auto learners = UsersDatabase(path, QString()).readLearners(&error);
    for (const Learner& l : learners.value_or(QList<Learner>()))
        names << l.displayName();
    return names;
}

} // namespace

class TestUsersBackup : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void copyWhileAnActivityRecords();
    void restoreAndClearWhileAnActivityRecords();
    void eightDaysOfStartsKeepSevenCopies();
    void restoreBringsRowsBackAndKeepsTheReplacedFile();
    void restoreAfterTheFileWasSetAside();
    void damagedCopiesAreNeverUsed();
    void restoreAndClearTakeThePerPhraseRows();

private:
    QString usersPath() const { return m_dir->filePath(QStringLiteral("data/Users.dat")); }
    UsersDatabase users() const { return UsersDatabase(usersPath(), m_dir->filePath("Parlanto.tpl")); }
    void addLearner(const QString& first, const QString& last);
    void addResult(const QString& name, int score);

    std::unique_ptr<QTemporaryDir> m_dir;
};

void TestUsersBackup::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    QString error;
    QVERIFY2(UsersTemplate::write(m_dir->filePath("Parlanto.tpl"), &error), qPrintable(error));
    QVERIFY2(users().createFromTemplate(&error), qPrintable(error));
}

void TestUsersBackup::addLearner(const QString& first, const QString& last)
{
    QString error;
    Learner l;
    l.tFirstname = first;
    l.tLastname = last;
    QVERIFY2(users().addLearner(l, &error), qPrintable(error));
}

void TestUsersBackup::addResult(const QString& name, int score)
{
    QString error;
    const ScoreRow row{name, "Listening", "Al Caffè", QString(), double(score), "2026-12-01", "10:00:00"};
    QVERIFY2(users().appendScore(row, &error), qPrintable(error));
}

void TestUsersBackup::copyWhileAnActivityRecords()
{
    addLearner("Zoë", "Rossi");
    QProcess activity;
    activity.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    activity.start(QStringLiteral(APPEND_SCORES_PROCESS), {usersPath(), QStringLiteral("Zoë Rossi")});
    QVERIFY(activity.waitForStarted());
    QTRY_VERIFY_WITH_TIMEOUT(scalar(usersPath(), "SELECT count(*) FROM tblscores") >= 30, 60000);

    // Every row committed before the copy begins must be in it.
    const qint64 committed = scalar(usersPath(), "SELECT max(pkScoreID) FROM tblscores");
    QString error;
    const auto copy = UsersBackup(usersPath())
                          .takeCopy(BackupCopy::Kind::BeforeClear, QDateTime::currentDateTime(), &error);
    QVERIFY2(copy, qPrintable(error));
    QCOMPARE(activity.state(), QProcess::Running); // the copy was taken while it wrote

    QFile stop(usersPath() + ".stop");
    QVERIFY(stop.open(QIODevice::WriteOnly));
    stop.close();
    QVERIFY(activity.waitForFinished(60000));
    QCOMPARE(activity.exitCode(), 0); // no result was refused meanwhile

    auto db = Database::open(*copy, Database::TemplatePassword, Database::Mode::ReadOnly, &error);
    QVERIFY2(db, qPrintable(error));
    Statement check = db->prepare("PRAGMA integrity_check");
    QCOMPARE(check.step(), Statement::Step::Row);
    QCOMPARE(check.text(0), QStringLiteral("ok"));
    Statement rows = db->prepare("SELECT count(*) FROM tblscores WHERE pkScoreID <= ?");
    rows.bindInt(1, committed);
    QCOMPARE(rows.step(), Statement::Step::Row);
    QCOMPARE(rows.integer(0), committed);
    QCOMPARE(learnerNames(*copy), QStringList{"Zoë Rossi"});
    QVERIFY(scalar(usersPath(), "SELECT count(*) FROM tblscores") > committed);
}

// An activity goes on saving results while the administrator brings a copy back and then
// clears the learners: every result the database acknowledged to the activity is in the
// file that stays or in one of the copies kept aside before the restore and the clear.
void TestUsersBackup::restoreAndClearWhileAnActivityRecords()
{
    addLearner("Zoë", "Rossi");
    QString error;
    const UsersBackup backup(usersPath());
    const auto source = backup.takeCopy(BackupCopy::Kind::Daily, QDateTime::currentDateTime(), &error);
    QVERIFY2(source, qPrintable(error));
    QProcess activity;
    activity.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    activity.start(QStringLiteral(APPEND_SCORES_PROCESS), {usersPath(), QStringLiteral("Zoë Rossi")});
    QVERIFY(activity.waitForStarted());
    auto rowsNow = [&] { return scalar(usersPath(), "SELECT count(*) FROM tblscores"); };
    // A partial copy a killed program left goes at the next copy; a running one's stays.
    QVERIFY(QDir().mkpath(backup.folder()));
    const QString stale = backup.folder() + ".partial-999999999-Users-2026-12-01-000000-daily.dat";
    const QString running = backup.folder() + QStringLiteral(".partial-%1-x.dat").arg(activity.processId());
    for (const QString& f : {stale, running}) {
        QFile partial(f);
        QVERIFY(partial.open(QIODevice::WriteOnly));
    }
    QTRY_VERIFY_WITH_TIMEOUT(rowsNow() >= 30, 60000);
    const auto beforeRestore = backup.restore(*source, QDateTime::currentDateTime(), &error);
    QVERIFY2(beforeRestore && !beforeRestore->isEmpty(), qPrintable(error));
    QTRY_VERIFY_WITH_TIMEOUT(rowsNow() >= 30, 60000);
    const auto beforeClear = backup.clear(QDateTime::currentDateTime().addSecs(1), &error);
    QVERIFY2(beforeClear && !beforeClear->isEmpty(), qPrintable(error));
    QCOMPARE(learnerNames(usersPath()), QStringList());
    QVERIFY(!QFile::exists(stale));
    QVERIFY(QFile::exists(running));
    QTRY_VERIFY_WITH_TIMEOUT(rowsNow() >= 30, 60000);
    QCOMPARE(activity.state(), QProcess::Running);

    QFile stop(usersPath() + ".stop");
    QVERIFY(stop.open(QIODevice::WriteOnly));
    stop.close();
    QVERIFY(activity.waitForFinished(60000));
    QCOMPARE(activity.exitCode(), 0); // no result was refused meanwhile
    int acknowledged = 0;
    for (const QByteArray& line : activity.readAllStandardOutput().split('\n')) {
        if (line.startsWith("ok "))
            acknowledged = line.mid(3).toInt();
    }
    QVERIFY(acknowledged >= 90);
    // Each score and its phrase row, by its number.
    QSet<qint64> found, foundPhrases;
    for (const QString& file : {usersPath(), *beforeRestore, *beforeClear}) {
        auto db = Database::open(file, Database::TemplatePassword, Database::Mode::ReadWrite, &error);
        QVERIFY2(db, qPrintable(error));
        Statement rows = db->prepare("SELECT numberScore FROM tblscores WHERE tName = 'Zoë Rossi'");
        while (rows.step() == Statement::Step::Row)
            found.insert(rows.integer(0));
        Statement phrases = db->prepare("SELECT nPhraseNo FROM tblPhraseResults WHERE tName = 'Zoë Rossi'");
        while (phrases.step() == Statement::Step::Row)
            foundPhrases.insert(phrases.integer(0));
    }
    QStringList missing;
    for (int n = 1; n <= acknowledged; ++n) {
        if (!found.contains(n) || !foundPhrases.contains(n))
            missing << QString::number(n);
    }
    QVERIFY2(missing.isEmpty(), qPrintable(missing.join(QLatin1Char(' '))));
    QCOMPARE(learnerNames(*beforeClear), QStringList{"Zoë Rossi"});
}

void TestUsersBackup::eightDaysOfStartsKeepSevenCopies()
{
    const UsersBackup backup(usersPath());
    QString error;
    bool made = true;
    QVERIFY(UsersBackup(m_dir->filePath("none/Users.dat"))
                .takeDailyCopy(QDateTime::currentDateTime(), &error, &made));
    QVERIFY(!made); // no users database yet: nothing to keep

    const QDateTime first(QDate(2026, 12, 1), QTime(9, 0));
    QVERIFY(backup.takeCopy(BackupCopy::Kind::BeforeClear, first.addSecs(-60), &error));
    for (int day = 0; day < 8; ++day) {
        addResult("Zoë Rossi", day);
        QVERIFY2(backup.takeDailyCopy(first.addDays(day), &error, &made), qPrintable(error));
        QVERIFY(made);
        // A second start the same day takes no second copy.
        QVERIFY2(backup.takeDailyCopy(first.addDays(day).addSecs(3600), &error, &made), qPrintable(error));
        QVERIFY(!made);
    }
    QStringList daily;
    int beforeClear = 0;
    for (const BackupCopy& c : backup.copies()) {
        if (c.kind == BackupCopy::Kind::Daily)
            daily << c.taken.date().toString(Qt::ISODate);
        else
            ++beforeClear;
    }
    QCOMPARE(daily, QStringList({"2026-12-08", "2026-12-07", "2026-12-06", "2026-12-05", "2026-12-04",
                                 "2026-12-03", "2026-12-02"}));
    QCOMPARE(beforeClear, 1);
    // The newest copy holds the rows of its day.
    QCOMPARE(scalar(backup.copies().first().path, "SELECT count(*) FROM tblscores"), 8);
}

void TestUsersBackup::restoreBringsRowsBackAndKeepsTheReplacedFile()
{
    addLearner("Anna", "Bianchi");
    addLearner("Luca", "O'Neill");
    addResult("Anna Bianchi", 80);
    addResult("Luca O'Neill", 60);
    const UsersBackup backup(usersPath());
    QString error;
    const QDateTime now(QDate(2026, 12, 8), QTime(14, 30));
    const auto beforeClear = backup.takeCopy(BackupCopy::Kind::BeforeClear, now, &error);
    QVERIFY2(beforeClear, qPrintable(error));

    // Cleared, started again with a new administrator.
    QVERIFY(users().remove(&error));
    QVERIFY(users().createFromTemplate(&error));
    addLearner("New", "Admin");

    const auto kept = backup.restore(*beforeClear, now.addSecs(600), &error);
    QVERIFY2(kept, qPrintable(error));
    QCOMPARE(learnerNames(usersPath()), QStringList({"Anna Bianchi", "Luca O'Neill"}));
    QCOMPARE(scalar(usersPath(), "SELECT count(*) FROM tblscores"), 2);
    QCOMPARE(learnerNames(*kept), QStringList{"New Admin"});
    QCOMPARE(backup.copies().first().kind, BackupCopy::Kind::BeforeRestore);
    // Still a users database that activities can write to.
    addResult("Anna Bianchi", 90);
    QCOMPARE(scalar(usersPath(), "SELECT count(*) FROM tblscores"), 3);
}

void TestUsersBackup::restoreAfterTheFileWasSetAside()
{
    addLearner("Anna", "Bianchi");
    const UsersBackup backup(usersPath());
    QString error;
    bool made = false;
    QVERIFY(backup.takeDailyCopy(QDateTime::currentDateTime(), &error, &made) && made);
    QVERIFY(users().moveAside(&error));
    QVERIFY(!QFile::exists(usersPath()));

    const auto newest = backup.newestUsableCopy();
    QVERIFY(newest);
    const auto kept = backup.restore(newest->path, QDateTime::currentDateTime(), &error);
    QVERIFY2(kept, qPrintable(error));
    QVERIFY(kept->isEmpty()); // there was no file to keep
    QCOMPARE(learnerNames(usersPath()), QStringList{"Anna Bianchi"});
    auto db = Database::open(usersPath(), Database::TemplatePassword, Database::Mode::ReadWrite, &error);
    QVERIFY(db);
    Statement mode = db->prepare("PRAGMA journal_mode");
    QCOMPARE(mode.step(), Statement::Step::Row);
    QCOMPARE(mode.text(0), QStringLiteral("wal"));
}

void TestUsersBackup::damagedCopiesAreNeverUsed()
{
    addLearner("Anna", "Bianchi");
    const UsersBackup backup(usersPath());
    QString error;
    const auto good =
        backup.takeCopy(BackupCopy::Kind::Daily, QDateTime(QDate(2026, 12, 1), QTime(9, 0)), &error);
    QVERIFY(good);
    // Newer copies: one truncated, one of another kind of file.
    const QString truncated = backup.folder() + "Users-2026-12-03-090000-daily.dat";
    QVERIFY(QFile::copy(*good, truncated));
    QFile t(truncated);
    QVERIFY(t.resize(t.size() / 2));
    TestSupport::writeGarbage(backup.folder() + "Users-2026-12-02-090000-before-clear.dat");
    QFile::copy(*good, backup.folder() + "Notes-2026-12-04-090000-daily.dat"); // not ours

    QCOMPARE(backup.copies().size(), 3);
    QCOMPARE(backup.newestUsableCopy()->path, *good);
    addLearner("Luca", "Verdi");
    QVERIFY(!backup.restore(truncated, QDateTime::currentDateTime(), &error));
    QVERIFY(!error.isEmpty());
    QCOMPARE(learnerNames(usersPath()), QStringList({"Anna Bianchi", "Luca Verdi"}));
    QCOMPARE(backup.copies().size(), 3); // nothing was replaced, so nothing was kept
}

// The per-phrase rows and the review setting go back with the scores at a restore and go with
// them at a clear, and the copy of the memory is worked out again: the Review holds what the
// restored file holds, and after a clear a new learner of the same name starts with nothing.
void TestUsersBackup::restoreAndClearTakeThePerPhraseRows()
{
    addLearner("Anna", "Bianchi");
    const QString anna = QStringLiteral("Anna Bianchi");
    QString error;
    const qint64 start = QDateTime::currentSecsSinceEpoch() - 30 * 86400;
    auto study = [&](int from, int to) {
        std::vector<PhraseResultRow> rows;
        for (int p = from; p <= to; ++p)
            rows.push_back(
                {anna, {QStringLiteral("Saluti.ita"), p}, QStringLiteral("Flashcards"), start + p, Grade::Good});
        QVERIFY2(appendScore(usersPath(), {anna, "Flashcards", "Saluti", QStringLiteral("1/1"), 100, {}, {}},
                             rows, &error),
                 qPrintable(error));
    };
    auto inReview = [&] { // the phrases of the learner's Review, as a login reads them
        ReviewSchedule schedule(usersPath(), anna);
        return schedule.refresh(&error) ? qint64(schedule.memory().items().size()) : -1;
    };
    auto count = [&](const QString& table) { return scalar(usersPath(), "SELECT count(*) FROM " + table); };
    study(1, 20);
    QVERIFY(PhraseResults::setDesiredRetention(usersPath(), anna, 0.8, &error));
    QCOMPARE(inReview(), 20);
    const UsersBackup backup(usersPath());
    const auto older = backup.takeCopy(BackupCopy::Kind::Daily, QDateTime::currentDateTime(), &error);
    QVERIFY2(older, qPrintable(error));
    study(21, 60);
    QVERIFY(PhraseResults::setDesiredRetention(usersPath(), anna, 0.95, &error));
    QCOMPARE(inReview(), 60);
    QCOMPARE(count("tblPhraseMemory"), 1);

    QVERIFY2(backup.restore(*older, QDateTime::currentDateTime().addSecs(1), &error), qPrintable(error));
    QCOMPARE(count("tblscores"), 1);
    QCOMPARE(count("tblPhraseResults"), 20);
    QCOMPARE(count("tblPhraseMemory"), 0);
    QCOMPARE(PhraseResults::desiredRetention(usersPath(), anna, &error).value_or(0), 0.8);
    QCOMPARE(inReview(), 20);
    study(21, 22); // new rows are taken in on top of the copy worked out from the restored ones
    QCOMPARE(inReview(), 22);

    // Rows of a table set aside for its shape are a learner's history too.
    {
        auto db = Database::open(usersPath(), Database::TemplatePassword, Database::Mode::ReadWrite, &error);
        QVERIFY(db && db->exec("CREATE TABLE tblPhraseResults_kept1 (tName TEXT, tSubjectFile TEXT);"
                               "INSERT INTO tblPhraseResults_kept1 VALUES ('Anna Bianchi', 'Saluti.ita')",
                               &error));
    }
    QVERIFY2(backup.clear(QDateTime::currentDateTime().addSecs(2), &error), qPrintable(error));
    for (const char* table :
         {"tblscores", "tblPhraseResults", "tblReviewSettings", "tblPhraseMemory", "tblPhraseResults_kept1"})
        QCOMPARE(count(table), 0);
    addLearner("Anna", "Bianchi");
    QCOMPARE(inReview(), 0);
    QCOMPARE(PhraseResults::desiredRetention(usersPath(), anna, &error).value_or(0),
             FsrsScheduler::DefaultRetention);
}

QTEST_GUILESS_MAIN(TestUsersBackup)
#include "TestUsersBackup.moc"
