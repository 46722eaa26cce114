#include "WindowFixture.h"
#include "app/MainWindow.h"
#include "app/WindowFlow.h"
#include "platform/Database.h"
#include "platform/Sound.h"
#include "state/AppState.h"
#include "support/ModalDriver.h"
#include "support/TestSupport.h"
#include "users/LoginWindow.h"
#include "users/ProfileWindow.h"
#include "users/UsersDatabase.h"
#include "widgets/Dialogs.h"
#include "widgets/MessageWindow.h"

#include <QAccessible>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPointer>
#include <QProcess>
#include <QPushButton>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <csignal>
#include <functional>
#include <optional>
#include <sys/resource.h>

namespace {

struct ProfileInput
{
    ProfileInput(const QString& first, const QString& last, bool withPassword = false,
                 const QString& password = {}, const QString& password2 = {}, int picture = 1)
        : first(first), last(last), withPassword(withPassword), password(password), password2(password2),
          picture(picture)
    {
    }
    QString first;
    QString last;
    bool withPassword;
    QString password;
    QString password2;
    int picture;
};

} // namespace

class TestLoginWindow : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();
    void firstLearnerIsAdministrator();
    void firstLearnerOfAnotherProgram();
    void usersFileGoneReturnsToLogin();
    void duplicateNameRefused();
    void validation_data();
    void validation();
    void passwordInOtherLetterCase();
    void enterLogsInWithoutPassword();
    void hugeNameFromTheFileShownCut();
    void editRemovesPassword();
    void quotesAndAccentsRoundTrip();
    void closingEndsProgram();
    void damagedDatabaseMovedAside_data();
    void damagedDatabaseMovedAside();
    void fullDiskLeavesTheFileAndRetries();
    void lockedListWaitsWithoutFreezing();
    void templateCannotBeCopied();
    void saveErrorKeepsWindowOpen();

private:
    LoginWindow* openLogin();
    // Presses a login button that opens the profile window, lets action work on it, and
    // closes it if it is still open. Returns whether it stayed open after action, nothing
    // when it did not open.
    std::optional<bool> driveProfile(LoginWindow* login, int button,
                                     const std::function<void(ProfileWindow*)>& action);
    static void fill(ProfileWindow* w, const ProfileInput& in);
    bool createLearner(LoginWindow* login, const ProfileInput& in);
    QListWidgetItem* entry(LoginWindow* login, const QString& name) const;
    void clickEntry(LoginWindow* login, const QString& name);
    QList<Learner> stored() const;

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<MainWindow> m_main;
    std::unique_ptr<WindowFlow> m_flow;
    QStringList m_messages;          // texts of the program's own message window
    QList<Dialogs::Request> m_boxes; // standard message boxes
};

void TestLoginWindow::initTestCase()
{
    QStandardPaths::setTestModeEnabled(true);
    Sound::setPlayerForTests([](const QString&, bool) {});
}

void TestLoginWindow::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    QString error;
    QVERIFY2(WindowFixture::prepare(m_dir->path(), &error), qPrintable(error));

    m_messages.clear();
    m_boxes.clear();
    Dialogs::setHandlerForTests([this](const Dialogs::Request& r) {
        if (r.kind == Dialogs::Request::Kind::Message) {
            m_messages << r.text;
            return QMessageBox::Ok;
        }
        m_boxes << r;
        return QMessageBox::Ok;
    });
    m_main = std::make_unique<MainWindow>();
    m_flow = std::make_unique<WindowFlow>(*m_main);
}

void TestLoginWindow::cleanup()
{
    WindowFixture::finish(m_main, m_flow);
    Dialogs::setHandlerForTests({});
}

LoginWindow* TestLoginWindow::openLogin()
{
    auto* login = m_flow->createLoginWindow();
    login->show();
    if (!QTest::qWaitForWindowExposed(login))
        qWarning("login window not exposed");
    return login;
}

std::optional<bool> TestLoginWindow::driveProfile(LoginWindow* login, int button,
                                                  const std::function<void(ProfileWindow*)>& action)
{
    return TestSupport::driveModal<ProfileWindow>(login, action, [&] {
        QTest::mouseClick(
            TestSupport::child<QPushButton>(login, qPrintable(QStringLiteral("btnLogin_%1").arg(button))),
            Qt::LeftButton);
    });
}

