#include "app/AppState.h"
#include "platform/Files.h"
#include "study/HandOverFiles.h"

#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>
#include <unistd.h>

namespace {
void touch(const QString& path)
{
    QVERIFY(QDir().mkpath(QFileInfo(path).path()));
    QFile f(path);
    QVERIFY2(f.open(QIODevice::WriteOnly), qPrintable(path));
}

QStringList tree(const QString& folder)
{
    QStringList entries;
    QDirIterator it(folder, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System,
                    QDirIterator::Subdirectories);
    while (it.hasNext())
        entries << QDir(folder).relativeFilePath(it.next());
    entries.sort();
    return entries;
}

int mode(const QString& path)
{
    struct stat st;
    return ::lstat(QFile::encodeName(path).constData(), &st) == 0 ? int(st.st_mode & 0777) : -1;
}

// The files of the state's newest set, as the launch writes them.
void writeSet(const AppState& s, int phrases)
{
    touch(s.activityInputFile());
    for (int slot = 1; slot <= phrases; ++slot)
        touch(s.studySoundFile(slot));
}
} // namespace

class TestHandOverFiles : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;

    AppState makeState()
    {
        AppState s;
        s.tempFolder = m_dir.path() + QStringLiteral("/");
        s.instanceId = QCoreApplication::applicationPid();
        return s;
    }
    QString shared() const { return m_dir.path() + QStringLiteral("/parlanto-%1/").arg(::geteuid()); }

private slots:
    // A starting launcher removes what launchers that no longer run left behind, and nothing
    // else: not the folder of a running one, not what is not a launcher's.
    void endedLaunchersRemovedAtStart()
    {
        QProcess running;
        running.start(QStringLiteral("sleep"), {QStringLiteral("60")});
        QVERIFY(running.waitForStarted());
        const QString alive = QString::number(running.processId());
        const QString own = QString::number(QCoreApplication::applicationPid());
        QString error;
        QVERIFY(makePrivateFolder(shared(), &error));
        touch(shared() + QStringLiteral("999999999/~prl9999999990011.wav")); // no such process
        touch(shared() + alive + QStringLiteral("/~prl") + alive + QStringLiteral("001.txt"));
        touch(shared() + own + QStringLiteral("/~prl1.txt")); // an ended launcher with our number
        touch(shared() + QStringLiteral("notes/keep.txt"));
        QVERIFY(QFile::link(shared() + QStringLiteral("notes"), shared() + QStringLiteral("12")));

        AppState s = makeState();
        QVERIFY2(HandOverFiles::prepare(s, &error), qPrintable(error));
        QCOMPARE(s.handOverFolder, shared() + own + QLatin1Char('/'));
        QStringList expected{QStringLiteral("12"),
                             alive,
                             alive + "/~prl" + alive + "001.txt",
                             QStringLiteral("notes"),
                             QStringLiteral("notes/keep.txt"),
                             own};
        expected.sort();
        QCOMPARE(tree(shared()), expected);
        QCOMPARE(mode(shared()), 0700);
        QCOMPARE(mode(s.handOverFolder), 0700);
        running.kill();
        running.waitForFinished();
        QDir(shared()).removeRecursively();
    }

    // A set stays while its activity runs; the first launch after it ended removes it, as it
    // removes at once a set whose activity never started. The end of the launcher removes all.
    void setsKeptWhileTheirActivityRuns()
    {
        AppState s = makeState();
        QString error;
        QProcess activity;
        activity.start(QStringLiteral("sleep"), {QStringLiteral("60")});
        QVERIFY(activity.waitForStarted());

        QVERIFY2(HandOverFiles::beginSet(s, &error), qPrintable(error));
        const qint64 first = s.launchHandle;
        writeSet(s, 3);
        HandOverFiles::setStarted(s, activity.processId());
        const QStringList firstFiles = tree(s.handOverFolder);
        QVERIFY(HandOverFiles::beginSet(s, &error));
        writeSet(s, 2); // never started
        QVERIFY(HandOverFiles::beginSet(s, &error));
        QVERIFY(s.launchHandle != first);
        QCOMPARE(tree(s.handOverFolder), firstFiles);
        QCOMPARE(firstFiles.size(), 4);
        QVERIFY(firstFiles.contains(AppState::soundFileName(first, 3)));

        activity.kill();
        QVERIFY(activity.waitForFinished());
        QVERIFY(HandOverFiles::beginSet(s, &error));
        writeSet(s, 1);
        QStringList last{AppState::soundFileName(s.launchHandle, 1), AppState::inputFileName(s.launchHandle)};
        last.sort();
        QCOMPARE(tree(s.handOverFolder), last);
        HandOverFiles::removeAll(s);
        QVERIFY(!QFileInfo::exists(s.handOverFolder));
        QVERIFY(QFileInfo(shared()).isDir());
    }
};

QTEST_GUILESS_MAIN(TestHandOverFiles)
#include "TestHandOverFiles.moc"
