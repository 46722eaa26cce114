#include "UsersTemplate.h"
#include "platform/Database.h"
#include "platform/SecretStore.h"
#include "review/PhraseResults.h"
#include "review/ReviewSchedule.h"
#include "state/AppState.h"
#include "support/PrivateClassServer.h"
#include "support/TestSupport.h"
#include "users/AdminWindow.h"
#include "users/ClassServer.h"
#include "users/ResultsSender.h"
#include "users/UsersBackup.h"
#include "users/UsersDatabase.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>

#include <memory>

namespace {

const QString Class = QStringLiteral("4B");
const QString Role = QStringLiteral("class_4b");
const QString Password = QStringLiteral("4b-password");

// Subject text of every score row the server holds for a class, each with how often it is there.
QMap<QString, int> serverSubjects(PrivateClassServer& server, const QString& className)
{
    PgRows rows;
    QString error;
    if (!server.sql(
            QStringLiteral("SELECT subject, count(*) FROM parlanto_scores WHERE class_name = $1 GROUP BY "
                           "subject"),
            &error, &rows, {className}))
        qWarning() << error;
    QMap<QString, int> found;
    for (const auto& r : rows.rows)
        found.insert(r[0].value_or(QString()), r[1]->toInt());
    return found;
}

qint64 serverCount(PrivateClassServer& server, const QString& sql)
{
    PgRows rows;
    QString error;
    return server.sql(sql, &error, &rows) && !rows.rows.empty() ? rows.rows[0][0]->toLongLong() : -1;
}

} // namespace

class TestClassServer : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void killedServerLosesAndDoublesNothing();
    void copiesAndRestoresNeverCollide();
    void reviewIsTheSameOnEveryMachine();
    void learnersMayOnlyAddAndReadTheirClass();
    void classExportedFromTheServer();
    void administrationShowsTheWholeClass();

private:
    QString makeUsers(const QString& name);
    void record(const QString& users, const QString& learner, const QString& subject,
                const std::vector<PhraseResultRow>& phrases = {});
    ClassServerSettings settings() const;
    bool sendAll(const QString& users);

    PrivateClassServer m_server;
    std::unique_ptr<QTemporaryDir> m_dir;
};

void TestClassServer::initTestCase()
{
    QString error;
    bool skip = false;
    if (!m_server.start(&error, &skip)) {
        if (skip)
            QSKIP(qPrintable(error));
        QFAIL(qPrintable(error));
    }
    QVERIFY2(m_server.addClass(Class, Role, Password, &error), qPrintable(error));
    QVERIFY2(
        m_server.addClass(QStringLiteral("5C"), QStringLiteral("class_5c"), QStringLiteral("5c"), &error),
        qPrintable(error));
}

void TestClassServer::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    QVERIFY(UsersTemplate::write(m_dir->filePath(QStringLiteral("Parlanto.tpl"))));
    QVERIFY(m_server.start(nullptr));
    QString error;
    QVERIFY2(m_server.sql(QStringLiteral("TRUNCATE parlanto_scores, parlanto_phrase_results"), &error),
             qPrintable(error));
}

QString TestClassServer::makeUsers(const QString& name)
{
    const QString path = m_dir->filePath(name + QStringLiteral("/Users.dat"));
    QDir().mkpath(QFileInfo(path).path());
    QString error;
    if (!UsersDatabase(path, m_dir->filePath(QStringLiteral("Parlanto.tpl"))).createFromTemplate(&error))
        qWarning() << error;
    return path;
}

void TestClassServer::record(const QString& users, const QString& learner, const QString& subject,
                             const std::vector<PhraseResultRow>& phrases)
{
    ScoreRow row;
    row.tName = learner;
    row.tActivity = QStringLiteral("Flashcards");
    row.tSubject = subject;
    row.textScore = QStringLiteral("7/9");
    row.setWhen(QDateTime::currentDateTime());
    QString error;
    QVERIFY2(appendScore(users, row, phrases, &error), qPrintable(error));
}

