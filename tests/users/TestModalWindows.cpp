// Screen readers and automation tools can press buttons behind a modal window. These tests
// press them that way, through the accessibility actions, while a real modal window runs its
// own event loop, and check that the program goes on with every window intact.
#include "WindowFixture.h"
#include "app/MainWindow.h"
#include "app/WindowFlow.h"
#include "platform/Sound.h"
#include "state/AppState.h"
#include "support/TestSupport.h"
#include "users/AdminWindow.h"
#include "users/LoginWindow.h"
#include "users/ProfileWindow.h"
#include "users/ProgressWindow.h"
#include "users/UsersDatabase.h"
#include "widgets/Dialogs.h"
#include "widgets/MessageWindow.h"

#include <QAccessible>
#include <QAccessibleActionInterface>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

namespace {

// What a screen reader does for "press": the button's accessible press action, whose click
// comes a moment later from the event loop (here the open modal window's loop).
void pressAccessibly(QAbstractButton* button)
{
    QVERIFY(button);
    QSignalSpy clicked(button, &QAbstractButton::clicked);
    QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(button);
    QVERIFY(iface && iface->actionInterface());
    iface->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
    QTRY_COMPARE(clicked.size(), 1);
}

// Runs step once the event loop that open() starts is running.
void whenModal(const std::function<void()>& step)
{
    QTimer::singleShot(0, qApp, step);
}

} // namespace

class TestModalWindows : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();
    void loginBehindFirstLearnerNotice();
    void ownerDeletedUnderOpenBox();
    void mainAndAdminBehindTheirQuestion();
    // Last: closing the main window ends the program's loops for the rest of the process.
    void mainButtonsBehindMyProgress();

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<MainWindow> m_main;
    std::unique_ptr<WindowFlow> m_flow;
};

void TestModalWindows::initTestCase()
{
    QStandardPaths::setTestModeEnabled(true);
    Sound::setPlayerForTests([](const QString&, bool) {});
}

void TestModalWindows::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    QString error;
    QVERIFY2(WindowFixture::prepare(m_dir->path(), &error), qPrintable(error));
    // The real boxes and message windows, each with its own event loop.
    Dialogs::setHandlerForTests({});
    m_main = std::make_unique<MainWindow>();
    m_flow = std::make_unique<WindowFlow>(*m_main);
}

void TestModalWindows::cleanup()
{
    WindowFixture::finish(m_main, m_flow);
}

void TestModalWindows::loginBehindFirstLearnerNotice()
{
    QPointer<LoginWindow> login = m_flow->createLoginWindow();
    login->show();
    QVERIFY(QTest::qWaitForWindowExposed(login));

    QString noticeText;
    bool stillTheNotice = false;
    whenModal([&] {
        auto* profile = qobject_cast<ProfileWindow*>(QApplication::activeModalWidget());
        QVERIFY(profile);
        TestSupport::child<QLineEdit>(profile, "txtFirst")->setText(QStringLiteral("Zeno"));
        TestSupport::child<QLineEdit>(profile, "txtLast")->setText(QStringLiteral("Verdi"));
        whenModal([&, profile = QPointer<ProfileWindow>(profile)] {
            auto* notice = qobject_cast<MessageWindow*>(QApplication::activeModalWidget());
            QVERIFY(notice);
            noticeText = notice->lblMsg()->text();
            // Log in, new learner, edit learner, and the profile's own buttons, all behind
            // the notice; none may act while it is open.
            for (int i : {0, 1, 2})
                pressAccessibly(
                    TestSupport::child<QPushButton>(login, qPrintable(QStringLiteral("btnLogin_%1").arg(i))));
            pressAccessibly(TestSupport::child<QPushButton>(profile, "btnEdit_0"));
            pressAccessibly(TestSupport::child<QPushButton>(profile, "btnEdit_1"));
            stillTheNotice = QApplication::activeModalWidget() == notice && login && profile;
            QTest::mouseClick(notice->btnOK(), Qt::LeftButton);
        });
        QTest::mouseClick(TestSupport::child<QPushButton>(profile, "btnEdit_0"), Qt::LeftButton);
    });
    QTest::mouseClick(TestSupport::child<QPushButton>(login, "btnLogin_1"), Qt::LeftButton);

    QCOMPARE(noticeText, TestSupport::captionText(43));
    QVERIFY(stillTheNotice);
    QVERIFY(login);
    QVERIFY(!login->hasLoggedIn());
    QVERIFY(!m_main->hasEnded());
    QCOMPARE(TestSupport::child<QListWidget>(login, "lvwLearners")->count(), 1);
    QVERIFY(TestSupport::child<QListWidget>(login, "lvwLearners")->item(0)->font().bold());
    QString error;
    QCOMPARE(UsersDatabase::forApp().readLearners(&error).value_or(QList<Learner>()).size(), 1);

    // With the windows closed, logging in works as always.
    QTest::mouseClick(TestSupport::child<QPushButton>(login, "btnLogin_0"), Qt::LeftButton);
    QCOMPARE(app().CurrentUser, QStringLiteral("Zeno Verdi"));
    QTRY_VERIFY(login.isNull());
}

