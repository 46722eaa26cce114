#include "StudyFixture.h"
#include "support/TestSupport.h"

#include "study/PhraseEditWindow.h"
#include "study/PhraseMenu.h"
#include "study/PhraseSound.h"
#include "subjects/SubjectTree.h"
#include "support/ModalDriver.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

#include <functional>
#include <memory>
#include <optional>

// Hearing a phrase of the subject tree and correcting its texts, on real subject files.
class TestPhraseSoundEdit : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }
    void init();
    void cleanup();

    void extractedSoundIsTheStoredSound();
    void listeningShowsThePhraseWhilePlaying();
    void listeningIgnoresFoldersAndSubjects();
    void listeningIsSilentWithoutTheSubjectFile();
    void closingTheBoxFirstMeansNoSound();
    void missingPhraseIsReported();
    void editorStartsWithTheNodesTexts();
    void okStoresTrimmedTextsAndKeepsEmptiedColumns();
    void cancelWritesNothing();
    void onlyTheAdministratorMayEdit();
    void failedSaveIsReportedAndTheEditorStaysOpen();
    void largePhraseNumbersCanBeEdited();

private:
    struct Played
    {
        QString source;
        bool boxShown = false;
        QString boxText;
        QByteArray bytes;
    };

    // A subject node for `file` under the installed folder, with one node per phrase.
    QTreeWidgetItem* addSubject(const QString& file);
    QTreeWidgetItem* phraseNode(QTreeWidgetItem* subject, int index) { return subject->child(index); }
    // Runs `action` on the editor once editSelectedPhrase has opened it; nullopt when it never opened.
    std::optional<bool> driveEditor(bool administrator, const std::function<void(PhraseEditWindow*)>& action);
    Phrase stored(const QString& file, qint64 number);
    static void writePhrases(const QString& path, const std::vector<std::pair<qint64, QByteArray>>& phrases);

    std::unique_ptr<StudyFixture> f;
    std::unique_ptr<QWidget> host;
    SubjectTree* tree = nullptr;
    QList<Played> played;
};

void TestPhraseSoundEdit::init()
{
    f = std::make_unique<StudyFixture>();
    f->setUp();
    played.clear();
    Sound::setPlayerForTests([this](const QString& source, bool) {
        Played p;
        p.source = source;
        p.boxShown = MessageWindow::isShown();
        p.boxText = p.boxShown ? MessageWindow::instance()->lblMsg()->text() : QString();
        p.bytes = StudyFixture::readAll(source);
        played << p;
    });
    host = std::make_unique<QWidget>();
    tree = new SubjectTree(host.get());
    tree->createFolders();
}

void TestPhraseSoundEdit::cleanup()
{
    MessageWindow::unload();
    host.reset();
    tree = nullptr;
    f.reset();
}

QTreeWidgetItem* TestPhraseSoundEdit::addSubject(const QString& file)
{
    QTreeWidgetItem* subject = tree->addNode(tree->installedFolder(), file, SubjectNode::makeSubject(file),
                                             SubjectTree::SubjectImage, SubjectTree::SelectedSubjectImage);
    QString error;
    const auto phrases = InstalledSubject::phrases(f->installed(file), false, &error);
    if (!phrases)
        qFatal("%s", qPrintable(error));
    for (const Phrase& p : *phrases)
        tree->addNode(subject, p.tTranslation,
                      SubjectNode::makePhrase(file, p.phraseNo, p.tPhrase, p.tTranslation, p.tTranslation2),
                      SubjectTree::PhraseImage);
    return subject;
}

Phrase TestPhraseSoundEdit::stored(const QString& file, qint64 number)
{
    bool found = false;
    QString error;
    const auto p = InstalledSubject::phrase(f->installed(file), number, false, &found, &error);
    if (!p || !found)
        qFatal("phrase %lld: %s", number, qPrintable(error));
    return *p;
}

void TestPhraseSoundEdit::writePhrases(const QString& path,
                                       const std::vector<std::pair<qint64, QByteArray>>& phrases)
{
    std::vector<Phrase> rows;
    for (const auto& [number, sound] : phrases) {
        Phrase p;
        p.phraseNo = number;
        p.tPhrase = QStringLiteral("Frase %1").arg(number);
        p.tTranslation = QStringLiteral("Phrase %1").arg(number);
        p.tTranslation2 = QStringLiteral("Literal %1").arg(number);
        p.bsound = sound;
        rows.push_back(p);
    }
    QString error;
    QVERIFY2(InstalledSubject::create(path, QStringLiteral("prlita"), rows, true, &error), qPrintable(error));
}

