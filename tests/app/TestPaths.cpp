#include "state/AppState.h"
#include "state/Paths.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QLocalServer>
#include <QLocalSocket>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>
#include <unistd.h>

// The working folders. The fallback for a program folder the learner cannot write to is
// tested for real: a probe process runs as an unprivileged user (as root, which may write
// anywhere, through setpriv or runuser; otherwise the program folder is made read-only).
class TestPaths : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanup();
    void writeTestLeavesNothing();
    void writeTestKeepsExistingFile();
    void writeTestMissingFolder();
    void readOnlyProgramFolder();
    void writableProgramFolder_data();
    void writableProgramFolder();
    void rootProgramFolder();
    void installMarker();
    void noDataFolderUsesPrivateTemp();
    void foreignTempFolderRefused_data();
    void foreignTempFolderRefused();
    void plantedRunningFolders_data();
    void plantedRunningFolders();
    void socketOfAnotherUser();

private:
    struct Run
    {
        int exitCode = -1;
        QMap<QString, QString> values;
        QString errors;
    };
    struct Case
    {
        QString dir, program, home, xdg, tmp;
    };
    Case makeCase(const QString& name);
    Run runProbe(const QString& programFolder, const Case& c, const QStringList& extra = {},
                 const QString& runtime = QString());
    QProcessEnvironment probeEnvironment(const Case& c, const QString& runtime) const;
    void giveToUser(const QString& path);
    void makeReadOnly(const QString& path);
    static QString read(const QString& path);
    static void write(const QString& path, const QByteArray& bytes);
    static QStringList tree(const QString& folder);

    QTemporaryDir m_work;                    // in-process cases
    std::unique_ptr<QTemporaryDir> m_shared; // readable by the probe's user
    QString m_probe;
    QStringList m_asUser; // command prefix that drops to the unprivileged user
    bool m_isRoot = false;
    QString m_title;
};

namespace {
constexpr uint Nobody = 65534;
}

void TestPaths::initTestCase()
{
    QStandardPaths::setTestModeEnabled(true);
    m_isRoot = geteuid() == 0;
    m_title = buildEdition().EditionTitle;
    QVERIFY(!m_title.isEmpty());

    // The probe's user must reach the folders: under /tmp, every level traversable.
    const QString base = m_isRoot ? QStringLiteral("/tmp") : QDir::tempPath();
    m_shared = std::make_unique<QTemporaryDir>(base + QStringLiteral("/parlanto-paths-XXXXXX"));
    QVERIFY(m_shared->isValid());
    QVERIFY(QFile::setPermissions(m_shared->path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                                                        QFile::ReadGroup | QFile::ExeGroup |
                                                        QFile::ReadOther | QFile::ExeOther));
    m_probe = m_shared->filePath(QStringLiteral("PathsProbe"));
    QVERIFY(QFile::copy(QStringLiteral(PATHS_PROBE), m_probe));
    QVERIFY(QFile::setPermissions(m_probe, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                                               QFile::ReadGroup | QFile::ExeGroup | QFile::ReadOther |
                                               QFile::ExeOther));
    if (m_isRoot) {
        const QString setpriv = QStandardPaths::findExecutable(QStringLiteral("setpriv"));
        const QString runuser = QStandardPaths::findExecutable(QStringLiteral("runuser"));
        if (!setpriv.isEmpty())
            m_asUser = {setpriv, QStringLiteral("--reuid=%1").arg(Nobody),
                        QStringLiteral("--regid=%1").arg(Nobody), QStringLiteral("--clear-groups")};
        else if (!runuser.isEmpty())
            m_asUser = {runuser, QStringLiteral("-m"), QStringLiteral("-u"), QStringLiteral("nobody"),
                        QStringLiteral("--")};
        else
            QSKIP("running as root without setpriv or runuser: cannot run the probe as another user");
    }
}

