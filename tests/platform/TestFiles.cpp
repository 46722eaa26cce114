#include "platform/Files.h"
#include "platform/PrivateFolder.h"
#include "platform/WaveFile.h"
#include "support/TestSupport.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>
#include <unistd.h>

class TestFiles : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void trailingSlash_data();
    void trailingSlash();
    void programAndTempFolders();
    void fileExists_data();
    void fileExists();
    void safeFileNames_data();
    void safeFileNames();
    void atomicWrite_data();
    void atomicWrite();
    void privateFolderWrites();
    void privateFolder_data();
    void privateFolder();
    void copyTree();
    void waveInfo_data();
    void waveInfo();
    void waveLengthFromFileSize();
    void lyingWaveSizesCut();

private:
    QTemporaryDir m_dir;
    QString m_files; // a folder with one of each kind of entry
};

namespace {
void touch(const QString& path, const QByteArray& bytes = "x")
{
    QFile f(path);
    QVERIFY2(f.open(QIODevice::WriteOnly), qPrintable(path));
    f.write(bytes);
}
} // namespace

void TestFiles::initTestCase()
{
    QVERIFY(m_dir.isValid());
    m_files = m_dir.filePath(QStringLiteral("files"));
    QVERIFY(QDir().mkpath(m_files + QStringLiteral("/Folder.ita")));
    QVERIFY(QDir().mkpath(m_files + QStringLiteral("/OnlyFolders/sub.dat")));
    touch(m_files + QStringLiteral("/Cafe.ita"));
    touch(m_files + QStringLiteral("/.hidden.cfg"));
    touch(m_files + QStringLiteral("/a b.txt"));
    QVERIFY(QFile::link(m_files + QStringLiteral("/Cafe.ita"), m_files + QStringLiteral("/link.lnk")));
    QVERIFY(QFile::link(m_files + QStringLiteral("/nowhere"), m_files + QStringLiteral("/dangling.lnk")));
}

void TestFiles::trailingSlash_data()
{
    QTest::addColumn<QString>("folder");
    QTest::addColumn<QString>("expected");
    QTest::newRow("root") << "/"
                          << "/";
    QTest::newRow("plain") << "/opt/parlanto"
                           << "/opt/parlanto/";
    QTest::newRow("already") << "/opt/parlanto/"
                             << "/opt/parlanto/";
    QTest::newRow("relative") << "program"
                              << "program/";
}

void TestFiles::trailingSlash()
{
    QFETCH(QString, folder);
    QFETCH(QString, expected);
    QCOMPARE(withTrailingSlash(folder), expected);
    // A file name appended to the root gives one slash, never two.
    QVERIFY(!(withTrailingSlash(folder) + QStringLiteral("Parlanto.tpl")).contains(QStringLiteral("//")));
}

void TestFiles::programAndTempFolders()
{
    QCOMPARE(ProgramFolder(), QCoreApplication::applicationDirPath() + QLatin1Char('/'));
    QVERIFY(TempFolder().endsWith(QLatin1Char('/')));
    QVERIFY(!TempFolder().endsWith(QStringLiteral("//")) || TempFolder() == QStringLiteral("/"));
    QVERIFY(QFileInfo(TempFolder()).isDir());
}

void TestFiles::fileExists_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("exists");
    QTest::newRow("file") << "Cafe.ita" << true;
    QTest::newRow("file with blank") << "a b.txt" << true;
    QTest::newRow("missing") << "Bar.ita" << false;
    QTest::newRow("folder") << "Folder.ita" << false;
    QTest::newRow("hidden file") << ".hidden.cfg" << false;
    QTest::newRow("link to a file") << "link.lnk" << true;
    QTest::newRow("dangling link") << "dangling.lnk" << false;
    QTest::newRow("wildcard match") << "*.ita" << true;
    QTest::newRow("question mark") << "Caf?.ita" << true;
    QTest::newRow("wildcard no match") << "*.vita" << false;
    QTest::newRow("wildcard hits a folder only") << "Folder*" << false;
    QTest::newRow("wildcard hits hidden only") << "*.cfg" << false;
    QTest::newRow("wildcard inside folders only") << "OnlyFolders/*" << false;
    QTest::newRow("wildcard in missing folder") << "NoFolder/*.ita" << false;
    QTest::newRow("file in missing folder") << "NoFolder/Cafe.ita" << false;
}