void TestLoginWindow::fill(ProfileWindow* w, const ProfileInput& in)
{
    TestSupport::child<QLineEdit>(w, "txtFirst")->setText(in.first);
    TestSupport::child<QLineEdit>(w, "txtLast")->setText(in.last);
    TestSupport::child<QComboBox>(w, "cboPicture")->setCurrentIndex(in.picture - 1);
    if (TestSupport::child<QCheckBox>(w, "chkPassword")->isChecked() != in.withPassword)
        QTest::mouseClick(TestSupport::child<QCheckBox>(w, "chkPassword"), Qt::LeftButton, {},
                          QPoint(5, TestSupport::child<QCheckBox>(w, "chkPassword")->height() / 2));
    if (in.withPassword) {
        // Typed where the keyboard can (test keys are ASCII only), pasted otherwise.
        for (auto [box, text] : {std::pair{TestSupport::child<QLineEdit>(w, "txtPassword"), in.password},
                                 std::pair{TestSupport::child<QLineEdit>(w, "txtPassword2"), in.password2}}) {
            if (std::all_of(text.begin(), text.end(), [](QChar c) { return c.unicode() < 128; }))
                QTest::keyClicks(box, text);
            else
                box->setText(text);
        }
    }
}

bool TestLoginWindow::createLearner(LoginWindow* login, const ProfileInput& in)
{
    return driveProfile(login, 1, [&](ProfileWindow* w) {
               fill(w, in);
               QTest::mouseClick(TestSupport::child<QPushButton>(w, "btnEdit_0"), Qt::LeftButton);
           }) == std::optional<bool>(false);
}

QListWidgetItem* TestLoginWindow::entry(LoginWindow* login, const QString& name) const
{
    const auto found =
        TestSupport::child<QListWidget>(login, "lvwLearners")->findItems(name, Qt::MatchExactly);
    return found.isEmpty() ? nullptr : found.first();
}

void TestLoginWindow::clickEntry(LoginWindow* login, const QString& name)
{
    QListWidgetItem* item = entry(login, name);
    QVERIFY2(item, qPrintable(name));
    QListWidget* list = TestSupport::child<QListWidget>(login, "lvwLearners");
    list->scrollToItem(item);
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(item).center());
    QCOMPARE(list->currentItem(), item);
}

QList<Learner> TestLoginWindow::stored() const
{
    QString error;
    const auto learners = UsersDatabase::forApp().readLearners(&error);
    if (!learners)
        qWarning("%s", qPrintable(error));
    return learners.value_or(QList<Learner>());
}

void TestLoginWindow::firstLearnerIsAdministrator()
{
    QPointer<LoginWindow> login = openLogin();
    QVERIFY(QFile::exists(app().usersDatabasePath()));
    QCOMPARE(TestSupport::child<QListWidget>(login, "lvwLearners")->count(), 0);
    QVERIFY(TestSupport::child<QLineEdit>(login, "txtPassword")->isHidden());
    QVERIFY(TestSupport::child<QLabel>(login, "lblPassword")->isHidden());
    QCOMPARE(login->windowTitle(),
             TestSupport::captionText(29) + QLatin1Char(' ') + app().edition.EditionTitle);
    QCOMPARE(login->findChild<QLabel*>(QStringLiteral("lblInstructions"))->text(),
             TestSupport::captionText(26));
    QCOMPARE(TestSupport::child<QPushButton>(login, "btnLogin_0")->text(), TestSupport::captionText(28));
    QCOMPARE(TestSupport::child<QPushButton>(login, "btnLogin_1")->text(), TestSupport::captionText(27));
    QCOMPARE(TestSupport::child<QPushButton>(login, "btnLogin_2")->text(), TestSupport::captionText(44));

    // Nothing to log in with yet: the window says what to do first.
    QTest::mouseClick(TestSupport::child<QPushButton>(login, "btnLogin_0"), Qt::LeftButton);
    QVERIFY(!login->hasLoggedIn());
    QCOMPARE(m_messages, QStringList{TestSupport::captionText(555)});
    m_messages.clear();

    QVERIFY(createLearner(login, {QStringLiteral("  Zeno "), QStringLiteral(" Verdi "), false, {}, {}, 7}));
    QCOMPARE(m_messages, QStringList{TestSupport::captionText(43)});
    // After the notice the keys work again: the login window is active, its list focused.
    QTRY_COMPARE(QApplication::activeWindow(), login.data());
    QCOMPARE(QApplication::focusWidget(), TestSupport::child<QListWidget>(login, "lvwLearners"));
    QVERIFY(createLearner(login, {QStringLiteral("Anna"), QStringLiteral("Bianchi"), false, {}, {}, 2}));
    QCOMPARE(m_messages.size(), 1); // only the first learner is told
    QCOMPARE(TestSupport::child<QListWidget>(login, "lvwLearners")->count(), 2);
    // Learners listed, none chosen: "Log in" and "Edit profile" say why nothing happens.
    QListWidgetItem* chosen = TestSupport::child<QListWidget>(login, "lvwLearners")->currentItem();
    TestSupport::child<QListWidget>(login, "lvwLearners")->setCurrentItem(nullptr);
    QTest::mouseClick(TestSupport::child<QPushButton>(login, "btnLogin_0"), Qt::LeftButton);
    QTest::mouseClick(TestSupport::child<QPushButton>(login, "btnLogin_2"), Qt::LeftButton);
    QCOMPARE(m_messages.mid(1), (QStringList{TestSupport::captionText(553), TestSupport::captionText(554)}));
    QVERIFY(!login->hasLoggedIn());
    m_messages = m_messages.mid(0, 1);
    TestSupport::child<QListWidget>(login, "lvwLearners")->setCurrentItem(chosen);
    // Sorted by name, and the administrator is bold wherever the sort puts them.
    QCOMPARE(TestSupport::child<QListWidget>(login, "lvwLearners")->item(0)->text(),
             QStringLiteral("Anna Bianchi"));
    QVERIFY(!TestSupport::child<QListWidget>(login, "lvwLearners")->item(0)->font().bold());
    QCOMPARE(TestSupport::child<QListWidget>(login, "lvwLearners")->item(1)->text(),
             QStringLiteral("Zeno Verdi"));
    QVERIFY(TestSupport::child<QListWidget>(login, "lvwLearners")->item(1)->font().bold());

    const QList<Learner> learners = stored();
    QCOMPARE(learners.size(), 2);
    QCOMPARE(learners[0].displayName(), QStringLiteral("Zeno Verdi"));
    QCOMPARE(learners[0].nIcon, 7);

    // A fresh login window (change user) still knows who the administrator is.
    delete login;
    for (const QString& name : {QStringLiteral("Zeno Verdi"), QStringLiteral("Anna Bianchi")}) {
        login = openLogin();
        QVERIFY(entry(login, QStringLiteral("Zeno Verdi"))->font().bold());
        QSignalSpy spy(login.data(), &LoginWindow::loggedIn);
        clickEntry(login, name);
        QTest::mouseClick(TestSupport::child<QPushButton>(login, "btnLogin_0"), Qt::LeftButton);
        QCOMPARE(spy.size(), 1);
        QCOMPARE(spy[0][0].toString(), name);
        const bool administrator = name == QLatin1String("Zeno Verdi");
        QCOMPARE(spy[0][1].toBool(), administrator);
        QCOMPARE(app().CurrentUser, name);
        QVERIFY(m_main->isVisible());
        QVERIFY(!m_main->hasEnded());
        // The administration button is the main window's; it shows for the administrator only.
        if (auto* admin = m_main->findChild<QWidget*>(QStringLiteral("btnAdmin")))
            QCOMPARE(!admin->isHidden(), administrator);
        QTRY_VERIFY(login.isNull()); // unloaded after the login
    }
}

