// The main window's subject tree, built from real folders and driven offscreen.
#include "platform/Clock.h"
#include "support/TestSupport.h"

#include "content/LoadingLog.h"
#include "content/WebPage.h"
#include "state/AppState.h"
#include "subjects/SubjectCheck.h"
#include "subjects/SubjectFile.h"
#include "subjects/SubjectTree.h"
#include "subjects/VirtualSubjectIndex.h"
#include "widgets/Dialogs.h"
#include "widgets/MessageWindow.h"

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

class TestSubjectTree : public QObject
{
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<SubjectTree> m_tree;
    QList<Dialogs::Request> m_requests;
    QStringList m_log;

    QString installed(const QString& name) const { return app().installedSubjectsFolder + name; }
    QString virtualFile(const QString& name) const { return app().virtualSubjectsFolder + name; }

    void writeVirtual(const QString& name, const QStringList& subjects)
    {
        QString error;
        QVERIFY2(VirtualSubjectFile::createEmpty(virtualFile(name), &error), qPrintable(error));
        for (const QString& s : subjects)
            QVERIFY2(VirtualSubjectFile::addSubject(virtualFile(name), s, &error), qPrintable(error));
    }

    void build()
    {
        m_tree->createFolders();
        m_tree->loadSubjects();
        m_tree->loadVirtualSubjects();
    }

    static QStringList childTexts(const QTreeWidgetItem* item)
    {
        QStringList texts;
        for (int i = 0; i < item->childCount(); ++i)
            texts << item->child(i)->text(0);
        return texts;
    }

    static int image(const QTreeWidgetItem* item) { return item->data(0, SubjectTree::ImageRole).toInt(); }
    static int selectedImage(const QTreeWidgetItem* item)
    {
        return item->data(0, SubjectTree::SelectedImageRole).toInt();
    }

    QPoint centre(QTreeWidgetItem* item) const { return m_tree->visualItemRect(item).center(); }

private slots:
    void initTestCase()
    {
        QStandardPaths::setTestModeEnabled(true);
        Dialogs::setHandlerForTests([this](const Dialogs::Request& r) {
            m_requests << r;
            return QMessageBox::Ok;
        });
        LoadingLog::setSink([this](const QString& line) { m_log << line; });
    }

    void cleanupTestCase()
    {
        Dialogs::setHandlerForTests({});
        LoadingLog::setSink({});
        setUrlOpenerForTests({});
    }

    void init()
    {
        resetAppState();
        QStringList rows;
        for (int n = 1; n <= 359; ++n)
            rows << QStringLiteral("C%1").arg(n);
        app().captions.setTexts(rows);
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(m_dir->isValid());
        const QString root = m_dir->path() + QLatin1Char('/');
        QVERIFY(QDir(root).mkpath("Subjects") && QDir(root).mkpath("MySubjects"));
        app().installedSubjectsFolder = root + "Subjects/";
        app().virtualSubjectsFolder = root + "MySubjects/";
        m_tree = std::make_unique<SubjectTree>();
        m_requests.clear();
        m_log.clear();
    }

    void cleanup()
    {
        m_tree.reset();
        MessageWindow::unload();
    }

    void fixedFoldersAndPlaceholderWithoutSubjects()
    {
        build();
        QCOMPARE(m_tree->topLevelItemCount(), 4);
        const SubjectNode::Folder kinds[] = {SubjectNode::Folder::InstalledSubjects,
                                             SubjectNode::Folder::RandomSubject,
                                             SubjectNode::Folder::RandomPhrases};
        const QStringList texts{"C2", "C117", "C119"};
        for (int i = 0; i < 3; ++i) {
            QTreeWidgetItem* folder = m_tree->topLevelItem(i);
            QCOMPARE(folder->text(0), texts[i]);
            QVERIFY(SubjectNode::of(folder) == SubjectNode::makeFolder(kinds[i]));
            QCOMPARE(image(folder), int(SubjectTree::ClosedFolder));
            QVERIFY(folder->font(0).bold());
        }
        QTreeWidgetItem* node1 = m_tree->installedFolder();
        QCOMPARE(node1->childCount(), 1);
        QCOMPARE(node1->child(0)->text(0), QStringLiteral("C130"));
        QVERIFY(SubjectNode::of(node1->child(0)).is(SubjectNode::Kind::Placeholder));
        QCOMPARE(image(node1->child(0)), int(SubjectTree::NoImage));
        QCOMPARE(m_tree->currentItem(), node1);
        QVERIFY(m_requests.isEmpty());
    }