void TestPaths::cleanup()
{
    // Read-only folders made by a case must be removable again.
    if (!m_shared)
        return;
    QDirIterator it(m_shared->path(), QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden,
                    QDirIterator::Subdirectories);
    while (it.hasNext())
        QFile::setPermissions(it.next(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

TestPaths::Case TestPaths::makeCase(const QString& name)
{
    Case c;
    c.dir = m_shared->filePath(name);
    c.program = c.dir + QStringLiteral("/program");
    c.home = c.dir + QStringLiteral("/home");
    c.xdg = c.dir + QStringLiteral("/home/share");
    c.tmp = c.dir + QStringLiteral("/tmp");
    for (const QString& d :
         {c.program + QStringLiteral("/Subjects"), c.program + QStringLiteral("/Activities"),
          c.program + QStringLiteral("/MySubjects/Folder"), c.xdg, c.tmp})
        QDir().mkpath(d);
    write(c.program + QStringLiteral("/Parlanto.tpl"), "template");
    write(c.program + QStringLiteral("/MySubjects/Sample.vita"), "shipped 1");
    write(c.program + QStringLiteral("/MySubjects/Folder/Inner.vita"), "inner");
    write(c.program + QStringLiteral("/MySubjects/.hidden"), "hidden");
    QDirIterator it(c.dir, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden,
                    QDirIterator::Subdirectories);
    QFile::setPermissions(c.dir, QFile::permissions(m_shared->path()));
    while (it.hasNext()) {
        const QString path = it.next();
        QFile::setPermissions(
            path, QFile::permissions(path) | QFile::ReadOther | QFile::ReadGroup |
                      (it.fileInfo().isDir() ? QFile::ExeOther | QFile::ExeGroup : QFile::Permissions()));
    }
    giveToUser(c.home);
    giveToUser(c.xdg);
    giveToUser(c.tmp);
    return c;
}

void TestPaths::giveToUser(const QString& path)
{
    if (m_isRoot)
        QVERIFY(::chown(QFile::encodeName(path).constData(), Nobody, Nobody) == 0);
}

void TestPaths::makeReadOnly(const QString& path)
{
    // As root the folder stays root's own, which the probe's user cannot write.
    if (!m_isRoot)
        QVERIFY(QFile::setPermissions(path, QFile::ReadOwner | QFile::ExeOwner | QFile::ReadOther |
                                                QFile::ExeOther));
}

QProcessEnvironment TestPaths::probeEnvironment(const Case& c, const QString& runtime) const
{
    QProcessEnvironment env;
    env.insert(QStringLiteral("PATH"), QStringLiteral("/usr/bin:/bin"));
    env.insert(QStringLiteral("LANG"), QStringLiteral("C.UTF-8"));
    env.insert(QStringLiteral("HOME"), c.home);
    env.insert(QStringLiteral("XDG_DATA_HOME"), c.xdg);
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), c.home + QStringLiteral("/config"));
    env.insert(QStringLiteral("TMPDIR"), c.tmp);
    if (!runtime.isEmpty())
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime);
    return env;
}

TestPaths::Run TestPaths::runProbe(const QString& programFolder, const Case& c, const QStringList& extra,
                                   const QString& runtime)
{
    const QProcessEnvironment env = probeEnvironment(c, runtime);
    QProcess p;
    p.setProcessEnvironment(env);
    p.setWorkingDirectory(m_shared->path());
    QStringList command = m_asUser;
    command << m_probe << programFolder << extra;
    p.start(command.takeFirst(), command);
    Run r;
    if (!p.waitForFinished(60000)) {
        p.kill();
        p.waitForFinished(5000);
        r.errors = QStringLiteral("the probe did not finish");
        return r;
    }
    r.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.errors = QString::fromUtf8(p.readAllStandardError());
    for (const QString& line : QString::fromUtf8(p.readAllStandardOutput()).split(QLatin1Char('\n'))) {
        const int eq = line.indexOf(QLatin1Char('='));
        if (eq > 0)
            r.values.insert(line.left(eq), line.mid(eq + 1));
    }
    return r;
}

QString TestPaths::read(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
}