void TestFiles::fileExists()
{
    QFETCH(QString, name);
    QFETCH(bool, exists);
    QCOMPARE(FileExists(m_files + QLatin1Char('/') + name), exists);
}

void TestFiles::safeFileNames_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("safe");
    QTest::newRow("plain") << "Subjects" << true;
    QTest::newRow("inner blank") << "My Subjects" << true;
    QTest::newRow("accents") << "Città" << true;
    QTest::newRow("dots inside") << "a..b" << true;
    QTest::newRow("empty") << "" << false;
    QTest::newRow("slash") << "/" << false;
    QTest::newRow("path") << "a/b" << false;
    QTest::newRow("absolute") << "/etc" << false;
    QTest::newRow("dot") << "." << false;
    QTest::newRow("dot dot") << ".." << false;
    QTest::newRow("climbing") << "../x" << false;
    QTest::newRow("blanks only") << "   " << false;
    QTest::newRow("leading blank") << " x" << false;
    QTest::newRow("trailing blank") << "x " << false;
    QTest::newRow("NUL") << QStringLiteral("a") + QChar(0) + QStringLiteral("b") << false;
}

void TestFiles::safeFileNames()
{
    QFETCH(QString, name);
    QFETCH(bool, safe);
    QCOMPARE(isSafeFileName(name), safe);
}

void TestFiles::atomicWrite_data()
{
    QTest::addColumn<Durability>("durability");
    QTest::newRow("to disk") << Durability::ToDisk;
    QTest::newRow("eventually") << Durability::Eventually;
}

void TestFiles::atomicWrite()
{
    QFETCH(Durability, durability);
    const QString path = m_dir.filePath(QStringLiteral("atomic.txt"));
    QString error;
    QVERIFY2(writeFileAtomically(path, "first", &error, durability), qPrintable(error));
    QVERIFY2(writeFileAtomically(path, "second", &error, durability), qPrintable(error));
    QFile f(path);
    QVERIFY(f.open(QIODevice::ReadOnly));
    QCOMPARE(f.readAll(), QByteArray("second"));

    const QString nowhere = m_dir.filePath(QStringLiteral("missing/atomic.txt"));
    QVERIFY(!writeFileAtomically(nowhere, "x", &error, durability));
    QVERIFY(!error.isEmpty());
    QVERIFY(!QFileInfo::exists(nowhere));
    // A folder in the way refuses the rename; the reason is the system's.
    const QString folder = m_dir.filePath(QStringLiteral("atomic-folder"));
    QVERIFY(QDir().mkpath(folder));
    error.clear();
    QVERIFY(!writeFileAtomically(folder, "x", &error, durability));
    QVERIFY2(error.startsWith(folder + QStringLiteral(" cannot be written: ")), qPrintable(error));
    QVERIFY(QFileInfo(folder).isDir());
    QVERIFY(QDir(folder).removeRecursively());
    // No temporary siblings are left behind.
    QCOMPARE(QDir(m_dir.path()).entryList({QStringLiteral("atomic*")}, QDir::Files | QDir::Hidden).size(), 1);
    QVERIFY(QFile::remove(path));
}