    void installedSubjectsInNameOrderWithTitles()
    {
        // The tree lists names only, so even a damaged file shows; it is refused when used.
        for (const QString& name :
             {TestSupport::subjectFile("MyTopic"), TestSupport::subjectFile("basic_phrases"),
              TestSupport::subjectFile("città vecchia"), TestSupport::subjectFile("v.1.2_l'ora")})
            TestSupport::writeGarbage(installed(name), 16);
        TestSupport::writeGarbage(installed(TestSupport::virtualFile("mine")), 16);
        QVERIFY(QDir(app().installedSubjectsFolder).mkdir(TestSupport::subjectFile("folder")));
        build();

        QTreeWidgetItem* node1 = m_tree->installedFolder();
        QCOMPARE(childTexts(node1),
                 QStringList({"Basic Phrases", "Città Vecchia", "Mytopic", "V.1.2 L'ora"}));
        QVERIFY(SubjectNode::of(node1->child(2)) ==
                SubjectNode::makeSubject(TestSupport::subjectFile("MyTopic")));
        QCOMPARE(SubjectNode::of(node1->child(3)).file, TestSupport::subjectFile("v.1.2_l'ora"));
        QCOMPARE(image(node1->child(0)), int(SubjectTree::SubjectImage));
        QCOMPARE(selectedImage(node1->child(0)), int(SubjectTree::SelectedSubjectImage));
        QCOMPARE(m_log,
                 QStringList({"C23 Basic Phrases", "C23 Città Vecchia", "C23 Mytopic", "C23 V.1.2 L'ora"}));
    }

    void virtualSubjectFilesAsFolders()
    {
        writeVirtual(TestSupport::virtualFile("my_Words"), {"Cibo", "Viaggi \"in\" treno"});
        writeVirtual(TestSupport::virtualFile("empty"), {});
        MessageWindow::showStatus("loading", 1500);
        build();

        QCOMPARE(m_tree->topLevelItemCount(), 6);
        QTreeWidgetItem* empty = m_tree->topLevelItem(4);
        QTreeWidgetItem* words = m_tree->topLevelItem(5);
        QCOMPARE(empty->text(0), QStringLiteral("empty"));
        QCOMPARE(childTexts(empty), QStringList({"C130"}));
        QVERIFY(SubjectNode::of(empty->child(0)).is(SubjectNode::Kind::Placeholder));
        QCOMPARE(words->text(0), QStringLiteral("my_Words"));
        QVERIFY(words->font(0).bold());
        QVERIFY(SubjectNode::of(words) == SubjectNode::makeFolder(SubjectNode::Folder::VirtualFile,
                                                                  TestSupport::virtualFile("my_Words")));
        QCOMPARE(image(words), int(SubjectTree::ClosedVirtualFolder));
        QCOMPARE(childTexts(words), QStringList({"Cibo", "Viaggi \"in\" treno"}));
        QVERIFY(SubjectNode::of(words->child(1)) == SubjectNode::makeVirtualSubject(2));
        QCOMPARE(image(words->child(1)), int(SubjectTree::VirtualSubjectImage));
        QCOMPARE(selectedImage(words->child(1)), int(SubjectTree::SelectedVirtualSubjectImage));
        QVERIFY(m_log.endsWith("C23 Viaggi \"in\" treno"));
        // The message window follows the progress too.
        QCOMPARE(MessageWindow::instance()->lblMsg()->text(), QStringLiteral("Viaggi \"in\" treno"));
    }

