#pragma once

#include "users/ResultsSender.h"

#include <QObject>
#include <QPointer>
#include <QStringList>

class AdminWindow;
class LoginWindow;
class MainWindow;
class VirtualSubjectEditor;

// The way between the windows: login, then the main window, from which the editor, the
// administration and "My progress" open, and back to the login for another learner or after
// a restore. Windows only announce what happened (loggedIn, quitRequested,
// reloginRequested, closed, ...); this object connects those signals to what comes next, so
// that no window needs to know another.
class WindowFlow : public QObject
{
    Q_OBJECT
public:
    explicit WindowFlow(MainWindow& main, QObject* parent = nullptr);
    ~WindowFlow() override;

    MainWindow& mainWindow() const { return m_main; }

    // A new login window with the learners read, connected, not shown yet. An earlier one
    // goes (later, so that a handler of its own may still be running).
    LoginWindow* createLoginWindow();
    LoginWindow* loginWindow() const;
    // A learner logged in: the run's learner is set, and the main window shows itself for them.
    void logIn(const QString& user, bool administrator);
    void showLoginWindow();
    // Everyone logs in again: a fresh login window, the main window hidden meanwhile.
    void relogin();

    // Hides the main window and opens the editor; when it closes, the main tree is rebuilt if
    // the subjects changed, and the main window comes back.
    VirtualSubjectEditor* openEditor(int pauseSeconds = 1);
    // The administration window, modal over the main window.
    void openAdministration();
    // What follows the administration window's own signals (clear, restore).
    void connectAdministration(AdminWindow* admin);

    // Begins sending results to the class server (when one is set) in the background; the
    // users database gets its row identities meanwhile.
    void startSending();
    ResultsSender& sender() { return m_sender; }

    // Another start of the program asked this copy to come to the front: its window on top
    // (a modal window first), then each file it was given added as at start-up. Starts
    // while a message of an earlier one is open wait: their files are offered in one
    // message, counting them, once it closes (never a message over a message).
    void bringToFront(const QStringList& files);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // The learner's users database is gone (another program or a person removed it): said,
    // and everyone logs in again. False when all is well.
    bool learnerGone();
    void onEditorClosed(bool subjectsChanged, int pauseSeconds);
    void addHandedFiles(const QStringList& files, const QPointer<QWidget>& parent);

    // At most this many different files wait; more starts are only counted.
    static constexpr qsizetype MaxWaitingFiles = 100;

    MainWindow& m_main;
    QPointer<LoginWindow> m_login;
    QPointer<VirtualSubjectEditor> m_editor;
    bool m_checkingLearner = false;
    ResultsSender m_sender;
    bool m_handingOver = false;
    QStringList m_waitingFiles;
    int m_waitingHandOvers = 0;
};
