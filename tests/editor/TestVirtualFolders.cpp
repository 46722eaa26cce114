// Folders of virtual subjects as files: names, rename, delete and copies, on real files.
#include "support/TestSupport.h"

#include "editor/VirtualFolders.h"
#include "platform/Database.h"
#include "state/AppState.h"
#include "subjects/SubjectFile.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

#include <csignal>
#include <sys/wait.h>
#include <unistd.h>

using namespace VirtualFolders;

class TestVirtualFolders : public QObject
{
    Q_OBJECT
    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_folder;

    QString path(const QString& name) const { return m_folder + name; }
    QByteArray bytes(const QString& name) const
    {
        QFile f(path(name));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

private slots:
    void initTestCase()
    {
        QStandardPaths::setTestModeEnabled(true);
        // The desktop's data folder, where its trash lives.
        QVERIFY(QDir().mkpath(QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation)));
        // Under the test's own home, so a deleted folder goes to that home's trash.
        m_dir = std::make_unique<QTemporaryDir>(QDir::homePath() + "/folders-XXXXXX");
        QVERIFY(m_dir->isValid());
    }

    void init()
    {
        m_folder = m_dir->path() +
                   QStringLiteral("/%1/")
                       .arg(QTest::currentDataTag() ? QTest::currentDataTag() : "")
                       .replace(QLatin1Char(' '), QLatin1Char('_')) +
                   QTest::currentTestFunction() + QLatin1Char('/');
        QVERIFY(QDir().mkpath(m_folder));
    }

    void defaultName_data()
    {
        QTest::addColumn<QStringList>("texts");
        QTest::addColumn<QStringList>("files");
        QTest::addColumn<QString>("expected");
        const QString t = QStringLiteral("New Folder");
        QTest::newRow("a subject counts")
            << QStringList{t, "Travel", t + " Words"} << QStringList() << t + " 3";
        QTest::newRow("case differs") << QStringList{"new folder"} << QStringList() << t;
        QTest::newRow("file exists") << QStringList() << QStringList{t} << t + " 2";
    }

    void defaultName()
    {
        QFETCH(QStringList, texts);
        QFETCH(QStringList, files);
        QFETCH(QString, expected);
        const QString base = QStringLiteral("New Folder");
        const QSet<QString> set(texts.cbegin(), texts.cend());
        QCOMPARE(VirtualFolders::defaultName(base, countStartingWith(base, texts), set,
                                             [&](const QString& c) { return files.contains(c); }),
                 expected);
    }

