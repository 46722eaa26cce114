#include "UsersTemplate.h"
#include "support/PrivateClassServer.h"
#include "users/UsersDatabase.h"

#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <memory>
#include <vector>

// A class of thirty machines, each a process with its own users database recording a
// thousand results with three phrases each while its sender sends them, and the server
// stopped and started twice meanwhile: every row is on the server once.
class TestClassLoad : public QObject
{
    Q_OBJECT
private slots:
    void thirtyMachinesThroughTwoOutages();
};

void TestClassLoad::thirtyMachinesThroughTwoOutages()
{
    constexpr int Machines = 30, Results = 1000, PhrasesEach = 3;
    PrivateClassServer server;
    QString error;
    bool skip = false;
    if (!server.start(&error, &skip)) {
        if (skip)
            QSKIP(qPrintable(error));
        QFAIL(qPrintable(error));
    }
    QVERIFY2(server.addClass(QStringLiteral("4B"), QStringLiteral("class_4b"), QStringLiteral("pw"), &error),
             qPrintable(error));
    QTemporaryDir dir;
    const QString templatePath = dir.filePath(QStringLiteral("Parlanto.tpl"));
    QVERIFY(UsersTemplate::write(templatePath));
    std::vector<std::unique_ptr<QProcess>> machines;
    for (int m = 0; m < Machines; ++m) {
        const QString users = dir.filePath(QStringLiteral("m%1/Users.dat").arg(m));
        QVERIFY(QDir().mkpath(QFileInfo(users).path()));
        QVERIFY2(UsersDatabase(users, templatePath).createFromTemplate(&error), qPrintable(error));
        auto p = std::make_unique<QProcess>();
        p->setProcessChannelMode(QProcess::ForwardedErrorChannel);
        p->start(QStringLiteral(CLASS_MACHINE_PROCESS),
                 {users, QString::number(server.port()), QStringLiteral("4B"), QStringLiteral("class_4b"),
                  QStringLiteral("pw"), QString::number(m), QString::number(Results)});
        QVERIFY(p->waitForStarted());
        machines.push_back(std::move(p));
    }
    // Twice: the server goes away for a moment while the machines record and send.
    for (int outage = 0; outage < 2; ++outage) {
        QTest::qWait(1500);
        QVERIFY2(server.stop(&error), qPrintable(error));
        QTest::qWait(700);
        QVERIFY2(server.start(&error), qPrintable(error));
    }
    for (auto& p : machines) {
        QVERIFY(p->waitForFinished(240000));
        QCOMPARE(p->exitStatus(), QProcess::NormalExit);
        QCOMPARE(p->exitCode(), 0);
    }
    // Exactly the rows recorded: each (machine, result) once, each (machine, phrase) once.
    PgRows rows;
    QVERIFY2(server.sql(QStringLiteral("SELECT count(*), count(DISTINCT subject), count(DISTINCT learner), "
                                       "count(DISTINCT origin) FROM parlanto_scores"),
                        &error, &rows),
             qPrintable(error));
    QCOMPARE(rows.rows[0][0]->toInt(), Machines * Results);
    QCOMPARE(rows.rows[0][1]->toInt(), Machines * Results);
    QCOMPARE(rows.rows[0][2]->toInt(), Machines);
    QCOMPARE(rows.rows[0][3]->toInt(), Machines);
    QVERIFY2(server.sql(QStringLiteral("SELECT count(*) FROM parlanto_scores WHERE subject <> 'm' || "
                                       "substring(learner from 9) || '-' || number_score::bigint"),
                        &error, &rows),
             qPrintable(error));
    QCOMPARE(rows.rows[0][0]->toInt(), 0);
    QVERIFY2(server.sql(QStringLiteral("SELECT count(*), count(DISTINCT (subject_file, phrase_no)), "
                                       "min(phrase_no), max(phrase_no), count(DISTINCT subject_file) FROM "
                                       "parlanto_phrase_results"),
                        &error, &rows),
             qPrintable(error));
    QCOMPARE(rows.rows[0][0]->toInt(), Machines * Results * PhrasesEach);
    QCOMPARE(rows.rows[0][1]->toInt(), Machines * Results * PhrasesEach);
    QCOMPARE(rows.rows[0][2]->toInt(), 1);
    QCOMPARE(rows.rows[0][3]->toInt(), Results * PhrasesEach);
    QCOMPARE(rows.rows[0][4]->toInt(), Machines);
}

QTEST_GUILESS_MAIN(TestClassLoad)
#include "TestClassLoad.moc"