std::optional<bool> TestPhraseSoundEdit::driveEditor(bool administrator,
                                                     const std::function<void(PhraseEditWindow*)>& action)
{
    return TestSupport::driveModal<PhraseEditWindow>(
        host.get(), action, [&] { PhraseMenu::editSelectedPhrase(tree, administrator, host.get()); });
}

// ---------------------------------------------------------------- sound

void TestPhraseSoundEdit::extractedSoundIsTheStoredSound()
{
    const QByteArray longSound = TestSupport::makeWave(3, 600);
    const QByteArray shortSound = TestSupport::makeWave(4, 50);
    writePhrases(f->installed(QStringLiteral("mixed.prlita")), {{1, longSound}, {2, shortSound}});

    // Another user plants a link to a file of the learner's at the shared temporary
    // folder's old name for the sound: the sound never goes there.
    const QString learnerFile = app().dataFolder + QStringLiteral("private.txt");
    QVERIFY(QDir().mkpath(app().dataFolder) && QDir().mkpath(app().tempFolder));
    {
        QFile mine(learnerFile);
        QVERIFY(mine.open(QIODevice::WriteOnly) && mine.write("mine") == 4);
    }
    QVERIFY(QFile::link(learnerFile, app().tempFolder + QStringLiteral("~selectedphrase.wav")));
    QString error;
    QCOMPARE(PhraseSound::extract(QStringLiteral("mixed.prlita"), QStringLiteral("1"), &error),
             PhraseSound::Outcome::Extracted);
    QCOMPARE(StudyFixture::readAll(PhraseSound::temporaryFile()), longSound);
    QCOMPARE(StudyFixture::readAll(learnerFile), QByteArray("mine"));
    QVERIFY(PhraseSound::temporaryFile().startsWith(app().handOverFolder));
    QVERIFY(app().handOverFolder.startsWith(app().tempFolder + QStringLiteral("parlanto-")));
    // The shorter sound replaces the whole file: nothing of the longer one is left after it.
    QCOMPARE(PhraseSound::extract(QStringLiteral("mixed.prlita"), QStringLiteral("2"), &error),
             PhraseSound::Outcome::Extracted);
    QCOMPARE(StudyFixture::readAll(PhraseSound::temporaryFile()), shortSound);

    // No file, or a name reaching outside the subjects folder: nothing written, no error.
    QFile::copy(f->installed(QStringLiteral("mixed.prlita")),
                app().dataFolder + QStringLiteral("outside.prlita"));
    for (const QString& name :
         {QStringLiteral("absent.prlita"), QStringLiteral("../../data/outside.prlita")}) {
        error.clear();
        QCOMPARE(PhraseSound::extract(name, QStringLiteral("1"), &error),
                 PhraseSound::Outcome::NoSubjectFile);
        QVERIFY(error.isEmpty());
        QCOMPARE(StudyFixture::readAll(PhraseSound::temporaryFile()), shortSound);
    }
}

void TestPhraseSoundEdit::listeningShowsThePhraseWhilePlaying()
{
    QVERIFY(f->subject(QStringLiteral("basics.prlita"), 3));
    QTreeWidgetItem* subject = addSubject(QStringLiteral("basics.prlita"));
    tree->setCurrentItem(phraseNode(subject, 1));

    PhraseMenu::listenToSelectedPhrase(tree);

    QCOMPARE(played.size(), 1);
    QCOMPARE(played[0].source, PhraseSound::temporaryFile());
    QCOMPARE(played[0].bytes, f->bsound(QStringLiteral("basics.prlita"), 2));
    QVERIFY(played[0].boxShown);
    QCOMPARE(played[0].boxText, QStringLiteral("Frase 2"));
    QVERIFY(!MessageWindow::isShown());
    QVERIFY(f->boxes.isEmpty());
}

void TestPhraseSoundEdit::listeningIgnoresFoldersAndSubjects()
{
    QVERIFY(f->subject(QStringLiteral("basics.prlita"), 2));
    QTreeWidgetItem* subject = addSubject(QStringLiteral("basics.prlita"));
    for (QTreeWidgetItem* node : {tree->installedFolder(), subject}) {
        tree->setCurrentItem(node);
        PhraseMenu::listenToSelectedPhrase(tree);
    }
    QVERIFY(played.isEmpty());
    QVERIFY(f->boxes.isEmpty());
    QVERIFY(!QFile::exists(PhraseSound::temporaryFile()));
}

