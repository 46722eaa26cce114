// Scores read as percentages, the chart's points, the summary, and the CSV export run as a
// teacher runs it (the parlanto-results program), read back by Python's csv module.
#include "UsersTemplate.h"
#include "platform/Database.h"
#include "subjects/SubjectFile.h"
#include "support/TestSupport.h"
#include "users/ResultsExport.h"
#include "users/ResultsHistory.h"
#include "users/UsersDatabase.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

class TestResultsHistory : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void scoresAsPercentages_data();
    void scoresAsPercentages();
    void chartFromTextAndNumberScores();
    void summaryOfTheWeek();
    void csvReadBackByAParser_data();
    void csvReadBackByAParser();
    void phrasesAndMemoryExported();

private:
    QString usersPath() const { return m_dir->filePath("Users.dat"); }
    void add(const QString& name, const QString& activity, const QString& subject, const QVariant& text,
             const QVariant& number, const QString& date, const QString& time = "10:00:00");

    std::unique_ptr<QTemporaryDir> m_dir;
};

void TestResultsHistory::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QString error;
    QVERIFY2(UsersTemplate::write(m_dir->filePath("Parlanto.tpl"), &error), qPrintable(error));
    QVERIFY2(UsersDatabase(usersPath(), m_dir->filePath("Parlanto.tpl")).createFromTemplate(&error),
             qPrintable(error));
}

void TestResultsHistory::add(const QString& name, const QString& activity, const QString& subject,
                             const QVariant& text, const QVariant& number, const QString& date,
                             const QString& time)
{
    // Written as another program may write them: Null, text or numbers of any kind.
    QString error;
    auto db = Database::open(usersPath(), Database::TemplatePassword, Database::Mode::ReadWrite, &error);
    QVERIFY2(db, qPrintable(error));
    Statement s =
        db->prepare("INSERT INTO tblscores (tName, tActivity, tSubject, textScore, numberScore, nDate, "
                    "nTime) VALUES (?, ?, ?, ?, ?, ?, ?)");
    s.bindText(1, name).bindText(2, activity).bindText(3, subject).bind(4, text).bind(5, number);
    s.bindText(6, date).bindText(7, time);
    QVERIFY2(s.run(), qPrintable(s.errorString()));
}

void TestResultsHistory::scoresAsPercentages_data()
{
    QTest::addColumn<QVariant>("text");
    QTest::addColumn<QVariant>("number");
    QTest::addColumn<double>("percent"); // -1: cannot be read

    QTest::newRow("fraction wins over a count") << QVariant("6/9") << QVariant(6.0) << 600.0 / 9;
    QTest::newRow("fraction with percentage") << QVariant("6/9 (67%)") << QVariant(66.67) << 600.0 / 9;
    QTest::newRow("spaced fraction") << QVariant(" 3 / 4 ") << QVariant() << 75.0;
    QTest::newRow("percentage text") << QVariant("85%") << QVariant() << 85.0;
    QTest::newRow("decimal comma") << QVariant("72,5") << QVariant() << 72.5;
    QTest::newRow("empty text: number") << QVariant("") << QVariant(40) << 40.0;
    QTest::newRow("null text: real") << QVariant() << QVariant(87.5) << 87.5;
    QTest::newRow("number stored as text") << QVariant() << QVariant("55") << 55.0;
    QTest::newRow("words") << QVariant("very good") << QVariant(90) << -1.0;
    QTest::newRow("out of nothing") << QVariant("3/0") << QVariant() << -1.0;
    QTest::newRow("more than all") << QVariant("10/9") << QVariant() << -1.0;
    QTest::newRow("above 100") << QVariant() << QVariant(150) << -1.0;
    QTest::newRow("nothing") << QVariant() << QVariant() << -1.0;
}

void TestResultsHistory::scoresAsPercentages()
{
    QFETCH(QVariant, text);
    QFETCH(QVariant, number);
    QFETCH(double, percent);
    add("Anna Bianchi", "Flashcards", "Al Caffè", text, number, "2026-12-07");
    QString error;
    const auto entries = ResultsHistory::load(usersPath(), {}, &error);
    QVERIFY2(entries && entries->size() == 1, qPrintable(error));
    const auto read = entries->first().percent;
    QCOMPARE(read.has_value(), percent >= 0);
    if (read)
        QVERIFY(qAbs(*read - percent) < 1e-9);
}

