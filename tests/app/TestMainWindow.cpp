#include "app/MainWindow.h"
#include "app/MessagePanel.h"
#include "app/WindowFlow.h"
#include "common/TemplateBuilder.h"
#include "content/MessageRotation.h"
#include "content/WebPage.h"
#include "platform/Database.h"
#include "platform/SingleInstance.h"
#include "platform/Sound.h"
#include "state/AppState.h"
#include "state/CaptionId.h"
#include "study/ActivityPanel.h"
#include "subjects/SubjectTree.h"
#include "support/TestSupport.h"
#include "users/LoginWindow.h"
#include "widgets/Dialogs.h"
#include "widgets/LinkLabel.h"
#include "widgets/MessageWindow.h"

#include <QAccessible>
#include <QApplication>
#include <QBuffer>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QMenu>
#include <QPushButton>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <QTimer>

#include <memory>

namespace {

QByteArray png(QRgb colour)
{
    QImage image(32, 32, QImage::Format_RGB32);
    image.fill(colour);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

// An activity program and its picture file: two rows of two pictures.
void writeActivity(const QString& program)
{
    QFile f(program);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write("#!/bin/sh\nexit 0\n");
    f.close();
    QVERIFY(f.setPermissions(f.permissions() | QFile::ExeOwner));
    QString error;
    auto db = Database::open(program + ".cfg", Database::TemplatePassword, Database::Mode::Create, &error);
    QVERIFY2(db, qPrintable(error));
    QVERIFY(db->exec("CREATE TABLE tblImages (pkImageID INTEGER PRIMARY KEY, bEnglish BLOB, bSpanish BLOB)"));
    for (QRgb colour : {0xff0000u, 0x00ff00u}) {
        Statement s = db->prepare("INSERT INTO tblImages (bEnglish, bSpanish) VALUES (?, ?)");
        s.bindBlob(1, png(colour)).bindBlob(2, png(colour));
        QVERIFY(s.run());
    }
}

QColor textColour(const QWidget* w)
{
    return w->palette().color(QPalette::WindowText);
}

} // namespace

// The main window as a learner uses it: the message panel, the side menu, the keyboard.
class TestMainWindow : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();
    void restingPanelReadable();
    void minimizedPanelWaits();
    void slidingPanelLooksTheSame();
    void rotationWithoutTips_data();
    void rotationWithoutTips();
    void readableColours();
    void pressColours();
    void sideMenuIsLinks();
    void buttonsClickOnPressAndRelease();
    void focusBackToTheChosenNode();
    void tabOrderFollowsTheSteps();
    void phrasesByKeyboard();
    void handOversWhileABoxIsOpen();
    void subjectsFolderWithoutFileManager();

private:
    MainWindow* makeWindow(bool administrator = true);
    // Runs the panel's movement to its next stop.
    void runPanel();

    QTemporaryDir m_root;
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<MainWindow> m_main;
    std::unique_ptr<WindowFlow> m_flow;
    int m_clicks = 0;
    QStringList m_played;
    QStringList m_boxTexts;
    QList<QUrl> m_opened;
};

void TestMainWindow::initTestCase()
{
    QStandardPaths::setTestModeEnabled(true);
    Sound::setPlayerForTests([this](const QString& source, bool) {
        ++m_clicks;
        m_played << source;
    });
    setUrlOpenerForTests([this](const QUrl& url) { m_opened << url; });
    Dialogs::setHandlerForTests([this](const Dialogs::Request& r) {
        if (r.kind == Dialogs::Request::Kind::Message)
            return QMessageBox::Ok; // the program's own notices are not counted here
        m_boxTexts << r.text;
        return QMessageBox::Ok;
    });
    TemplateSource source;
    QString error;
    QVERIFY2(
        TemplateBuilder::readSources(QStringLiteral(PARLANTO_SOURCE_DIR "/data/template"), &source, &error),
        qPrintable(error));
    QVERIFY2(TemplateBuilder::build(m_root.filePath("Parlanto.tpl"), source, &error), qPrintable(error));
}