// Another program on the same folder added the first learner while this login window stood
// empty: the learner made here is not the administrator, is not told so, and the list shows
// both, the other program's learner as the administrator.
void TestLoginWindow::firstLearnerOfAnotherProgram()
{
    LoginWindow* login = openLogin();
    QCOMPARE(TestSupport::child<QListWidget>(login, "lvwLearners")->count(), 0);
    QString error;
    QVERIFY2(UsersDatabase::forApp().addLearner({0, QStringLiteral("Zeno"), QStringLiteral("Verdi"), {}, 1},
                                                &error),
             qPrintable(error));
    QVERIFY(createLearner(login, {QStringLiteral("Anna"), QStringLiteral("Bianchi")}));
    QVERIFY(m_messages.isEmpty());
    QCOMPARE(TestSupport::child<QListWidget>(login, "lvwLearners")->count(), 2);
    QVERIFY(entry(login, QStringLiteral("Zeno Verdi"))->font().bold());
    QVERIFY(!entry(login, QStringLiteral("Anna Bianchi"))->font().bold());
    QCOMPARE(TestSupport::child<QListWidget>(login, "lvwLearners")->currentItem(),
             entry(login, QStringLiteral("Anna Bianchi")));
}

// The users database removed under a logged-in learner (another copy, a person): said when
// the main window is next activated, and everyone logs in again.
void TestLoginWindow::usersFileGoneReturnsToLogin()
{
    QPointer<LoginWindow> login = openLogin();
    QVERIFY(createLearner(login, {QStringLiteral("Anna"), QStringLiteral("Bianchi"), false, {}, {}, 2}));
    clickEntry(login, QStringLiteral("Anna Bianchi"));
    QTest::mouseClick(TestSupport::child<QPushButton>(login, "btnLogin_0"), Qt::LeftButton);
    QVERIFY(m_main->isVisible());
    QTRY_VERIFY(login.isNull());

    QVERIFY(QFile::remove(app().usersDatabasePath()));
    QEvent activate(QEvent::WindowActivate);
    QApplication::sendEvent(m_main.get(), &activate);
    QTRY_VERIFY(!m_boxes.isEmpty());
    QCOMPARE(m_boxes.last().text, TestSupport::captionText(362) + "\n\n" + app().usersDatabasePath());
    QTRY_VERIFY(m_flow->loginWindow() && m_flow->loginWindow()->isVisible());
    QVERIFY(!m_main->isVisible());
}

