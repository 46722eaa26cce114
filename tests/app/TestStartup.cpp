#include "app/MainWindow.h"
#include "app/SplashWindow.h"
#include "app/Startup.h"
#include "app/WindowFlow.h"
#include "common/TemplateBuilder.h"
#include "content/LoadingLog.h"
#include "content/PublishedSettings.h"
#include "content/WebPage.h"
#include "platform/Clock.h"
#include "platform/Database.h"
#include "platform/Registry.h"
#include "platform/Sound.h"
#include "platform/Web.h"
#include "state/AppState.h"
#include "state/CommandLine.h"
#include "study/ActivityPanel.h"
#include "subjects/SubjectFile.h"
#include "subjects/SubjectTree.h"
#include "support/TestSupport.h"
#include "users/LoginWindow.h"
#include "widgets/Dialogs.h"
#include "widgets/LinkLabel.h"
#include "widgets/MessageWindow.h"
#include "widgets/TiledBackground.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QScrollBar>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTranslator>
#include <memory>

// Answers every request with the same update file over HTTP/1.0 and counts the requests.
class UpdateServer : public QObject
{
public:
    UpdateServer()
    {
        connect(&m_server, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket* socket = m_server.nextPendingConnection()) {
                connect(socket, &QTcpSocket::readyRead, socket, [this, socket] {
                    const QByteArray request = socket->property("request").toByteArray() + socket->readAll();
                    socket->setProperty("request", request);
                    if (!request.contains("\r\n\r\n"))
                        return;
                    ++requests;
                    // The client closes the connection once it has the whole answer.
                    socket->write("HTTP/1.0 200 OK\r\nContent-Type: text/plain\r\nConnection: close\r\n"
                                  "Content-Length: " +
                                  QByteArray::number(answer.size()) + "\r\n\r\n" + answer);
                });
                connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
            }
        });
        m_server.listen(QHostAddress::LocalHost);
    }
    QString base() const { return QStringLiteral("http://127.0.0.1:%1/parlanto").arg(m_server.serverPort()); }
    QByteArray answer = "YES,Version 2 is out";
    int requests = 0;

private:
    QTcpServer m_server;
};

class TestStartup : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();
    void resolution_data();
    void resolution();
    void publishedFolders();
    void weeklySchedule_data();
    void weeklySchedule();
    void splashLogAndEarlyClose();
    void tiling();
    void firstAndSecondStart();
    void startAfterAKilledVirtualSubjectWrite();
    void updateCheckAtStart_data();
    void updateCheckAtStart();
    void spanishEdition();
    void loginDressesMainWindow();
    void buttonsAndMenu();
    void messageWindow();
    void openedFile_data();
    void openedFile();
    void commandLine_data();
    void commandLine();
    void helpAndCopyrightInSpanish();

private:
    // A program folder with a template built from the shipped sources; caption 94 points
    // at the local update server.
    QString makeProgramFolder();
    // Starts the program on window, through a window flow of the test's (m_flow).
    bool start(MainWindow& window, const QString& openedFile = QString());
    QString key() const { return app().editionKey(); }

    std::unique_ptr<WindowFlow> m_flow;
    QTemporaryDir m_root;
    int m_folders = 0;
    UpdateServer m_server;
    QList<Dialogs::Request> m_boxes;
    QList<QUrl> m_opened;
    QMessageBox::StandardButton m_answer = QMessageBox::Yes;
};

void TestStartup::initTestCase()
{
    QStandardPaths::setTestModeEnabled(true);
    QVERIFY(m_root.isValid());
}

void TestStartup::init()
{
    resetAppState();
    // The texts below are the English interface's: every build starts the Italian edition
    // for English speakers here, and spanishEdition() the one for Spanish speakers.
    app().edition = *findEdition(QStringLiteral("prlita"));
    QFile::remove(RegistryFileFor(app().editionKey()));
    m_boxes.clear();
    m_opened.clear();
    m_answer = QMessageBox::Yes;
    Dialogs::setHandlerForTests([this](const Dialogs::Request& r) {
        if (r.kind == Dialogs::Request::Kind::Message)
            return QMessageBox::Ok; // the program's own notices are not counted here
        m_boxes << r;
        return r.buttons.testFlag(QMessageBox::Yes) ? m_answer : QMessageBox::Ok;
    });
    setUrlOpenerForTests([this](const QUrl& url) { m_opened << url; });
    Sound::setPlayerForTests([](const QString&, bool) {});
    Startup::setScreenSizeForTests(QSize(1024, 768));
    Clock::setForTests([] { return QDateTime(QDate(2026, 5, 20), QTime(10, 0)); });
    Web::setConnectedForTests(false);
}