void TestPaths::write(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    QVERIFY2(f.open(QIODevice::WriteOnly | QIODevice::Truncate), qPrintable(path));
    f.write(bytes);
}

QStringList TestPaths::tree(const QString& folder)
{
    QStringList entries;
    QDirIterator it(folder, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System,
                    QDirIterator::Subdirectories);
    while (it.hasNext())
        entries << QDir(folder).relativeFilePath(it.next());
    entries.sort();
    return entries;
}

// ---------------------------------------------------------------- in this process

void TestPaths::writeTestLeavesNothing()
{
    const QString dir = m_work.filePath(QStringLiteral("writable"));
    QVERIFY(QDir().mkpath(dir));
    QCOMPARE(TestWriteFolder(dir + QLatin1Char('/')), false);
    QCOMPARE(TestWriteFolder(dir), false); // without the trailing "/" as well
    QVERIFY(tree(dir).isEmpty());
}

void TestPaths::writeTestKeepsExistingFile()
{
    const QString dir = m_work.filePath(QStringLiteral("has-test-txt"));
    QVERIFY(QDir().mkpath(dir));
    write(dir + QStringLiteral("/test.txt"), "somebody's notes");
    QCOMPARE(TestWriteFolder(dir + QLatin1Char('/')), false);
    QCOMPARE(read(dir + QStringLiteral("/test.txt")), QStringLiteral("somebody's notes"));
    QCOMPARE(tree(dir), QStringList{QStringLiteral("test.txt")});
}

void TestPaths::writeTestMissingFolder()
{
    const QString dir = m_work.filePath(QStringLiteral("not-there"));
    QCOMPARE(TestWriteFolder(dir + QLatin1Char('/')), true);
    QVERIFY(!QFileInfo::exists(dir));
}

// ---------------------------------------------------------------- as another user

void TestPaths::readOnlyProgramFolder()
{
    const Case c = makeCase(QStringLiteral("readonly"));
    makeReadOnly(c.program);
    const QStringList programBefore = tree(c.program);

    Run r = runProbe(c.program, c);
    QVERIFY2(r.exitCode == 0, qPrintable(r.errors + r.values.value(QStringLiteral("error"))));
    const QString data = c.xdg + QLatin1Char('/') + m_title + QLatin1Char('/');
    QCOMPARE(r.values.value(QStringLiteral("programFolder")), c.program + QLatin1Char('/'));
    QCOMPARE(r.values.value(QStringLiteral("dataFolder")), data);
    QCOMPARE(r.values.value(QStringLiteral("virtualSubjectsFolder")), data + QStringLiteral("MySubjects/"));
    QCOMPARE(r.values.value(QStringLiteral("installedSubjectsFolder")),
             c.program + QStringLiteral("/Subjects/"));
    QCOMPARE(r.values.value(QStringLiteral("activitiesFolder")), c.program + QStringLiteral("/Activities/"));
    // The shipped folder, copied whole; nothing else made; nothing left in the program folder.
    QCOMPARE(tree(data),
             (QStringList{QStringLiteral("MySubjects"), QStringLiteral("MySubjects/.hidden"),
                          QStringLiteral("MySubjects/Folder"), QStringLiteral("MySubjects/Folder/Inner.vita"),
                          QStringLiteral("MySubjects/Sample.vita")}));
    QCOMPARE(read(data + QStringLiteral("MySubjects/Sample.vita")), QStringLiteral("shipped 1"));
    QCOMPARE(tree(c.program), programBefore);
    if (m_isRoot) {
        QCOMPARE(QFileInfo(data + QStringLiteral("MySubjects/Sample.vita")).ownerId(), Nobody);
        QCOMPARE(QFileInfo(data + QStringLiteral("MySubjects/Folder")).ownerId(), Nobody);
    }
    QVERIFY(QFileInfo(data + QStringLiteral("MySubjects/Sample.vita")).permissions() & QFile::WriteOwner);

    // A later start never refreshes the learner's copy.
    QFile::setPermissions(c.program + QStringLiteral("/MySubjects/Sample.vita"),
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ReadOther);
    write(c.program + QStringLiteral("/MySubjects/Sample.vita"), "shipped 2");
    write(data + QStringLiteral("MySubjects/Mine.vita"), "mine");
    r = runProbe(c.program, c);
    QCOMPARE(r.exitCode, 0);
    QCOMPARE(r.values.value(QStringLiteral("dataFolder")), data);
    QCOMPARE(read(data + QStringLiteral("MySubjects/Sample.vita")), QStringLiteral("shipped 1"));
    QCOMPARE(read(data + QStringLiteral("MySubjects/Mine.vita")), QStringLiteral("mine"));

    // Deleted by the learner: the next start copies it again.
    QVERIFY(QDir(data + QStringLiteral("MySubjects")).removeRecursively());
    r = runProbe(c.program, c);
    QCOMPARE(r.exitCode, 0);
    QCOMPARE(read(data + QStringLiteral("MySubjects/Sample.vita")), QStringLiteral("shipped 2"));
    QVERIFY(!QFileInfo::exists(data + QStringLiteral("MySubjects/Mine.vita")));
    QCOMPARE(tree(data).filter(QStringLiteral("copying")), QStringList());
}

