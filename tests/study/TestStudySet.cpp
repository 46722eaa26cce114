#include "StudyFixture.h"

#include "content/ContentLevel.h"
#include "study/ActivityInputFile.h"
#include "study/PhrasesToStudy.h"
#include "study/StudySet.h"
#include "study/SubjectSelection.h"
#include "subjects/SubjectTree.h"

#include <QApplication>

#include <memory>

#include <unistd.h>

using TestSupport::otherEdition;
using TestSupport::ownEdition;
namespace {
QString sub(const char* base)
{
    return TestSupport::subjectFile(QString::fromUtf8(base));
}
QString vsub(const char* base)
{
    return TestSupport::virtualFile(QString::fromUtf8(base));
}

// The main tree as at start-up, with the first virtual subject chosen and clicked, so that
// its phrases are loaded.
struct ClickedVirtualSubject
{
    SubjectTree tree;
    SubjectSelection selection{&tree};
    QTreeWidgetItem* subject = nullptr;
    ClickedVirtualSubject()
    {
        tree.createFolders();
        tree.loadSubjects();
        tree.loadVirtualSubjects();
        subject = tree.topLevelItem(4)->child(0);
        tree.setCurrentItem(subject);
        selection.onNodeClicked(subject);
    }
};
} // namespace

class TestStudySet : public QObject
{
    Q_OBJECT
    std::unique_ptr<StudyFixture> fx;

private slots:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }
    void init()
    {
        fx = std::make_unique<StudyFixture>();
        fx->setUp();
    }
    void cleanup() { RandomPhrases::setSourceForTests({}); }

    // The input file is fixed line by line; texts typed by people arrive unchanged.
    void inputFileFormat()
    {
        AppState& s = app();
        s.instanceId = 4711;
        QVERIFY(fx->subject(sub("at_the_cafe"), 2));
        const StudySet::Result r = StudySet::collectInstalledSubject(s, sub("at_the_cafe"));
        QCOMPARE(r.count, 2);
        s.StudyPhrases[1].Translation2 = QStringLiteral("\"più\" * tardi");
        QString error;
        QVERIFY2(writeActivityFile(s, QStringLiteral(" At The Café"), &error), qPrintable(error));
        const QString t = s.handOverFolder;
        const QByteArray h = QByteArray::number(s.launchHandle);
        QByteArray expected = "4711\r\n" + ownEdition().toUtf8() + "\r\n" + s.edition.EditionTitle.toUtf8() +
                              "\r\n" + s.edition.InterfaceLanguage.toUtf8() + "\r\n" +
                              s.edition.StudiedLanguage.toUtf8() + "\r\n" + s.CurrentUser.toUtf8() +
                              "\r\n At The Caf\xC3\xA9\r\n2\r\n" + (s.dataFolder + "Users.dat").toUtf8() +
                              "\r\nEMPTY\r\nEMPTY\r\nEMPTY\r\nEMPTY\r\nEMPTY\r\n" +
                              QByteArray::number(FullContentLevel) + "\r\n";
        expected +=
            "\"Frase 1\"\r\n\"Phrase 1\"\r\n\"Literal 1\"\r\n\"" + t.toUtf8() + "~prl" + h + "1.wav\"\r\n";
        expected += "\"Frase 2\"\r\n\"Phrase 2\"\r\n\"\"pi\xC3\xB9\" * tardi\"\r\n\"" + t.toUtf8() + "~prl" +
                    h + "2.wav\"\r\n";
        QCOMPARE(StudyFixture::readAll(t + "~prl" + h + ".txt"), expected);
        QVERIFY(!QFileInfo::exists(t + "~prl" + h + ".txt.part"));
        // Beside it the phrase ids, and no leftover temporary file.
        QCOMPARE(StudyFixture::readAll(t + "~prl" + h + ".ids"), "PARLANTO PHRASE IDS 1\r\n2\r\n1\t" +
                                                                     sub("at_the_cafe").toUtf8() + "\r\n2\t" +
                                                                     sub("at_the_cafe").toUtf8() + "\r\n");
        QCOMPARE(QDir(t).entryList(QDir::Files).size(), 4);
    }

    // At most ten phrases, sound files numbered by slot holding the unchanged bsound bytes.
    void installedSubjectTakesFirstTen()
    {
        QVERIFY(fx->subject(sub("big"), 12));
        const StudySet::Result r = StudySet::collectInstalledSubject(app(), sub("big"));
        QVERIFY(r.error.isEmpty());
        QCOMPARE(r.count, 10);
        for (int slot = 1; slot <= 10; ++slot) {
            const StudyPhrase& p = app().StudyPhrases[size_t(slot - 1)];
            QCOMPARE(p.Slot, slot);
            QCOMPARE(p.phraseNo, slot);
            QCOMPARE(p.SoundFile, app().studySoundFile(slot));
            QCOMPARE(StudyFixture::readAll(p.SoundFile), fx->bsound(sub("big"), slot));
        }
        QVERIFY(!QFileInfo::exists(app().studySoundFile(11)));
        // The next set starts clean: a smaller subject leaves no sound of the old one.
        QVERIFY(fx->subject(sub("small"), 2));
        QCOMPARE(StudySet::collectInstalledSubject(app(), sub("small")).count, 2);
        QVERIFY(!QFileInfo::exists(app().studySoundFile(3)));
    }

    // The temporary folder is one every user may write (TMPDIR set so): another user renames
    // the private folder away and puts one of their own there, with a link at the next sound
    // file's name. Nothing is written through the link, the learner is told why, and no set
    // is handed over.
    void replacedHandOverFolderRefused()
    {
        AppState& s = app();
        QVERIFY(QFile::setPermissions(s.tempFolder, QFileDevice::Permissions(0x7777)));
        QVERIFY(fx->subject(sub("small"), 2));
        QCOMPARE(StudySet::collectInstalledSubject(s, sub("small")).count, 2);
        const QString shared = s.tempFolder + QStringLiteral("parlanto-%1").arg(::geteuid());
        QVERIFY(s.handOverFolder.startsWith(shared + QLatin1Char('/')));
        QVERIFY(QDir().rename(shared, s.tempFolder + QStringLiteral("moved-away")));
        QVERIFY(QDir().mkpath(s.handOverFolder));
        const QString learnerFile = s.dataFolder + QStringLiteral("private.dat");
        QVERIFY(StudyFixture::write(learnerFile, "mine"));
        const qint64 next = s.launchHandle + 1;
        QVERIFY(QFile::link(learnerFile, s.handOverFolder + AppState::soundFileName(next, 1)));

        const StudySet::Result r = StudySet::collectInstalledSubject(s, sub("small"));
        QCOMPARE(r.count, 0);
        QVERIFY2(r.error.contains(QStringLiteral("replaced")) && r.error.contains(s.handOverFolder),
                 qPrintable(r.error));
        QCOMPARE(StudyFixture::readAll(learnerFile), QByteArray("mine"));
        QVERIFY(!QFileInfo::exists(s.handOverFolder + AppState::inputFileName(next)));
    }

    // The second phrase's subject file was deleted: the learner is told which phrase and
    // which file; the set has the other two phrases in slots 1 and 2.
    void virtualSubjectWithMissingFile()
    {
        QVERIFY(fx->subject(sub("a"), 3));
        QVERIFY(fx->subject(sub("b"), 3));
        fx->virtualSubject(vsub("mine"), QStringLiteral("Mine"),
                           {{sub("a"), 1}, {sub("gone"), 2}, {sub("b"), 3}});
        ClickedVirtualSubject clicked;
        SubjectTree& tree = clicked.tree;
        QTreeWidgetItem* subject = clicked.subject;
        QCOMPARE(subject->childCount(), 3);

        fx->answer = QMessageBox::Yes;
        QVERIFY(checkVirtualSubject(&tree, subject, &tree));
        QCOMPARE(fx->boxes.size(), 1);
        const Dialogs::Request box = fx->boxes.first();
        QCOMPARE(box.title, QStringLiteral("C144"));
        QCOMPARE(box.text, "C133\n\n" + sub("gone") + " #2\n\nC134\n\n" + sub("gone").toUpper() + "\n\nC135");
        QCOMPARE(fx->opened.size(), 1);
        QVERIFY(fx->opened.first().endsWith(QStringLiteral("subjects.htm")) ||
                fx->opened.first().contains("C95"));

        QCOMPARE(collectPhrasesToStudy(subject, &tree), 2);
        QCOMPARE(app().StudyPhrases[0].SubjectFile, sub("a"));
        QCOMPARE(app().StudyPhrases[1].SubjectFile, sub("b"));
        QCOMPARE(app().StudyPhrases[1].phraseNo, 3);
        QCOMPARE(StudyFixture::readAll(app().studySoundFile(2)), fx->bsound(sub("b"), 3));
        QVERIFY(!QFileInfo::exists(app().studySoundFile(3)));
    }

    // A virtual subject's row may name any text. Names that leave the installed subjects
    // folder or would match other files count as missing subject files: the learner is told,
    // and the outside file (a valid subject that would be studied if opened) never is.
    void rowNamesStayInsideTheFolder_data()
    {
        QTest::addColumn<QString>("name");
        QTest::newRow("parent folders") << "../../outside/" + sub("Outside_Secret");
        QTest::newRow("folder and parent") << "Sub/../../outside/" + sub("Outside_Secret");
        QTest::newRow("wildcard") << sub("*");
    }
    void rowNamesStayInsideTheFolder()
    {
        QFETCH(QString, name);
        const QString outside = fx->dir.path() + "/outside/" + sub("Outside_Secret");
        QVERIFY(QDir().mkpath(QFileInfo(outside).path()));
        QVERIFY(TestSupport::writeSubject(outside, ownEdition(), 2));
        QVERIFY(fx->subject(sub("a"), 2));
        fx->virtualSubject(vsub("mine"), QStringLiteral("Mine"), {{name, 1}, {sub("a"), 2}});
        ClickedVirtualSubject clicked;
        SubjectTree& tree = clicked.tree;
        QTreeWidgetItem* subject = clicked.subject;

        fx->answer = QMessageBox::Yes;
        QVERIFY(checkVirtualSubject(&tree, subject, &tree));
        QCOMPARE(fx->boxes.size(), 1);
        QVERIFY2(fx->boxes.first().text.contains(name.toUpper()), qPrintable(fx->boxes.first().text));
        QCOMPARE(collectPhrasesToStudy(subject, &tree), 1);
        QCOMPARE(app().StudyPhrases[0].SubjectFile, sub("a"));
        QCOMPARE(app().StudyPhrases[0].phraseNo, 2);
        // Collected on its own, the row gives an empty set.
        QCOMPARE(StudySet::collectPhrases(app(), {{name, 1}}).count, 0);
    }

    // Phrases that cannot be studied are skipped: a deleted row, another edition's file.
    void virtualPhrasesSkipped()
    {
        QVERIFY(fx->subject(sub("a"), 2));
        QVERIFY(fx->subject(sub("es"), 2, otherEdition(0)));
        std::vector<PhraseRef> refs{{sub("a"), 9}, {sub("es"), 1}, {sub("a"), 2}};
        for (int i = 0; i < 12; ++i)
            refs.push_back({sub("a"), 1});
        const StudySet::Result r = StudySet::collectPhrases(app(), refs);
        QVERIFY(r.error.isEmpty());
        QCOMPARE(r.count, 10);
        QCOMPARE(app().StudyPhrases[0].phraseNo, 2);
        QCOMPARE(app().StudyPhrases[1].phraseNo, 1);
    }

    // Ten phrases of one subject file, as a launch reads them (the file opened once for the
    // check and the set): a phrase gone from the file is skipped without a message and the
    // order is kept; a damaged file or another edition's gives no phrase, marks the subject
    // and is named with its reason.
    void virtualSubjectOfOneFile_data()
    {
        QTest::addColumn<QString>("change");
        QTest::addColumn<int>("count");
        QTest::newRow("phrase 4 gone") << "delete" << 9;
        QTest::newRow("file damaged") << "garbage" << 0;
        QTest::newRow("another edition") << "other" << 0;
    }
    void virtualSubjectOfOneFile()
    {
        QFETCH(QString, change);
        QFETCH(int, count);
        const QString ten = sub("ten");
        QVERIFY(fx->subject(ten, 10, change == "other" ? otherEdition() : ownEdition()));
        std::vector<std::pair<QString, qint64>> refs;
        for (qint64 n = 10; n >= 1; --n)
            refs.push_back({ten, n});
        fx->virtualSubject(vsub("mine"), QStringLiteral("Mine"), refs);
        ClickedVirtualSubject clicked;
        SubjectTree& tree = clicked.tree;
        QTreeWidgetItem* subject = clicked.subject;
        QCOMPARE(subject->childCount(), 10);
        if (change == "delete") {
            QString error;
            auto db = Database::open(fx->installed(ten), Database::SubjectPassword, Database::Mode::ReadWrite,
                                     &error);
            QVERIFY2(db && db->exec("DELETE FROM tblPhrases WHERE pkPhraseNo = 4", &error),
                     qPrintable(error));
        } else if (change == "garbage") {
            TestSupport::writeGarbage(fx->installed(ten));
        }

        StudySet::SourceSubjects sources(app(), phraseRefs(subject));
        QCOMPARE(checkVirtualSubject(&tree, subject, &tree, &sources), count > 0);
        // Nothing to study: the learner is told which source file cannot be used.
        QCOMPARE(fx->boxes.size(), count == 0 ? 1 : 0);
        if (count == 0) {
            QVERIFY2(fx->boxes[0].text.contains(ten), qPrintable(fx->boxes[0].text));
            QCOMPARE(subject->data(0, SubjectTree::ImageRole).toInt(), int(SubjectTree::FailedSubjectImage));
            return;
        }
        QCOMPARE(collectPhrasesToStudy(subject, &tree, nullptr, &sources), count);
        QVERIFY(fx->boxes.isEmpty());
        QList<int> numbers;
        for (int slot = 1; slot <= count; ++slot)
            numbers << app().StudyPhrases[size_t(slot - 1)].phraseNo;
        QCOMPARE(numbers, (QList<int>{10, 9, 8, 7, 6, 5, 3, 2, 1}));
        QCOMPARE(StudyFixture::readAll(app().studySoundFile(9)), fx->bsound(ten, 1));
        QVERIFY(!QFileInfo::exists(app().studySoundFile(10)));
    }

    void randomDrawsOnlyExistingNumbers()
    {
        std::vector<Phrase> phrases;
        for (qint64 n : {3, 7}) {
            Phrase p;
            p.phraseNo = n;
            p.tTranslation = QStringLiteral("T%1").arg(n);
            phrases.push_back(p);
        }
        QString error;
        QVERIFY(InstalledSubject::create(fx->installed(sub("gaps")), ownEdition(), phrases, true, &error));
        QVERIFY(InstalledSubject::create(fx->installed(sub("empty")), ownEdition(), {}, true, &error));
        int calls = 0;
        RandomPhrases::setSourceForTests([&calls] { return (calls++ % 5) / 5.0; });
        const auto r = RandomPhrases::drawPhrases(app().installedSubjectsFolder, {sub("empty"), sub("gaps")},
                                                  ownEdition(), 10);
        QVERIFY(!r.allExcluded);
        QCOMPARE(int(r.phrases.size()), 10);
        for (const auto& d : r.phrases) {
            QCOMPARE(d.subjectFile, sub("gaps"));
            QVERIFY(d.phrase.phraseNo == 3 || d.phrase.phraseNo == 7);
        }
    }

    // Every installed subject belongs to another edition: the learner is told and the
    // random phrases set disappears again.
    void randomSetRemovedWhenNothingValid()
    {
        QVERIFY(fx->subject(sub("one"), 3, otherEdition(0)));
        QVERIFY(fx->subject(sub("two"), 3, otherEdition(1)));
        SubjectTree tree;
        tree.createFolders();
        tree.loadSubjects();
        SubjectSelection selection(&tree);
        selection.onNodeClicked(tree.randomPhrasesFolder());
        QCOMPARE(fx->boxes.size(), 1);
        QCOMPARE(fx->boxes.first().text, QStringLiteral("C140"));
        QCOMPARE(tree.randomPhrasesFolder()->childCount(), 0);
        QVERIFY(tree.isEnabled());
    }

    void randomSetFilledWithTenPhrases()
    {
        QVERIFY(fx->subject(sub("one"), 3));
        SubjectTree tree;
        tree.createFolders();
        tree.loadSubjects();
        SubjectSelection selection(&tree);
        selection.onNodeClicked(tree.randomPhrasesFolder());
        QCOMPARE(tree.randomPhrasesFolder()->childCount(), 1);
        QTreeWidgetItem* set = tree.randomPhrasesFolder()->child(0);
        QCOMPARE(set->text(0), QStringLiteral("C118"));
        QVERIFY(SubjectNode::of(set).is(SubjectNode::Kind::PhraseSet));
        QCOMPARE(set->childCount(), 10);
        QCOMPARE(collectPhrasesToStudy(set, &tree), 10);
        // A second click clears it.
        selection.onNodeClicked(tree.randomPhrasesFolder());
        QCOMPARE(tree.randomPhrasesFolder()->childCount(), 0);
        QVERIFY(fx->boxes.isEmpty());
    }

    void randomSubjectAlternates()
    {
        QVERIFY(fx->subject(sub("basic_phrases"), 2));
        SubjectTree tree;
        tree.createFolders();
        tree.loadSubjects();
        SubjectSelection selection(&tree);
        QTreeWidgetItem* folder = tree.randomSubjectFolder();
        selection.onNodeClicked(folder);
        QCOMPARE(folder->childCount(), 1);
        QCOMPARE(folder->child(0)->text(0), QStringLiteral(" Basic Phrases"));
        QCOMPARE(folder->data(0, SubjectTree::ImageRole).toInt(), int(SubjectTree::OpenFolder));
        selection.onNodeClicked(folder);
        QCOMPARE(folder->childCount(), 0);
        QCOMPARE(folder->data(0, SubjectTree::ImageRole).toInt(), int(SubjectTree::ClosedFolder));
        selection.onNodeClicked(folder);
        QCOMPARE(folder->childCount(), 1);
    }

    void subjectPhrasesLoadedOnce()
    {
        QVERIFY(fx->subject(sub("a"), 3));
        SubjectTree tree;
        tree.createFolders();
        tree.loadSubjects();
        SubjectSelection selection(&tree);
        QTreeWidgetItem* subject = tree.installedFolder()->child(0);
        tree.setCurrentItem(subject);
        selection.onNodeClicked(subject);
        selection.onNodeClicked(subject);
        QCOMPARE(subject->childCount(), 3);
        QVERIFY(SubjectNode::of(subject->child(1)) ==
                SubjectNode::makePhrase(sub("a"), 2, "Frase 2", "Phrase 2", "Literal 2"));
    }

    void emptyVirtualSubjectAndUnreadableFile()
    {
        QVERIFY(fx->subject(sub("a"), 1));
        QString error;
        const QString path = app().virtualSubjectsFolder + vsub("empty");
        QVERIFY(VirtualSubjectFile::createEmpty(path, &error));
        QVERIFY(VirtualSubjectFile::addSubject(path, "Nothing yet", &error));
        SubjectTree tree;
        tree.createFolders();
        tree.loadSubjects();
        tree.loadVirtualSubjects();
        SubjectSelection selection(&tree);
        QTreeWidgetItem* subject = tree.topLevelItem(4)->child(0);
        selection.onNodeClicked(subject);
        QCOMPARE(subject->childCount(), 1);
        QCOMPARE(subject->child(0)->text(0), QStringLiteral("C127"));
        selection.onNodeClicked(subject->child(0));
        QCOMPARE(tree.currentItem(), subject);
        QVERIFY(!checkVirtualSubject(&tree, subject, &tree));
        QCOMPARE(subject->data(0, SubjectTree::ImageRole).toInt(), int(SubjectTree::FailedSubjectImage));

        // The file is damaged after the tree was built: an orderly message, no crash.
        QTreeWidgetItem* other =
            tree.addNode(tree.topLevelItem(4), "Other", SubjectNode::makeVirtualSubject(99), 7, 8);
        TestSupport::writeGarbage(path);
        tree.setCurrentItem(other);
        selection.onNodeClicked(other);
        QCOMPARE(fx->boxes.size(), 1);
        QCOMPARE(fx->boxes.first().title, QStringLiteral("C103"));
        QVERIFY(fx->boxes.first().text.startsWith(vsub("empty").toUpper() + "C6\n\n"));
        QCOMPARE(other->data(0, SubjectTree::ImageRole).toInt(), int(SubjectTree::FailedSubjectImage));
        QCOMPARE(tree.currentItem(), tree.topLevelItem(4));
        QVERIFY(tree.isEnabled());
    }

    void noInstalledSubject()
    {
        SubjectTree tree;
        tree.createFolders();
        tree.loadSubjects();
        SubjectSelection selection(&tree);
        selection.onNodeClicked(tree.randomSubjectFolder());
        QCOMPARE(fx->boxes.size(), 1);
        QCOMPARE(fx->boxes.first().text,
                 QStringLiteral("C131 \n\n") + app().installedSubjectsFolder + QStringLiteral("\n\nC132\n"));
        QCOMPARE(tree.randomSubjectFolder()->childCount(), 0);
    }
};

QTEST_MAIN(TestStudySet)
#include "TestStudySet.moc"