    // A name of a megabyte is shown cut, in the tree and in the progress; the file keeps it.
    void hugeNameShownCut()
    {
        const QString huge(1 << 20, QLatin1Char('n'));
        writeVirtual(TestSupport::virtualFile("big"), {huge});
        build();
        const QString shown = m_tree->topLevelItem(4)->child(0)->text(0);
        QCOMPARE(shown, huge.left(200) + QChar(0x2026));
        QVERIFY(m_log.last().size() < 300);
        QString error;
        QCOMPARE(
            VirtualSubjectFile::subjects(virtualFile(TestSupport::virtualFile("big")), &error)->front().name,
            huge);
    }

    void damagedVirtualFileReportedAndLaterFilesListed()
    {
        writeVirtual(TestSupport::virtualFile("a"), {"Uno"});
        TestSupport::writeGarbage(virtualFile(TestSupport::virtualFile("b rotto")));
        QFile(virtualFile(TestSupport::virtualFile("c"))).open(QIODevice::WriteOnly); // empty file
        writeVirtual(TestSupport::virtualFile("d"), {"Due", "Tre"});
        build();

        QCOMPARE(m_requests.size(), 2);
        for (const Dialogs::Request& r : m_requests) {
            QCOMPARE(r.title, QStringLiteral("ERROR"));
            QCOMPARE(r.icon, QMessageBox::Critical);
            QVERIFY2(r.text.contains(QLatin1String("Get_vSubjects: ")), qPrintable(r.text));
        }
        QVERIFY(m_requests[0].text.contains(TestSupport::virtualFile("b rotto")));
        QVERIFY(m_requests[1].text.contains(TestSupport::virtualFile("c")));

        QCOMPARE(m_tree->topLevelItemCount(), 8);
        QTreeWidgetItem* broken = m_tree->topLevelItem(5);
        QCOMPARE(broken->text(0), QStringLiteral("b rotto"));
        QCOMPARE(image(broken), int(SubjectTree::FailedSubjectImage));
        QCOMPARE(childTexts(m_tree->topLevelItem(7)), QStringList({"Due", "Tre"}));
        // Opening the damaged folder keeps its mark.
        m_tree->expandItem(broken);
        QCOMPARE(image(broken), int(SubjectTree::FailedSubjectImage));
    }

    void unchangedFilesComeFromTheIndexAndShowTheSame()
    {
        app().cacheFolder = m_dir->path() + QStringLiteral("/cache/");
        writeVirtual(TestSupport::virtualFile("a"), {"Uno", "Due"});
        TestSupport::writeGarbage(virtualFile(TestSupport::virtualFile("b rotto")));
        writeVirtual(TestSupport::virtualFile("c"), {});
        Clock::setForTests([] { return QDateTime::currentDateTimeUtc().addSecs(3600); });
        const auto shown = [this] {
            QStringList lines;
            for (int i = 4; i < m_tree->topLevelItemCount(); ++i) {
                const QTreeWidgetItem* folder = m_tree->topLevelItem(i);
                lines << folder->text(0) + QString::number(image(folder)) + childTexts(folder).join('|');
                for (int c = 0; c < folder->childCount(); ++c)
                    lines << QString::number(SubjectNode::of(folder->child(c)).number);
            }
            return lines;
        };
        build();
        QCOMPARE(m_tree->virtualFilesRead(), 3);
        const QStringList first = shown();
        const QStringList firstLog = m_log;
        m_log.clear();
        build();
        Clock::setForTests({});
        // Only the damaged file is opened again, and it is reported again.
        QCOMPARE(m_tree->virtualFilesRead(), 1);
        QCOMPARE(shown(), first);
        QCOMPARE(m_log, firstLog);
        QCOMPARE(m_requests.size(), 2);
        QVERIFY(m_requests[1].text.contains(TestSupport::virtualFile("b rotto")));
        QCOMPARE(image(m_tree->topLevelItem(5)), int(SubjectTree::FailedSubjectImage));
        QCOMPARE(childTexts(m_tree->topLevelItem(6)), QStringList({"C130"}));
    }