void TestMainWindow::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    resetAppState();
    TestSupport::useNumberedCaptions(app());
    QVERIFY(TestSupport::useFoldersUnder(app(), m_dir->path()));
    QVERIFY(QFile::copy(m_root.filePath("Parlanto.tpl"), app().templateDatabasePath()));
    m_clicks = 0;
    m_played.clear();
    m_opened.clear();
}

void TestMainWindow::cleanup()
{
    if (m_main)
        m_main->endProgram();
    m_flow.reset();
    m_main.reset();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

MainWindow* TestMainWindow::makeWindow(bool administrator)
{
    QDir().mkpath(app().installedSubjectsFolder);
    QDir().mkpath(app().activitiesFolder);
    if (!TestSupport::writeSubject(app().installedSubjectsFolder + TestSupport::subjectFile("Food"),
                                   TestSupport::ownEdition(), 3))
        qWarning("subject not written");
    for (const char* name : {"Cards", "Listen", "Match"})
        writeActivity(app().activitiesFolder + name);
    m_main = std::make_unique<MainWindow>();
    m_flow = std::make_unique<WindowFlow>(*m_main);
    m_main->loadSettings();
    m_main->subjectTree()->createFolders();
    m_main->subjectTree()->loadSubjects();
    m_main->loadMenuLinks();
    m_main->activityPanel()->loadActivities();
    m_flow->logIn(QStringLiteral("Anna Rossi"), administrator);
    if (!QTest::qWaitForWindowExposed(m_main.get()))
        qWarning("main window not exposed");
    return m_main.get();
}

void TestMainWindow::runPanel()
{
    for (int step = 0; step < 200 && TestSupport::child<QTimer>(m_main.get(), "timSlide")->isActive(); ++step)
        QMetaObject::invokeMethod(TestSupport::child<QTimer>(m_main.get(), "timSlide"), "timeout");
}

void TestMainWindow::restingPanelReadable()
{
    MainWindow* w = makeWindow();
    runPanel();
    QVERIFY(w->messagePanelTopTwips() >= 950);
    QCOMPARE(TestSupport::child<QLabel>(w, "lblMsg")->text(), TestSupport::captionText(63));

    auto* area = w->findChild<QWidget*>("msgArea");
    auto* panel = w->findChild<QWidget*>("PicMsg");
    QVERIFY(area->rect().contains(panel->geometry()));
    // Three lines of the largest type, and the longest text in its small type, fit.
    QFont largest = TestSupport::child<QLabel>(w, "lblMsg")->font();
    largest.setPointSize(MessageRotation::LargestPointSize);
    QVERIFY(TestSupport::child<QLabel>(w, "lblMsg")->height() >= 3 * QFontMetrics(largest).lineSpacing());
    const QString longest = QString(QStringLiteral("parole ")).repeated(30).left(215);
    TestSupport::child<QLabel>(w, "lblMsg")->setFont([&] {
        QFont f = TestSupport::child<QLabel>(w, "lblMsg")->font();
        f.setPointSize(MessageRotation::pointSize(longest));
        return f;
    }());
    TestSupport::child<QLabel>(w, "lblMsg")->setText(longest);
    QVERIFY(TestSupport::child<QLabel>(w, "lblMsg")
                ->heightForWidth(TestSupport::child<QLabel>(w, "lblMsg")->width()) <=
            TestSupport::child<QLabel>(w, "lblMsg")->height());
}

// A minimized window's panel runs no timer; shown again, it goes on where it was.
void TestMainWindow::minimizedPanelWaits()
{
    MainWindow* w = makeWindow();
    QVERIFY(TestSupport::child<QTimer>(w, "timSlide")->isActive());
    for (int step = 0; step < 5; ++step)
        QMetaObject::invokeMethod(TestSupport::child<QTimer>(w, "timSlide"), "timeout");
    const int top = w->messagePanelTopTwips();
    w->setWindowState(Qt::WindowMinimized);
    QVERIFY(!TestSupport::child<QTimer>(w, "timSlide")->isActive() &&
            !TestSupport::child<QTimer>(w, "timRest")->isActive());
    w->setWindowState(Qt::WindowNoState);
    QVERIFY(TestSupport::child<QTimer>(w, "timSlide")->isActive());
    QCOMPARE(w->messagePanelTopTwips(), top);
    runPanel();
    w->setWindowState(Qt::WindowMinimized);
    QVERIFY(!TestSupport::child<QTimer>(w, "timRest")->isActive());
    w->setWindowState(Qt::WindowNoState);
    QVERIFY(TestSupport::child<QTimer>(w, "timRest")->isActive() &&
            !TestSupport::child<QTimer>(w, "timSlide")->isActive());
}

// While the panel slides, a picture rendered once stands in for it: it shows the same
// pixels as the panel painting itself, and a change to the message shows at once.
void TestMainWindow::slidingPanelLooksTheSame()
{
    MainWindow* w = makeWindow();
    runPanel();
    auto* panel = w->findChild<MessagePanel*>("PicMsg");
    QVERIFY(panel && !panel->isSliding() && !panel->showsPicture());
    QVERIFY(TestSupport::child<QTimer>(w, "timRest")->isSingleShot());
    const QImage resting = panel->grab().toImage();
    QCOMPARE(resting.pixelColor(0, 0), MessageRotation::panelColour()); // the panel fills its background
    panel->setSliding(true);
    panel->moveTo(panel->geometry());
    QVERIFY(panel->showsPicture());
    QCOMPARE(panel->grab().toImage(), resting);

    TestSupport::child<QLabel>(w, "lblMsg")->setText(QStringLiteral("Another message"));
    QVERIFY(!panel->showsPicture());
    const QImage changed = panel->grab().toImage();
    QVERIFY(changed != resting);
    panel->moveTo(panel->geometry());
    QVERIFY(panel->showsPicture());
    QCOMPARE(panel->grab().toImage(), changed);
    panel->setSliding(false);
    QCOMPARE(panel->grab().toImage(), changed);
    // The next slide starts with the same message: the picture kept stands in at once.
    panel->setSliding(true);
    QVERIFY(panel->showsPicture());
    QCOMPARE(panel->grab().toImage(), changed);
}

void TestMainWindow::rotationWithoutTips_data()
{
    QTest::addColumn<int>("messages");
    QTest::newRow("system messages alone") << 2;
    QTest::newRow("nothing at all") << 0;
}

void TestMainWindow::rotationWithoutTips()
{
    QFETCH(int, messages);
    MainWindow* w = makeWindow();
    QList<TemplateContent::LinkedText> texts;
    for (int i = 1; i <= messages; ++i)
        texts << TemplateContent::LinkedText{QStringLiteral("Message %1").arg(i), QString()};
    w->rotation().setMessages(texts);
    w->rotation().setTips({});
    w->rotation().setCoinFlip([] { return 0; }); // a tip would be next, but there are none
    runPanel();
    QCOMPARE(TestSupport::child<QLabel>(w, "lblMsg")->text(), TestSupport::captionText(63));

    const QStringList expected =
        messages ? QStringList{"Message 1", "Message 2", "Message 1"} : QStringList{""};
    for (const QString& text : expected) {
        QVERIFY(TestSupport::child<QTimer>(w, "timRest")->isActive());
        QMetaObject::invokeMethod(TestSupport::child<QTimer>(w, "timRest"), "timeout");
        runPanel();
        QCOMPARE(TestSupport::child<QLabel>(w, "lblMsg")->text(), text);
    }
    // With nothing to show the panel rests without a timer running at 0 ms.
    QCOMPARE(TestSupport::child<QTimer>(w, "timRest")->isActive(), messages > 0);
    QVERIFY(!TestSupport::child<QTimer>(w, "timSlide")->isActive());
}

void TestMainWindow::readableColours()
{
    // The classic console colours as drawn (0 to 14; 7, 10, 11 and 14 give blue).
    const QColor classic[] = {Qt::black,           QColor(0, 0, 128),   QColor(0, 128, 0),
                              QColor(0, 128, 128), QColor(128, 0, 0),   QColor(128, 0, 128),
                              QColor(128, 128, 0), QColor(0, 0, 128),   QColor(128, 128, 128),
                              QColor(0, 0, 255),   QColor(0, 0, 128),   QColor(0, 0, 128),
                              QColor(255, 0, 0),   QColor(255, 0, 255), QColor(0, 0, 128)};
    const QList<QColor>& colours = MessageRotation::textColours();
    QCOMPARE(colours.size(), 15);
    const QColor panel = MessageRotation::panelColour();
    for (int i = 0; i < 15; ++i) {
        const double ratio = MessageRotation::contrastRatio(colours[i], panel);
        QVERIFY2(ratio >= 4.5, qPrintable(QStringLiteral("colour %1: %2").arg(i).arg(ratio)));
        QCOMPARE(colours[i].hslHue(), classic[i].hslHue());
        if (MessageRotation::contrastRatio(classic[i], panel) >= 4.5)
            QCOMPARE(colours[i], classic[i]); // readable ones stay as they are
        else
            QVERIFY(colours[i].lightness() < classic[i].lightness());
    }
    // Light magenta, the worst of them, measures under 3:1 before.
    QVERIFY(MessageRotation::contrastRatio(QColor(255, 0, 255), panel) < 3.0);
}

void TestMainWindow::pressColours()
{
    MainWindow* w = makeWindow();
    auto* entry = w->findChild<LinkLabel*>("lblMenu_0");
    QVERIFY(entry);
    // Released outside the entry: the colour comes back, no page opens.
    QTest::mousePress(entry, Qt::LeftButton);
    QCOMPARE(textColour(entry), QColor(Qt::black));
    QTest::mouseRelease(entry, Qt::LeftButton, {}, QPoint(-5, -5));
    QCOMPARE(textColour(entry), QColor(Qt::white));
    QVERIFY(m_opened.isEmpty());

    auto* message = static_cast<LinkLabel*>(TestSupport::child<QLabel>(w, "lblMsg"));
    message->setLink(QString());
    const QColor before = textColour(message);
    QTest::mousePress(message, Qt::LeftButton);
    QCOMPARE(textColour(message), before); // no link: nothing to press
    QTest::mouseRelease(message, Qt::LeftButton, {}, QPoint(-5, -5));
    message->setLink(QStringLiteral("news.htm"));
    QTest::mousePress(message, Qt::LeftButton);
    QCOMPARE(textColour(message), QColor(255, 0, 0));
    QTest::mouseRelease(message, Qt::LeftButton, {}, QPoint(-5, -5));
    QCOMPARE(textColour(message), QColor(0, 0, 255));
}

void TestMainWindow::sideMenuIsLinks()
{
    MainWindow* w = makeWindow();
    QVERIFY(w->menuEntryCount() > 0);
    for (int i = 0; i < w->menuEntryCount(); ++i) {
        auto* entry = w->findChild<LinkLabel*>(QStringLiteral("lblMenu_%1").arg(i));
        QAccessibleInterface* a = QAccessible::queryAccessibleInterface(entry);
        QCOMPARE(a->role(), QAccessible::Link);
        QCOMPARE(a->text(QAccessible::Name), entry->text());
        QVERIFY(!entry->text().isEmpty());
        QVERIFY(a->actionInterface() &&
                a->actionInterface()->actionNames().contains(QAccessibleActionInterface::pressAction()));
        // Its tooltip names the page it opens.
        QCOMPARE(entry->toolTip(), webPageAddress(entry->link()));
    }
    // The message is a link only while it has one.
    static_cast<LinkLabel*>(TestSupport::child<QLabel>(w, "lblMsg"))->setLink(QString());
    QCOMPARE(QAccessible::queryAccessibleInterface(TestSupport::child<QLabel>(w, "lblMsg"))->role(),
             QAccessible::StaticText);
}

void TestMainWindow::buttonsClickOnPressAndRelease()
{
    MainWindow* w = makeWindow();
    int opened = 0;
    QObject::disconnect(w, &MainWindow::administrationRequested, m_flow.get(), nullptr);
    connect(w, &MainWindow::administrationRequested, [&opened] { ++opened; });
    QTest::mouseClick(TestSupport::child<QPushButton>(w, "btnAdmin"), Qt::LeftButton);
    QCOMPARE(m_clicks, 2);
    QCOMPARE(opened, 1);
    auto* changeUser = w->findChild<QPushButton*>("btnChangeUser");
    QTest::mousePress(changeUser, Qt::LeftButton);
    QCOMPARE(m_clicks, 3);
    QTest::mouseRelease(changeUser, Qt::LeftButton);
    QCOMPARE(m_clicks, 4);
    QVERIFY(m_flow->loginWindow() && m_flow->loginWindow()->isVisible());
}

void TestMainWindow::focusBackToTheChosenNode()
{
    MainWindow* w = makeWindow();
    QVERIFY(QTest::qWaitForWindowActive(w));
    SubjectTree* tree = w->subjectTree();
    QTreeWidgetItem* food = tree->installedFolder()->child(0);
    QVERIFY(food);
    tree->setFocus();
    tree->setCurrentItem(food);
    QTest::keyClick(tree, Qt::Key_Return); // loads the phrases with the window disabled
    QVERIFY(w->isEnabled());
    QCOMPARE(food->childCount(), 3);
    QCOMPARE(w->focusWidget(), tree);
    QCOMPARE(tree->currentItem(), food);

    // The same after any other time the window is disabled.
    w->activityPanel()->button(0)->setFocus();
    w->setEnabled(false);
    w->setEnabled(true);
    QCOMPARE(w->focusWidget(), tree);
    QCOMPARE(tree->currentItem(), food);
}

void TestMainWindow::tabOrderFollowsTheSteps()
{
    MainWindow* w = makeWindow();
    QStringList order;
    QWidget* start = w->subjectTree();
    QWidget* next = start;
    do {
        if (next->isVisible() && next->isEnabled() && (next->focusPolicy() & Qt::TabFocus) &&
            !(next->parentWidget() && next->parentWidget()->inherits("QAbstractScrollArea")))
            order << next->objectName();
        next = next->nextInFocusChain();
    } while (next != start);
    QCOMPARE(order.mid(0, 4), (QStringList{"TreeFolders", "btnAct_0", "btnAct_1", "btnAct_2"}));
    QVERIFY(order.indexOf("btnChangeUser") > 3);
    QVERIFY(order.indexOf("btnChangeUser") < order.indexOf("lblMenu_0"));
    // "My progress" and "Help" stand left of "Results".
    QVERIFY(order.indexOf("btnProgress") < order.indexOf("btnHelp"));
    QVERIFY(order.indexOf("btnHelp") < order.indexOf("btnAdmin"));
    QVERIFY(order.indexOf("btnAdmin") < order.indexOf("lblMenu_0"));
    // The moving tip is no stop for Tab.
    QVERIFY(!order.contains("lblMsg"));
    // Enter presses a focused button.
    QObject::disconnect(w, &MainWindow::administrationRequested, nullptr, nullptr);
    QSignalSpy results(w, &MainWindow::administrationRequested);
    TestSupport::child<QPushButton>(w, "btnAdmin")->setFocus();
    QTest::keyClick(TestSupport::child<QPushButton>(w, "btnAdmin"), Qt::Key_Return);
    QCOMPARE(results.size(), 1);
    QCOMPARE(order.last(), QStringLiteral("lblURL"));
}

// Right opens a subject to its phrases; Enter on a phrase plays it for any learner; Shift+F10
// opens the phrase menu where there is one (the administrator's).
void TestMainWindow::phrasesByKeyboard()
{
    for (const bool administrator : {false, true}) {
        cleanup();
        init();
        MainWindow* w = makeWindow(administrator);
        QVERIFY(QTest::qWaitForWindowActive(w));
        SubjectTree* tree = w->subjectTree();
        QTreeWidgetItem* food = tree->installedFolder()->child(0);
        tree->setFocus();
        tree->setCurrentItem(food);
        QTest::keyClick(tree, Qt::Key_Right);
        QCOMPARE(food->childCount(), 3);
        QVERIFY(food->isExpanded());
        QTest::keyClick(tree, Qt::Key_Down);
        QCOMPARE(tree->currentItem(), food->child(0));
        m_played.clear();
        m_boxTexts.clear();
        // Without a sound device the learner is told, once in a run.
        Sound::setOutputDeviceForTests(false);
        QTest::keyClick(tree, Qt::Key_Return);
        Sound::setOutputDeviceForTests(std::nullopt);
        QVERIFY2(m_boxTexts.count(TestSupport::captionText(363)) == (administrator ? 0 : 1),
                 qPrintable(m_boxTexts.join("|")));
        QVERIFY2(m_played.size() == 1 && m_played[0].endsWith(".wav") && !m_played[0].startsWith(':'),
                 qPrintable(m_played.join(',')));
        QTest::keyClick(tree, Qt::Key_F10, Qt::ShiftModifier);
        QCOMPARE(TestSupport::child<QMenu>(w, "mnuOption")->isVisible(), administrator);
        TestSupport::child<QMenu>(w, "mnuOption")->close();
    }
}

// A thousand later starts of the program, each with a file, while the message about the
// first start's file is open: no message opens over it, and once it closes one question
// counts them and lists the file once. The starts are real: each hands its file over the
// socket as a second start does.
void TestMainWindow::handOversWhileABoxIsOpen()
{
    makeWindow();
    QTemporaryDir run;
    const QString key = QStringLiteral("hand-overs while a box is open");
    SingleInstance instance(key, run.path());
    QCOMPARE(instance.claim({}), SingleInstance::Role::Primary);
    connect(&instance, &SingleInstance::activationRequested, m_flow.get(), &WindowFlow::bringToFront);
    QSignalSpy handed(&instance, &SingleInstance::activationRequested);
    QStringList captions;
    for (int n = 1; n <= 700; ++n)
        captions << (n == int(Caption::HandOversWaiting) ? QStringLiteral("%1 waiting")
                                                         : QStringLiteral("caption %1").arg(n));
    app().captions.setTexts(captions);
    const QString notASubject = m_dir->filePath(QStringLiteral("notes.dat"));
    for (const QString& path : {notASubject, app().usersDatabasePath()}) // the learner's file is there
        QFile(path).open(QIODevice::WriteOnly);

    constexpr int Starts = 1000;
    int open = 0, mostOpen = 0, secondaries = 0;
    QStringList texts;
    Dialogs::setHandlerForTests([&](const Dialogs::Request& r) {
        mostOpen = std::max(mostOpen, ++open);
        texts << r.text;
        if (texts.size() == 1) {
            QThread* starts = QThread::create([&] {
                for (int i = 0; i < Starts; ++i)
                    secondaries += SingleInstance(key, run.path()).claim({notASubject}) ==
                                   SingleInstance::Role::Secondary;
            });
            starts->start();
            const QDeadlineTimer deadline(120000);
            while (!(starts->isFinished() && handed.count() == Starts) && !deadline.hasExpired())
                QTest::qWait(10);
            starts->wait();
            delete starts;
        }
        --open;
        return QMessageBox::No;
    });
    m_flow->bringToFront({notASubject});
    Dialogs::setHandlerForTests([this](const Dialogs::Request& r) {
        if (r.kind == Dialogs::Request::Kind::Message)
            return QMessageBox::Ok; // the program's own notices are not counted here
        m_boxTexts << r.text;
        return QMessageBox::Ok;
    });
    QCOMPARE(secondaries, Starts);
    QCOMPARE(mostOpen, 1);
    QCOMPARE(texts.size(), 2);
    QVERIFY2(texts[1].startsWith(QStringLiteral("%1 waiting\n\n").arg(Starts)), qPrintable(texts[1]));
    QCOMPARE(texts[1].count(notASubject), 1);
    QVERIFY(m_main->isVisible());
}

void TestMainWindow::subjectsFolderWithoutFileManager()
{
    MainWindow* w = makeWindow();
    QVERIFY(QDir().mkpath(app().learnerSubjectsFolder));
    // No desktop program to open a folder with: the learner is told where the folder is.
    setUrlOpenerForTests({});
    const QByteArray path = qgetenv("PATH");
    qputenv("PATH", m_dir->path().toUtf8());
    m_boxTexts.clear();
    QTest::mouseClick(w->findChild<QPushButton*>(QStringLiteral("btnOpenSubjectsFolder")), Qt::LeftButton);
    qputenv("PATH", path);
    setUrlOpenerForTests([this](const QUrl& url) { m_opened << url; });
    QCOMPARE(m_boxTexts.size(), 1);
    QVERIFY2(m_boxTexts[0].startsWith(TestSupport::captionText(552)) &&
                 m_boxTexts[0].endsWith(app().learnerSubjectsFolder),
             qPrintable(m_boxTexts[0]));
}

QTEST_MAIN(TestMainWindow)
#include "TestMainWindow.moc"