void TestResultsHistory::chartFromTextAndNumberScores()
{
    add("Anna Bianchi", "Listening", "Al Caffè", QVariant(), 80.0, "2026-12-03", "09:00:00");
    add("Anna Bianchi", "Flashcards", "Al Caffè", "6/9", 6, "2026-12-02");
    add("Anna Bianchi", "Flashcards", "In Albergo", "9/9 (100%)", 100,
        "2026-12-01"); // recorded later, earlier date
    add("Anna Bianchi", "Flashcards", "In Albergo", "well done", QVariant(), "2026-12-04");
    add("Anna Bianchi", "Listening", "In Albergo", QVariant(), 50.0, "last Tuesday");
    add("Luca Verdi", "Listening", "Al Caffè", QVariant(), 10.0, "2026-12-03");

    QString error;
    const auto entries = ResultsHistory::load(usersPath(), {"Anna Bianchi", {}, {}}, &error);
    QVERIFY2(entries, qPrintable(error));
    QCOMPARE(entries->size(), 5);
    const auto data = ResultsHistory::chartData(*entries);
    QCOMPARE(data.activities.size(), 2);
    QCOMPARE(data.activities[0].activity, QStringLiteral("Flashcards"));
    QCOMPARE(data.activities[1].activity, QStringLiteral("Listening"));
    const auto& flash = data.activities[0].points;
    QCOMPARE(flash.size(), 2);
    QCOMPARE(flash[0], QPointF(QDateTime(QDate(2026, 12, 1), QTime(10, 0)).toMSecsSinceEpoch(), 100.0));
    QCOMPARE(flash[1].y(), 600.0 / 9);
    QCOMPARE(data.activities[1].points,
             QList<QPointF>{QPointF(QDateTime(QDate(2026, 12, 3), QTime(9, 0)).toMSecsSinceEpoch(), 80.0)});
    QCOMPARE(data.unreadable.size(), 2);
    QCOMPARE(data.unreadable[0].score, QStringLiteral("well done"));
    QCOMPARE(data.unreadable[1].nDate, QStringLiteral("last Tuesday"));
}

void TestResultsHistory::summaryOfTheWeek()
{
    // Tuesday 8 December 2026: the week began on Monday the 7th.
    add("Anna Bianchi", "Flashcards", "Al Caffè", "3/9", 3, "2026-12-06");
    add("Anna Bianchi", "Flashcards", "Al Caffè", "9/9", 9, "2026-12-07");
    add("Anna Bianchi", "Listening", "Al Caffè", QVariant(), 50.0, "2026-12-08");
    add("Anna Bianchi", "Listening", "Zoo", "so so", QVariant(), "2026-12-08");
    add("Anna Bianchi", "Listening", "Zoo", QVariant(), 20.0, "2026-12-09"); // a clock set wrong
    QString error;
    const auto entries = ResultsHistory::load(usersPath(), {}, &error);
    QVERIFY(entries);
    const auto summary = ResultsHistory::summarize(*entries, QDate(2026, 12, 8));
    QCOMPARE(summary.sessionsThisWeek, 3);
    // One row per subject and activity: Flashcards and Listening of one subject never mix.
    QCOMPARE(summary.subjectCount, 2);
    QCOMPARE(summary.subjects.size(), 3);
    QCOMPARE(summary.subjects[0].subject, QStringLiteral("Al Caffè"));
    QCOMPARE(summary.subjects[0].activity, QStringLiteral("Flashcards"));
    QCOMPARE(*summary.subjects[0].best, 100.0);
    QCOMPARE(summary.subjects[0].latest, QStringLiteral("100%"));
    QCOMPARE(summary.subjects[1].activity, QStringLiteral("Listening"));
    QCOMPARE(*summary.subjects[1].best, 50.0);
    QCOMPARE(summary.subjects[1].latest, QStringLiteral("50%"));
    QCOMPARE(summary.subjects[2].subject, QStringLiteral("Zoo"));
    QCOMPARE(*summary.subjects[2].best, 20.0);
    QCOMPARE(summary.subjects[2].latest, QStringLiteral("20%"));
    // The review's scores, of phrases of many subjects, are listed but count as no subject.
    add("Anna Bianchi", "Flashcards", "Review", "1/1", 100.0, "2026-12-08");
    const auto withReview = ResultsHistory::load(usersPath(), {}, &error);
    QVERIFY(withReview);
    const auto reviewed = ResultsHistory::summarize(*withReview, QDate(2026, 12, 8), "Review");
    QCOMPARE(reviewed.subjects.size(), 4);
    QCOMPARE(reviewed.subjectCount, 2);
}