void TestLoginWindow::duplicateNameRefused()
{
    LoginWindow* login = openLogin();
    QVERIFY(createLearner(login, {QStringLiteral("Anna"), QStringLiteral("Rossi")}));
    m_messages.clear();
    const std::optional<bool> stayedOpen = driveProfile(login, 1, [&](ProfileWindow* w) {
        fill(w, {QStringLiteral(" aNNA"), QStringLiteral("ROSSI "), true, QStringLiteral("pw"),
                 QStringLiteral("pw")});
        QTest::mouseClick(TestSupport::child<QPushButton>(w, "btnEdit_0"), Qt::LeftButton);
    });
    QVERIFY(stayedOpen.value_or(false));
    QCOMPARE(m_messages, QStringList{TestSupport::captionText(42)});
    QCOMPARE(stored().size(), 1);
    QCOMPARE(TestSupport::child<QListWidget>(login, "lvwLearners")->count(), 1);
}

void TestLoginWindow::validation_data()
{
    QTest::addColumn<QString>("first");
    QTest::addColumn<QString>("last");
    QTest::addColumn<bool>("withPassword");
    QTest::addColumn<QString>("password");
    QTest::addColumn<QString>("password2");
    QTest::addColumn<QString>("focus");
    QTest::addColumn<QString>("message");
    QTest::newRow("first name of blanks") << "   "
                                          << "Rossi" << false << ""
                                          << ""
                                          << "txtFirst" << TestSupport::captionText(222);
    QTest::newRow("last name of blanks") << "Anna"
                                         << "  " << false << ""
                                         << ""
                                         << "txtLast" << TestSupport::captionText(223);
    QTest::newRow("password of blanks") << "Anna"
                                        << "Rossi" << true << "   "
                                        << "x"
                                        << "txtPassword"
                                        << "";
    QTest::newRow("repetition empty") << "Anna"
                                      << "Rossi" << true << "abc"
                                      << ""
                                      << "txtPassword2"
                                      << "";
    QTest::newRow("passwords differ") << "Anna"
                                      << "Rossi" << true << "abc"
                                      << "abd"
                                      << "" << TestSupport::captionText(36);
    QTest::newRow("letter case counts") << "Anna"
                                        << "Rossi" << true << "abc"
                                        << "ABC"
                                        << "" << TestSupport::captionText(36);
    QTest::newRow("blanks count") << "Anna"
                                  << "Rossi" << true << "abc "
                                  << "abc"
                                  << "" << TestSupport::captionText(36);
}

void TestLoginWindow::validation()
{
    QFETCH(QString, first);
    QFETCH(QString, last);
    QFETCH(bool, withPassword);
    QFETCH(QString, password);
    QFETCH(QString, password2);
    QFETCH(QString, focus);
    QFETCH(QString, message);

    LoginWindow* login = openLogin();
    QString focused;
    QStringList typed;
    const std::optional<bool> stayedOpen = driveProfile(login, 1, [&](ProfileWindow* w) {
        fill(w, {first, last, withPassword, password, password2});
        TestSupport::child<QPushButton>(w, "btnEdit_0")->setFocus();
        QTest::mouseClick(TestSupport::child<QPushButton>(w, "btnEdit_0"), Qt::LeftButton);
        focused = w->focusWidget() ? w->focusWidget()->objectName() : QString();
        typed = {TestSupport::child<QLineEdit>(w, "txtFirst")->text(),
                 TestSupport::child<QLineEdit>(w, "txtLast")->text(),
                 TestSupport::child<QLineEdit>(w, "txtPassword")->text(),
                 TestSupport::child<QLineEdit>(w, "txtPassword2")->text()};
    });
    QVERIFY(stayedOpen.value_or(false));
    if (!focus.isEmpty())
        QCOMPARE(focused, focus);
    QCOMPARE(m_messages, message.isEmpty() ? QStringList() : QStringList{message});
    QCOMPARE(typed, (QStringList{first, last, password, password2}));
    QVERIFY(stored().isEmpty());
    QCOMPARE(TestSupport::child<QListWidget>(login, "lvwLearners")->count(), 0);
}