void TestPhraseSoundEdit::listeningIsSilentWithoutTheSubjectFile()
{
    QVERIFY(f->subject(QStringLiteral("basics.prlita"), 2));
    QTreeWidgetItem* subject = addSubject(QStringLiteral("basics.prlita"));
    QVERIFY(QFile::remove(f->installed(QStringLiteral("basics.prlita"))));
    tree->setCurrentItem(phraseNode(subject, 0));

    PhraseMenu::listenToSelectedPhrase(tree);

    QVERIFY(played.isEmpty());
    QVERIFY(f->boxes.isEmpty());
    QVERIFY(!MessageWindow::isShown());
}

void TestPhraseSoundEdit::closingTheBoxFirstMeansNoSound()
{
    QVERIFY(f->subject(QStringLiteral("basics.prlita"), 2));
    QTreeWidgetItem* subject = addSubject(QStringLiteral("basics.prlita"));
    tree->setCurrentItem(phraseNode(subject, 0));
    // Runs at the first events processed while the phrase is on show.
    QTimer::singleShot(0, this, [] { MessageWindow::instance()->close(); });

    PhraseMenu::listenToSelectedPhrase(tree);

    QVERIFY(played.isEmpty());
    QVERIFY(f->boxes.isEmpty());
}

void TestPhraseSoundEdit::missingPhraseIsReported()
{
    QVERIFY(f->subject(QStringLiteral("basics.prlita"), 2));
    QTreeWidgetItem* subject = addSubject(QStringLiteral("basics.prlita"));
    QTreeWidgetItem* node = phraseNode(subject, 1);
    SubjectNode::set(node, SubjectNode::makePhrase(QStringLiteral("basics.prlita"), 99, QStringLiteral("x"),
                                                   QStringLiteral("y"), QString()));
    tree->setCurrentItem(node);

    PhraseMenu::listenToSelectedPhrase(tree);

    QVERIFY(played.isEmpty());
    QCOMPARE(f->boxes.size(), 1);
    QCOMPARE(f->boxes[0].title, QStringLiteral("ERROR"));
    QCOMPARE(f->boxes[0].icon, QMessageBox::Critical);
    QVERIFY2(f->boxes[0].text.contains(QStringLiteral("Listen_to_Phrase: ")), qPrintable(f->boxes[0].text));
    QVERIFY(!MessageWindow::isShown());
}

// ---------------------------------------------------------------- editor

void TestPhraseSoundEdit::editorStartsWithTheNodesTexts()
{
    QVERIFY(f->subject(QStringLiteral("basics.prlita"), 2));
    QTreeWidgetItem* subject = addSubject(QStringLiteral("basics.prlita"));
    tree->setCurrentItem(phraseNode(subject, 1));

    const auto stayedOpen = driveEditor(true, [](PhraseEditWindow* w) {
        QCOMPARE(w->objectName(), QStringLiteral("frmEdit"));
        QVERIFY(w->isModal());
        QCOMPARE(w->windowTitle(), QStringLiteral("C111"));
        QCOMPARE(TestSupport::child<QLineEdit>(w, "txtPhrase")->text(), QStringLiteral("Frase 2"));
        QCOMPARE(TestSupport::child<QLineEdit>(w, "txtTranslation")->text(), QStringLiteral("Phrase 2"));
        QCOMPARE(TestSupport::child<QLineEdit>(w, "txtTranslation2")->text(), QStringLiteral("Literal 2"));
        QCOMPARE(TestSupport::child<QPushButton>(w, "btnOK")->text(), QStringLiteral("C8"));
        QCOMPARE(TestSupport::child<QPushButton>(w, "btnCancel")->text(), QStringLiteral("C9"));
        QCOMPARE(TestSupport::child<QLabel>(w, "lblWarning")->text(), QStringLiteral("C108"));
        QCOMPARE(w->findChild<QLabel*>(QStringLiteral("lblPhrase"))->text(), QStringLiteral("C109"));
        // "Translation" and "Second translation", not "Translations" and "Translations 2".
        QCOMPARE(w->findChild<QLabel*>(QStringLiteral("lblTranslation"))->text(), QStringLiteral("C359"));
        QCOMPARE(w->findChild<QLabel*>(QStringLiteral("lblTranslation2"))->text(), QStringLiteral("C358"));
        for (QWidget* c : {static_cast<QWidget*>(TestSupport::child<QLineEdit>(w, "txtPhrase")),
                           static_cast<QWidget*>(TestSupport::child<QLineEdit>(w, "txtTranslation")),
                           static_cast<QWidget*>(TestSupport::child<QLineEdit>(w, "txtTranslation2")),
                           static_cast<QWidget*>(TestSupport::child<QPushButton>(w, "btnOK")),
                           static_cast<QWidget*>(TestSupport::child<QPushButton>(w, "btnCancel"))}) {
            QVERIFY2(!c->accessibleName().isEmpty(), qPrintable(c->objectName()));
            QVERIFY(c->focusPolicy() & Qt::TabFocus);
        }
        QCOMPARE(w->editedPhrase().number, 2);
    });
    QCOMPARE(stayedOpen, std::optional<bool>(true));
}