void TestStartup::cleanup()
{
    LoadingLog::setSink(nullptr);
    Dialogs::setHandlerForTests(nullptr);
    setUrlOpenerForTests(nullptr);
    Startup::setScreenSizeForTests(std::nullopt);
    Clock::setForTests(nullptr);
    Web::setConnectedForTests(std::nullopt);
    MessageWindow::unload();
    m_flow.reset();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

QString TestStartup::makeProgramFolder()
{
    const QString folder = m_root.filePath(QStringLiteral("program%1/").arg(++m_folders));
    QDir().mkpath(folder + QStringLiteral("Subjects"));
    QDir().mkpath(folder + QStringLiteral("MySubjects"));
    QDir().mkpath(folder + QStringLiteral("Activities"));
    TemplateSource source;
    QString error;
    if (!TemplateBuilder::readSources(QStringLiteral(PARLANTO_SOURCE_DIR "/data/template"), &source, &error))
        qWarning() << error;
    source.captions[94 - 1] = {m_server.base(), m_server.base()};
    if (!TemplateBuilder::build(folder + QStringLiteral("Parlanto.tpl"), source, &error))
        qWarning() << error;
    return folder;
}

bool TestStartup::start(MainWindow& window, const QString& openedFile)
{
    if (app().programFolder.isEmpty())
        app().programFolder = makeProgramFolder();
    m_flow = std::make_unique<WindowFlow>(window);
    return Startup::start(*m_flow, openedFile);
}

void TestStartup::resolution_data()
{
    QTest::addColumn<QSize>("screen");
    QTest::addColumn<bool>("warns");
    QTest::addColumn<bool>("answerNo");
    QTest::newRow("800x575 exactly 460000") << QSize(800, 575) << false << true;
    QTest::newRow("800x600") << QSize(800, 600) << false << true;
    QTest::newRow("1024x448 warns, Yes goes on") << QSize(1024, 448) << true << false;
    QTest::newRow("640x480 warns, No ends") << QSize(640, 480) << true << true;
}

void TestStartup::resolution()
{
    QFETCH(QSize, screen);
    QFETCH(bool, warns);
    QFETCH(bool, answerNo);
    app().captions.setTexts(QStringList(150, QStringLiteral("c")) << QString());
    QStringList texts(150, QString());
    texts[0] = QStringLiteral("Go on?");
    texts[15] = QStringLiteral("Small screen.");
    app().captions.setTexts(texts);
    m_answer = answerNo ? QMessageBox::No : QMessageBox::Yes;
    const bool goOn = Startup::checkResolution(screen);
    QCOMPARE(m_boxes.size(), warns ? 1 : 0);
    if (warns) {
        QCOMPARE(m_boxes[0].text, QStringLiteral("Small screen.\n\nGo on?"));
        QCOMPARE(m_boxes[0].buttons, QMessageBox::Yes | QMessageBox::No);
        QCOMPARE(m_boxes[0].icon, QMessageBox::NoIcon);
    }
    QCOMPARE(goOn, !(warns && answerNo));
}

void TestStartup::publishedFolders()
{
    AppState& s = app();
    s.programFolder = QStringLiteral("/opt/Parlanto/");
    s.installedSubjectsFolder = QStringLiteral("/opt/Parlanto/Subjects/");
    s.virtualSubjectsFolder = QStringLiteral("/home/x/.local/share/Parlanto Italian/MySubjects/");
    QCOMPARE(PublishedSettings::publishFolders(s),
             QStringList({"ProgramDir", "InstalledSubjectsDir", "VirtualSubjectsDir"}));
    QCOMPARE(RegGetString(key(), QStringLiteral("VirtualSubjectsDir")), s.virtualSubjectsFolder);
    QVERIFY(PublishedSettings::publishFolders(s).isEmpty());

    // A change of letter case alone rewrites nothing.
    RegSaveString(key(), QStringLiteral("ProgramDir"), QStringLiteral("/OPT/PARLANTO/"));
    QVERIFY(PublishedSettings::publishFolders(s).isEmpty());
    QCOMPARE(RegGetString(key(), QStringLiteral("ProgramDir")), QStringLiteral("/OPT/PARLANTO/"));

    // A moved program folder rewrites the values that changed.
    s.programFolder = QStringLiteral("/usr/lib/parlanto/");
    s.installedSubjectsFolder = QStringLiteral("/usr/lib/parlanto/Subjects/");
    QCOMPARE(PublishedSettings::publishFolders(s), QStringList({"ProgramDir", "InstalledSubjectsDir"}));
    QCOMPARE(RegGetString(key(), QStringLiteral("ProgramDir")), s.programFolder);
}

void TestStartup::weeklySchedule_data()
{
    QTest::addColumn<QString>("stored");
    QTest::addColumn<bool>("connected");
    QTest::addColumn<bool>("due");
    QTest::addColumn<QString>("after");
    QTest::addColumn<bool>("asked"); // the connection state is only looked up when due by date
    const QDate today(2026, 5, 20);
    QTest::newRow("first start") << QString() << true << false << today.toString(Qt::ISODate) << false;
    QTest::newRow("unreadable date reads as empty") << "20/05/2019" << true << false << "2026-05-20" << false;
    QTest::newRow("7 days, connected") << "2026-05-13" << true << true << "2026-05-20" << true;
    QTest::newRow("30 days, connected") << "2026-04-20" << true << true << "2026-05-20" << true;
    QTest::newRow("6 days, connected") << "2026-05-14" << true << false << "2026-05-14" << false;
    QTest::newRow("7 days, no connection") << "2026-05-13" << false << false << "2026-05-13" << true;
}

void TestStartup::weeklySchedule()
{
    QFETCH(QString, stored);
    QFETCH(bool, connected);
    QFETCH(bool, due);
    QFETCH(QString, after);
    QFETCH(bool, asked);
    if (!stored.isEmpty())
        RegSaveString(key(), QStringLiteral("DateChecked"), stored);
    bool lookedUp = false;
    const auto isConnected = [&] {
        lookedUp = true;
        return connected;
    };
    QCOMPARE(PublishedSettings::updateCheckDue(key(), QDate(2026, 5, 20), isConnected), due);
    QCOMPARE(lookedUp, asked);
    QCOMPARE(RegGetString(key(), QStringLiteral("DateChecked")), after);
}

void TestStartup::splashLogAndEarlyClose()
{
    QStringList texts(150, QString());
    texts[25 - 1] = QStringLiteral("Have fun learning");
    texts[53 - 1] = QStringLiteral("Loading...");
    app().captions.setTexts(texts);
    QPointer<SplashWindow> splash = new SplashWindow();
    splash->show();
    QVERIFY(QTest::qWaitForWindowExposed(splash));
    QCOMPARE(splash->findChild<QLabel*>(QStringLiteral("lblCatchyWord_0"))->text(),
             QStringLiteral("Have fun learning Italian!"));
    QCOMPARE(splash->findChild<QLabel*>(QStringLiteral("lblCatchyWord_1"))->text(),
             QStringLiteral("Have fun learning Italian!"));
    QVERIFY(
        splash->findChild<QLabel*>(QStringLiteral("lblVersion"))->text().startsWith(QStringLiteral("v.")));
    QCOMPARE(splash->findChild<QLabel*>(QStringLiteral("lblVersion"))->text().count(QLatin1Char('.')), 3);
    QCOMPARE(splash->findChild<QLabel*>(QStringLiteral("lblLoading"))->text(), QStringLiteral("Loading..."));

    LoadingLog::addLine(QStringLiteral("first"));
    LoadingLog::addLine(QStringLiteral("second"));
    QCOMPARE(splash->statusText(), QStringLiteral("second\nfirst"));
    // The box takes the lines when events run: at the latest once a load has been busy for
    // longer than a frame without them.
    QTest::qSleep(50);
    LoadingLog::addLine(QStringLiteral("third"));
    QCOMPARE(splash->findChild<QPlainTextEdit*>(QStringLiteral("txtStatus"))->toPlainText(),
             QStringLiteral("third\nsecond\nfirst"));
    // A full box scrolled down by the learner shows the newest line again at the next update.
    auto* box = splash->findChild<QPlainTextEdit*>(QStringLiteral("txtStatus"));
    for (int i = 0; i < 100; ++i)
        splash->addStatusLine(QString::number(i));
    QCoreApplication::processEvents();
    QVERIFY(box->verticalScrollBar()->maximum() > 0);
    box->verticalScrollBar()->setValue(box->verticalScrollBar()->maximum());
    splash->addStatusLine(QStringLiteral("newest"));
    QCoreApplication::processEvents();
    QCOMPARE(box->verticalScrollBar()->value(), 0);
    QVERIFY(box->toPlainText().startsWith(QStringLiteral("newest\n99\n98\n")));

    QTest::keyClick(splash, Qt::Key_A);
    QVERIFY(!splash || !splash->isVisible());
    LoadingLog::addLine(QStringLiteral("later"));
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(!splash); // gone for good: later lines do not bring it back
    LoadingLog::addLine(QStringLiteral("even later"));
}

void TestStartup::tiling()
{
    // A 100-pixel picture is 2646 hundredths of a millimetre: steps of 1323 twips, 88 pixels.
    QCOMPARE(TiledBackground::stepFor(QSize(100, 50)), QSize(88, 44));
    const QList<QPoint> tiles = TiledBackground::tilePositions(QSize(200, 90), QSize(100, 50));
    QCOMPARE(tiles,
             QList<QPoint>(
                 {{0, 0}, {88, 0}, {176, 0}, {0, 44}, {88, 44}, {176, 44}, {0, 88}, {88, 88}, {176, 88}}));
    QVERIFY(TiledBackground::tilePositions(QSize(200, 90), QSize()).isEmpty());
}

void TestStartup::firstAndSecondStart()
{
    {
        MainWindow window;
        QVERIFY(start(window));
        QVERIFY2(m_boxes.isEmpty(), m_boxes.isEmpty() ? "" : qPrintable(m_boxes[0].text));
        QVERIFY(!window.isVisible()); // shown only after a login
        QVERIFY(m_flow->loginWindow() && m_flow->loginWindow()->isVisible());
        QVERIFY(QApplication::topLevelWidgets().size() > 0);
        for (QWidget* w : QApplication::topLevelWidgets())
            QVERIFY(w->objectName() != QLatin1String("frmSplash") || !w->isVisible());
        QCOMPARE(window.windowTitle(), QStringLiteral("Parlanto Italian"));
        QCOMPARE(window.findChild<QLabel*>(QStringLiteral("lblSelectSubject"))->text(),
                 QStringLiteral("1. Choose a subject in the list."));
        QCOMPARE(window.findChild<QLabel*>(QStringLiteral("lblSelectActivity"))->text(),
                 QStringLiteral("2. Press the button of an activity."));
        QCOMPARE(window.findChild<QLabel*>(QStringLiteral("lblCaption"))->text(),
                 QStringLiteral("Help and information"));
        QCOMPARE(window.findChild<QPushButton*>(QStringLiteral("btnChangeUser"))->text(),
                 QStringLiteral("Change user"));
        // Rows whose level column is False are left out.
        QCOMPARE(window.menuEntryCount(), 6);
        QCOMPARE(window.systemMessages().size(), 6);
        QVERIFY(window.tipCount() >= 13);
        QCOMPARE(window.rotation().PendingMessage,
                 QStringLiteral("Choose a subject and an activity to begin!"));
        QCOMPARE(window.menuLeftTwips(), 100 - MainWindow::MenuWidthTwips);
        QVERIFY(window.activityFiles().isEmpty());
        QVERIFY(QFileInfo(app().dataFolder + QStringLiteral("Subjects")).isDir());
        window.endProgram();
    }
    for (const char* name : {"ProgramDir", "InstalledSubjectsDir", "VirtualSubjectsDir", "DateChecked"})
        QVERIFY2(!RegGetString(key(), QLatin1String(name)).isEmpty(), name);
    QCOMPARE(RegGetString(key(), QStringLiteral("DateChecked")), QStringLiteral("2026-05-20"));
    QCOMPARE(RegGetString(key(), QStringLiteral("InstalledSubjectsDir")), app().installedSubjectsFolder);

    // Second start: nothing is rewritten, not even values that differ only in letter case.
    const QString upper = app().programFolder.toUpper();
    RegSaveString(key(), QStringLiteral("ProgramDir"), upper);
    const QString programFolder = app().programFolder;
    resetAppState();
    app().edition = *findEdition(QStringLiteral("prlita"));
    app().programFolder = programFolder;
    Clock::setForTests([] { return QDateTime(QDate(2026, 5, 26), QTime(9, 0)); });
    Web::setConnectedForTests(true);
    {
        MainWindow window;
        QVERIFY(start(window));
        window.endProgram();
    }
    QCOMPARE(RegGetString(key(), QStringLiteral("ProgramDir")), upper);
    QCOMPARE(RegGetString(key(), QStringLiteral("DateChecked")), QStringLiteral("2026-05-20"));
    QCOMPARE(m_server.requests, 0);
}

void TestStartup::updateCheckAtStart_data()
{
    QTest::addColumn<int>("daysAgo");
    QTest::addColumn<QByteArray>("answer");
    QTest::addColumn<bool>("runs");
    QTest::addColumn<bool>("quits");
    QTest::newRow("7 days, YES quits") << 7 << QByteArray(" yes ,Version 2 is out") << true << true;
    QTest::newRow("7 days, NO goes on") << 7 << QByteArray("NO,Version 2 is out") << true << false;
    QTest::newRow("6 days, nothing") << 6 << QByteArray("YES,Version 2 is out") << false << false;
    QTest::newRow("7 days, switched off") << -7 << QByteArray("YES,Version 2 is out") << false << false;
}

void TestStartup::updateCheckAtStart()
{
    QFETCH(int, daysAgo);
    QFETCH(QByteArray, answer);
    QFETCH(bool, runs);
    QFETCH(bool, quits);
    m_server.answer = answer;
    m_server.requests = 0;
    Web::setConnectedForTests(true);
    // A negative count: as many days, with the check switched off in the settings.
    if (daysAgo < 0) {
        RegSaveString(key(), QStringLiteral("CheckForUpdates"), QStringLiteral("False "));
        daysAgo = -daysAgo;
    }
    RegSaveString(key(), QStringLiteral("DateChecked"),
                  QDate(2026, 5, 20).addDays(-daysAgo).toString(Qt::ISODate));
    MainWindow window;
    const bool running = start(window);
    QCOMPARE(running, !quits);
    QCOMPARE(m_server.requests > 0, runs);
    QCOMPARE(window.hasEnded(), quits);
    if (runs) {
        QCOMPARE(RegGetString(key(), QStringLiteral("DateChecked")), QStringLiteral("2026-05-20"));
        QVERIFY(!m_boxes.isEmpty());
        QVERIFY(m_boxes[0].text.startsWith(QStringLiteral("Version 2 is out\n\n")));
    } else {
        QVERIFY(m_boxes.isEmpty());
    }
    window.endProgram();
}

void TestStartup::spanishEdition()
{
    app().edition = *findEdition(QStringLiteral("prlito"));
    MainWindow window;
    QVERIFY(start(window));
    QCOMPARE(window.windowTitle(), QStringLiteral("Parlanto Italiano"));
    QCOMPARE(window.findChild<QLabel*>(QStringLiteral("lblSelectSubject"))->text(),
             QStringLiteral("1. Elija un tema de la lista."));
    QCOMPARE(window.findChild<QPushButton*>(QStringLiteral("btnOpenSubjectsFolder"))->text(),
             QStringLiteral("Abrir la carpeta de temas"));
    QCOMPARE(app().installedSubjectsFolder, app().programFolder + QStringLiteral("Temas/"));
    QVERIFY(app().virtualSubjectsFolder.endsWith(QStringLiteral("/MisTemas/")));
    QCOMPARE(window.findChild<LinkLabel*>(QStringLiteral("lblMenu_0"))->text(),
             QStringLiteral("Cómo usar el programa"));
    QCOMPARE(window.findChild<QLabel*>(QStringLiteral("lblNoActivities"))->text(),
             QStringLiteral("No hay ninguna actividad instalada."));
    QCOMPARE(window.subjectTree()->accessibleName(), QStringLiteral("Temas y frases"));
    QCOMPARE(MessageWindow::instance()->btnOK()->text(), QStringLiteral("Aceptar"));
    // Message boxes are set in the system's font, at their own size.
    QCOMPARE(MessageWindow::instance()->lblMsg()->font().family(), QApplication::font().family());
    MessageWindow::unload();

    // Qt's own buttons, too.
    QVERIFY(Startup::installQtTranslations(*qApp, app().edition.InterfaceLanguage));
    {
        QMessageBox box(QMessageBox::NoIcon, QString(), QString(),
                        QMessageBox::Yes | QMessageBox::No | QMessageBox::Ok | QMessageBox::Cancel);
        QStringList texts;
        for (auto b : {QMessageBox::Yes, QMessageBox::No, QMessageBox::Ok, QMessageBox::Cancel})
            texts << box.button(b)->text().remove(QLatin1Char('&'));
        QCOMPARE(texts, (QStringList{"Sí", "No", "Aceptar", "Cancelar"}));
    }
    for (QTranslator* t : qApp->findChildren<QTranslator*>()) {
        QCoreApplication::removeTranslator(t);
        delete t;
    }
    QVERIFY(Startup::installQtTranslations(*qApp, QStringLiteral("English"))); // needs none
    QVERIFY(qApp->findChildren<QTranslator*>().isEmpty());
    window.endProgram();
}

// A learner's program killed in the middle of writing a virtual subject leaves a hot journal:
// the next start shows the file as last committed, with nothing to report, and no journal
// stays behind.
void TestStartup::startAfterAKilledVirtualSubjectWrite()
{
    app().programFolder = makeProgramFolder();
    const QString file =
        app().programFolder + QStringLiteral("MySubjects/Travel.v") + app().edition.LanguageCode;
    QString error;
    QVERIFY2(VirtualSubjectFile::createEmpty(file, &error), qPrintable(error));
    QVERIFY2(VirtualSubjectFile::addSubject(file, QStringLiteral("Committed"), &error), qPrintable(error));
    QVERIFY(TestSupport::killVirtualSubjectWrite(file, 'u'));
    QVERIFY(QFileInfo(file + QStringLiteral("-journal")).size() > 0);

    MainWindow window;
    QVERIFY(start(window));
    QVERIFY2(m_boxes.isEmpty(), m_boxes.isEmpty() ? "" : qPrintable(m_boxes[0].text));
    const auto folders = window.subjectTree()->findItems(QStringLiteral("Travel"), Qt::MatchExactly);
    QCOMPARE(folders.size(), 1);
    QCOMPARE(folders[0]->childCount(), 1);
    QCOMPARE(folders[0]->child(0)->text(0), QStringLiteral("Committed"));
    QVERIFY(!QFileInfo::exists(file + QStringLiteral("-journal")));
    auto db = Database::open(file, Database::SubjectPassword, Database::Mode::ReadOnly, nullptr);
    QVERIFY(db);
    Statement check = db->prepare(QStringLiteral("PRAGMA integrity_check"));
    QCOMPARE(check.step(), Statement::Step::Row);
    QCOMPARE(check.text(0), QStringLiteral("ok"));
    window.endProgram();
}

void TestStartup::loginDressesMainWindow()
{
    MainWindow window;
    QVERIFY(start(window));
    bool adminOpened = false;
    // The administration window itself is tested on its own: here, only that it is asked for.
    QObject::disconnect(&window, &MainWindow::administrationRequested, m_flow.get(), nullptr);
    connect(&window, &MainWindow::administrationRequested, [&adminOpened] { adminOpened = true; });

    m_flow->logIn(QStringLiteral("Anna Rossi"), false);
    QVERIFY(window.isVisible());
    QCOMPARE(window.windowTitle(), QStringLiteral("Parlanto Italian  [Anna Rossi]"));
    QCOMPARE(TestSupport::child<QLabel>(&window, "lblMsg")->text(),
             QStringLiteral("Welcome to Parlanto Italian Anna Rossi"));
    QCOMPARE(TestSupport::child<QLabel>(&window, "lblMsg")->font().pointSize(), 12);
    QVERIFY(!TestSupport::child<QPushButton>(&window, "btnAdmin")->isVisible());
    QVERIFY(!TestSupport::child<QMenu>(&window, "mnuOption")->isEnabled());
    QCOMPARE(TestSupport::child<QAction>(&window, "mnuEdit")->text(), QStringLiteral("Edit phrase"));
    QCOMPARE(TestSupport::child<QAction>(&window, "mnuListenToPhrase")->text(),
             QStringLiteral("Listen to the phrase"));
    QVERIFY(TestSupport::child<QTimer>(&window, "timSlide")->isActive());

    // The panel moves up and then shows the queued first message.
    QTRY_COMPARE(TestSupport::child<QLabel>(&window, "lblMsg")->text(),
                 QStringLiteral("Choose a subject and an activity to begin!"));

    m_flow->logIn(QStringLiteral("Marco Bianchi"), true);
    QVERIFY(TestSupport::child<QPushButton>(&window, "btnAdmin")->isVisible() &&
            TestSupport::child<QPushButton>(&window, "btnAdmin")->isEnabled());
    QVERIFY(TestSupport::child<QMenu>(&window, "mnuOption")->isEnabled());
    QTest::mouseClick(TestSupport::child<QPushButton>(&window, "btnAdmin"), Qt::LeftButton);
    QVERIFY(adminOpened);

    // Every control the keyboard reaches has a name for screen readers.
    for (QWidget* w : window.findChildren<QWidget*>()) {
        if (w->isVisible() && w->focusPolicy() & Qt::TabFocus && !w->inherits("QAbstractScrollArea") &&
            w->parentWidget() && !w->parentWidget()->inherits("QAbstractScrollArea") &&
            !window.activityPanel()->isAncestorOf(w))
            QVERIFY2(!w->accessibleName().isEmpty(), qPrintable(w->objectName()));
    }
    window.endProgram();
}

void TestStartup::buttonsAndMenu()
{
    MainWindow window;
    QVERIFY(start(window));
    m_flow->logIn(QStringLiteral("Anna Rossi"), false);

    QTest::mouseClick(window.findChild<QPushButton*>(QStringLiteral("btnOpenSubjectsFolder")),
                      Qt::LeftButton);
    QCOMPARE(m_opened, QList<QUrl>{QUrl::fromLocalFile(app().installedSubjectsFolder)});
    // The virtual subject editor takes the main window's place until it is closed.
    auto* create = window.findChild<QPushButton*>(QStringLiteral("btnCreateVirtualSubjects"));
    QVERIFY(create->isEnabled());
    window.show();
    QTest::mouseClick(create, Qt::LeftButton);
    QWidget* editor = nullptr;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->objectName() == QLatin1String("frmCustomSubject") && w->isVisible())
            editor = w;
    QVERIFY(editor);
    QVERIFY(!window.isVisible());
    editor->close();
    QVERIFY(window.isVisible());

    // A menu entry opens its page of the web site, or the offline page without a connection.
    LinkLabel* entry = window.findChild<LinkLabel*>(QStringLiteral("lblMenu_1"));
    QVERIFY(entry);
    m_opened.clear();
    Web::setConnectedForTests(true);
    QTest::mouseClick(entry, Qt::LeftButton);
    QCOMPARE(m_opened, QList<QUrl>{QUrl(m_server.base() + QStringLiteral("/subjects.htm"))});
    QCOMPARE(QUrl(entry->toolTip()), m_opened.first()); // the tooltip names the page that opens
    QVERIFY(!MessageWindow::isShown());
    m_opened.clear();
    Web::setConnectedForTests(false);
    entry->setFocus();
    QTest::keyClick(entry, Qt::Key_Return);
    QCOMPARE(m_opened, QList<QUrl>{QUrl::fromLocalFile(app().programFolder + QStringLiteral("offline.htm"))});

    // Change user: the main window hides and a fresh login window shows.
    LoginWindow* first = m_flow->loginWindow();
    QTest::mouseClick(window.findChild<QPushButton*>(QStringLiteral("btnChangeUser")), Qt::LeftButton);
    QVERIFY(!window.isVisible());
    QVERIFY(m_flow->loginWindow() && m_flow->loginWindow() != first);
    QVERIFY(m_flow->loginWindow()->isVisible());
    window.endProgram();
    QVERIFY(window.hasEnded());
}

