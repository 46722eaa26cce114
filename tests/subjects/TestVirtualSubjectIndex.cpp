// The index of virtual subject files: unchanged files are not opened again, changed,
// just-written, gone and damaged files are, and a damaged or foreign index changes nothing.
#include "platform/Clock.h"
#include "support/TestSupport.h"

#include "platform/Database.h"
#include "state/AppState.h"
#include "subjects/SubjectFile.h"
#include "subjects/VirtualSubjectIndex.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QStringEncoder>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

class TestVirtualSubjectIndex : public QObject
{
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_folder;
    QString m_indexPath;

    QString file(const QString& base) const { return m_folder + TestSupport::virtualFile(base); }

    void write(const QString& base, const QStringList& subjects)
    {
        QString error;
        QVERIFY2(VirtualSubjectFile::createEmpty(file(base), &error), qPrintable(error));
        for (const QString& s : subjects)
            QVERIFY2(VirtualSubjectFile::addSubject(file(base), s, &error), qPrintable(error));
    }

    // A virtual subject file made with the sqlcipher shell from the file format alone.
    void writeWithShell(const QString& base)
    {
        const QByteArray sql = "PRAGMA key = '" + Database::SubjectPassword.toUtf8() +
                               "';\nPRAGMA kdf_iter = 64;\n"
                               "CREATE TABLE tblParents (nParent INTEGER PRIMARY KEY AUTOINCREMENT, "
                               "tParentName TEXT);\n"
                               "CREATE TABLE tblPhrases (pkPhraseNo INTEGER PRIMARY KEY AUTOINCREMENT, "
                               "fkParent INTEGER, tfilename TEXT NOT NULL, nPhraseNo INTEGER NOT NULL, "
                               "tPhrase TEXT, tTranslation TEXT, tTranslation2 TEXT);\n"
                               "INSERT INTO tblParents VALUES (7, 'Città ''vecchia''');\n"
                               "INSERT INTO tblParents VALUES (9, NULL);\n";
        QProcess shell;
        shell.start(QStringLiteral("sqlcipher"), {QStringLiteral("-bail"), file(base)});
        QVERIFY2(shell.waitForStarted(), "the sqlcipher shell is needed");
        shell.write(sql);
        shell.closeWriteChannel();
        QVERIFY(shell.waitForFinished());
        QCOMPARE(shell.exitCode(), 0);
    }

    // What a fill shows: per file its subjects ("file number name") or "file FAILED: error".
    // As in the trees, the files the index holds nothing for are read ahead.
    struct Fill
    {
        QStringList shown;
        int filesRead = 0;
    };
    Fill fill(const QString& programCode = TestSupport::ownEdition())
    {
        VirtualSubjectIndex index(m_folder, m_indexPath, programCode);
        Fill result;
        const QStringList files = virtualSubjectFiles(m_folder, app().edition.LanguageCode);
        index.readAhead(files);
        for (const QString& f : files) {
            QString error;
            const auto subjects = index.subjects(f, &error);
            if (!subjects) {
                result.shown << f + QStringLiteral(" FAILED: ") + error;
                continue;
            }
            for (const VirtualSubject& s : *subjects)
                result.shown << QStringLiteral("%1 %2 %3").arg(f).arg(s.nParent).arg(s.name);
        }
        index.save();
        result.filesRead = index.filesRead();
        return result;
    }

    // Files written so far count as old from now on.
    static void later()
    {
        Clock::setForTests([] { return QDateTime::currentDateTimeUtc().addSecs(3600); });
    }