ClassServerSettings TestClassServer::settings() const
{
    ClassServerSettings s;
    s.host = QStringLiteral("127.0.0.1");
    s.port = m_server.port();
    s.database = m_server.database();
    s.className = Class;
    s.role = Role;
    return s;
}

bool TestClassServer::sendAll(const QString& users)
{
    PgConnection c;
    QString error;
    const bool ok = ClassSync::prepareIdentities(users, &error) &&
                    c.connect(settings().target(Password), &error) &&
                    ClassSync::sendPending(users, c, Class, &error);
    if (!ok)
        qWarning() << error;
    return ok;
}

void TestClassServer::killedServerLosesAndDoublesNothing()
{
    const QString users = makeUsers(QStringLiteral("machine"));
    ResultsSender sender;
    sender.start(users, settings(), Password, 10);
    QRandomGenerator random(43);
    QSet<int> kills;
    while (kills.size() < 4)
        kills.insert(random.bounded(20, 380));
    int phraseRows = 0;
    for (int i = 0; i < 400; ++i) {
        const bool kill = kills.contains(i);
        if (kill) {
            // The sender is somewhere in a send, or between two: the server dies under it.
            QThread::usleep(random.bounded(0, 20000));
            m_server.kill();
        }
        std::vector<PhraseResultRow> phrases;
        for (int k = 0; k < i % 3; ++k, ++phraseRows)
            phrases.push_back({QStringLiteral("Ada Lovelace"),
                               {QStringLiteral("a.ita"), i * 10 + k},
                               QStringLiteral("Flashcards"),
                               1700000000 + i,
                               Grade(k + 1)});
        record(users, QStringLiteral("Ada Lovelace"), QStringLiteral("r%1").arg(i), phrases);
        if (kill) {
            // While it is gone, the state says so and the rows wait (this one at least, also
            // when the sender had caught up before the kill).
            sender.sendSoon();
            QTRY_VERIFY_WITH_TIMEOUT(!sender.state().error.isEmpty(), 20000);
            QVERIFY2(sender.state().error.contains(QStringLiteral("127.0.0.1:%1").arg(m_server.port())),
                     qPrintable(sender.state().error));
            QVERIFY(sender.state().unsent > 0);
            QString error;
            QVERIFY2(m_server.start(&error), qPrintable(error));
        }
    }
    sender.sendSoon();
    // Every acknowledged row arrives (or the wait ends in a failure), then nothing more does.
    QTRY_VERIFY_WITH_TIMEOUT(
        serverSubjects(m_server, Class).size() >= 400 &&
            serverCount(m_server, QStringLiteral("SELECT count(*) FROM parlanto_phrase_results")) >=
                phraseRows,
        60000);
    QTRY_VERIFY_WITH_TIMEOUT(
        !sender.state().busy && sender.state().unsent == 0 && sender.state().error.isEmpty(), 20000);
    sender.stop();
    QVERIFY(sendAll(users)); // a last send finds nothing new
    const QMap<QString, int> found = serverSubjects(m_server, Class);
    QCOMPARE(found.size(), 400);
    for (int i = 0; i < 400; ++i)
        QCOMPARE(found.value(QStringLiteral("r%1").arg(i)), 1);
    QCOMPARE(serverCount(m_server,
                         QStringLiteral("SELECT count(DISTINCT phrase_no) FROM parlanto_phrase_results")),
             qint64(phraseRows));
    QCOMPARE(serverCount(m_server, QStringLiteral("SELECT count(*) FROM parlanto_phrase_results")),
             qint64(phraseRows));
}