void TestStartup::messageWindow()
{
    app().captions.setTexts(QStringList(150, QString()));
    // Status boxes at the three heights end above the OK button.
    for (int height : {2000, 1800, 1500}) {
        MessageWindow::showStatus(QStringLiteral("<b>plain</b> text"), height);
        MessageWindow* w = MessageWindow::instance();
        QVERIFY(MessageWindow::isShown());
        QCOMPARE(w->height(), (height + 7) / 15);
        QVERIFY(!w->btnOK()->isVisible());
        QCOMPARE(TestSupport::child<QLabel>(w, "lblMsg")->textFormat(), Qt::PlainText);
    }
    // Closed early by the learner: the caller's later calls find nothing and do not fail.
    MessageWindow::instance()->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(!MessageWindow::isShown());
    MessageWindow::setStatusText(QStringLiteral("more"));
    MessageWindow::unload();

    // A modal message waits for OK.
    Dialogs::setHandlerForTests(nullptr);
    bool sawOk = false;
    QTimer::singleShot(0, [&sawOk] {
        MessageWindow* w = MessageWindow::instance();
        sawOk = w->btnOK()->isVisible() &&
                TestSupport::child<QLabel>(w, "lblMsg")->text() == QStringLiteral("Confirm me") &&
                TestSupport::child<QLabel>(w, "lblMsg")->geometry() == QRect(24, 16, 337, 157);
        QTest::mouseClick(w->btnOK(), Qt::LeftButton);
    });
    MessageWindow::showModal(QStringLiteral("Confirm me"), 10);
    QVERIFY(sawOk);
}