    void checkName_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("expected");
        QTest::newRow("plain") << "Holidays" << int(NameCheck::Valid);
        QTest::newRow("accents and apostrophe") << "Caffè dell'Arte" << int(NameCheck::Valid);
        QTest::newRow("blank inside") << "Al mare" << int(NameCheck::Valid);
        QTest::newRow("empty") << "" << int(NameCheck::Blank);
        QTest::newRow("blanks") << "   " << int(NameCheck::Blank);
        QTest::newRow("slash") << "a/b" << int(NameCheck::NotAFileName);
        QTest::newRow("dot dot") << ".." << int(NameCheck::NotAFileName);
        QTest::newRow("leading dot") << ".hidden" << int(NameCheck::NotAFileName);
        QTest::newRow("trailing blank") << "Holidays " << int(NameCheck::NotAFileName);
        QTest::newRow("too long") << QString(260, QLatin1Char('x')) << int(NameCheck::NotAFileName);
    }

    void checkName()
    {
        QFETCH(QString, name);
        QFETCH(int, expected);
        QCOMPARE(int(VirtualFolders::checkName(name, "ita")), expected);
    }

    void renameKeepsTheFileOrMovesItWhole_data()
    {
        QTest::addColumn<QString>("newName");
        QTest::addColumn<int>("outcome");
        QTest::addColumn<QString>("fileAfter");
        QTest::newRow("renamed") << "Holidays" << int(RenameOutcome::Renamed) << "Holidays.vita";
        QTest::newRow("same name") << "Travel" << int(RenameOutcome::Unchanged) << "Travel.vita";
        QTest::newRow("other case") << "travel" << int(RenameOutcome::Renamed) << "travel.vita";
        QTest::newRow("exists") << "Work" << int(RenameOutcome::Exists) << "Travel.vita";
        QTest::newRow("slash") << "../Travel2" << int(RenameOutcome::BadName) << "Travel.vita";
    }

    void renameKeepsTheFileOrMovesItWhole()
    {
        QFETCH(QString, newName);
        QFETCH(int, outcome);
        QFETCH(QString, fileAfter);
        QString error;
        QVERIFY(VirtualSubjectFile::createEmpty(path("Travel.vita"), &error));
        QVERIFY(VirtualSubjectFile::addSubject(path("Travel.vita"), "Rome", &error));
        QVERIFY(VirtualSubjectFile::createEmpty(path("Work.vita"), &error));
        const QByteArray travel = bytes("Travel.vita");
        const QByteArray work = bytes("Work.vita");
        QString newFile;
        QCOMPARE(int(VirtualFolders::rename(m_folder, "Travel.vita", newName, "ita", &newFile, &error)),
                 outcome);
        QCOMPARE(bytes(fileAfter), travel);
        QCOMPARE(bytes("Work.vita"), work);
        QCOMPARE(QDir(m_folder).entryList(QDir::Files).size(), 2);
        if (outcome == int(RenameOutcome::Renamed))
            QCOMPARE(newFile, fileAfter);
    }

    void renameOfAFileGoneIsAnError()
    {
        QString error, newFile;
        QCOMPARE(VirtualFolders::rename(m_folder, "Gone.vita", "Back", "ita", &newFile, &error),
                 RenameOutcome::Failed);
        QVERIFY(!error.isEmpty());
        QVERIFY(!QFile::exists(path("Back.vita")));
    }

    void removeMovesToTheTrash()
    {
        QString error;
        QVERIFY(VirtualSubjectFile::createEmpty(path("Old.vita"), &error));
        // This test's home has a trash: the learner can get the file back from it.
        QCOMPARE(VirtualFolders::remove(path("Old.vita"), &error), DeleteOutcome::Trashed);
        QVERIFY(!QFile::exists(path("Old.vita")));
        const QString trash = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
        QVERIFY(!QDir(trash + "/Trash/files").entryList({"Old*.vita"}, QDir::Files).isEmpty());
        QCOMPARE(VirtualFolders::remove(path("Old.vita"), &error), DeleteOutcome::Failed);
    }

    void newFolderNeverOverwrites()
    {
        QString error;
        QVERIFY(VirtualSubjectFile::createEmpty(path("custom.tpl"), &error));
        QVERIFY(VirtualSubjectFile::createEmpty(path("Mine.vita"), &error));
        QVERIFY(VirtualSubjectFile::addSubject(path("Mine.vita"), "Kept", &error));
        const QByteArray mine = bytes("Mine.vita");
        QVERIFY(!VirtualFolders::create(path("custom.tpl"), path("Mine.vita"), &error));
        QCOMPARE(bytes("Mine.vita"), mine);
        QVERIFY(!VirtualFolders::create(path("missing.tpl"), path("New.vita"), &error));
        QVERIFY(!QFile::exists(path("New.vita")));
    }

    // A writer killed in the middle of a transaction (a real process, SIGKILL) leaves a hot
    // journal and half-written pages. The program's read-only reader reads the last commit;
    // rename, delete and a new folder of the old name leave no journal behind, and every
    // file passes integrity_check.
    void killedWriteRolledBackAndMovedWhole()
    {
        QString error;
        const QString file = path("Travel.vita");
        QVERIFY(VirtualSubjectFile::createEmpty(file, &error));
        QVERIFY(VirtualSubjectFile::addSubject(file, "Committed", &error));
        QVERIFY(TestSupport::killVirtualSubjectWrite(file, 'u'));
        QVERIFY(QFileInfo(file + "-journal").size() > 0);

        auto names = [](const QString& p) {
            QString why;
            const auto list = VirtualSubjectFile::subjects(p, &why);
            QStringList result;
            for (const VirtualSubject& v : list.value_or(std::vector<VirtualSubject>{}))
                result << v.name;
            return list ? result : QStringList{"error: " + why};
        };
        auto integrity = [](const QString& p) {
            auto db = Database::open(p, Database::SubjectPassword, Database::Mode::ReadOnly, nullptr);
            Statement st = db ? db->prepare("PRAGMA integrity_check") : Statement();
            return st.step() == Statement::Step::Row ? st.text(0) : QString("cannot be read");
        };
        QCOMPARE(names(file), QStringList{"Committed"});
        QCOMPARE(integrity(file), QString("ok"));

        // Killed again, then renamed: the journal goes along and is rolled back first.
        QVERIFY(TestSupport::killVirtualSubjectWrite(file, 'v'));
        QVERIFY(QFileInfo(file + "-journal").size() > 0);
        QString renamed;
        QCOMPARE(VirtualFolders::rename(m_folder, "Travel.vita", "Trips", "ita", &renamed, &error),
                 RenameOutcome::Renamed);
        QCOMPARE(renamed, QString("Trips.vita"));
        for (const char* name : {"Travel.vita", "Trips.vita"})
            QCOMPARE(Database::existingCompanion(path(name)), QString());
        QCOMPARE(names(path("Trips.vita")), QStringList{"Committed"});
        QCOMPARE(integrity(path("Trips.vita")), QString("ok"));

        // A new folder of the old name starts clean; deleted and made again, the same.
        QVERIFY(VirtualSubjectFile::createEmpty(path("custom.tpl"), &error));
        QVERIFY2(VirtualFolders::create(path("custom.tpl"), file, &error), qPrintable(error));
        QCOMPARE(names(file), QStringList());
        QCOMPARE(integrity(file), QString("ok"));
        QVERIFY(VirtualFolders::remove(file, &error) != DeleteOutcome::Failed);
        QVERIFY2(VirtualFolders::create(path("custom.tpl"), file, &error), qPrintable(error));
        QCOMPARE(integrity(file), QString("ok"));
        QCOMPARE(Database::existingCompanion(file), QString());

        // A journal left without its file (by another program) is never inherited.
        QFile stale(path("Stale.vita-journal"));
        QVERIFY(stale.open(QIODevice::WriteOnly) && stale.write(QByteArray(4096, 'j')) == 4096);
        stale.close();
        QVERIFY(!VirtualFolders::create(path("custom.tpl"), path("Stale.vita"), &error));
        QVERIFY2(error.contains("Stale.vita-journal"), qPrintable(error));
        QVERIFY(!QFile::exists(path("Stale.vita")));
        QCOMPARE(VirtualFolders::rename(m_folder, "Trips.vita", "Stale", "ita", &renamed, &error),
                 RenameOutcome::Failed);
        QVERIFY2(error.contains("Stale.vita-journal"), qPrintable(error));
        QCOMPARE(names(path("Trips.vita")), QStringList{"Committed"});
    }

    void copySubjectCopiesTextsAndNumbersNotSounds()
    {
        QString error;
        // An installed subject as its maker writes it, with a Null second translation.
        {
            auto db = Database::open(path("everyday_phrases.ita"), Database::SubjectPassword,
                                     Database::Mode::Create, &error);
            QVERIFY2(db, qPrintable(error));
            QVERIFY(db->exec("CREATE TABLE tblProperties (tProgramCode TEXT);"
                             "INSERT INTO tblProperties VALUES ('prlita');"
                             "CREATE TABLE tblPhrases (pkPhraseNo INTEGER PRIMARY KEY, tPhrase TEXT,"
                             " tTranslation TEXT, tTranslation2 TEXT, bsound BLOB);"
                             "INSERT INTO tblPhrases VALUES (4, 'Ciao', 'Hello', NULL, x'52494646');"
                             "INSERT INTO tblPhrases VALUES (9, 'Grazie', 'Thanks', 'lit.', NULL);",
                             &error));
        }
        QVERIFY(VirtualSubjectFile::createEmpty(path("Mine.vita"), &error));
        const auto copy = VirtualFolders::copySubject(m_folder + "everyday_phrases.ita", path("Mine.vita"),
                                                      "Everyday", &error);
        QVERIFY2(copy, qPrintable(error));
        const auto rows = VirtualSubjectFile::phrases(path("Mine.vita"), copy->nParent, &error);
        QVERIFY(rows);
        QCOMPARE(rows->size(), size_t(2));
        QCOMPARE(rows->at(0).tfilename, QString("everyday_phrases.ita"));
        QCOMPARE(rows->at(0).phraseNo, 4);
        QCOMPARE(rows->at(0).tTranslation2, QString(""));
        QVERIFY(!rows->at(0).fileNameIsNull);
        QCOMPARE(rows->at(1).phraseNo, 9);
        QCOMPARE(rows->at(1).rowKey, copy->phrases.at(1).rowKey);
    }

    void copySubjectIsAllOrNothing()
    {
        QString error;
        QVERIFY(TestSupport::writeSubject(path("greetings.ita"), "prlita", 3, &error));
        // A virtual subject file whose phrase table cannot take the rows.
        {
            auto db =
                Database::open(path("Odd.vita"), Database::SubjectPassword, Database::Mode::Create, &error);
            QVERIFY(db);
            QVERIFY(
                db->exec("CREATE TABLE tblParents (nParent INTEGER PRIMARY KEY AUTOINCREMENT, tName TEXT);"
                         "CREATE TABLE tblPhrases (pkPhraseNo INTEGER PRIMARY KEY, fkParent INTEGER);",
                         &error));
        }
        QVERIFY(
            !VirtualFolders::copySubject(m_folder + "greetings.ita", path("Odd.vita"), "Greetings", &error));
        QVERIFY(!error.isEmpty());
        const auto subjects = VirtualSubjectFile::subjects(path("Odd.vita"), &error);
        QVERIFY(subjects);
        QVERIFY(subjects->empty());
    }
};

QTEST_GUILESS_MAIN(TestVirtualFolders)
#include "TestVirtualFolders.moc"
