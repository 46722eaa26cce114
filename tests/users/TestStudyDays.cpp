// Phrases answered per local calendar day (in a zone with summer time, across its changes and
// across local midnight), the streak that forgives a day off, and the daily goal stored per
// learner, also in a file older than the goal.
#include "UsersTemplate.h"
#include "platform/Database.h"
#include "review/PhraseResults.h"
#include "users/StudyDays.h"
#include "users/UsersDatabase.h"

#include <QDateTime>
#include <QTemporaryDir>
#include <QTest>

#include <ctime>
#include <memory>

class TestStudyDays : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void daysFollowTheLocalCalendar();
    void streakForgivesADayOff();
    void dailyGoalStoredAndReadBack();

private:
    QString usersPath() const { return m_dir->filePath("Users.dat"); }
    // One activity session as the activities record it: a score row on the local date and a
    // row per answered phrase at the UTC moment utc.
    void record(const QString& learner, const QString& activity, const char* utc, int phrases);
    void scoreOnly(const QString& learner, const QString& activity, const QString& date);

    std::unique_ptr<QTemporaryDir> m_dir;
};

void TestStudyDays::initTestCase()
{
    // Rome: an hour ahead of UTC in winter, two in summer (from 29 March to 25 October 2026).
    qputenv("TZ", "Europe/Rome");
    tzset();
    QCOMPARE(QDateTime(QDate(2026, 7, 1), QTime(12, 0)).offsetFromUtc(), 7200);
}

void TestStudyDays::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QString error;
    QVERIFY2(UsersTemplate::write(m_dir->filePath("Parlanto.tpl"), &error), qPrintable(error));
    QVERIFY2(UsersDatabase(usersPath(), m_dir->filePath("Parlanto.tpl")).createFromTemplate(&error),
             qPrintable(error));
}

void TestStudyDays::record(const QString& learner, const QString& activity, const char* utc, int phrases)
{
    const qint64 seconds = PhraseResults::parseUtc(QString::fromLatin1(utc)).value();
    ScoreRow score{learner, activity, "Al Caffè", QString("%1/%1").arg(phrases), 100.0, {}, {}};
    score.setWhen(QDateTime::fromSecsSinceEpoch(seconds)); // the local clock, as activities write it
    std::vector<PhraseResultRow> rows;
    for (int i = 1; i <= phrases; ++i)
        rows.push_back({learner, {"Al_Caffe.ita", i}, activity, seconds, Grade::Good});
    QString error;
    QVERIFY2(appendScore(usersPath(), score, rows, &error), qPrintable(error));
}

void TestStudyDays::scoreOnly(const QString& learner, const QString& activity, const QString& date)
{
    ScoreRow score{learner, activity, "Al Caffè", QString("6/9"), 67.0, date, "10:00:00"};
    QString error;
    QVERIFY2(appendScore(usersPath(), score, &error), qPrintable(error));
}

void TestStudyDays::daysFollowTheLocalCalendar()
{
    const QString anna = "Anna Bianchi";
    record(anna, "Flashcards", "2026-12-07T22:59:59Z", 3); // 23:59:59 on the 7th
    record(anna, "Flashcards", "2026-12-07T23:00:00Z", 2); // midnight: the 8th
    record(anna, "Listening", "2026-03-28T23:30:00Z", 1);  // 00:30 on the 29th, before the change
    record(anna, "Listening", "2026-03-29T21:59:00Z", 1);  // 23:59 on the 29th, summer time
    record(anna, "Listening", "2026-03-29T22:00:00Z", 4);  // midnight of the 30th in summer time
    record(anna, "Dictation", "2026-10-24T22:30:00Z", 1);  // 00:30 on the 25th, still summer time
    record(anna, "Dictation", "2026-10-25T22:59:00Z", 5);  // 23:59 on the 25th, winter time again
    record("Ada Admin", "Flashcards", "2026-12-07T12:00:00Z", 9);
    // An activity that records no phrases counts its sessions; beside phrases of another
    // activity on the same day as well.
    scoreOnly(anna, "Writing", "2026-12-05");
    scoreOnly(anna, "Writing", "2026-12-05");
    scoreOnly(anna, "Writing", "2026-12-07");

    QString error;
    const auto days = StudyDays::load(usersPath(), anna, QDate(), &error);
    QVERIFY2(days, qPrintable(error));
    QCOMPARE(days->count(QDate(2026, 12, 7)), 3 + 1);
    QCOMPARE(days->count(QDate(2026, 12, 8)), 2);
    QCOMPARE(days->count(QDate(2026, 3, 28)), 0);
    QCOMPARE(days->count(QDate(2026, 3, 29)), 2);
    QCOMPARE(days->count(QDate(2026, 3, 30)), 4);
    QCOMPARE(days->count(QDate(2026, 10, 24)), 0);
    QCOMPARE(days->count(QDate(2026, 10, 25)), 6);
    QCOMPARE(days->count(QDate(2026, 12, 5)), 2);
    QCOMPARE(days->days().size(), size_t(6));
    QCOMPARE(days->first(), QDate(2026, 3, 29));
    QCOMPARE(days->last(), QDate(2026, 12, 8));

    // From a day on: the row just before its local midnight stays out.
    const auto today = StudyDays::load(usersPath(), anna, QDate(2026, 12, 8), &error);
    QVERIFY2(today, qPrintable(error));
    QCOMPARE(today->days().size(), size_t(1));
    QCOMPARE(today->count(QDate(2026, 12, 8)), 2);

    // A file no program has added the per-phrase table to counts its scores.
    {
        auto db = Database::open(usersPath(), Database::TemplatePassword, Database::Mode::ReadWrite, &error);
        QVERIFY2(db && db->exec("DROP TABLE tblPhraseResults", &error), qPrintable(error));
    }
    const auto older = StudyDays::load(usersPath(), anna, QDate(), &error);
    QVERIFY2(older, qPrintable(error));
    QCOMPARE(older->count(QDate(2026, 12, 7)), 2); // a Flashcards score and a Writing one
    QCOMPARE(older->count(QDate(2026, 3, 29)), 2);
}