// A file opened with the program (from a file manager) in an installed copy: a subject of
// the edition is copied into the learner's subjects and chosen in the tree; a foreign one
// gets the usual message and is not copied; a name already there is replaced only on Yes.
void TestStartup::openedFile_data()
{
    QTest::addColumn<QString>("edition");
    QTest::addColumn<bool>("existing");
    QTest::addColumn<int>("answer");
    QTest::addColumn<int>("phrasesAfter"); // phrases of the learner's file afterwards, 0: none
    QTest::newRow("new subject") << "prlita" << false << int(QMessageBox::Yes) << 3;
    QTest::newRow("another edition's subject") << "prlito" << false << int(QMessageBox::Yes) << 0;
    QTest::newRow("same name, No keeps the old") << "prlita" << true << int(QMessageBox::No) << 1;
    QTest::newRow("same name, Yes replaces") << "prlita" << true << int(QMessageBox::Yes) << 3;
}

void TestStartup::openedFile()
{
    QFETCH(QString, edition);
    QFETCH(bool, existing);
    QFETCH(int, answer);
    QFETCH(int, phrasesAfter);
    const QString program = makeProgramFolder();
    QFile marker(program + QStringLiteral(".installed"));
    QVERIFY(marker.open(QIODevice::WriteOnly));
    marker.close();
    app().programFolder = program;
    const QString opened = m_root.filePath(QStringLiteral("At_the_Museum.ita"));
    QFile::remove(opened);
    QVERIFY(TestSupport::writeSubject(opened, edition, 3));
    const QString learnerFolder = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
                                  QStringLiteral("/Parlanto Italian/Subjects/");
    const QString mine = learnerFolder + QStringLiteral("At_the_Museum.ita");
    QFile::remove(mine);
    if (existing) {
        QVERIFY(QDir().mkpath(learnerFolder));
        QVERIFY(TestSupport::writeSubject(mine, QStringLiteral("prlita"), 1));
    }
    m_answer = QMessageBox::StandardButton(answer);

    MainWindow window;
    QVERIFY(start(window, opened));
    QCOMPARE(app().learnerSubjectsFolder, learnerFolder);
    QCOMPARE(m_boxes.size(), edition == QLatin1String("prlita") && !existing ? 0 : 1);
    QVERIFY(QDir(program + QStringLiteral("Subjects")).isEmpty()); // the installation is never written
    if (phrasesAfter == 0) {
        QVERIFY(!QFileInfo::exists(mine));
        QVERIFY(m_boxes[0].text.contains(QStringLiteral("At_the_Museum.ita")));
    } else {
        QCOMPARE(int(InstalledSubject::phrases(mine, false, nullptr)->size()), phrasesAfter);
    }
    if (phrasesAfter == 3) { // added: listed and chosen in the tree
        const QTreeWidgetItem* current = window.subjectTree()->currentItem();
        QVERIFY(current);
        QCOMPARE(current->text(0), QStringLiteral("At The Museum"));
        QCOMPARE(current->parent(), window.subjectTree()->installedFolder());
    }
    window.endProgram();
    QFile::remove(mine);
}