    void buildingAgainReplacesInsteadOfAdding()
    {
        TestSupport::writeGarbage(installed(TestSupport::subjectFile("uno")), 16);
        writeVirtual(TestSupport::virtualFile("a"), {"X"});
        build();
        build();
        m_tree->loadSubjects();
        m_tree->loadVirtualSubjects();
        QCOMPARE(m_tree->topLevelItemCount(), 5);
        QCOMPARE(childTexts(m_tree->installedFolder()), QStringList({"Uno"}));
        QCOMPARE(childTexts(m_tree->topLevelItem(4)), QStringList({"X"}));
    }

    void imagesOnExpandAndCollapse()
    {
        TestSupport::writeGarbage(installed(TestSupport::subjectFile("uno")), 16);
        writeVirtual(TestSupport::virtualFile("a"), {"X"});
        build();
        m_tree->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_tree.get()));

        QTreeWidgetItem* node1 = m_tree->installedFolder();
        QTreeWidgetItem* folder = m_tree->topLevelItem(4);
        QTreeWidgetItem* subject = node1->child(0);
        m_tree->addNode(subject, "Hello",
                        SubjectNode::makePhrase(TestSupport::subjectFile("uno"), 1, "Ciao", "Hello", ""),
                        SubjectTree::PhraseImage);

        // By keyboard, as a learner without a mouse would.
        m_tree->setFocus();
        m_tree->setCurrentItem(node1);
        QTest::keyClick(m_tree.get(), Qt::Key_Right);
        QVERIFY(node1->isExpanded());
        QCOMPARE(image(node1), int(SubjectTree::OpenFolder));
        QTest::keyClick(m_tree.get(), Qt::Key_Left);
        QCOMPARE(image(node1), int(SubjectTree::ClosedFolder));

        m_tree->expandItem(folder);
        QCOMPARE(image(folder), int(SubjectTree::OpenVirtualFolder));
        m_tree->collapseItem(folder);
        QCOMPARE(image(folder), int(SubjectTree::ClosedVirtualFolder));

        m_tree->expandItem(node1);
        m_tree->expandItem(subject);
        QCOMPARE(image(subject), int(SubjectTree::SubjectImage));
        m_tree->expandItem(m_tree->randomPhrasesFolder());
        QCOMPARE(image(m_tree->randomPhrasesFolder()), int(SubjectTree::OpenFolder));

        // The current node shows its selected picture, and only while it is current.
        m_tree->setCurrentItem(subject);
        QCOMPARE(m_tree->shownImage(subject), int(SubjectTree::SelectedSubjectImage));
        QTest::keyClick(m_tree.get(), Qt::Key_Down);
        QCOMPARE(m_tree->currentItem(), subject->child(0));
        QCOMPARE(m_tree->shownImage(subject), int(SubjectTree::SubjectImage));
        QCOMPARE(m_tree->shownImage(subject->child(0)), int(SubjectTree::PhraseImage));
        QVERIFY(!m_tree->accessibleName().isEmpty());
    }

    void refreshRebuildsFromDisk()
    {
        TestSupport::writeGarbage(installed(TestSupport::subjectFile("uno")), 16);
        writeVirtual(TestSupport::virtualFile("a"), {"X"});
        build();
        QTreeWidgetItem* subject = m_tree->installedFolder()->child(0);
        QTreeWidgetItem* phrase =
            m_tree->addNode(subject, "Hello",
                            SubjectNode::makePhrase(TestSupport::subjectFile("uno"), 1, "Ciao", "Hello", ""),
                            SubjectTree::PhraseImage);
        m_tree->setCurrentItem(phrase);
        writeVirtual(TestSupport::virtualFile("b"), {"Y"});
        TestSupport::writeGarbage(installed(TestSupport::subjectFile("due")), 16);
        QCOMPARE(m_tree->topLevelItemCount(), 5); // nothing is read until the tree is asked

        m_tree->refreshSubjects();
        QCOMPARE(m_tree->topLevelItemCount(), 6);
        QCOMPARE(childTexts(m_tree->installedFolder()), QStringList({"Due", "Uno"}));
        QCOMPARE(m_tree->installedFolder()->child(1)->childCount(), 0);
        QCOMPARE(m_tree->currentItem(), m_tree->installedFolder());
    }

    void refreshAskedDuringABuildWaitsForIt()
    {
        for (int i = 0; i < 5; ++i)
            TestSupport::writeGarbage(installed(TestSupport::subjectFile("s%1").arg(i)), 16);
        bool asked = false;
        // An editor closing while the loader lets events run.
        LoadingLog::setSink([&](const QString&) {
            if (!asked) {
                asked = true;
                TestSupport::writeGarbage(installed(TestSupport::subjectFile("zz")), 16);
                m_tree->refreshSubjects();
            }
        });
        build();
        LoadingLog::setSink([this](const QString& line) { m_log << line; });
        // The running build finishes with the list it read; the rebuild follows it.
        QCOMPARE(m_tree->installedFolder()->childCount(), 5);
        QTRY_COMPARE(m_tree->installedFolder()->childCount(), 6);
        QCOMPARE(m_tree->topLevelItemCount(), 4);
    }

    void pointerRules()
    {
        TestSupport::writeGarbage(installed(TestSupport::subjectFile("uno")), 16);
        writeVirtual(TestSupport::virtualFile("a"), {"X"});
        build();
        QTreeWidgetItem* node1 = m_tree->installedFolder();
        QTreeWidgetItem* installedPhrase = m_tree->addNode(
            node1->child(0), "Hello",
            SubjectNode::makePhrase(TestSupport::subjectFile("uno"), 1, "Ciao*!", "Hello", ""),
            SubjectTree::PhraseImage);
        QTreeWidgetItem* drawn = m_tree->addNode(m_tree->randomSubjectFolder(), " Uno",
                                                 SubjectNode::makeSubject(TestSupport::subjectFile("uno")),
                                                 SubjectTree::SubjectImage);
        QTreeWidgetItem* drawnPhrase = m_tree->addNode(
            drawn, "Hello", SubjectNode::makePhrase(TestSupport::subjectFile("uno"), 1, "Ciao", "Hello", ""),
            SubjectTree::PhraseImage);
        QTreeWidgetItem* set = m_tree->addNode(m_tree->randomPhrasesFolder(), "C118",
                                               SubjectNode::makePhraseSet(), SubjectTree::SubjectImage);
        QTreeWidgetItem* setPhrase = m_tree->addNode(
            set, "Hi", SubjectNode::makePhrase(TestSupport::subjectFile("uno"), 1, "Ciao", "Hi", ""),
            SubjectTree::PhraseImage);
        QTreeWidgetItem* virtualPhrase =
            m_tree->addNode(m_tree->topLevelItem(4)->child(0), "Hey",
                            SubjectNode::makePhrase(TestSupport::subjectFile("uno"), 1, "Ciao", "Hey", ""),
                            SubjectTree::VirtualPhraseImage);
        m_tree->expandAll();
        m_tree->resize(400, 600);
        m_tree->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_tree.get()));

        QSignalSpy menu(m_tree.get(), &SubjectTree::phraseMenuRequested);
        QSignalSpy available(m_tree.get(), &SubjectTree::phraseMenuAvailabilityChanged);
        QSignalSpy listen(m_tree.get(), &SubjectTree::listenRequested);
        QSignalSpy hovered(m_tree.get(), &SubjectTree::hovered);
        QWidget* viewport = m_tree->viewport();

        for (QTreeWidgetItem* item : {installedPhrase, drawnPhrase})
            QTest::mouseClick(viewport, Qt::RightButton, {}, centre(item));
        QCOMPARE(menu.size(), 2);
        QCOMPARE(menu[0][0].value<QTreeWidgetItem*>(), installedPhrase);
        QCOMPARE(menu[1][0].value<QTreeWidgetItem*>(), drawnPhrase);
        QCOMPARE(m_tree->currentItem(), drawnPhrase);

        for (QTreeWidgetItem* item : {setPhrase, virtualPhrase, drawn, node1->child(0)})
            QTest::mouseClick(viewport, Qt::RightButton, {}, centre(item));
        QTest::mouseClick(viewport, Qt::LeftButton, {}, centre(installedPhrase));
        QCOMPARE(menu.size(), 2);

        available.clear();
        QTest::mouseClick(viewport, Qt::RightButton, {}, centre(m_tree->topLevelItem(4)));
        QCOMPARE(available.size(), 1);
        QCOMPARE(available[0][0].toBool(), false);
        QCOMPARE(menu.size(), 2);

        // The keyboard's menu key on the current phrase.
        m_tree->setCurrentItem(installedPhrase);
        QContextMenuEvent keyMenu(QContextMenuEvent::Keyboard, QPoint(), QPoint());
        QApplication::sendEvent(m_tree.get(), &keyMenu);
        QCOMPARE(menu.size(), 3);

        QTest::mouseDClick(viewport, Qt::LeftButton, {}, centre(virtualPhrase));
        QCOMPARE(listen.size(), 1);
        QCOMPARE(listen[0][0].value<QTreeWidgetItem*>(), virtualPhrase);
        QTest::mouseDClick(viewport, Qt::LeftButton, {}, centre(drawn));
        QCOMPARE(listen.size(), 1);

        QTest::mouseMove(viewport, centre(set));
        QTRY_VERIFY(hovered.size() > 0);
    }

    // The course and the example virtual subjects laid out in the program folder by the build.
    void listsTheShippedCourse()
    {
        const QString program = QStringLiteral(PARLANTO_PROGRAM_DIR "/");
        const QStringList shipped =
            QDir(program + "Subjects").entryList({TestSupport::subjectFile("*")}, QDir::Files);
        if (shipped.isEmpty())
            QSKIP("the shipped course has not been built in this build folder");
        app().installedSubjectsFolder = program + "Subjects/";
        app().virtualSubjectsFolder = program + "MySubjects/";
        build();

        QVERIFY(m_requests.isEmpty());
        QTreeWidgetItem* node1 = m_tree->installedFolder();
        QCOMPARE(node1->childCount(), shipped.size());
        for (int i = 0; i < node1->childCount(); ++i) {
            const QString file = SubjectNode::of(node1->child(i)).file;
            QCOMPARE(checkSubject(file), QStringLiteral("VALID"));
            QVERIFY(!node1->child(i)->text(0).contains(QLatin1Char('_')));
        }
        QVERIFY(m_tree->topLevelItemCount() > 4);
        for (int i = 4; i < m_tree->topLevelItemCount(); ++i) {
            QTreeWidgetItem* folder = m_tree->topLevelItem(i);
            QCOMPARE(image(folder), int(SubjectTree::ClosedVirtualFolder));
            QVERIFY(folder->childCount() > 0);
        }
    }

    void opensTheInstalledSubjectsFolder()
    {
        QList<QUrl> opened;
        setUrlOpenerForTests([&](const QUrl& url) { opened << url; });
        SubjectTree::openSubjectsFolder();
        QCOMPARE(opened, QList<QUrl>({QUrl::fromLocalFile(app().installedSubjectsFolder)}));
    }
};

QTEST_MAIN(TestSubjectTree)
#include "TestSubjectTree.moc"