void TestClassServer::copiesAndRestoresNeverCollide()
{
    // A machine sends five results; its backup is taken; five more are sent.
    const QString a = makeUsers(QStringLiteral("a"));
    for (int i = 1; i <= 5; ++i)
        record(a, QStringLiteral("Ada Lovelace"), QStringLiteral("a%1").arg(i));
    QVERIFY(sendAll(a));
    QString error;
    const auto backup =
        UsersBackup(a).takeCopy(BackupCopy::Kind::Daily, QDateTime::currentDateTime(), &error);
    QVERIFY2(backup, qPrintable(error));
    // The file is copied to another machine's folder as it is (the copy keeps the five sent).
    const QString b = m_dir->filePath(QStringLiteral("b/Users.dat"));
    QVERIFY(QDir().mkpath(QFileInfo(b).path()) && QFile::copy(a, b));
    // The program starts there: before anyone studies, the copy takes identities of its own.
    QVERIFY(ClassSync::prepareIdentities(b, &error));
    for (int i = 6; i <= 10; ++i)
        record(a, QStringLiteral("Ada Lovelace"), QStringLiteral("a%1").arg(i));
    QVERIFY(sendAll(a));
    // The older copy is brought back: its keys 6 to 10 are given again, to new results.
    QVERIFY2(UsersBackup(a).restore(*backup, QDateTime::currentDateTime(), &error), qPrintable(error));
    for (int i = 1; i <= 3; ++i)
        record(a, QStringLiteral("Ada Lovelace"), QStringLiteral("restored%1").arg(i));
    for (int i = 1; i <= 4; ++i)
        record(b, QStringLiteral("Bob Byte"), QStringLiteral("b%1").arg(i));
    QVERIFY(sendAll(a));
    QVERIFY(sendAll(b));
    QVERIFY(sendAll(a)); // a second send adds nothing
    const QMap<QString, int> found = serverSubjects(m_server, Class);
    QStringList expected;
    for (int i = 1; i <= 10; ++i)
        expected << QStringLiteral("a%1").arg(i);
    for (int i = 1; i <= 3; ++i)
        expected << QStringLiteral("restored%1").arg(i);
    for (int i = 1; i <= 4; ++i)
        expected << QStringLiteral("b%1").arg(i);
    expected.sort();
    QCOMPARE(found.keys(), expected);
    for (int n : found)
        QCOMPARE(n, 1);
}

void TestClassServer::reviewIsTheSameOnEveryMachine()
{
    const QString learner = QStringLiteral("Ada Lovelace");
    const QString school = makeUsers(QStringLiteral("school")), home = makeUsers(QStringLiteral("home"));
    const qint64 now = QDateTime::currentSecsSinceEpoch();
    // At home first, then at school over three weeks: some phrases on both machines.
    for (int day = 0; day < 21; ++day) {
        std::vector<PhraseResultRow> phrases;
        for (int n = 1; n <= 6; ++n)
            phrases.push_back({learner,
                               {QStringLiteral("it.ita"), (day + n) % 9 + 1},
                               QStringLiteral("Flashcards"),
                               now - (30 - day) * 86400 + n * 60,
                               Grade((day * n) % 4 + 1)});
        record(day < 5 ? home : school, learner, QStringLiteral("day%1").arg(day), phrases);
    }
    ResultsSender atSchool, atHome;
    QSignalSpy schoolAdded(&atSchool, &ResultsSender::learnerRowsAdded),
        homeAdded(&atHome, &ResultsSender::learnerRowsAdded);
    atSchool.start(school, settings(), Password, 60000);
    atHome.start(home, settings(), Password, 60000);
    QTRY_VERIFY_WITH_TIMEOUT(atSchool.state().unsent == 0 && atHome.state().unsent == 0, 20000);
    // The learner logs in at each machine: the other's rows come in.
    atSchool.fetchFor(learner);
    atHome.fetchFor(learner);
    QTRY_COMPARE_WITH_TIMEOUT(schoolAdded.size(), 1, 20000);
    QTRY_COMPARE_WITH_TIMEOUT(homeAdded.size(), 1, 20000);
    QCOMPARE(schoolAdded.first().at(1).toInt(), 5 * 6);
    QCOMPARE(homeAdded.first().at(1).toInt(), 16 * 6);
    // Logging in again adds nothing, and the rows fetched are not sent back as new ones.
    atHome.fetchFor(learner);
    atHome.sendSoon();
    QTRY_VERIFY_WITH_TIMEOUT(!atHome.state().busy && atHome.state().unsent == 0, 20000);
    atSchool.stop();
    atHome.stop();
    QCOMPARE(homeAdded.size(), 1);
    QCOMPARE(serverCount(m_server, QStringLiteral("SELECT count(*) FROM parlanto_phrase_results")),
             qint64(21 * 6));

    QString error;
    ReviewSchedule a(school, learner), b(home, learner);
    QVERIFY2(a.refresh(&error), qPrintable(error));
    QVERIFY2(b.refresh(&error), qPrintable(error));
    const qint64 today = PhraseMemory::today();
    QVERIFY(a.memory().dueCount(today) > 0);
    QCOMPARE(a.memory().dueCount(today), b.memory().dueCount(today));
    const auto dueA = a.memory().due(today), dueB = b.memory().due(today);
    QCOMPARE(dueA.size(), dueB.size());
    for (size_t i = 0; i < dueA.size(); ++i) {
        QCOMPARE(dueA[i].phrase.phraseNo, dueB[i].phrase.phraseNo);
        QCOMPARE(a.memory().retrievabilityOn(dueA[i], today), b.memory().retrievabilityOn(dueB[i], today));
    }
    QCOMPARE(a.memory().forecast(today, 14), b.memory().forecast(today, 14));
}

