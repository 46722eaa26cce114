// Subject files of both kinds, their titles and the edition check, on real SQLCipher files.
#include "support/TestSupport.h"

#include "platform/Database.h"
#include "state/AppState.h"
#include "subjects/SubjectCheck.h"
#include "subjects/SubjectFile.h"
#include "subjects/SubjectTitle.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

class TestSubjectFiles : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    QString path(const QString& name) const { return m_dir.path() + QLatin1Char('/') + name; }

    // A subject file laid out by hand, for layouts the program itself never writes.
    void makeDatabase(const QString& file, const QString& sql,
                      const QString& password = Database::SubjectPassword)
    {
        QString error;
        auto db = Database::open(path(file), password, Database::Mode::Create, &error);
        QVERIFY2(db, qPrintable(error));
        QVERIFY2(db->exec(sql, &error), qPrintable(error));
    }

private slots:
    void initTestCase()
    {
        QStandardPaths::setTestModeEnabled(true);
        QVERIFY(m_dir.isValid());
    }

    void init()
    {
        resetAppState();
        app().installedSubjectsFolder = m_dir.path() + QLatin1Char('/');
    }

    void titleFromFileName_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("title");
        QTest::newRow("mixed case, no underscore") << "MyTopic.ita"
                                                   << " Mytopic";
        QTest::newRow("underscores") << "basic_phrases.ita"
                                     << " Basic Phrases";
        QTest::newRow("several dots") << "vol.2_la.casa.ita"
                                      << " Vol.2 La.casa";
        QTest::newRow("accents") << "ÉCOLE_perché_città.ita"
                                 << " École Perché Città";
        QTest::newRow("blanks and quotes") << "all'aperto_\"bis\" uno.ita"
                                           << " All'aperto \"bis\" Uno";
        QTest::newRow("double underscore") << "a__b.ita"
                                           << " A  B";
        QTest::newRow("shorter than the extension") << "ab"
                                                    << "";
    }
    void titleFromFileName()
    {
        QFETCH(QString, file);
        QFETCH(QString, title);
        QCOMPARE(properTitle(file), title);
    }

    void spanishTitlesKeepSmallWordsLower()
    {
        const QString spanish = QStringLiteral("Spanish");
        QCOMPARE(properTitle("la_hora_y_los_días.spa", spanish), QStringLiteral(" La Hora y los Días"));
        QCOMPARE(properTitle("en_el_café.spa", spanish), QStringLiteral(" En el Café"));
        QCOMPARE(properTitle("DE_compras_CON_amigos.spa", spanish), QStringLiteral(" De Compras con Amigos"));
        QCOMPARE(properTitle("la_hora_y_los_días.spa"),
                 QStringLiteral(" La Hora Y Los Días")); // English rules
    }

    void virtualFolderTitleKeepsUnderscoresAndCase()
    {
        QCOMPARE(virtualFolderTitle(QStringLiteral("My_Words.vita")), QStringLiteral("My_Words"));
        QCOMPARE(virtualFolderTitle(QStringLiteral("viaggi.in.Italia.vita")),
                 QStringLiteral("viaggi.in.Italia"));
        QCOMPARE(virtualFolderTitle(QStringLiteral(".vit")), QString());
    }

    void verdict_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("expected"); // exact verdict, or "ERROR" for any error description

        QString error;
        QVERIFY2(TestSupport::writeSubject(path("greetings.ita"), TestSupport::ownEdition(), 3, &error),
                 qPrintable(error));
        QTest::newRow("valid") << "greetings.ita"
                               << "VALID";

        QVERIFY(TestSupport::writeSubject(path("saludos.ita"), TestSupport::otherEdition(), 3));
        QTest::newRow("another edition") << "saludos.ita"
                                         << "WRONG_LANGUAGE*" + TestSupport::otherEdition();

        QVERIFY(TestSupport::writeSubject(path("shouting.ita"), TestSupport::ownEdition().toUpper(), 1));
        QTest::newRow("code differs only in case") << "shouting.ita"
                                                   << "WRONG_LANGUAGE*" + TestSupport::ownEdition().toUpper();

        for (const char* name : {"a b c.ita", "l'ora \"giusta\".ita", "città_più.ita", "v.1.2.3.ita"}) {
            QVERIFY(TestSupport::writeSubject(path(QString::fromUtf8(name)), TestSupport::ownEdition(), 1));
            QTest::newRow(name) << QString::fromUtf8(name) << "VALID";
        }

        TestSupport::writeGarbage(path("garbage.ita"));
        QTest::newRow("not a database") << "garbage.ita"
                                        << "ERROR";

        QFile empty(path("empty.ita"));
        QVERIFY(empty.open(QIODevice::WriteOnly));
        empty.close();
        QTest::newRow("empty file") << "empty.ita"
                                    << "ERROR";

        makeDatabase("noprops.ita", "CREATE TABLE tblPhrases (pkPhraseNo INTEGER PRIMARY KEY, tPhrase TEXT)");
        QTest::newRow("no tblProperties") << "noprops.ita"
                                          << "ERROR";

        makeDatabase("emptyprops.ita", "CREATE TABLE tblProperties (tProgramCode TEXT)");
        QTest::newRow("empty tblProperties") << "emptyprops.ita"
                                             << "ERROR";

        makeDatabase("nullcode.ita", "CREATE TABLE tblProperties (tProgramCode TEXT);"
                                     "INSERT INTO tblProperties VALUES (NULL)");
        QTest::newRow("Null code") << "nullcode.ita"
                                   << "WRONG_LANGUAGE*";

        makeDatabase("otherkey.ita",
                     "CREATE TABLE tblProperties (tProgramCode TEXT);"
                     "INSERT INTO tblProperties VALUES ('prlita')",
                     QStringLiteral("another password"));
        QTest::newRow("another password") << "otherkey.ita"
                                          << "ERROR";

        // Many phrases with sounds, then cut in half: the properties page survives or not,
        // either way the verdict must not be a crash.
        QVERIFY(TestSupport::writeSubject(path("truncated.ita"), "prlita", 40));
        QFile cut(path("truncated.ita"));
        QVERIFY(cut.resize(cut.size() / 3));
        QTest::newRow("truncated") << "truncated.ita"
                                   << "TRUNCATED";

        QTest::newRow("missing file") << "nowhere.ita"
                                      << "ERROR";
        QTest::newRow("name leaving the folder") << "../greetings.ita"
                                                 << "ERROR";
    }
    void verdict()
    {
        QFETCH(QString, file);
        QFETCH(QString, expected);
        const QString verdict = checkSubject(file);
        if (expected == QLatin1String("TRUNCATED")) {
            // Only the first pages are read; a truncated file is either still readable or
            // refused with a description, never a wrong edition.
            QVERIFY2(!verdict.startsWith(QLatin1String("WRONG_LANGUAGE")), qPrintable(verdict));
            QVERIFY(!verdict.isEmpty());
        } else if (expected == QLatin1String("ERROR")) {
            QVERIFY2(!verdict.isEmpty(), "an error needs a description");
            QVERIFY2(verdict != QLatin1String("VALID"), qPrintable(verdict));
            QVERIFY2(verdictKind(verdict) != QLatin1String("WRONG_LANGUAGE"), qPrintable(verdict));
        } else {
            QCOMPARE(verdict, expected);
        }
    }

    void nullTextsReadAsEmpty()
    {
        makeDatabase("nulls.ita", "CREATE TABLE tblProperties (tProgramCode TEXT);"
                                  "INSERT INTO tblProperties VALUES ('prlita');"
                                  "CREATE TABLE tblPhrases (pkPhraseNo INTEGER PRIMARY KEY, tPhrase TEXT,"
                                  " tTranslation TEXT, tTranslation2 TEXT, bsound BLOB);"
                                  "INSERT INTO tblPhrases VALUES (2, 'Ciao', 'Hello', NULL, NULL);"
                                  "INSERT INTO tblPhrases VALUES (1, NULL, NULL, NULL, NULL);");
        QString error;
        const auto all = InstalledSubject::phrases(path("nulls.ita"), true, &error);
        QVERIFY2(all, qPrintable(error));
        QCOMPARE(all->size(), size_t(2));
        // Table order is key order; nothing re-sorts.
        QCOMPARE(all->at(0).phraseNo, 1);
        QCOMPARE(all->at(0).tPhrase, QString(""));
        QVERIFY(!all->at(0).tPhrase.isNull());
        QCOMPARE(all->at(1).tTranslation, QStringLiteral("Hello"));
        QVERIFY(!all->at(1).tTranslation2.isNull());
        QVERIFY(all->at(1).bsound.isEmpty());

        bool found = false;
        const auto one = InstalledSubject::phrase(path("nulls.ita"), 2, false, &found, &error);
        QVERIFY(one && found);
        QCOMPARE(one->tTranslation2, QString(""));
        const auto none = InstalledSubject::phrase(path("nulls.ita"), 7, false, &found, &error);
        QVERIFY(none && !found);
    }

    void thousandsOfPhrasesAndSubjects()
    {
        makeDatabase("many.ita",
                     "CREATE TABLE tblPhrases (pkPhraseNo INTEGER PRIMARY KEY, tPhrase TEXT,"
                     " tTranslation TEXT, tTranslation2 TEXT, bsound BLOB);"
                     "WITH RECURSIVE n(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM n WHERE x < 5000)"
                     " INSERT INTO tblPhrases SELECT x, 'p' || x, 't' || x, NULL, zeroblob(100) FROM n");
        makeDatabase("many.vita",
                     "CREATE TABLE tblParents (nParent INTEGER PRIMARY KEY AUTOINCREMENT, tName TEXT);"
                     "WITH RECURSIVE n(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM n WHERE x < 3000)"
                     " INSERT INTO tblParents (tName) SELECT 'v' || x FROM n");
        QString error;
        const auto numbers = InstalledSubject::phraseNumbers(path("many.ita"), &error);
        QVERIFY2(numbers, qPrintable(error));
        QCOMPARE(numbers->size(), size_t(5000));
        const auto all = InstalledSubject::phrases(path("many.ita"), true, &error);
        QVERIFY2(all, qPrintable(error));
        QCOMPARE(all->back().tTranslation, QStringLiteral("t5000"));
        QCOMPARE(all->back().bsound.size(), 100);
        const auto subjects = VirtualSubjectFile::subjects(path("many.vita"), &error);
        QVERIFY2(subjects, qPrintable(error));
        QCOMPARE(subjects->size(), size_t(3000));
        QCOMPARE(subjects->at(2999).name, QStringLiteral("v3000"));
    }

    void missingColumnIsAnErrorNotEmptyText()
    {
        makeDatabase("thin.ita", "CREATE TABLE tblPhrases (pkPhraseNo INTEGER PRIMARY KEY, tPhrase TEXT);"
                                 "INSERT INTO tblPhrases VALUES (1, 'Ciao')");
        QString error;
        QVERIFY(!InstalledSubject::phrases(path("thin.ita"), false, &error));
        QVERIFY2(error.contains(QLatin1String("tTranslation")), qPrintable(error));
        // Every message about a file names it, so the learner knows which one to mend.
        QVERIFY2(error.contains(path("thin.ita")), qPrintable(error));
        bool found = false;
        QVERIFY(!InstalledSubject::phrase(path("thin.ita"), 1, false, &found, &error));
        QVERIFY2(error.contains(path("thin.ita")), qPrintable(error));
    }

    void largePhraseNumbersAreNotRefused()
    {
        makeDatabase("big.ita", "CREATE TABLE tblPhrases (pkPhraseNo INTEGER PRIMARY KEY, tPhrase TEXT,"
                                " tTranslation TEXT, tTranslation2 TEXT, bsound BLOB);"
                                "INSERT INTO tblPhrases VALUES (40000, 'a', 'b', 'c', NULL)");
        QString error;
        QVERIFY2(InstalledSubject::updateTexts(path("big.ita"), 40000, "x", "y", "z", &error),
                 qPrintable(error));
        bool found = false;
        QCOMPARE(InstalledSubject::phrase(path("big.ita"), 40000, false, &found, &error)->tPhrase,
                 QStringLiteral("x"));
        QVERIFY(!InstalledSubject::updateTexts(path("big.ita"), 3, "x", "y", "z", &error));
    }

    void parentsNameIsTheSecondColumnWhateverItsName()
    {
        makeDatabase("odd.vita", "CREATE TABLE tblParents (nParent INTEGER PRIMARY KEY AUTOINCREMENT,"
                                 " Titolo TEXT, tNote TEXT);"
                                 "CREATE TABLE tblPhrases (pkPhraseNo INTEGER PRIMARY KEY AUTOINCREMENT,"
                                 " fkParent INTEGER, tfilename TEXT NOT NULL, nPhraseNo INTEGER NOT NULL,"
                                 " tPhrase TEXT, tTranslation TEXT, tTranslation2 TEXT);"
                                 "INSERT INTO tblParents VALUES (5, 'Cibo', 'note');"
                                 "INSERT INTO tblParents VALUES (9, NULL, 'note');");
        QString error;
        const auto added = VirtualSubjectFile::addSubject(path("odd.vita"), "Viaggi \"in\" treno", &error);
        QVERIFY2(added, qPrintable(error));
        QVERIFY(*added > 9);
        QVERIFY(VirtualSubjectFile::renameSubject(path("odd.vita"), 5, "Cibo e bevande", &error));
        QVERIFY(!VirtualSubjectFile::renameSubject(path("odd.vita"), 77, "x", &error));

        const auto subjects = VirtualSubjectFile::subjects(path("odd.vita"), &error);
        QVERIFY2(subjects, qPrintable(error));
        QCOMPARE(subjects->size(), size_t(3));
        QCOMPARE(subjects->at(0).nParent, 5);
        QCOMPARE(subjects->at(0).name, QStringLiteral("Cibo e bevande"));
        QCOMPARE(subjects->at(1).name, QString(""));
        QCOMPARE(subjects->at(2).name, QStringLiteral("Viaggi \"in\" treno"));
    }

    void virtualPhrasesWrittenTogetherAndDeletedWithTheirSubject()
    {
        QString error;
        QVERIFY2(VirtualSubjectFile::createEmpty(path("mine.vita"), &error), qPrintable(error));
        QVERIFY(!VirtualSubjectFile::createEmpty(path("mine.vita"), &error)); // never overwritten
        const qint64 a = *VirtualSubjectFile::addSubject(path("mine.vita"), "A", &error);
        const qint64 b = *VirtualSubjectFile::addSubject(path("mine.vita"), "B", &error);

        std::vector<VirtualPhrase> copies(3);
        for (int i = 0; i < 3; ++i) {
            copies[i].tfilename = QStringLiteral("città %1.ita").arg(i);
            copies[i].phraseNo = 3 - i;
            copies[i].tTranslation = QStringLiteral("t%1").arg(i);
        }
        const auto keys = VirtualSubjectFile::addPhrases(path("mine.vita"), a, copies, &error);
        QVERIFY2(keys && keys->size() == 3, qPrintable(error));
        QVERIFY(VirtualSubjectFile::addPhrases(path("mine.vita"), b, {copies[0]}, &error));

        auto read = VirtualSubjectFile::phrases(path("mine.vita"), a, &error);
        QVERIFY2(read, qPrintable(error));
        QCOMPARE(read->size(), size_t(3));
        QCOMPARE(read->at(0).tfilename, QStringLiteral("città 0.ita"));
        QCOMPARE(read->at(2).phraseNo, 1);
        QCOMPARE(read->at(1).tPhrase, QString(""));

        QVERIFY(VirtualSubjectFile::deletePhrase(path("mine.vita"), keys->at(1), &error));
        QCOMPARE(VirtualSubjectFile::phrases(path("mine.vita"), a, &error)->size(), size_t(2));
        QVERIFY(VirtualSubjectFile::deleteSubject(path("mine.vita"), a, &error));
        QCOMPARE(VirtualSubjectFile::phrases(path("mine.vita"), a, &error)->size(), size_t(0));
        QCOMPARE(VirtualSubjectFile::phrases(path("mine.vita"), b, &error)->size(), size_t(1));
        QCOMPARE(VirtualSubjectFile::subjects(path("mine.vita"), &error)->size(), size_t(1));
    }

    void editorNamesAreBoundNotPasted()
    {
        // The names the editor writes (virtual subjects, phrase texts, subject file names)
        // with quotes and SQL of their own go in and come back as they were.
        const QString evil = QStringLiteral("x'); DROP TABLE tblPhrases; -- \"%_*\\ l'été");
        QString error;
        QVERIFY2(VirtualSubjectFile::createEmpty(path("quotes.vita"), &error), qPrintable(error));
        const auto parent = VirtualSubjectFile::addSubject(path("quotes.vita"), evil, &error);
        QVERIFY2(parent, qPrintable(error));
        VirtualPhrase p;
        p.tfilename = evil + QStringLiteral(".ita");
        p.phraseNo = 1;
        p.tPhrase = p.tTranslation = p.tTranslation2 = evil;
        QVERIFY2(VirtualSubjectFile::addPhrases(path("quotes.vita"), *parent, {p}, &error),
                 qPrintable(error));
        QVERIFY(VirtualSubjectFile::renameSubject(path("quotes.vita"), *parent, evil + evil, &error));
        QCOMPARE(VirtualSubjectFile::subjects(path("quotes.vita"), &error)->at(0).name, evil + evil);
        const auto read = VirtualSubjectFile::phrases(path("quotes.vita"), *parent, &error);
        QVERIFY2(read && read->size() == 1, qPrintable(error));
        QCOMPARE(read->at(0).tfilename, evil + QStringLiteral(".ita"));
        QCOMPARE(read->at(0).tTranslation2, evil);

        // The phrase editor's change of an installed subject's texts.
        QVERIFY(TestSupport::writeSubject(path("quotes.ita"), QStringLiteral("prlita"), 2));
        QVERIFY2(InstalledSubject::updateTexts(path("quotes.ita"), 2, evil, evil, evil, &error),
                 qPrintable(error));
        const auto phrases = InstalledSubject::phrases(path("quotes.ita"), false, &error);
        QVERIFY2(phrases && phrases->size() == 2, qPrintable(error));
        QCOMPARE(phrases->at(1).tTranslation, evil);
        QCOMPARE(phrases->at(0).tPhrase == evil, false);
    }

    void damagedVirtualFileGivesAnError_data()
    {
        QTest::addColumn<QString>("file");
        TestSupport::writeGarbage(path("junk.vita"));
        QTest::newRow("not a database") << "junk.vita";
        QFile empty(path("nothing.vita"));
        QVERIFY(empty.open(QIODevice::WriteOnly));
        empty.close();
        QTest::newRow("empty") << "nothing.vita";
        makeDatabase("noparents.vita", "CREATE TABLE tblPhrases (pkPhraseNo INTEGER PRIMARY KEY)");
        QTest::newRow("no tblParents") << "noparents.vita";
        makeDatabase("onecolumn.vita", "CREATE TABLE tblParents (nParent INTEGER PRIMARY KEY)");
        QTest::newRow("no name column") << "onecolumn.vita";
    }
    void damagedVirtualFileGivesAnError()
    {
        QFETCH(QString, file);
        QString error;
        QVERIFY(!VirtualSubjectFile::subjects(path(file), &error));
        QVERIFY2(error.contains(file), qPrintable(error));
    }

    void listsOnlyMatchingRegularFilesByName()
    {
        QTemporaryDir dir;
        const QString d = dir.path() + QLatin1Char('/');
        for (const char* name : {"zeta.ita", "Alfa.ita", "beta uno.ita", "Gamma.ITA", "mine.vita",
                                 "notes.txt", ".hidden.ita", ".ita"})
            TestSupport::writeGarbage(d + QString::fromUtf8(name), 10);
        TestSupport::writeGarbage(d + QStringLiteral("città.ita"), 10);
        QVERIFY(QDir(d).mkdir(QStringLiteral("folder.ita")));
        // A link to a file is listed, a link to nothing is not.
        QVERIFY(QFile::link(d + "zeta.ita", d + "link.ita"));
        QVERIFY(QFile::link(d + "nowhere.ita", d + "broken.ita"));
        QCOMPARE(installedSubjectFiles(d, "ita"),
                 QStringList({"Alfa.ita", "beta uno.ita", "città.ita", "Gamma.ITA", "link.ita", "zeta.ita"}));
        QCOMPARE(virtualSubjectFiles(d, "ita"), QStringList({"mine.vita"}));
        QCOMPARE(installedSubjectFiles(d + "missing/", "ita"), QStringList());
    }
};

QTEST_GUILESS_MAIN(TestSubjectFiles)
#include "TestSubjectFiles.moc"