void TestLoginWindow::passwordInOtherLetterCase()
{
    LoginWindow* login = openLogin();
    QVERIFY(createLearner(login, {QStringLiteral("Anna"), QStringLiteral("Rossi"), true,
                                  QStringLiteral(" Segreto "), QStringLiteral(" Segreto ")}));
    QCOMPARE(stored().value(0).tPassword, QStringLiteral("Segreto")); // stored trimmed
    delete login;
    m_messages.clear();

    QPointer<LoginWindow> fresh = openLogin();
    clickEntry(fresh, QStringLiteral("Anna Rossi"));
    QVERIFY(!TestSupport::child<QLineEdit>(fresh, "txtPassword")->isHidden());
    QCOMPARE(fresh->focusWidget(), TestSupport::child<QLineEdit>(fresh, "txtPassword"));

    QTest::keyClicks(TestSupport::child<QLineEdit>(fresh, "txtPassword"), QStringLiteral("segretx"));
    QTest::keyClick(TestSupport::child<QLineEdit>(fresh, "txtPassword"), Qt::Key_Return);
    QCOMPARE(m_messages, QStringList{TestSupport::captionText(39)});
    QVERIFY(!fresh->hasLoggedIn());
    QCOMPARE(fresh->focusWidget(), TestSupport::child<QLineEdit>(fresh, "txtPassword"));

    TestSupport::child<QLineEdit>(fresh, "txtPassword")->clear();
    QTest::keyClicks(TestSupport::child<QLineEdit>(fresh, "txtPassword"), QStringLiteral("sEGRETO"));
    QTest::keyClick(TestSupport::child<QLineEdit>(fresh, "txtPassword"), Qt::Key_Return);
    QCOMPARE(app().CurrentUser, QStringLiteral("Anna Rossi"));
    QVERIFY(m_main->isVisible());
    QVERIFY(!m_main->hasEnded());
    QTRY_VERIFY(fresh.isNull());
}

void TestLoginWindow::enterLogsInWithoutPassword()
{
    LoginWindow* first = openLogin();
    QVERIFY(createLearner(first, {QStringLiteral("Anna"), QStringLiteral("Rossi"), true, QStringLiteral("pw"),
                                  QStringLiteral("pw")}));
    QVERIFY(createLearner(first, {QStringLiteral("Bruno"), QStringLiteral("Neri")}));
    delete first;
    m_messages.clear();

    QPointer<LoginWindow> login = openLogin();
    QVERIFY(QTest::qWaitForWindowActive(login));
    clickEntry(login, QStringLiteral("Bruno Neri"));
    QVERIFY(TestSupport::child<QLineEdit>(login, "txtPassword")->isHidden());
    QCOMPARE(QApplication::focusWidget(), TestSupport::child<QListWidget>(login, "lvwLearners"));
    // One "Log in" in the Tab order and on the accessibility bus, and nothing invisible.
    QStringList named;
    QWidget* w = TestSupport::child<QListWidget>(login, "lvwLearners");
    do {
        if (w->isVisible() && (w->focusPolicy() & Qt::TabFocus)) {
            QVERIFY2(w->width() > 1 && w->height() > 1, qPrintable(w->objectName()));
            if (w->accessibleName() == TestSupport::captionText(28))
                named << w->objectName();
        }
        w = w->nextInFocusChain();
    } while (w != TestSupport::child<QListWidget>(login, "lvwLearners"));
    QCOMPARE(named.size(), 1);
    QAccessibleInterface* window = QAccessible::queryAccessibleInterface(login);
    int logInButtons = 0;
    for (int i = 0; i < window->childCount(); ++i)
        logInButtons += window->child(i)->text(QAccessible::Name) == TestSupport::captionText(28);
    QCOMPARE(logInButtons, 1);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    QCOMPARE(app().CurrentUser, QStringLiteral("Bruno Neri"));
    QVERIFY(m_messages.isEmpty());
    QTRY_VERIFY(login.isNull());
}

// A name of 100,000 characters put into the file by another program: the list shows it
// cut, and the learner logs in under the whole name, as the results know it.
void TestLoginWindow::hugeNameFromTheFileShownCut()
{
    const UsersDatabase users = UsersDatabase::forApp();
    QString error;
    QVERIFY(users.createFromTemplate(&error));
    const QString huge(100000, QLatin1Char('n'));
    QVERIFY(users.addLearner({0, huge, QStringLiteral("Rossi"), {}, 1}, &error));
    QPointer<LoginWindow> login = openLogin();
    QCOMPARE(TestSupport::child<QListWidget>(login, "lvwLearners")->count(), 1);
    QListWidgetItem* item = TestSupport::child<QListWidget>(login, "lvwLearners")->item(0);
    QVERIFY(item->text().size() <= 201);
    TestSupport::child<QListWidget>(login, "lvwLearners")->setCurrentItem(item);
    TestSupport::child<QListWidget>(login, "lvwLearners")->setFocus();
    QTest::keyClick(TestSupport::child<QListWidget>(login, "lvwLearners"), Qt::Key_Return);
    QCOMPARE(app().CurrentUser, huge + QStringLiteral(" Rossi"));
}