void TestClassServer::learnersMayOnlyAddAndReadTheirClass()
{
    QString error;
    QVERIFY2(m_server.sql(QStringLiteral(
                              "INSERT INTO parlanto_scores (origin, origin_key, class_name, learner) VALUES "
                              "('x', 1, '5C', 'Other Class')"),
                          &error),
             qPrintable(error));
    PgConnection c;
    QVERIFY2(c.connect(m_server.as(Role, Password), &error), qPrintable(error));
    QVERIFY2(
        c.exec(QStringLiteral("INSERT INTO parlanto_scores (origin, origin_key, class_name, learner) VALUES "
                              "('y', 1, '4B', 'Ada Lovelace')"),
               &error),
        qPrintable(error));
    for (const QString& sql :
         {QStringLiteral("UPDATE parlanto_scores SET learner = 'Eve' WHERE origin = 'y'"),
          QStringLiteral("DELETE FROM parlanto_scores"),
          QStringLiteral("DELETE FROM parlanto_phrase_results"), QStringLiteral("TRUNCATE parlanto_scores"),
          QStringLiteral(
              "INSERT INTO parlanto_scores (origin, origin_key, class_name, learner) VALUES ('y', 2, '5C', "
              "'Ada Lovelace')"),
          QStringLiteral("INSERT INTO parlanto_classes VALUES ('5C', 'class_4b')")}) {
        QVERIFY2(!c.exec(sql, &error), qPrintable(sql));
        QCOMPARE(c.lastState(), QStringLiteral("42501")); // insufficient privilege
    }
    PgRows rows;
    QVERIFY2(c.exec(QStringLiteral("SELECT class_name, learner FROM parlanto_scores"), {}, &error, &rows),
             qPrintable(error));
    QCOMPARE(rows.rows.size(), size_t(1));
    QCOMPARE(*rows.rows[0][1], QStringLiteral("Ada Lovelace"));
    QCOMPARE(serverCount(m_server, QStringLiteral("SELECT count(*) FROM parlanto_scores")), qint64(2));
}