void TestResultsHistory::csvReadBackByAParser_data()
{
    QTest::addColumn<QString>("learner"); // empty: every result
    QTest::newRow("everyone") << QString();
    QTest::newRow("one learner") << QStringLiteral("Zoë \"Z\", Rossi");
}

void TestResultsHistory::csvReadBackByAParser()
{
    QFETCH(QString, learner);
    const QString python = QStandardPaths::findExecutable("python3");
    if (python.isEmpty())
        QSKIP("python3 is not installed");
    const QString zoe = "Zoë \"Z\", Rossi";
    add(zoe, "Flashcards", "Caffè, latte\nand \"cornetto\"", "6/9 (67%)", 66.67, "2026-12-07", "08:05:09");
    add("Luca Verdi", "Listening", " Al Caffè", QVariant(), 87.5, "2026-12-08");
    add(zoe, "Listening", "Ñandú", "excellent", QVariant(), "yesterday", "noon");

    const QString out = m_dir->filePath("results, é.csv");
    QProcess tool;
    QStringList args{"export", "--database", usersPath(), out};
    if (!learner.isEmpty())
        args << "--learner" << learner;
    tool.start(QStringLiteral(PARLANTO_TOOLS_DIR "/parlanto-results"), args);
    QVERIFY(tool.waitForFinished(60000));
    QVERIFY2(tool.exitCode() == 0, tool.readAllStandardError().constData());

    QProcess reader;
    reader.start(python, {"-c",
                          "import csv, json, sys\n"
                          "with open(sys.argv[1], newline='', encoding='utf-8-sig') as f:\n"
                          "    print(json.dumps(list(csv.reader(f, strict=True))))\n",
                          out});
    QVERIFY(reader.waitForFinished(60000));
    QVERIFY2(reader.exitCode() == 0, reader.readAllStandardError().constData());
    const QJsonArray rows = QJsonDocument::fromJson(reader.readAllStandardOutput()).array();

    QList<QStringList> expected{
        {"Learner", "Activity", "Subject", "Score", "Percent (rounded)", "Date", "Time"},
        {zoe, "Flashcards", "Caffè, latte\nand \"cornetto\"", "6/9 (67%)", "67", "2026-12-07", "08:05:09"}};
    if (learner.isEmpty())
        expected.append({"Luca Verdi", "Listening", " Al Caffè", "87.5", "88", "2026-12-08", "10:00:00"});
    expected.append({zoe, "Listening", "Ñandú", "excellent", "", "yesterday", "noon"});
    QCOMPARE(rows.size(), expected.size());
    for (int i = 0; i < expected.size(); ++i)
        QCOMPARE(rows[i].toVariant().toStringList(), expected[i]);
    // CRLF between records, as RFC 4180 asks.
    QFile file(out);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QVERIFY(file.readAll().contains("Time\r\n"));
}

