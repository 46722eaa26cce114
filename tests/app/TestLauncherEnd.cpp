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
        const QString tmp = root.filePath(QStringLiteral("tmp"));
        const QString shared = tmp + QStringLiteral("/parlanto-%1/").arg(::geteuid());
        const QString mine = shared + QString::number(::getpid()) + QStringLiteral("/~prl1.txt");
        QString error;
        QVERIFY(QDir().mkpath(tmp) && makePrivateFolder(shared, &error));
        touch(shared + QStringLiteral("999999999/~prl9999999990011.wav")); // its launcher has ended
        touch(mine);                                                       // this test still runs
        touch(shared + QStringLiteral("notes/keep.txt"));                  // no launcher's
        QVERIFY(QFile::link(shared + QStringLiteral("notes"), shared + QStringLiteral("12")));

        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("TMPDIR"), tmp);
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
    }
};

QTEST_GUILESS_MAIN(TestLauncherEnd)
#include "TestLauncherEnd.moc"