void TestPhraseSoundEdit::okStoresTrimmedTextsAndKeepsEmptiedColumns()
{
    QVERIFY(f->subject(QStringLiteral("basics.prlita"), 3));
    QTreeWidgetItem* subject = addSubject(QStringLiteral("basics.prlita"));
    QTreeWidgetItem* node = phraseNode(subject, 2);
    tree->setCurrentItem(node);

    const auto stayedOpen = driveEditor(true, [](PhraseEditWindow* w) {
        TestSupport::child<QLineEdit>(w, "txtPhrase")->clear();
        QTest::keyClicks(TestSupport::child<QLineEdit>(w, "txtPhrase"),
                         QStringLiteral("  Nueva frase * tres  "));
        TestSupport::child<QLineEdit>(w, "txtTranslation")->clear();
        QTest::keyClicks(TestSupport::child<QLineEdit>(w, "txtTranslation"), QStringLiteral("   "));
        TestSupport::child<QLineEdit>(w, "txtTranslation2")->clear();
        QTest::keyClicks(TestSupport::child<QLineEdit>(w, "txtTranslation2"),
                         QStringLiteral(" New literal "));
        QTest::mouseClick(TestSupport::child<QPushButton>(w, "btnOK"), Qt::LeftButton);
    });
    QCOMPARE(stayedOpen, std::optional<bool>(false));
    QVERIFY(f->boxes.isEmpty());

    const Phrase p = stored(QStringLiteral("basics.prlita"), 3);
    QCOMPARE(p.tPhrase, QStringLiteral("Nueva frase * tres"));
    QCOMPARE(p.tTranslation, QStringLiteral("Phrase 3")); // the emptied box left its column
    QCOMPARE(p.tTranslation2, QStringLiteral("New literal"));
    QCOMPARE(stored(QStringLiteral("basics.prlita"), 2).tPhrase, QStringLiteral("Frase 2"));

    // The node shows what was typed, the emptied translation included, without a reload.
    QCOMPARE(node->text(0), QString());
    QVERIFY(SubjectNode::of(node) == SubjectNode::makePhrase(QStringLiteral("basics.prlita"), 3,
                                                             QStringLiteral("Nueva frase * tres"), QString(),
                                                             QStringLiteral("New literal")));
}

void TestPhraseSoundEdit::cancelWritesNothing()
{
    QVERIFY(f->subject(QStringLiteral("basics.prlita"), 2));
    QTreeWidgetItem* subject = addSubject(QStringLiteral("basics.prlita"));
    QTreeWidgetItem* node = phraseNode(subject, 0);
    tree->setCurrentItem(node);
    const SubjectNode before = SubjectNode::of(node);

    const auto stayedOpen = driveEditor(true, [](PhraseEditWindow* w) {
        QTest::keyClicks(TestSupport::child<QLineEdit>(w, "txtPhrase"), QStringLiteral(" changed"));
        QTest::keyClicks(TestSupport::child<QLineEdit>(w, "txtTranslation"), QStringLiteral(" changed"));
        QTest::mouseClick(TestSupport::child<QPushButton>(w, "btnCancel"), Qt::LeftButton);
    });
    QCOMPARE(stayedOpen, std::optional<bool>(false));
    QCOMPARE(stored(QStringLiteral("basics.prlita"), 1).tPhrase, QStringLiteral("Frase 1"));
    QCOMPARE(stored(QStringLiteral("basics.prlita"), 1).tTranslation, QStringLiteral("Phrase 1"));
    QCOMPARE(node->text(0), QStringLiteral("Phrase 1"));
    QVERIFY(SubjectNode::of(node) == before);
}