void TestPaths::writableProgramFolder_data()
{
    QTest::addColumn<bool>("hasTestTxt");
    QTest::newRow("plain") << false;
    QTest::newRow("with someone's test.txt") << true;
}

void TestPaths::writableProgramFolder()
{
    QFETCH(bool, hasTestTxt);
    const Case c = makeCase(hasTestTxt ? QStringLiteral("writable-txt") : QStringLiteral("writable"));
    if (hasTestTxt)
        write(c.program + QStringLiteral("/test.txt"), "keep me");
    giveToUser(c.program);
    const QStringList before = tree(c.program);

    const Run r = runProbe(c.program, c);
    QVERIFY2(r.exitCode == 0, qPrintable(r.errors + r.values.value(QStringLiteral("error"))));
    const QString program = c.program + QLatin1Char('/');
    QCOMPARE(r.values.value(QStringLiteral("dataFolder")), program);
    QCOMPARE(r.values.value(QStringLiteral("virtualSubjectsFolder")),
             program + QStringLiteral("MySubjects/"));
    QCOMPARE(r.values.value(QStringLiteral("installedSubjectsFolder")),
             program + QStringLiteral("Subjects/"));
    QCOMPARE(tree(c.program), before);
    QCOMPARE(tree(c.xdg), QStringList());
    if (hasTestTxt)
        QCOMPARE(read(c.program + QStringLiteral("/test.txt")), QStringLiteral("keep me"));
}

// An installed copy keeps to its per-user folder even when its folder could be written
// (by root, or a user who owns the prefix).
void TestPaths::installMarker()
{
    const Case c = makeCase(QStringLiteral("marker"));
    write(c.program + QStringLiteral("/.installed"), "installed");
    giveToUser(c.program);
    const QStringList before = tree(c.program);
    const Run r = runProbe(c.program, c);
    QVERIFY2(r.exitCode == 0, qPrintable(r.errors + r.values.value(QStringLiteral("error"))));
    const QString data = c.xdg + QLatin1Char('/') + m_title + QLatin1Char('/');
    QCOMPARE(r.values.value(QStringLiteral("dataFolder")), data);
    QCOMPARE(r.values.value(QStringLiteral("learnerSubjectsFolder")), data + QStringLiteral("Subjects/"));
    QCOMPARE(r.values.value(QStringLiteral("installedSubjectsFolder")),
             c.program + QStringLiteral("/Subjects/"));
    QCOMPARE(tree(c.program), before);
}