void TestLoginWindow::editRemovesPassword()
{
    LoginWindow* login = openLogin();
    QVERIFY(createLearner(login, {QStringLiteral("Anna"), QStringLiteral("Rossi"), true, QStringLiteral("pw"),
                                  QStringLiteral("pw"), 4}));
    clickEntry(login, QStringLiteral("Anna Rossi"));
    QVERIFY(!TestSupport::child<QLineEdit>(login, "txtPassword")->isHidden());

    // Editing asks for the password first: asked for when none was typed, wrong otherwise.
    QVERIFY(!driveProfile(login, 2, [](ProfileWindow*) {}).has_value());
    QCOMPARE(m_messages.last(), TestSupport::captionText(366));
    QTest::keyClicks(TestSupport::child<QLineEdit>(login, "txtPassword"), QStringLiteral("nope"));
    QVERIFY(!driveProfile(login, 2, [](ProfileWindow*) {}).has_value());
    QCOMPARE(m_messages.last(), TestSupport::captionText(39));

    TestSupport::child<QLineEdit>(login, "txtPassword")->clear();
    QTest::keyClicks(TestSupport::child<QLineEdit>(login, "txtPassword"), QStringLiteral("PW"));
    QString title;
    QVERIFY(driveProfile(login, 2, [&](ProfileWindow* w) {
                title = w->windowTitle();
                QCOMPARE(TestSupport::child<QPushButton>(w, "btnEdit_0")->text(),
                         TestSupport::captionText(367)); // Save
                QCOMPARE(TestSupport::child<QLineEdit>(w, "txtFirst")->text(), QStringLiteral("Anna"));
                QCOMPARE(TestSupport::child<QComboBox>(w, "cboPicture")->currentIndex(), 3);
                QVERIFY(TestSupport::child<QCheckBox>(w, "chkPassword")->isChecked());
                QCOMPARE(TestSupport::child<QLineEdit>(w, "txtPassword2")->text(), QStringLiteral("pw"));
                QTest::mouseClick(TestSupport::child<QCheckBox>(w, "chkPassword"), Qt::LeftButton, {},
                                  QPoint(5, TestSupport::child<QCheckBox>(w, "chkPassword")->height() / 2));
                QVERIFY(TestSupport::child<QLineEdit>(w, "txtPassword")->isHidden());
                QVERIFY(TestSupport::child<QLineEdit>(w, "txtPassword")->text().isEmpty());
                TestSupport::child<QLineEdit>(w, "txtLast")->setText(QStringLiteral("Rossini"));
                QTest::mouseClick(TestSupport::child<QPushButton>(w, "btnEdit_0"), Qt::LeftButton);
            }) == std::optional<bool>(false));
    QCOMPARE(title, TestSupport::captionText(45));

    const QList<Learner> learners = stored();
    QCOMPARE(learners.size(), 1);
    QCOMPARE(learners[0].displayName(), QStringLiteral("Anna Rossini"));
    QCOMPARE(learners[0].nIcon, 4);
    QString error;
    auto raw = Database::open(app().usersDatabasePath(), Database::TemplatePassword, Database::Mode::ReadOnly,
                              &error);
    QVERIFY(raw);
    Statement s = raw->prepare(QStringLiteral("SELECT tPassword FROM tblUsers"));
    QCOMPARE(s.step(), Statement::Step::Row);
    QVERIFY(!s.isNull(0));
    QCOMPARE(s.text(0), QString(""));

    // The list entry changed without a new read, and the password box is gone.
    QVERIFY(entry(login, QStringLiteral("Anna Rossini")));
    QVERIFY(TestSupport::child<QLineEdit>(login, "txtPassword")->isHidden());
    QVERIFY(TestSupport::child<QLabel>(login, "lblPassword")->isHidden());
    QVERIFY(TestSupport::child<QListWidget>(login, "lvwLearners")->item(0)->font().bold());
}

void TestLoginWindow::quotesAndAccentsRoundTrip()
{
    LoginWindow* login = openLogin();
    const QString first = QStringLiteral("Séamus");
    const QString last = QStringLiteral("O'Brien-Çelik");
    QVERIFY(createLearner(login, {first, last, true, QStringLiteral("l'été"), QStringLiteral("l'été")}));
    QVERIFY(createLearner(login, {QStringLiteral("Zoë"), QStringLiteral("D'Angelo")}));
    // The same name in other letters is still refused when it holds a quote.
    QVERIFY(driveProfile(login, 1, [&](ProfileWindow* w) {
                fill(w, {QStringLiteral("SÉAMUS"), QStringLiteral("o'brien-çelik")});
                QTest::mouseClick(TestSupport::child<QPushButton>(w, "btnEdit_0"), Qt::LeftButton);
            }).value_or(false));
    QCOMPARE(m_messages.last(), TestSupport::captionText(42));
    delete login;

    QPointer<LoginWindow> fresh = openLogin();
    QCOMPARE(TestSupport::child<QListWidget>(fresh, "lvwLearners")->count(), 2);
    clickEntry(fresh, first + QLatin1Char(' ') + last);
    TestSupport::child<QLineEdit>(fresh, "txtPassword")->setText(QStringLiteral("L'ÉTÉ"));
    QTest::mouseClick(TestSupport::child<QPushButton>(fresh, "btnLogin_0"), Qt::LeftButton);
    QCOMPARE(app().CurrentUser, first + QLatin1Char(' ') + last);
}