// A hand-over file goes only into the folder that was opened: a link planted at its name
// is replaced, never followed; a folder renamed away and put back by someone else is
// refused, with the reason; a full disk (the real /dev/full) shows at the write or the
// close, and the partial file goes.
void TestFiles::privateFolderWrites()
{
    const QString path = m_dir.filePath(QStringLiteral("handover/"));
    PrivateFolder folder;
    QString error;
    QVERIFY2(folder.open(path, &error), qPrintable(error));
    const QString target = m_dir.filePath(QStringLiteral("learner-file"));
    touch(target, "mine");
    QVERIFY(QFile::link(target, path + QStringLiteral("a.wav")));
    QVERIFY2(folder.writeNewFile(QStringLiteral("a.wav"), "RIFF", &error), qPrintable(error));
    QCOMPARE(QFileInfo(path + QStringLiteral("a.wav")).isSymLink(), false);
    QVERIFY2(folder.rename(QStringLiteral("a.wav"), QStringLiteral("b.wav"), &error), qPrintable(error));
    QFile target1(target);
    QVERIFY(target1.open(QIODevice::ReadOnly));
    QCOMPARE(target1.readAll(), QByteArray("mine"));

    if (QFileInfo(QStringLiteral("/dev/full")).isWritable()) {
        setWriteRedirectForTests([&path](const QString& p) {
            return p == path + QStringLiteral("full.wav") ? QStringLiteral("/dev/full") : QString();
        });
        QVERIFY(!folder.writeNewFile(QStringLiteral("full.wav"), QByteArray(100, 'x'), &error));
        setWriteRedirectForTests({});
        QVERIFY2(error.contains(QStringLiteral("No space left on device")), qPrintable(error));
        QVERIFY(!QFileInfo::exists(path + QStringLiteral("full.wav")));
    }

    // Another user renames the folder away and puts one of their own with a link in it.
    const QString away = m_dir.filePath(QStringLiteral("handover-away"));
    QVERIFY(QDir().rename(path, away));
    QVERIFY(QDir().mkpath(path));
    QVERIFY(QFile::link(target, path + QStringLiteral("c.wav")));
    error.clear();
    QVERIFY(!folder.writeNewFile(QStringLiteral("c.wav"), "RIFF", &error));
    QVERIFY2(error.contains(QStringLiteral("replaced")) && error.contains(path), qPrintable(error));
    QVERIFY(!folder.rename(QStringLiteral("b.wav"), QStringLiteral("c.wav"), &error));
    QVERIFY(target1.seek(0));
    QCOMPARE(target1.readAll(), QByteArray("mine"));
    QVERIFY(QFileInfo(path + QStringLiteral("c.wav")).isSymLink());
    QVERIFY(QFileInfo::exists(away + QStringLiteral("/b.wav")));
    // Ending removes the opened folder's files, and leaves the other folder alone.
    folder.removeAll();
    QVERIFY(!QFileInfo::exists(away + QStringLiteral("/b.wav")));
    QVERIFY(QFileInfo(path + QStringLiteral("c.wav")).isSymLink());
}

void TestFiles::privateFolder_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<bool>("usable");
    QTest::newRow("new") << "new" << true;
    QTest::newRow("ours but open to all") << "open" << true;
    QTest::newRow("a link to a folder of ours") << "link" << false;
    QTest::newRow("a file") << "file" << false;
    if (geteuid() == 0)
        QTest::newRow("another user's") << "foreign" << false;
}

void TestFiles::privateFolder()
{
    QFETCH(QString, kind);
    QFETCH(bool, usable);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("private"));
    const QByteArray native = QFile::encodeName(path);
    if (kind == QLatin1String("open")) {
        QVERIFY(::mkdir(native.constData(), 0777) == 0 && ::chmod(native.constData(), 0777) == 0);
    } else if (kind == QLatin1String("link")) {
        QVERIFY(QDir().mkdir(dir.filePath(QStringLiteral("real"))));
        QVERIFY(QFile::link(dir.filePath(QStringLiteral("real")), path));
    } else if (kind == QLatin1String("file")) {
        touch(path);
    } else if (kind == QLatin1String("foreign")) {
        QVERIFY(::mkdir(native.constData(), 0700) == 0 && ::chown(native.constData(), 65534, 65534) == 0);
    }
    QString error;
    QCOMPARE(makePrivateFolder(path + QLatin1Char('/'), &error), usable);
    if (!usable) {
        QVERIFY2(error.contains(path) && error.contains(QStringLiteral("belongs to someone else")),
                 qPrintable(error));
        return;
    }
    struct stat st;
    QVERIFY(::lstat(native.constData(), &st) == 0);
    QVERIFY(S_ISDIR(st.st_mode));
    QCOMPARE(int(st.st_mode & 0777), 0700);
}