void TestStudyDays::streakForgivesADayOff()
{
    const int goal = 10;
    const QDate today(2026, 12, 8); // a Tuesday
    // Three full weeks met every day (16 November to 6 December), then Monday the 7th missed.
    StudyDays days;
    for (QDate d(2026, 11, 16); d <= QDate(2026, 12, 6); d = d.addDays(1))
        days.add(d, goal);
    days.add(today, goal + 5);
    QCOMPARE(days.daysMetInLastWeek(today, goal), 6);
    QCOMPARE(days.longestWeekRun(goal), 3);

    // A low day and a day off in the week: still 5 of 7, and the week still counts.
    StudyDays lowAndOff;
    for (const QDate& d :
         {QDate(2026, 12, 2), QDate(2026, 12, 3), QDate(2026, 12, 4), QDate(2026, 12, 7), QDate(2026, 12, 8)})
        lowAndOff.add(d, goal);
    lowAndOff.add(QDate(2026, 12, 6), goal - 1); // a low day; the 5th off
    QCOMPARE(lowAndOff.daysMetInLastWeek(today, goal), 5);
    QCOMPARE(lowAndOff.daysMetInLastWeek(today, 0), 6); // without a goal any study counts
    QCOMPARE(lowAndOff.daysMetInLastWeek(QDate(2026, 12, 1), goal), 0);

    // Weeks run Monday to Sunday: four met days in one and four in the next make no week, and
    // a week short of five breaks a run.
    StudyDays split;
    for (const QDate& d : {QDate(2026, 11, 5), QDate(2026, 11, 6), QDate(2026, 11, 7), QDate(2026, 11, 8),
                           QDate(2026, 11, 9), QDate(2026, 11, 10), QDate(2026, 11, 11), QDate(2026, 11, 12)})
        split.add(d, goal);
    QCOMPARE(split.longestWeekRun(goal), 0);
    StudyDays broken;
    for (int week = 0; week < 5; ++week) {
        const QDate monday = QDate(2026, 10, 5).addDays(7 * week);
        for (int day = 0; day < (week == 2 ? 4 : 5); ++day)
            broken.add(monday.addDays(day), goal);
    }
    QCOMPARE(broken.longestWeekRun(goal), 2);
}

void TestStudyDays::dailyGoalStoredAndReadBack()
{
    const QString anna = "Anna Bianchi", ada = "Ada Admin";
    QString error;
    QCOMPARE(PhraseResults::dailyGoal(usersPath(), anna, &error), std::optional<int>(10));
    QVERIFY2(PhraseResults::setDailyGoal(usersPath(), anna, 25, &error), qPrintable(error));
    QVERIFY2(PhraseResults::setDesiredRetention(usersPath(), anna, 0.85, &error), qPrintable(error));
    QCOMPARE(PhraseResults::dailyGoal(usersPath(), anna, &error), std::optional<int>(25));
    QCOMPARE(PhraseResults::desiredRetention(usersPath(), anna, &error), std::optional<double>(0.85));
    QCOMPARE(PhraseResults::dailyGoal(usersPath(), ada, &error), std::optional<int>(10));
    QVERIFY2(PhraseResults::setDailyGoal(usersPath(), ada, 0, &error), qPrintable(error));
    QCOMPARE(PhraseResults::dailyGoal(usersPath(), ada, &error), std::optional<int>(0));
    QCOMPARE(PhraseResults::desiredRetention(usersPath(), ada, &error), std::optional<double>(0.90));
    QVERIFY2(PhraseResults::setDailyGoal(usersPath(), ada, 5000, &error), qPrintable(error));
    QCOMPARE(PhraseResults::dailyGoal(usersPath(), ada, &error), std::optional<int>(1000));

    // A file whose settings table predates the goal: read as the default, then it gains the
    // column and keeps the learner's retention.
    {
        auto db = Database::open(usersPath(), Database::TemplatePassword, Database::Mode::ReadWrite, &error);
        QVERIFY2(db, qPrintable(error));
        QVERIFY2(
            db->exec("DROP TABLE tblReviewSettings", &error) &&
                db->exec("CREATE TABLE tblReviewSettings (tName TEXT PRIMARY KEY, nDesiredRetention REAL)",
                         &error) &&
                db->exec("INSERT INTO tblReviewSettings VALUES ('Anna Bianchi', 0.8)", &error),
            qPrintable(error));
    }
    QCOMPARE(PhraseResults::dailyGoal(usersPath(), anna, &error), std::optional<int>(10));
    QVERIFY2(PhraseResults::setDailyGoal(usersPath(), anna, 15, &error), qPrintable(error));
    QCOMPARE(PhraseResults::dailyGoal(usersPath(), anna, &error), std::optional<int>(15));
    QCOMPARE(PhraseResults::desiredRetention(usersPath(), anna, &error), std::optional<double>(0.8));
}

QTEST_GUILESS_MAIN(TestStudyDays)
#include "TestStudyDays.moc"