// Per-phrase rows written as another activity would write them, exported by the tool with
// the subject's title and the phrase's text, and each phrase's memory with its next due date.
void TestResultsHistory::phrasesAndMemoryExported()
{
    const QString python = QStandardPaths::findExecutable("python3");
    if (python.isEmpty())
        QSKIP("python3 is not installed");
    const QString file = TestSupport::subjectFile("al_caffe");
    QString error;
    QVERIFY(QDir(m_dir->path()).mkpath("Subjects"));
    QVERIFY2(InstalledSubject::create(
                 m_dir->filePath("Subjects/" + file), TestSupport::ownEdition(),
                 {{1, "Un caffè, per favore", "A coffee, please", "", TestSupport::makeWave(1)},
                  {2, "Il conto", "The bill", "", TestSupport::makeWave(2)}},
                 false, &error),
             qPrintable(error));
    auto db = Database::open(usersPath(), Database::TemplatePassword, Database::Mode::ReadWrite, &error);
    QVERIFY2(db, qPrintable(error));
    Statement s =
        db->prepare("INSERT INTO tblPhraseResults (tName, tSubjectFile, nPhraseNo, tActivity, tUtcTime, "
                    "nGrade) VALUES (?, ?, ?, ?, ?, ?)");
    const QString zoe = "Zoë \"Z\", Rossi";
    const QList<std::tuple<QString, int, QString, int>> rows{{zoe, 1, "2026-12-01T10:00:00Z", 3},
                                                             {zoe, 2, "2026-12-01T10:00:05Z", 1},
                                                             {"Luca", 1, "2026-12-02T10:00:00Z", 4}};
    for (const auto& [name, number, time, grade] : rows) {
        s.reset();
        s.bindText(1, name).bindText(2, file).bindInt(3, number).bindText(4, "Flashcards").bindText(5, time);
        QVERIFY2(s.bindInt(6, grade).run(), qPrintable(s.errorString()));
    }
    db.reset();

    auto exported = [&](const QString& option) {
        QProcess tool;
        tool.start(QStringLiteral(PARLANTO_TOOLS_DIR "/parlanto-results"),
                   {"export", option, "--learner", zoe, "--database", usersPath(), "-"});
        tool.waitForFinished(60000);
        QProcess reader;
        reader.start(python, {"-c", "import csv, io, json, sys\n"
                                    "print(json.dumps(list(csv.reader(io.StringIO(sys.stdin.buffer.read()"
                                    ".decode('utf-8-sig'), newline=''), strict=True))))\n"});
        reader.write(tool.readAllStandardOutput());
        reader.closeWriteChannel();
        reader.waitForFinished(60000);
        QList<QStringList> result;
        for (const QJsonValue& row : QJsonDocument::fromJson(reader.readAllStandardOutput()).array())
            result << row.toVariant().toStringList();
        return result;
    };
    const QList<QStringList> phrases = exported("--phrases");
    QCOMPARE(phrases.size(), 3);
    QCOMPARE(phrases[0].mid(0, 5),
             (QStringList{"Learner", "Subject", "Subject file", "Phrase number", "Phrase"}));
    QCOMPARE(phrases[1], (QStringList{zoe, "Al Caffe", file, "1", "Un caffè, per favore", "Flashcards",
                                      "2026-12-01T10:00:00Z", "3", "Good"}));
    QCOMPARE(phrases[2].mid(4),
             (QStringList{"Il conto", "Flashcards", "2026-12-01T10:00:05Z", "1", "Again"}));

    // A first Good: stability w2 = 2.31 days, D0(3) = 2.12, due two days later; a first Again:
    // due again that same day, until it is recalled.
    const QList<QStringList> memory = exported("--memory");
    QCOMPARE(memory.size(), 3);
    QCOMPARE(memory[0].mid(5), (QStringList{"Reviews", "Lapses", "Stability", "Difficulty", "Last review",
                                            "Retrievability today", "Next due", "Desired retention"}));
    QCOMPARE(memory[1].mid(0, 9),
             (QStringList{zoe, "Al Caffe", file, "1", "Un caffè, per favore", "1", "0", "2.31", "2.12"}));
    QCOMPARE(memory[1].at(9),
             QDateTime(QDate(2026, 12, 1), QTime(10, 0), Qt::UTC).toLocalTime().date().toString(Qt::ISODate));
    QCOMPARE(QDate::fromString(memory[1].at(11), Qt::ISODate),
             QDate::fromString(memory[1].at(9), Qt::ISODate).addDays(2));
    QCOMPARE(QDate::fromString(memory[2].at(11), Qt::ISODate),
             QDate::fromString(memory[2].at(9), Qt::ISODate));
    QCOMPARE(memory[2].at(12), QStringLiteral("0.90"));
}

QTEST_GUILESS_MAIN(TestResultsHistory)
#include "TestResultsHistory.moc"