void TestPaths::rootProgramFolder()
{
    if (!m_isRoot && QFileInfo(QStringLiteral("/")).isWritable())
        QSKIP("the root folder is writable for this user");
    if (QFileInfo::exists(QStringLiteral("/MySubjects")))
        QSKIP("this machine has a /MySubjects folder");
    const Case c = makeCase(QStringLiteral("root"));
    const Run r = runProbe(QStringLiteral("/"), c);
    QVERIFY2(r.exitCode == 0, qPrintable(r.errors + r.values.value(QStringLiteral("error"))));
    QCOMPARE(r.values.value(QStringLiteral("programFolder")), QStringLiteral("/"));
    QCOMPARE(r.values.value(QStringLiteral("installedSubjectsFolder")), QStringLiteral("/Subjects/"));
    QCOMPARE(r.values.value(QStringLiteral("activitiesFolder")), QStringLiteral("/Activities/"));
    const QString data = c.xdg + QLatin1Char('/') + m_title + QLatin1Char('/');
    QCOMPARE(r.values.value(QStringLiteral("dataFolder")), data);
    QVERIFY(QFileInfo(data + QStringLiteral("MySubjects")).isDir());
    QVERIFY(!QFileInfo::exists(QStringLiteral("/test.txt")));
}

void TestPaths::noDataFolderUsesPrivateTemp()
{
    Case c = makeCase(QStringLiteral("nodata"));
    makeReadOnly(c.program);
    // A home in which nothing can be made: the per-user folder cannot be had.
    c.home = c.dir + QStringLiteral("/locked");
    c.xdg = c.home + QStringLiteral("/share");
    QVERIFY(QDir().mkpath(c.home));
    QFile::setPermissions(c.home, QFile::ReadOwner | QFile::ExeOwner | QFile::ReadOther | QFile::ExeOther);
    Run r = runProbe(c.program, c);
    QVERIFY2(r.exitCode == 0, qPrintable(r.errors + r.values.value(QStringLiteral("error"))));
    const QString data = c.tmp + QLatin1Char('/') + m_title + QLatin1Char('/');
    QCOMPARE(r.values.value(QStringLiteral("dataFolder")), data);
    QCOMPARE(read(data + QStringLiteral("MySubjects/Sample.vita")), QStringLiteral("shipped 1"));
    // Only the learner may look inside a folder kept in the shared temporary folder.
    QCOMPARE(QFileInfo(data).permissions() & (QFile::ReadOther | QFile::ReadGroup | QFile::WriteOther),
             QFile::Permissions());
    // The learner is told once where the data is kept; again only for a new folder.
    QCOMPARE(r.values.value(QStringLiteral("notice")), QStringLiteral("1"));
    r = runProbe(c.program, c);
    QCOMPARE(r.values.value(QStringLiteral("notice")), QStringLiteral("0"));
    QVERIFY(QDir(data).removeRecursively());
    r = runProbe(c.program, c);
    QCOMPARE(r.values.value(QStringLiteral("notice")), QStringLiteral("1"));
}

void TestPaths::foreignTempFolderRefused_data()
{
    QTest::addColumn<bool>("symlink");
    QTest::addColumn<bool>("ownNameTaken");
    QTest::newRow("a link to elsewhere") << true << false;
    if (geteuid() == 0) {
        QTest::newRow("made by another user") << false << false;
        QTest::newRow("both names taken") << false << true;
    }
}