    void setModified(const QString& path, const QDateTime& when)
    {
        QFile f(path);
        QVERIFY(f.open(QIODevice::ReadWrite));
        QVERIFY(f.setFileTime(when, QFileDevice::FileModificationTime));
    }

private slots:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }

    void init()
    {
        resetAppState();
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(m_dir->isValid());
        m_folder = m_dir->path() + QStringLiteral("/MySubjects/");
        QVERIFY(QDir().mkpath(m_folder));
        m_indexPath = m_dir->path() + QStringLiteral("/cache/Parlanto/index");
        Clock::setForTests({});
    }

    void cleanup() { Clock::setForTests({}); }

    void unchangedFilesAreNotOpenedAgain()
    {
        write("mine", {"Uno", "Perché \"due\"", ""});
        writeWithShell("theirs");
        later();
        const Fill first = fill();
        QCOMPARE(first.filesRead, 2);
        QCOMPARE(first.shown.size(), 5);
        QVERIFY(first.shown.contains(TestSupport::virtualFile("theirs") + " 7 Città 'vecchia'"));
        QVERIFY(first.shown.contains(TestSupport::virtualFile("theirs") + " 9 "));
        QVERIFY(QFile::exists(m_indexPath));
        const Fill second = fill();
        QCOMPARE(second.filesRead, 0);
        QCOMPARE(second.shown, first.shown);
        // The index folder is the learner's alone.
        QCOMPARE(QFile::permissions(QFileInfo(m_indexPath).path()) & QFileDevice::ReadOther,
                 QFileDevice::Permissions());
    }

    void changedFileIsReadAgain()
    {
        write("mine", {"Uno", "Due"});
        write("other", {"Tre"});
        later();
        fill();
        QString error;
        QVERIFY2(VirtualSubjectFile::renameSubject(file("mine"), 2, "Zwei", &error), qPrintable(error));
        setModified(file("mine"), QDateTime::currentDateTimeUtc().addSecs(-600));
        const Fill after = fill();
        QCOMPARE(after.filesRead, 1);
        QVERIFY(after.shown.contains(TestSupport::virtualFile("mine") + " 2 Zwei"));
        QVERIFY(!after.shown.join('\n').contains("Due"));
    }

    void justWrittenFileIsNotKept()
    {
        // On the real clock the file is within the margin: a change in the same tick (same
        // size, same modification time) must still show.
        write("mine", {"Alpha"});
        QCOMPARE(fill().filesRead, 1);
        QCOMPARE(fill().filesRead, 1);
        const QDateTime modified = QFileInfo(file("mine")).lastModified();
        QString error;
        QVERIFY2(VirtualSubjectFile::renameSubject(file("mine"), 1, "Omega", &error), qPrintable(error));
        setModified(file("mine"), modified);
        const Fill second = fill();
        QCOMPARE(second.filesRead, 1);
        QCOMPARE(second.shown, QStringList{TestSupport::virtualFile("mine") + " 1 Omega"});
        // Once older than the margin it is kept.
        later();
        QCOMPARE(fill().filesRead, 1);
        QCOMPARE(fill().filesRead, 0);
    }

    void damagedOrForeignIndexIsIgnored_data()
    {
        QTest::addColumn<QString>("damage");
        QTest::newRow("missing") << "missing";
        QTest::newRow("empty") << "empty";
        QTest::newRow("truncated") << "truncated";
        QTest::newRow("garbage") << "garbage";
        QTest::newRow("other format version") << "version";
        QTest::newRow("other edition") << "edition";
        QTest::newRow("changed inside") << "inside";
        QTest::newRow("a folder in its place") << "folder";
        QTest::newRow("cache folder not writable") << "unwritable";
    }
    void damagedOrForeignIndexIsIgnored()
    {
        QFETCH(QString, damage);
        write("a", {"Uno", "Due"});
        write("b", {"Tre"});
        later();
        const Fill expected = fill();
        QFile index(m_indexPath);
        QVERIFY(index.open(QIODevice::ReadOnly));
        QByteArray bytes = index.readAll();
        index.close();
        if (damage == "edition") {
            QFile::remove(m_indexPath);
            fill(TestSupport::otherEdition());
        } else if (damage == "folder") {
            QVERIFY(QFile::remove(m_indexPath) && QDir().mkpath(m_indexPath));
        } else if (damage == "unwritable") {
            // A file where the cache folder should be: nothing can be made below it.
            const QString cache = m_dir->path() + QStringLiteral("/cache");
            QVERIFY(QDir(cache).removeRecursively());
            TestSupport::writeGarbage(cache, 10);
        } else {
            if (damage == "empty")
                bytes.clear();
            else if (damage == "truncated")
                bytes.chop(bytes.size() / 2);
            else if (damage == "garbage")
                bytes = QByteArray(2000, '\xa5');
            else if (damage == "version")
                bytes[7] = char(VirtualSubjectIndex::FormatVersion + 1);
            else if (damage == "inside")
                bytes[bytes.size() - 40] = char(bytes[bytes.size() - 40] ^ 0x20);
            QFile::remove(m_indexPath);
            if (damage != "missing") {
                QVERIFY(index.open(QIODevice::WriteOnly));
                index.write(bytes);
                index.close();
            }
        }
        const Fill ignored = fill();
        QCOMPARE(ignored.shown, expected.shown);
        QCOMPARE(ignored.filesRead, 2);
        // A writable index is made afresh and used at the next fill.
        const bool writable = damage != "folder" && damage != "unwritable";
        QCOMPARE(fill().filesRead, writable ? 0 : 2);
    }

    // Also: the reader threads have ended with the index, so none is still ending while the
    // process exits (when the crypto library's exit handlers drop per-thread state).
    void readingsNotAskedForAreNotKept()
    {
        write("asked", {"Uno"});
        write("skipped", {"Due"});
        later();
        const auto threads = [] {
            return QDir(QStringLiteral("/proc/self/task"))
                .entryList(QDir::Dirs | QDir::NoDotAndDotDot)
                .size();
        };
        const qsizetype threadsBefore = threads();
        {
            VirtualSubjectIndex index(m_folder, m_indexPath, TestSupport::ownEdition());
            index.readAhead(virtualSubjectFiles(m_folder, app().edition.LanguageCode));
            QString error;
            QVERIFY(index.subjects(TestSupport::virtualFile("asked"), &error));
            index.save();
        } // the other reading is still pending or done: the index waits for it, then goes
        QTRY_COMPARE(threads(), threadsBefore); // a joined thread leaves the task list a moment later
        const Fill next = fill();
        QCOMPARE(next.filesRead, 1);
        QCOMPARE(next.shown.size(), 2);
    }

    void goneFilesAreDroppedAndDamagedFilesReadEveryTime()
    {
        write("kept", {"Uno"});
        write("gone", {"Due"});
        TestSupport::writeGarbage(file("broken"));
        later();
        const Fill first = fill();
        QCOMPARE(first.filesRead, 3);
        const QString failed = first.shown.filter(" FAILED: ").value(0);
        QVERIFY2(failed.startsWith(TestSupport::virtualFile("broken")), qPrintable(first.shown.join('\n')));
        const Fill second = fill();
        QCOMPARE(second.filesRead, 1);
        QCOMPARE(second.shown, first.shown);

        const QString goneName = TestSupport::virtualFile("gone");
        QVERIFY(QFile::remove(file("gone")));
        const Fill third = fill();
        QCOMPARE(third.filesRead, 1);
        QVERIFY(!third.shown.join('\n').contains(goneName));
        // The index names the files in UTF-16 (big-endian): the gone one is no longer there.
        QFile index(m_indexPath);
        QVERIFY(index.open(QIODevice::ReadOnly));
        const QByteArray stored = index.readAll();
        const auto utf16be = [](const QString& s) {
            return QByteArray(QStringEncoder(QStringEncoder::Utf16BE)(s));
        };
        QVERIFY(stored.contains(utf16be(TestSupport::virtualFile("kept"))));
        QVERIFY(!stored.contains(utf16be(goneName)));
        QVERIFY(!stored.contains(utf16be(TestSupport::virtualFile("broken"))));
    }
};

QTEST_GUILESS_MAIN(TestVirtualSubjectIndex)
#include "TestVirtualSubjectIndex.moc"