void TestLoginWindow::closingEndsProgram()
{
    LoginWindow* first = openLogin();
    QVERIFY(createLearner(first, {QStringLiteral("Anna"), QStringLiteral("Rossi")}));
    // A double click logs in.
    QListWidget* list = TestSupport::child<QListWidget>(first, "lvwLearners");
    list->scrollToItem(list->item(0)); // lays the items out
    const QPoint at = list->visualItemRect(list->item(0)).center();
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, at);
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, at);
    QCOMPARE(app().CurrentUser, QStringLiteral("Anna Rossi"));
    QVERIFY(first->hasLoggedIn());
    QVERIFY(!m_main->hasEnded());

    // Change user, then close the window without logging in.
    QPointer<LoginWindow> again = openLogin();
    QTest::keyClick(again, Qt::Key_Escape); // not a way out by accident
    QVERIFY(again->isVisible());
    QVERIFY(!m_main->hasEnded());
    again->close();
    QVERIFY(m_main->hasEnded());
}

void TestLoginWindow::damagedDatabaseMovedAside_data()
{
    QTest::addColumn<int>("size");
    QTest::newRow("not a database") << 8192;
    QTest::newRow("zero bytes") << 0;
}

void TestLoginWindow::damagedDatabaseMovedAside()
{
    QFETCH(int, size);
    const QString path = app().usersDatabasePath();
    TestSupport::writeGarbage(path, size);
    QFile original(path);
    QVERIFY(original.open(QIODevice::ReadOnly));
    const QByteArray bytes = original.readAll();
    original.close();

    LoginWindow* login = openLogin();
    QVERIFY(!m_main->hasEnded());
    QCOMPARE(TestSupport::child<QListWidget>(login, "lvwLearners")->count(), 0);
    QCOMPARE(m_boxes.size(), 1);
    const QStringList kept =
        QDir(app().dataFolder).entryList({QStringLiteral("Users.dat.damaged-*")}, QDir::Files);
    QCOMPARE(kept.size(), 1);
    const QString keptPath = app().dataFolder + kept.first();
    const QString& text = m_boxes[0].text;
    QVERIFY2(text.startsWith(TestSupport::captionText(40) + QStringLiteral(" Error#001 ")), qPrintable(text));
    QVERIFY2(text.endsWith(QStringLiteral("\n\n") + app().edition.EditionTitle + QLatin1Char(' ') +
                           TestSupport::captionText(41) + QLatin1Char('\n') + keptPath),
             qPrintable(text));
    QFile moved(keptPath);
    QVERIFY(moved.open(QIODevice::ReadOnly));
    QCOMPARE(moved.readAll(), bytes);

    // A fresh, working list of learners.
    QVERIFY(createLearner(login, {QStringLiteral("Anna"), QStringLiteral("Rossi")}));
    QCOMPARE(stored().size(), 1);
}

namespace {

QByteArray bytesOf(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// Every write of this process fails past the limit, as on a full disk, until restored.
class FileSizeLimit
{
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        std::signal(SIGXFSZ, SIG_IGN);
        getrlimit(RLIMIT_FSIZE, &m_saved);
        rlimit limited = m_saved;
        limited.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &limited);
    }
    ~FileSizeLimit() { restore(); }
    void restore() { setrlimit(RLIMIT_FSIZE, &m_saved); }

private:
    rlimit m_saved{};
};

} // namespace