// A folder planted in the shared temporary folder is never written: the program uses one
// named for the learner, or, with that taken as well, another of the kind.
void TestPaths::foreignTempFolderRefused()
{
    QFETCH(bool, symlink);
    QFETCH(bool, ownNameTaken);
    Case c =
        makeCase(symlink ? QStringLiteral("foreign-link")
                         : (ownNameTaken ? QStringLiteral("foreign-both") : QStringLiteral("foreign-owner")));
    makeReadOnly(c.program);
    c.home = c.dir + QStringLiteral("/locked");
    c.xdg = c.home + QStringLiteral("/share");
    QVERIFY(QDir().mkpath(c.home));
    QFile::setPermissions(c.home, QFile::ReadOwner | QFile::ExeOwner | QFile::ReadOther | QFile::ExeOther);
    const QString planted = c.tmp + QLatin1Char('/') + m_title;
    if (symlink) {
        const QString elsewhere = c.dir + QStringLiteral("/elsewhere");
        QVERIFY(QDir().mkpath(elsewhere));
        giveToUser(elsewhere);
        QVERIFY(QFile::link(elsewhere, planted));
    } else {
        QVERIFY(QDir().mkpath(planted)); // root's, open to all
        QVERIFY(::chmod(QFile::encodeName(planted).constData(), 0777) == 0);
    }
    const QString own =
        c.tmp + QLatin1Char('/') + m_title + QStringLiteral("-%1").arg(m_isRoot ? Nobody : geteuid());
    if (ownNameTaken) {
        QVERIFY(QDir().mkpath(own));
        QVERIFY(::chmod(QFile::encodeName(own).constData(), 0777) == 0);
    }
    const Run r = runProbe(c.program, c);
    QVERIFY2(r.exitCode == 0, qPrintable(r.errors + r.values.value(QStringLiteral("error"))));
    const QString used = ownNameTaken ? own + QStringLiteral("-1") : own;
    QCOMPARE(r.values.value(QStringLiteral("dataFolder")), used + QLatin1Char('/'));
    QVERIFY(QFileInfo(used + QStringLiteral("/MySubjects/Sample.vita")).isFile());
    QCOMPARE(r.values.value(QStringLiteral("notice")), QStringLiteral("1"));
    if (ownNameTaken)
        QVERIFY(tree(own).isEmpty());
    QVERIFY(tree(symlink ? c.dir + QStringLiteral("/elsewhere") : planted).isEmpty());
}

void TestPaths::plantedRunningFolders_data()
{
    QTest::addColumn<int>("place");
    QTest::newRow("runtime folder") << 0;
    QTest::newRow("runtime folder of another user: the cache") << 1;
    QTest::newRow("no runtime folder: the cache") << 2;
    QTest::newRow("no cache either: another name") << 3;
}

// Another user makes the per-user folder's name in the shared temporary folder first (open to
// all), before the learner's first start. It is never used, and never stops a start: the
// files handed to activities and the single-copy socket go to the learner's runtime folder,
// else to the learner's cache, else to another private name in the temporary folder.
void TestPaths::plantedRunningFolders()
{
    QFETCH(int, place);
    if (!m_isRoot)
        QSKIP("only root can be another user here");
    Case c = makeCase(QStringLiteral("running-%1").arg(place));
    makeReadOnly(c.program);
    const QString planted = c.tmp + QStringLiteral("/parlanto-%1").arg(Nobody);
    QVERIFY(QDir().mkpath(planted));
    QVERIFY(::chmod(QFile::encodeName(planted).constData(), 0777) == 0);
    QString runtime;
    if (place <= 1) {
        runtime = c.dir + QStringLiteral("/run");
        QVERIFY(QDir().mkpath(runtime));
        QVERIFY(::chmod(QFile::encodeName(runtime).constData(), place == 0 ? 0700 : 0777) == 0);
        if (place == 0)
            giveToUser(runtime);
    }
    if (place == 3) {
        c.home = c.dir + QStringLiteral("/locked");
        c.xdg = c.home + QStringLiteral("/share");
        QVERIFY(QDir().mkpath(c.home));
    }
    const Run r = runProbe(c.program, c, {}, runtime);
    QVERIFY2(r.exitCode == 0, qPrintable(r.errors + r.values.value(QStringLiteral("handOverError"))));
    const QString own = QStringLiteral("/parlanto-%1/").arg(Nobody);
    const QString expected = place == 0   ? runtime + own
                             : place == 3 ? c.tmp + QStringLiteral("/parlanto-%1-1/").arg(Nobody)
                                          : c.home + QStringLiteral("/.cache/Parlanto/run-");
    QVERIFY2(r.values.value(QStringLiteral("handOverFolder")).startsWith(expected),
             qPrintable(r.values.value(QStringLiteral("handOverFolder"))));
    if (place == 1 || place == 2)
        QVERIFY(r.values.value(QStringLiteral("handOverFolder")).contains(own));
    const QString socket = r.values.value(QStringLiteral("socket"));
    QVERIFY2(socket.startsWith(expected) && socket.contains(own.chopped(1)), qPrintable(socket));
    QCOMPARE(r.values.value(QStringLiteral("role")), QStringLiteral("primary"));
    QCOMPARE(tree(planted), QStringList());
    QCOMPARE(QFileInfo(planted).ownerId(), 0u);
}

