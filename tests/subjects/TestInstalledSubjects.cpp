// The installed subjects of an installed copy: the program folder's and the learner's own,
// listed, checked, studied and drawn as one; and adding a file to the learner's subjects.
#include "support/TestSupport.h"

#include "platform/NaturalOrder.h"
#include "state/AppState.h"
#include "study/RandomPhrases.h"
#include "study/StudySet.h"
#include "subjects/InstalledSubjects.h"
#include "subjects/SubjectCheck.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

class TestInstalledSubjects : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;

    QString programFile(const QString& name) const { return app().installedSubjectsFolder + name; }
    QString learnerFile(const QString& name) const { return app().learnerSubjectsFolder + name; }

private slots:
    void init()
    {
        resetAppState();
        QVERIFY(TestSupport::useFoldersUnder(app(), m_dir.path() + QStringLiteral("/") +
                                                        QString::fromLatin1(QTest::currentTestFunction())));
        for (const QString& f :
             {app().installedSubjectsFolder, app().learnerSubjectsFolder, app().virtualSubjectsFolder})
            QVERIFY(QDir().mkpath(f));
    }

    // Numbered subjects in the order people count, in one folder and across both, case
    // ignored; learners' names and other lists sort the same way.
    void numberedNamesSortNaturally()
    {
        AppState& s = app();
        for (const char* name : {"Verbs_10", "verbs_2", "Verbs_1", "Verbs_100"})
            QVERIFY(TestSupport::writeSubject(programFile(TestSupport::subjectFile(name)),
                                              TestSupport::ownEdition(), 1));
        QVERIFY(TestSupport::writeSubject(learnerFile(TestSupport::subjectFile("Verbs_11")),
                                          TestSupport::ownEdition(), 1));
        QStringList expected;
        for (const char* name : {"Verbs_1", "verbs_2", "Verbs_10", "Verbs_11", "Verbs_100"})
            expected << TestSupport::subjectFile(name);
        QCOMPARE(installedSubjectNames(s), expected);
        expected.removeAt(3);
        QCOMPARE(installedSubjectFiles(s.installedSubjectsFolder, s.edition.LanguageCode), expected);
        QStringList names{QStringLiteral("Anna 10"), QStringLiteral("anna 9"), QStringLiteral("Anna 9"),
                          QStringLiteral("Ánna 1")};
        NaturalOrder::sort(names);
        QCOMPARE(names, (QStringList{QStringLiteral("Ánna 1"), QStringLiteral("Anna 9"),
                                     QStringLiteral("anna 9"), QStringLiteral("Anna 10")}));
    }

    // One list; the learner's file of the same name is the one read, checked and studied.
    void bothFoldersAreOneList()
    {
        AppState& s = app();
        QVERIFY(TestSupport::writeSubject(programFile(TestSupport::subjectFile("Cafe")),
                                          TestSupport::ownEdition(), 2));
        QVERIFY(TestSupport::writeSubject(programFile(TestSupport::subjectFile("numbers")),
                                          TestSupport::ownEdition(), 3));
        QVERIFY(TestSupport::writeSubject(learnerFile(TestSupport::subjectFile("Cafe")),
                                          TestSupport::ownEdition(), 4));
        QVERIFY(TestSupport::writeSubject(learnerFile(TestSupport::subjectFile("Mine")),
                                          TestSupport::otherEdition(0), 1));
        QVERIFY(TestSupport::writeSubject(learnerFile(TestSupport::virtualFile("Other")),
                                          TestSupport::ownEdition(), 1));

        QCOMPARE(installedSubjectNames(s),
                 (QStringList{TestSupport::subjectFile("Cafe"), TestSupport::subjectFile("Mine"),
                              TestSupport::subjectFile("numbers")}));
        QCOMPARE(installedSubjectPath(s, TestSupport::subjectFile("Cafe")),
                 learnerFile(TestSupport::subjectFile("Cafe")));
        QCOMPARE(installedSubjectPath(s, TestSupport::subjectFile("numbers")),
                 programFile(TestSupport::subjectFile("numbers")));
        QCOMPARE(checkSubject(TestSupport::subjectFile("Mine")),
                 "WRONG_LANGUAGE*" + TestSupport::otherEdition(0));
        QCOMPARE(StudySet::collectInstalledSubject(s, TestSupport::subjectFile("Cafe")).count, 4);
        QCOMPARE(StudySet::collectPhrases(
                     s, {{TestSupport::subjectFile("numbers"), 3}, {TestSupport::subjectFile("Cafe"), 4}})
                     .count,
                 2);

        // Random draws reach the learner's subjects too (the foreign one is excluded).
        RandomPhrases::setSourceForTests([] { return 0.0; });
        const auto drawn =
            RandomPhrases::drawPhrases([&s](const QString& f) { return installedSubjectPath(s, f); },
                                       installedSubjectNames(s), s.edition.ProgramCode, 3);
        RandomPhrases::setSourceForTests({});
        QCOMPARE(int(drawn.phrases.size()), 3);
        QCOMPARE(drawn.phrases.front().subjectFile, TestSupport::subjectFile("Cafe"));
    }

    void importChecksAndPlaces_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("content"); // subject:<code>, virtual, garbage
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("folder"); // learner, virtual, none
        QTest::newRow("subject of this edition")
            << TestSupport::subjectFile("Museo") << "subject:" + TestSupport::ownEdition()
            << int(SubjectImport::InstalledSubjectFile) << "learner";
        QTest::newRow("upper-case extension")
            << "Museo." + app().edition.LanguageCode.toUpper() << "subject:" + TestSupport::ownEdition()
            << int(SubjectImport::InstalledSubjectFile) << "learner";
        QTest::newRow("subject of another edition")
            << TestSupport::subjectFile("Museo") << "subject:" + TestSupport::otherEdition()
            << int(SubjectImport::Refused) << "none";
        QTest::newRow("damaged file")
            << TestSupport::subjectFile("Museo") << "garbage" << int(SubjectImport::Refused) << "none";
        QTest::newRow("virtual subject file") << TestSupport::virtualFile("Mine") << "virtual"
                                              << int(SubjectImport::VirtualSubjectFile) << "virtual";
        QTest::newRow("subject named so it would not be listed")
            << "Museo.txt"
            << "subject:" + TestSupport::ownEdition() << int(SubjectImport::WrongName) << "learner";
        QTest::newRow("virtual file named as a subject")
            << TestSupport::subjectFile("Mine") << "virtual" << int(SubjectImport::WrongName) << "virtual";
    }

    void importChecksAndPlaces()
    {
        QFETCH(QString, name);
        QFETCH(QString, content);
        QFETCH(int, kind);
        QFETCH(QString, folder);
        const QString source = m_dir.path() + QStringLiteral("/downloads/") + name;
        QVERIFY(QDir().mkpath(m_dir.path() + QStringLiteral("/downloads")));
        QFile::remove(source);
        QString error;
        if (content.startsWith(QLatin1String("subject:")))
            QVERIFY(TestSupport::writeSubject(source, content.mid(8), 2));
        else if (content == QLatin1String("virtual"))
            QVERIFY2(VirtualSubjectFile::createEmpty(source, &error), qPrintable(error));
        else
            TestSupport::writeGarbage(source);

        const SubjectImport import = checkSubjectImport(app(), source);
        QCOMPARE(int(import.kind), kind);
        QVERIFY(!import.exists);
        if (folder == QLatin1String("learner"))
            QCOMPARE(import.target, learnerFile(name));
        else if (folder == QLatin1String("virtual"))
            QCOMPARE(import.target, app().virtualSubjectsFolder + name);
        else
            QVERIFY(!import.verdict.isEmpty() && import.verdict != QLatin1String("VALID"));
    }

    // An existing file is replaced only when asked; a copy is complete or absent.
    void copyReplacesOnlyWhenAsked()
    {
        const QString source = m_dir.path() + TestSupport::subjectFile("/Museo");
        QVERIFY(TestSupport::writeSubject(source, TestSupport::ownEdition(), 3));
        QVERIFY(TestSupport::writeSubject(learnerFile(TestSupport::subjectFile("Museo")),
                                          TestSupport::ownEdition(), 1));
        SubjectImport import = checkSubjectImport(app(), source);
        QVERIFY(import.exists);
        QVERIFY(!import.sameFile);
        QString error;
        QVERIFY(!copySubjectImport(source, import, false, &error));
        QCOMPARE(StudySet::collectInstalledSubject(app(), TestSupport::subjectFile("Museo")).count, 1);
        QVERIFY2(copySubjectImport(source, import, true, &error), qPrintable(error));
        QCOMPARE(StudySet::collectInstalledSubject(app(), TestSupport::subjectFile("Museo")).count, 3);
        QCOMPARE(QDir(app().learnerSubjectsFolder).entryList(QDir::Files | QDir::Hidden),
                 QStringList{TestSupport::subjectFile("Museo")});

        // Opening the learner's own file again copies nothing.
        import = checkSubjectImport(app(), learnerFile(TestSupport::subjectFile("Museo")));
        QVERIFY(import.sameFile);
        QVERIFY(copySubjectImport(learnerFile(TestSupport::subjectFile("Museo")), import, false, &error));
    }
};

QTEST_GUILESS_MAIN(TestInstalledSubjects)
#include "TestInstalledSubjects.moc"