void TestLoginWindow::fullDiskLeavesTheFileAndRetries()
{
    const UsersDatabase users = UsersDatabase::forApp();
    QString error;
    QVERIFY(users.createFromTemplate(&error));
    QVERIFY(users.addLearner({0, QStringLiteral("Anna"), QStringLiteral("Rossi"), {}, 1}, &error));
    QVERIFY(users.addLearner({0, QStringLiteral("Bob"), QStringLiteral("Smith"), {}, 2}, &error));
    const QByteArray before = bytesOf(users.path());
    const QStringList filesBefore = QDir(app().dataFolder).entryList(QDir::Files | QDir::Hidden);

    FileSizeLimit full(0);
    QByteArray bytesMeanwhile;
    Dialogs::setHandlerForTests([&](const Dialogs::Request& r) {
        m_boxes << r;
        bytesMeanwhile = bytesOf(users.path());
        full.restore(); // space was freed: the learner tries again
        return QMessageBox::Retry;
    });
    LoginWindow* login = openLogin();
    QCOMPARE(m_boxes.size(), 1);
    QCOMPARE(m_boxes[0].buttons, QMessageBox::Retry | QMessageBox::Close);
    const QString& text = m_boxes[0].text;
    QVERIFY2(text.startsWith(TestSupport::captionText(40) + QStringLiteral(" Error#001 ")), qPrintable(text));
    QVERIFY2(text.contains(QLatin1Char('\n') + users.path() + QStringLiteral("\n\n") +
                           TestSupport::captionText(176)),
             qPrintable(text));
    QCOMPARE(bytesMeanwhile, before);
    QCOMPARE(bytesOf(users.path()), before);
    QCOMPARE(QDir(app().dataFolder).entryList(QDir::Files | QDir::Hidden), filesBefore);
    QCOMPARE(TestSupport::child<QListWidget>(login, "lvwLearners")->count(), 2);
    QVERIFY(!m_main->hasEnded());
}

void TestLoginWindow::lockedListWaitsWithoutFreezing()
{
    const UsersDatabase users = UsersDatabase::forApp();
    QString error;
    QVERIFY(users.createFromTemplate(&error));
    QVERIFY(users.addLearner({0, QStringLiteral("Anna"), QStringLiteral("Rossi"), {}, 1}, &error));
    const QByteArray before = bytesOf(users.path());
    QProcess holder;
    holder.start(QStringLiteral(USERS_PROBE), {QStringLiteral("hold"), users.path()});
    QVERIFY(holder.waitForReadyRead(10000));
    QCOMPARE(holder.readLine().trimmed(), QByteArray("held"));

    // Another window of the program keeps running its timers and repaints meanwhile.
    int ticks = 0;
    QTimer timer;
    connect(&timer, &QTimer::timeout, this, [&] { ++ticks; });
    timer.start(20);
    int ticksAtMessage = -1;
    Dialogs::setHandlerForTests([&](const Dialogs::Request& r) {
        m_boxes << r;
        ticksAtMessage = ticks;
        return QMessageBox::Close;
    });
    openLogin();
    holder.closeWriteChannel();
    QVERIFY(holder.waitForFinished(10000));
    QCOMPARE(m_boxes.size(), 1);
    QVERIFY2(m_boxes[0].text.contains(QStringLiteral("\n\n") + TestSupport::captionText(177) +
                                      QLatin1Char('\n') + users.path()),
             qPrintable(m_boxes[0].text));
    QVERIFY2(ticksAtMessage > 10, qPrintable(QString::number(ticksAtMessage)));
    QVERIFY(m_main->hasEnded());
    QCOMPARE(bytesOf(users.path()), before);
    QCOMPARE(QDir(app().dataFolder).entryList({QStringLiteral("*.damaged-*")}, QDir::Files), QStringList());
}

void TestLoginWindow::templateCannotBeCopied()
{
    QVERIFY(QFile::remove(app().templateDatabasePath()));
    openLogin();
    QVERIFY(m_main->hasEnded());
    QCOMPARE(m_boxes.size(), 1);
    QVERIFY2(m_boxes[0].text.endsWith(QStringLiteral("\n\n") + TestSupport::captionText(88) +
                                      QLatin1Char('\n') + app().usersDatabasePath()),
             qPrintable(m_boxes[0].text));
    QVERIFY(!QFile::exists(app().usersDatabasePath()));
}

void TestLoginWindow::saveErrorKeepsWindowOpen()
{
    LoginWindow* login = openLogin();
    QString typedFirst;
    const std::optional<bool> stayedOpen = driveProfile(login, 1, [&](ProfileWindow* w) {
        fill(w, {QStringLiteral("Anna"), QStringLiteral("Rossi")});
        // The file turns unreadable while the window is open.
        TestSupport::writeGarbage(app().usersDatabasePath());
        QTest::mouseClick(TestSupport::child<QPushButton>(w, "btnEdit_0"), Qt::LeftButton);
        typedFirst = TestSupport::child<QLineEdit>(w, "txtFirst")->text();
    });
    QVERIFY(stayedOpen.value_or(false));
    QCOMPARE(typedFirst, QStringLiteral("Anna"));
    QCOMPARE(m_boxes.size(), 1);
    QCOMPARE(m_boxes[0].title, QStringLiteral("ERROR"));
    QCOMPARE(m_boxes[0].icon, QMessageBox::Critical);
    QCOMPARE(TestSupport::child<QListWidget>(login, "lvwLearners")->count(), 0);
}

QTEST_MAIN(TestLoginWindow)
#include "TestLoginWindow.moc"