// A Spanish-interface edition prints its help, and shows its copyright, in Spanish.
void TestStartup::helpAndCopyrightInSpanish()
{
    const QString spanish = CommandLine::helpText(QStringLiteral("Spanish"));
    const QString command = CommandLine::commandName();
    QVERIFY2(spanish.startsWith("Uso: " + command + " [opciones] [archivo]\n"), qPrintable(spanish));
    for (const char* said : {"Opciones:", "Argumentos:", "Muestra esta ayuda y termina.", "--version"})
        QVERIFY2(spanish.contains(QString::fromUtf8(said)), said);
    for (const char* english : {"Usage", "Options", "Arguments", "Print this", "the manual"})
        QVERIFY2(!spanish.contains(QLatin1String(english)), english);
    QVERIFY(spanish.contains("el curso de " +
                             QString(buildEdition().StudiedLanguage == "Italian" ? "italiano" : "")));
    QVERIFY(CommandLine::helpText(QStringLiteral("English")).startsWith("Usage: " + command));
    QVERIFY(
        CommandLine::copyrightLine(QStringLiteral("Spanish")).endsWith("Los desarrolladores de Parlanto"));
    QVERIFY(CommandLine::copyrightLine(QStringLiteral("English")).endsWith("The Parlanto developers"));
}