void TestFiles::copyTree()
{
    const QString src = m_dir.filePath(QStringLiteral("tree"));
    QVERIFY(QDir().mkpath(src + QStringLiteral("/Folder/Deeper")));
    QVERIFY(QDir().mkpath(src + QStringLiteral("/Empty")));
    touch(src + QStringLiteral("/One.vita"), "one");
    touch(src + QStringLiteral("/Folder/Deeper/Two.vita"), "two");
    touch(src + QStringLiteral("/.keep"), "k");
    const QString dst = m_dir.filePath(QStringLiteral("copy"));
    QString error;
    QVERIFY2(copyFolder(src, dst, &error), qPrintable(error));
    QVERIFY(QFileInfo(dst + QStringLiteral("/Empty")).isDir());
    QVERIFY(QFileInfo::exists(dst + QStringLiteral("/.keep")));
    QFile two(dst + QStringLiteral("/Folder/Deeper/Two.vita"));
    QVERIFY(two.open(QIODevice::ReadOnly));
    QCOMPARE(two.readAll(), QByteArray("two"));

    QVERIFY(!copyFolder(m_dir.filePath(QStringLiteral("no-such-tree")), dst, &error));
    QVERIFY(!error.isEmpty());
}

void TestFiles::waveInfo_data()
{
    const QByteArray good = TestSupport::makeWave(1, 250); // 8000 Hz, mono, 16 bit
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<qint64>("durationMs");
    QTest::newRow("good") << good << true << qint64(250);
    QTest::newRow("data cut short") << good.left(44 + 800) << true << qint64(50);
    QTest::newRow("header cut in fmt") << good.left(30) << false << qint64(0);
    QTest::newRow("header without data") << good.left(36) << false << qint64(0);
    QTest::newRow("RIFF of another kind") << QByteArray(good).replace(8, 4, "AVI ") << false << qint64(0);
    QTest::newRow("not RIFF") << QByteArray("ID3\x03 this is not a wave file at all") << false << qint64(0);
    QTest::newRow("empty") << QByteArray() << false << qint64(0);
    QByteArray noFormat("RIFF\x10\x00\x00\x00WAVEdata\x04\x00\x00\x00\x01\x02\x03\x04", 24);
    QTest::newRow("data before format") << noFormat << false << qint64(0);
    QByteArray hugeChunk = good.left(12) + QByteArray("LIST\xff\xff\xff\xff", 8);
    QTest::newRow("chunk size past the end") << hugeChunk << false << qint64(0);
}

void TestFiles::waveInfo()
{
    QFETCH(QByteArray, bytes);
    QFETCH(bool, valid);
    QFETCH(qint64, durationMs);
    const WaveInfo info = readWaveInfo(bytes);
    QCOMPARE(info.valid, valid);
    QCOMPARE(info.error.isEmpty(), valid);
    if (valid) {
        QCOMPARE(info.durationMs, durationMs);
        QCOMPARE(info.channels, 1);
        QCOMPARE(info.sampleRate, 8000);
        QCOMPARE(info.bitsPerSample, 16);
    }
}

void TestFiles::waveLengthFromFileSize()
{
    // Only the head of a long file is read; its length comes from the file's size.
    const QByteArray wave = TestSupport::makeWave(2, 3000);
    const WaveInfo head = readWaveInfo(wave.left(4096), wave.size());
    QVERIFY(head.valid);
    QCOMPARE(head.durationMs, 3000);
}

// A data chunk that claims 0xFFFFFFF0 bytes (a player would reserve them): its sizes are
// trusted only as far as the file holds, and the copy handed over says so.
void TestFiles::lyingWaveSizesCut()
{
    const QByteArray good = TestSupport::makeWave(3, 250);
    QByteArray lying = good;
    const qsizetype data = lying.indexOf("data");
    QVERIFY(data > 0);
    lying.replace(data + 4, 4, QByteArray("\xf0\xff\xff\xff", 4));
    lying.replace(4, 4, QByteArray("\xf8\xff\xff\xff", 4));
    const WaveInfo info = readWaveInfo(lying);
    QVERIFY(info.valid);
    QCOMPARE(info.declaredDataBytes, qint64(0xFFFFFFF0));
    QCOMPARE(info.dataBytes, qint64(good.size() - data - 8));
    QCOMPARE(withTruthfulSizes(lying), good);
    QCOMPARE(withTruthfulSizes(good), good);
}

QTEST_GUILESS_MAIN(TestFiles)
#include "TestFiles.moc"
