#include "WindowFlow.h"

#include "app/MainWindow.h"
#include "app/Startup.h"
#include "editor/VirtualSubjectEditor.h"
#include "platform/Files.h"
#include "platform/SingleInstance.h"
#include "state/AppState.h"
#include "state/CaptionId.h"
#include "subjects/SubjectTree.h"
#include "users/AdminWindow.h"
#include "users/LoginWindow.h"
#include "users/UsersDatabase.h"
#include "widgets/Dialogs.h"
#include "widgets/MessageWindow.h"

#include <QApplication>
#include <QEvent>
#include <QMessageBox>

#include <utility>

WindowFlow::WindowFlow(MainWindow& main, QObject* parent) : QObject(parent), m_main(main)
{
    connect(&m_main, &MainWindow::changeUserRequested, this, &WindowFlow::relogin);
    connect(&m_main, &MainWindow::administrationRequested, this, &WindowFlow::openAdministration);
    connect(&m_main, &MainWindow::editorRequested, this, [this] { openEditor(); });
    // After an activity: its results go to the class server.
    connect(&m_main, &MainWindow::activityEnded, &m_sender, &ResultsSender::sendSoon);
    // Coming back to the main window (from an activity, another program) is when the
    // learner's file is looked at again.
    m_main.installEventFilter(this);
}

bool WindowFlow::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == &m_main && event->type() == QEvent::WindowActivate && m_main.isVisible() &&
        !m_main.hasEnded() && !Dialogs::isBehindModal(&m_main)) {
        // Later: a message box must not open inside the activation.
        QMetaObject::invokeMethod(
            this, [this] { learnerGone(); }, Qt::QueuedConnection);
    }
    return QObject::eventFilter(watched, event);
}

bool WindowFlow::learnerGone()
{
    const AppState& s = app();
    if (s.CurrentUser.isEmpty() || !m_main.isVisible() || m_main.hasEnded() || m_checkingLearner)
        return false;
    // Clearing the learners removes the file, so its absence is what matters.
    const bool gone = !UsersDatabase::forApp().exists();
    if (!gone)
        return false;
    m_checkingLearner = true;
    Dialogs::inform(&m_main,
                    s.captions(Caption::UsersFileGone) + QStringLiteral("\n\n") + s.usersDatabasePath(),
                    QMessageBox::Warning);
    m_checkingLearner = false;
    if (!m_main.hasEnded())
        relogin();
    return true;
}

WindowFlow::~WindowFlow()
{
    delete m_login;
}

LoginWindow* WindowFlow::createLoginWindow()
{
    if (m_login)
        m_login->deleteLater();
    m_login = new LoginWindow();
    connect(m_login, &LoginWindow::loggedIn, this, &WindowFlow::logIn);
    // The learner's rows from the other machines of the class come in beside the login.
    connect(m_login, &LoginWindow::loggedIn, &m_sender,
            [this](const QString& user) { m_sender.fetchFor(user); });
    connect(m_login, &LoginWindow::quitRequested, &m_main, &MainWindow::endProgram);
    m_login->loadLearners();
    return m_login;
}

void WindowFlow::logIn(const QString& user, bool administrator)
{
    app().CurrentUser = user; // the one place that writes who is logged in
    m_main.applyLogin(user, administrator);
}

LoginWindow* WindowFlow::loginWindow() const
{
    return m_login;
}

void WindowFlow::showLoginWindow()
{
    if (!m_login)
        createLoginWindow();
    if (!m_login)
        return;
    m_login->show();
    m_login->raise();
    m_login->activateWindow();
}

void WindowFlow::relogin()
{
    createLoginWindow();
    m_main.hide();
    showLoginWindow();
}

VirtualSubjectEditor* WindowFlow::openEditor(int pauseSeconds)
{
    m_main.hide();
    auto* editor = VirtualSubjectEditor::open(pauseSeconds);
    m_editor = editor;
    connect(editor, &VirtualSubjectEditor::closed, this,
            [this, pauseSeconds](bool changed) { onEditorClosed(changed, pauseSeconds); });
    return editor;
}

void WindowFlow::onEditorClosed(bool subjectsChanged, int pauseSeconds)
{
    if (subjectsChanged) {
        const Captions& c = app().captions;
        MessageWindow::showStatus(c(Caption::PleaseWait) + QStringLiteral("..."), 1800, 0,
                                  c(Caption::UpdatingSubjects));
        Pause(pauseSeconds);
        m_main.subjectTree()->refreshSubjects();
    }
    if (!m_main.hasEnded())
        m_main.show();
    MessageWindow::unload();
}

