// The launcher ended by a signal, as at a logout or by kill: run for real from a program
// folder of its own, it leaves no file handed to activities, and a starting launcher
// removes what ended launchers left.
#include "platform/Files.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <unistd.h>

namespace {
void touch(const QString& path)
{
    QVERIFY(QDir().mkpath(QFileInfo(path).path()));
    QFile f(path);
    QVERIFY2(f.open(QIODevice::WriteOnly), qPrintable(path));
}
} // namespace

class TestLauncherEnd : public QObject
{
    Q_OBJECT
private slots:
    void signalLeavesNoHandOverFiles_data()
    {
        QTest::addColumn<int>("signal");
        QTest::newRow("SIGTERM") << int(SIGTERM);
        QTest::newRow("SIGHUP") << int(SIGHUP);
    }
    void signalLeavesNoHandOverFiles()
    {
        QFETCH(int, signal);
        QTemporaryDir root;
        const QString program = root.filePath(QStringLiteral("program/"));
        for (const char* sub : {"Subjects", "MySubjects", "Activities"})
            QVERIFY(QDir().mkpath(program + QLatin1String(sub)));
        for (const char* file : {"parlanto", "Parlanto.tpl", "custom.tpl", "offline.htm"})
            QVERIFY(QFile::copy(QStringLiteral(PARLANTO_PROGRAM_DIR "/") + QLatin1String(file),
                                program + QLatin1String(file)));
        // The files handed to activities live in the learner's runtime folder.
        const QString run = root.filePath(QStringLiteral("run"));
        const QString shared = run + QStringLiteral("/parlanto-%1/").arg(::geteuid());
        const QString mine = shared + QString::number(::getpid()) + QStringLiteral("/~prl1.txt");
        QString error;
        QVERIFY(makePrivateFolder(run, &error) && makePrivateFolder(shared, &error));
        touch(shared + QStringLiteral("999999999/~prl9999999990011.wav")); // its launcher has ended
        touch(mine);                                                       // this test still runs
        touch(shared + QStringLiteral("notes/keep.txt"));                  // no launcher's
        QVERIFY(QFile::link(shared + QStringLiteral("notes"), shared + QStringLiteral("12")));

        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), run);
        env.insert(QStringLiteral("HOME"), root.filePath(QStringLiteral("home")));
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), root.filePath(QStringLiteral("home/.config")));
        env.insert(QStringLiteral("XDG_DATA_HOME"), root.filePath(QStringLiteral("home/.local/share")));
        QProcess launcher;
        launcher.setProcessEnvironment(env);
        launcher.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        launcher.start(program + QStringLiteral("parlanto"), {});
        QVERIFY(launcher.waitForStarted());
        const QString own = shared + QString::number(launcher.processId()) + QLatin1Char('/');
        QTRY_VERIFY_WITH_TIMEOUT(QFileInfo(own).isDir(), 60000);
        QVERIFY(!QFileInfo::exists(shared + QStringLiteral("999999999")));
        QVERIFY(QFileInfo::exists(mine));
        QVERIFY(QFileInfo::exists(shared + QStringLiteral("notes/keep.txt")));
        QVERIFY(QFileInfo(shared + QStringLiteral("12")).isSymLink());

        // A set as a launch leaves it while its activity runs.
        const QString handle = QString::number(launcher.processId()) + QStringLiteral("001");
        touch(own + QStringLiteral("~prl") + handle + QStringLiteral(".txt"));
        touch(own + QStringLiteral("~prl") + handle + QStringLiteral("1.wav"));
        QVERIFY(::kill(pid_t(launcher.processId()), signal) == 0);
        QVERIFY(launcher.waitForFinished(60000));
        QCOMPARE(launcher.exitStatus(), QProcess::NormalExit);
        QVERIFY(!QFileInfo::exists(own));
        QVERIFY(QFileInfo::exists(mine));

        // An activity still working in its launcher's folder keeps it, after the launcher's
        // end and at the next launcher's start; once it has ended, the next start removes it.
        QProcess second;
        second.setProcessEnvironment(env);
        second.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        second.start(program + QStringLiteral("parlanto"), {});
        QVERIFY(second.waitForStarted());
        const QString secondOwn = shared + QString::number(second.processId()) + QLatin1Char('/');
        QTRY_VERIFY_WITH_TIMEOUT(QFileInfo(secondOwn).isDir(), 60000);
        const QString sound = secondOwn + QStringLiteral("~prl") + QString::number(second.processId()) +
                              QStringLiteral("0011.wav");
        touch(sound);
        QProcess activity;
        activity.setWorkingDirectory(secondOwn);
        activity.start(QStringLiteral("sleep"), {QStringLiteral("60")});
        QVERIFY(activity.waitForStarted());
        QVERIFY(::kill(pid_t(second.processId()), signal) == 0);
        QVERIFY(second.waitForFinished(60000));
        QVERIFY(QFileInfo::exists(sound));
        QProcess third;
        third.setProcessEnvironment(env);
        third.start(program + QStringLiteral("parlanto"), {});
        QVERIFY(third.waitForStarted());
        const QString thirdOwn = shared + QString::number(third.processId()) + QLatin1Char('/');
        QTRY_VERIFY_WITH_TIMEOUT(QFileInfo(thirdOwn).isDir(), 60000);
        QVERIFY(QFileInfo::exists(sound));
        activity.kill();
        activity.waitForFinished();
        third.kill();
        third.waitForFinished();
        QProcess fourth;
        fourth.setProcessEnvironment(env);
        fourth.start(program + QStringLiteral("parlanto"), {});
        QVERIFY(fourth.waitForStarted());
        const QString fourthOwn = shared + QString::number(fourth.processId()) + QLatin1Char('/');
        QTRY_VERIFY_WITH_TIMEOUT(QFileInfo(fourthOwn).isDir(), 60000);
        QTRY_VERIFY_WITH_TIMEOUT(!QFileInfo::exists(secondOwn), 10000);
        ::kill(pid_t(fourth.processId()), SIGTERM);
        QVERIFY(fourth.waitForFinished(60000));
    }
};

QTEST_GUILESS_MAIN(TestLauncherEnd)
#include "TestLauncherEnd.moc"