void TestClassServer::classExportedFromTheServer()
{
    // Two machines of the class have sent; a third (this one) has no results of its own.
    for (const QString& machine : {QStringLiteral("one"), QStringLiteral("two")}) {
        const QString users = makeUsers(machine);
        for (int i = 0; i < 3; ++i)
            record(users, QStringLiteral("Ada ") + machine, machine + QString::number(i),
                   {{QStringLiteral("Ada ") + machine,
                     {QStringLiteral("it.ita"), i + 1},
                     QStringLiteral("Flashcards"),
                     1760000000 + i,
                     Grade::Good}});
        QVERIFY(sendAll(users));
    }
    // As the administration window keeps them for this user.
    settings().save(app().edition.ProgramCode);
    QString error;
    QVERIFY2(SecretStore::save(settings().secretName(), Password, &error), qPrintable(error));
    for (const bool phrases : {false, true}) {
        const QString file = m_dir->filePath(QStringLiteral("class.csv"));
        QProcess tool;
        QStringList args{QStringLiteral("export"), QStringLiteral("--server")};
        if (phrases)
            args << QStringLiteral("--phrases");
        tool.start(QStringLiteral(PARLANTO_TOOLS_DIR "/parlanto-results"), args << file);
        QVERIFY(tool.waitForFinished(60000));
        QVERIFY2(tool.exitCode() == 0, tool.readAllStandardError().constData());
        QFile csv(file);
        QVERIFY(csv.open(QIODevice::ReadOnly));
        const QString text = QString::fromUtf8(csv.readAll());
        QCOMPARE(text.count(QLatin1Char('\n')), 1 + 6); // the header, then both machines' rows
        for (const QString& learner : {QStringLiteral("Ada one"), QStringLiteral("Ada two")})
            QVERIFY2(text.count(learner) == 3, qPrintable(text));
    }
    // A wrong password is said plainly, and nothing is written.
    QVERIFY2(SecretStore::save(settings().secretName(), QStringLiteral("wrong"), &error), qPrintable(error));
    QProcess tool;
    tool.start(
        QStringLiteral(PARLANTO_TOOLS_DIR "/parlanto-results"),
        {QStringLiteral("export"), QStringLiteral("--server"), m_dir->filePath(QStringLiteral("none.csv"))});
    QVERIFY(tool.waitForFinished(60000));
    QCOMPARE(tool.exitCode(), 1);
    QVERIFY(tool.readAllStandardError().contains("password authentication failed"));
    QVERIFY(!QFile::exists(m_dir->filePath(QStringLiteral("none.csv"))));
    SecretStore::remove(settings().secretName());
    ClassServerSettings().save(app().edition.ProgramCode);
}

void TestClassServer::administrationShowsTheWholeClass()
{
    resetAppState();
    QVERIFY(TestSupport::useFoldersUnder(app(), m_dir->filePath(QStringLiteral("here"))));
    QVERIFY(UsersTemplate::write(app().templateDatabasePath()));
    QString error;
    QVERIFY2(UsersDatabase::forApp().createFromTemplate(&error), qPrintable(error));
    const QString other = makeUsers(QStringLiteral("other"));
    record(other, QStringLiteral("Ada Lovelace"), QStringLiteral("elsewhere"));
    QVERIFY(sendAll(other));
    settings().save(app().edition.ProgramCode);
    QVERIFY2(SecretStore::save(settings().secretName(), Password, &error), qPrintable(error));

    auto window = std::make_unique<AdminWindow>();
    auto* source = window->findChild<QComboBox*>(QStringLiteral("cboResultsOf"));
    auto* tree = window->findChild<QTreeWidget*>(QStringLiteral("tvwResults"));
    QVERIFY(source && tree);
    // Nothing recorded on this machine: its view has no learner.
    QVERIFY(tree->findItems(QStringLiteral("Ada Lovelace"), Qt::MatchExactly).isEmpty());
    source->setCurrentIndex(1);
    emit source->activated(1);
    QTRY_VERIFY_WITH_TIMEOUT(!tree->findItems(QStringLiteral("Ada Lovelace"), Qt::MatchExactly).isEmpty(),
                             20000);
    const QString copy =
        app().dataFolder + QStringLiteral("ClassResults-%1.dat").arg(QCoreApplication::applicationPid());
    QVERIFY(QFile::exists(copy));
    // Back to this machine, and the class's copy goes with the window.
    source->setCurrentIndex(0);
    emit source->activated(0);
    QVERIFY(tree->findItems(QStringLiteral("Ada Lovelace"), Qt::MatchExactly).isEmpty());
    window.reset();
    QVERIFY(!QFile::exists(copy));
    SecretStore::remove(settings().secretName());
    ClassServerSettings().save(app().edition.ProgramCode);
}

QTEST_MAIN(TestClassServer)
#include "TestClassServer.moc"