void TestModalWindows::ownerDeletedUnderOpenBox()
{
    // Whatever deletes a window while its box or message is open, the box goes with it
    // and the caller learns that its window is gone.
    for (bool messageWindow : {false, true}) {
        QPointer<QWidget> owner = new QWidget;
        owner->show();
        QVERIFY(QTest::qWaitForWindowExposed(owner));
        bool sawBox = false;
        whenModal([&] {
            sawBox = QApplication::activeModalWidget() != nullptr;
            delete owner.data();
        });
        if (messageWindow) {
            MessageWindow::showModal(QStringLiteral("gone"), 0, owner);
        } else {
            QCOMPARE(Dialogs::message(owner, {QStringLiteral("t"), QStringLiteral("gone"),
                                              QMessageBox::NoIcon, QMessageBox::Yes | QMessageBox::No}),
                     QMessageBox::NoButton);
        }
        QVERIFY(sawBox);
        QVERIFY(owner.isNull());
        QVERIFY(!QApplication::activeModalWidget());
    }
}

void TestModalWindows::mainAndAdminBehindTheirQuestion()
{
    QString error;
    QVERIFY2(UsersDatabase::forApp().createFromTemplate(&error), qPrintable(error));
    m_flow->logIn(QStringLiteral("Zeno Verdi"), true);
    m_main->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_main.get()));
    auto* adminButton = m_main->findChild<QPushButton*>(QStringLiteral("btnAdmin"));
    auto* changeUser = m_main->findChild<QPushButton*>(QStringLiteral("btnChangeUser"));
    QVERIFY(adminButton && changeUser);

    bool questionStayed = false;
    bool adminOpened = false;
    whenModal([&] {
        QPointer<AdminWindow> admin = qobject_cast<AdminWindow*>(QApplication::activeModalWidget());
        QVERIFY(admin);
        adminOpened = true;
        auto* clear = admin->findChild<QPushButton*>(QStringLiteral("btnClearDatabase"));
        whenModal([&, clear] {
            auto* question = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            QVERIFY(question);
            // Change user would delete and make a login window; administration would open a
            // second one; clearing again would ask again inside this question.
            pressAccessibly(changeUser);
            pressAccessibly(adminButton);
            pressAccessibly(clear);
            questionStayed = QApplication::activeModalWidget() == question && admin && !m_flow->loginWindow();
            question->button(QMessageBox::No)->click();
        });
        QTest::mouseClick(clear, Qt::LeftButton);
        if (admin)
            admin->reject();
    });
    QTest::mouseClick(adminButton, Qt::LeftButton);

    QVERIFY(adminOpened);
    QVERIFY(questionStayed);
    QVERIFY(!m_main->hasEnded());
    QVERIFY(QFile::exists(app().usersDatabasePath()));
    QVERIFY(!QApplication::activeModalWidget());
}

// "My progress" runs its own loop over the main window: the main window's buttons pressed
// meanwhile open nothing and delete nothing, and closing the main window (the program's end)
// ends the window's loop before anything it belongs to goes.
void TestModalWindows::mainButtonsBehindMyProgress()
{
    QString error;
    QVERIFY2(UsersDatabase::forApp().createFromTemplate(&error), qPrintable(error));
    m_flow->logIn(QStringLiteral("Zeno Verdi"), true);
    m_main->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_main.get()));
    auto* progressButton = TestSupport::child<QPushButton>(m_main.get(), "btnProgress");

    QPointer<ProgressWindow> progress;
    bool stayed = false;
    whenModal([&] {
        progress = qobject_cast<ProgressWindow*>(QApplication::activeModalWidget());
        QVERIFY(progress);
        for (const char* name : {"btnChangeUser", "btnAdmin", "btnCreateVirtualSubjects", "btnProgress"})
            pressAccessibly(TestSupport::child<QPushButton>(m_main.get(), name));
        stayed = QApplication::activeModalWidget() == progress && !m_flow->loginWindow() &&
                 m_main->isVisible() && !m_main->findChild<AdminWindow*>() &&
                 m_main->findChildren<ProgressWindow*>().size() == 1;
        m_main->close(); // as the window manager's close button does
    });
    QTest::mouseClick(progressButton, Qt::LeftButton);

    QVERIFY(stayed);
    QVERIFY(!progress); // deleted once its loop had ended
    QVERIFY(m_main->hasEnded());
    QVERIFY(!QApplication::activeModalWidget());
}

QTEST_MAIN(TestModalWindows)
#include "TestModalWindows.moc"