// The program's own command line, run as a person runs it; --help and --version need no display.
void TestStartup::commandLine_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("out");
    QTest::addColumn<QString>("err");
    const Edition e = buildEdition();
    QTest::newRow("--version") << QStringList{"--version"} << 0
                               << QStringLiteral("%1 (%2) 1.0.0, build ").arg(e.EditionTitle, e.ProgramCode)
                               << QString();
    QTest::newRow("-v") << QStringList{"-v"} << 0 << QStringLiteral("(%1) 1.0.0").arg(e.ProgramCode)
                        << QString();
    const QString command = CommandLine::commandName(); // parlanto, parlanto-prlito, ...
    QTest::newRow("--help") << QStringList{"--help"} << 0 << "Usage: " + command + " [options] [file]"
                            << QString();
    QTest::newRow("unknown option") << QStringList{"--bogus"} << 1 << QString()
                                    << command + ": Unknown option 'bogus'.\n";
    QTest::newRow("two files") << QStringList{"a.ita", "b.ita"} << 1 << QString()
                               << command + ": one file at a time, please (2 were given)\n";
}

void TestStartup::commandLine()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, exitCode);
    QFETCH(QString, out);
    QFETCH(QString, err);
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"})
        env.remove(QLatin1String(name));
    if (exitCode != 0) { // refusals come from the running program, which needs a platform
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        // A runtime folder of its own, so that Qt has no warning to add to the one line.
        const QString runtime = m_root.filePath(QStringLiteral("runtime"));
        QDir().mkpath(runtime);
        QFile::setPermissions(runtime, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime);
    }
    // A refusal is said on the error output and, where there is a display, in a message box:
    // once with the boxes answered by the test, once without a display (no box, no wait).
    for (const bool boxes : {true, false}) {
        if (boxes)
            env.insert(QStringLiteral("PARLANTO_PRINT_MESSAGE_BOXES"), QStringLiteral("1"));
        else
            env.remove(QStringLiteral("PARLANTO_PRINT_MESSAGE_BOXES"));
        process.setProcessEnvironment(env);
        process.start(QStringLiteral(PARLANTO_PROGRAM_DIR "/parlanto"), arguments);
        QVERIFY(process.waitForFinished(60000));
        QCOMPARE(process.exitStatus(), QProcess::NormalExit);
        QCOMPARE(process.exitCode(), exitCode);
        const QString stdOut = QString::fromUtf8(process.readAllStandardOutput());
        const QString stdErr = QString::fromUtf8(process.readAllStandardError());
        if (err.isEmpty())
            QVERIFY2(stdErr.isEmpty(), qPrintable(stdErr));
        else
            QVERIFY2(stdErr.endsWith(err) && stdErr.count(QLatin1Char('\n')) == 1, qPrintable(stdErr));
        if (exitCode == 0 || !boxes)
            QVERIFY2(stdOut.contains(out) && !stdOut.contains("message box"), qPrintable(stdOut));
        else
            QCOMPARE(stdOut, QStringLiteral("message box: ") + err);
    }
}

QTEST_MAIN(TestStartup)
#include "TestStartup.moc"