void WindowFlow::startSending()
{
    const AppState& s = app();
    // Rows of the learner from other machines: the memory is read again from all the rows.
    connect(&m_sender, &ResultsSender::learnerRowsAdded, this, [this](const QString& learner) {
        if (learner == app().CurrentUser && m_main.isVisible() && !m_main.hasEnded())
            m_main.readReviewAgain();
    });
    // Now, before anyone can record a result: a copied file takes identities of its own, so
    // its new rows never meet the original's. (A failure is tried again on the thread.)
    if (QString error;
        !ClassSync::prepareIdentities(s.usersDatabasePath(), &error) && UsersDatabase::forApp().exists())
        qWarning("The row identities of the users database cannot be made: %s", qPrintable(error));
    // The password is looked up on the sender's thread: the secret store may take a while.
    m_sender.start(s.usersDatabasePath(), ClassServerSettings::load(s.edition.ProgramCode), QString());
}

void WindowFlow::openAdministration()
{
    auto* admin = new AdminWindow(&m_main, &m_sender);
    connectAdministration(admin);
    Dialogs::runModal(admin);
}

void WindowFlow::connectAdministration(AdminWindow* admin)
{
    connect(admin, &AdminWindow::quitRequested, &m_main, &MainWindow::endProgram);
    // After its own loop has ended: the login window replaces it.
    connect(admin, &AdminWindow::reloginRequested, this, &WindowFlow::relogin, Qt::QueuedConnection);
}

void WindowFlow::bringToFront(const QStringList& files)
{
    if (m_main.hasEnded())
        return;
    // A message of an earlier hand-over is open, in front: no box over it. The files wait
    // and are offered in one message once it closes (a later start's message is bounded,
    // and so is the list).
    if (m_handingOver) {
        if (files.isEmpty())
            return;
        ++m_waitingHandOvers;
        for (const QString& file : files) {
            if (m_waitingFiles.size() < MaxWaitingFiles && !m_waitingFiles.contains(file))
                m_waitingFiles << file;
        }
        qCInfo(lcInstance, "waiting %d", m_waitingHandOvers);
        return;
    }
    QWidget* front = QApplication::activeModalWidget();
    if (!front && m_login && m_login->isVisible())
        front = m_login;
    if (!front && m_editor && m_editor->isVisible())
        front = m_editor;
    if (!front && m_main.isVisible())
        front = &m_main;
    // Still starting (splash): the start-up shows its window itself.
    if (front) {
        if (front->isMinimized())
            front->showNormal();
        front->raise();
        front->activateWindow();
        qCInfo(lcInstance, "raised %s", qPrintable(front->objectName()));
    }
    if (files.isEmpty())
        return;
    m_handingOver = true;
    const QPointer<QWidget> guard(front);
    addHandedFiles(files, guard);
    while (!m_waitingFiles.isEmpty() && !m_main.hasEnded()) {
        const QStringList waiting = std::exchange(m_waitingFiles, {});
        const int starts = std::exchange(m_waitingHandOvers, 0);
        const Captions& c = app().captions;
        constexpr qsizetype Shown = 10;
        QString text = c(Caption::HandOversWaiting).arg(starts) + QStringLiteral("\n\n") +
                       waiting.mid(0, Shown).join(QLatin1Char('\n'));
        if (waiting.size() > Shown)
            text += QLatin1Char('\n') + c(Caption::AndMore).arg(waiting.size() - Shown);
        text += QStringLiteral("\n\n") + c(Caption::AddWaitingFiles);
        // More starts while this question is open wait for the next round.
        if (Dialogs::askYesNo(guard.data(), text, QString(), QMessageBox::Question))
            addHandedFiles(waiting, guard);
    }
    m_handingOver = false;
    m_waitingFiles.clear();
    m_waitingHandOvers = 0;
}

void WindowFlow::addHandedFiles(const QStringList& files, const QPointer<QWidget>& parent)
{
    for (const QString& file : files) {
        const QString added = Startup::addOpenedFile(file, parent.data());
        if (m_main.hasEnded())
            return;
        if (added.isEmpty())
            continue;
        qCInfo(lcInstance, "added %s", qPrintable(added));
        m_main.subjectTree()->refreshSubjects();
        m_main.subjectTree()->selectFile(added);
    }
}