void TestPhraseSoundEdit::onlyTheAdministratorMayEdit()
{
    QVERIFY(f->subject(QStringLiteral("basics.prlita"), 2));
    QTreeWidgetItem* subject = addSubject(QStringLiteral("basics.prlita"));
    tree->setCurrentItem(phraseNode(subject, 0));

    const auto stayedOpen = driveEditor(false, [](PhraseEditWindow*) {});
    QVERIFY(!stayedOpen.has_value()); // the editor never opened
    QCOMPARE(f->boxes.size(), 1);
    QCOMPARE(f->boxes[0].text, QStringLiteral("C113"));
    QCOMPARE(f->boxes[0].icon, QMessageBox::Warning);
    QVERIFY(!host->findChild<PhraseEditWindow*>());
}

void TestPhraseSoundEdit::failedSaveIsReportedAndTheEditorStaysOpen()
{
    QVERIFY(f->subject(QStringLiteral("basics.prlita"), 2));
    QTreeWidgetItem* subject = addSubject(QStringLiteral("basics.prlita"));
    QTreeWidgetItem* node = phraseNode(subject, 0);
    tree->setCurrentItem(node);
    const QString path = f->installed(QStringLiteral("basics.prlita"));

    // A subject file that cannot be written; where permissions do not stop this user (root),
    // a file that is no database any more fails the same way.
    QFile file(path);
    QVERIFY(file.setPermissions(QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther));
    QFile probe(path);
    const bool permissionsHold = !probe.open(QIODevice::ReadWrite);
    probe.close();
    if (!permissionsHold) {
        QVERIFY(file.setPermissions(QFile::ReadOwner | QFile::WriteOwner));
        QVERIFY(QFile::remove(path));
        TestSupport::writeGarbage(path);
    }

    QString typed;
    const auto stayedOpen = driveEditor(true, [&](PhraseEditWindow* w) {
        TestSupport::child<QLineEdit>(w, "txtPhrase")->clear();
        QTest::keyClicks(TestSupport::child<QLineEdit>(w, "txtPhrase"), QStringLiteral("Kept while failing"));
        QTest::mouseClick(TestSupport::child<QPushButton>(w, "btnOK"), Qt::LeftButton);
        typed = TestSupport::child<QLineEdit>(w, "txtPhrase")->text();
    });
    QCOMPARE(stayedOpen, std::optional<bool>(true));
    QCOMPARE(typed, QStringLiteral("Kept while failing"));
    QCOMPARE(f->boxes.size(), 1);
    QCOMPARE(f->boxes[0].title, QStringLiteral("ERROR"));
    QVERIFY2(f->boxes[0].text.contains(QStringLiteral("btnOK_Click: ")), qPrintable(f->boxes[0].text));
    QCOMPARE(node->text(0), QStringLiteral("Phrase 1"));
    QCOMPARE(SubjectNode::of(node).phrase, QStringLiteral("Frase 1"));

    if (permissionsHold) {
        QVERIFY(file.setPermissions(QFile::ReadOwner | QFile::WriteOwner));
        QCOMPARE(stored(QStringLiteral("basics.prlita"), 1).tPhrase, QStringLiteral("Frase 1"));
    }
}

void TestPhraseSoundEdit::largePhraseNumbersCanBeEdited()
{
    writePhrases(f->installed(QStringLiteral("large.prlita")),
                 {{40000, TestSupport::makeWave(1)}, {4294967296LL + 7, TestSupport::makeWave(2)}});
    QTreeWidgetItem* subject = addSubject(QStringLiteral("large.prlita"));
    for (int i = 0; i < 2; ++i) {
        tree->setCurrentItem(phraseNode(subject, i));
        const auto stayedOpen = driveEditor(true, [](PhraseEditWindow* w) {
            TestSupport::child<QLineEdit>(w, "txtTranslation")->setText(QStringLiteral("Edited"));
            QTest::mouseClick(TestSupport::child<QPushButton>(w, "btnOK"), Qt::LeftButton);
        });
        QCOMPARE(stayedOpen, std::optional<bool>(false));
    }
    QVERIFY(f->boxes.isEmpty());
    QCOMPARE(stored(QStringLiteral("large.prlita"), 40000).tTranslation, QStringLiteral("Edited"));
    QCOMPARE(stored(QStringLiteral("large.prlita"), 4294967296LL + 7).tTranslation, QStringLiteral("Edited"));
}

QTEST_MAIN(TestPhraseSoundEdit)
#include "TestPhraseSoundEdit.moc"