// The learner's running copy and a program of another user (root here, who may put a socket
// anywhere) meet on the socket: a later start of the learner's hands nothing to the other
// user's socket and serves in its place, and the running copy takes nothing from the other
// user, while it still takes a later start of its own.
void TestPaths::socketOfAnotherUser()
{
    if (!m_isRoot)
        QSKIP("only root can be another user here");
    const Case c = makeCase(QStringLiteral("socket"));
    makeReadOnly(c.program);
    const QString secret = c.dir + QStringLiteral("/private-deck.prlita");
    Run r = runProbe(c.program, c);
    const QString socket = r.values.value(QStringLiteral("socket"));
    QVERIFY2(r.exitCode == 0 && !socket.isEmpty(), qPrintable(r.errors));

    {
        QLocalServer squatter;
        squatter.setSocketOptions(QLocalServer::WorldAccessOption);
        QLocalServer::removeServer(socket);
        QVERIFY(squatter.listen(socket));
        QProcess probe;
        probe.setProcessEnvironment(probeEnvironment(c, QString()));
        QStringList command = m_asUser;
        command << m_probe << c.program << secret;
        probe.start(command.takeFirst(), command);
        QByteArray heard;
        QDeadlineTimer deadline(60000);
        while (probe.state() != QProcess::NotRunning && !deadline.hasExpired()) {
            probe.waitForFinished(50);
            QCoreApplication::processEvents();
            while (QLocalSocket* s = squatter.nextPendingConnection()) {
                s->waitForReadyRead(500);
                heard += s->readAll();
            }
        }
        QCOMPARE(probe.exitCode(), 0);
        QVERIFY2(probe.readAllStandardOutput().contains("role=primary"),
                 probe.readAllStandardError().constData());
        QCOMPARE(heard, QByteArray());
    }

    QProcess serving;
    QProcessEnvironment env = probeEnvironment(c, QString());
    env.insert(QStringLiteral("PROBE_SERVE_MS"), QStringLiteral("20000"));
    serving.setProcessEnvironment(env);
    QStringList command = m_asUser;
    command << m_probe << c.program;
    serving.start(command.takeFirst(), command);
    QByteArray out;
    QDeadlineTimer deadline(60000);
    while (!out.contains("role=") && !deadline.hasExpired() && serving.waitForReadyRead(1000))
        out += serving.readAllStandardOutput();
    QVERIFY2(out.contains("role=primary"), out.constData());
    QLocalSocket intruder;
    intruder.connectToServer(socket);
    QVERIFY(intruder.waitForConnected(5000));
    intruder.write("raise\n" + QFile::encodeName(secret) + "\n");
    intruder.waitForBytesWritten(5000);
    intruder.disconnectFromServer();
    r = runProbe(c.program, c, {c.dir + QStringLiteral("/own.prlita")});
    QCOMPARE(r.values.value(QStringLiteral("role")), QStringLiteral("secondary"));
    while (!out.contains("handed=") && !deadline.hasExpired() && serving.waitForReadyRead(1000))
        out += serving.readAllStandardOutput();
    serving.kill();
    serving.waitForFinished(10000);
    out += serving.readAllStandardOutput();
    QVERIFY2(out.contains("handed=" + QFile::encodeName(c.dir) + "/own.prlita"), out.constData());
    QVERIFY2(!out.contains("private-deck"), out.constData());
}

QTEST_GUILESS_MAIN(TestPaths)
#include "TestPaths.moc"
