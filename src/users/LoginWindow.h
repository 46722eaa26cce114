#pragma once

#include "users/UsersDatabase.h"

#include <QDialog>
#include <QList>
#include <QPointer>

class MainWindow;
class QLabel;
class QLineEdit;
class QListWidget;
class QListWidgetItem;
class QPushButton;

// The login window (frmLogin): the learners with their pictures; a successful login hands
// over to the main window. Closing it without a login ends the program. Make it with new:
// it deletes itself when it closes, and each opening reads the learners afresh.
class LoginWindow : public QDialog
{
    Q_OBJECT
public:
    explicit LoginWindow(MainWindow* mainWindow, QWidget* parent = nullptr);
    bool LoginSucceeded = false;

    QListWidget* ListView1() const { return m_list; }
    QLineEdit* txtPassword() const { return m_password; }
    QLabel* lblPassword() const { return m_passwordLabel; }
    QPushButton* btnLogin(int index) const { return m_buttons.value(index); }

    // The learners as the list holds them now, in list order.
    QList<Learner> learners() const;
    // The selected learner; std::nullopt when the list is empty or nothing is selected.
    std::optional<Learner> selectedLearner() const;
    int entryCount() const;

    // The profile window brings the list up to date without reading the database again.
    QListWidgetItem* addEntry(const Learner& learner, bool administrator);
    void updateSelectedEntry(const Learner& learner);
    void makeAdministrator(QListWidgetItem* item);
    void selectEntry(QListWidgetItem* item);
    void setPasswordBoxVisible(bool visible);

    // Button handlers: 0 log in, 1 new learner, 2 edit learner.
    void btnLogin_Click(int index);
    // Shows or hides the password box for the selected learner and moves the focus there.
    void ListView1_Click();

signals:
    // Emitted on a successful login, just before the main window takes over.
    void loggedIn(const QString& user, bool administrator);

protected:
    bool event(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void loadLearners();
    void reportCannotCreate(const UsersDatabase& users, const QString& error);
    bool passwordMatches() const;
    void adaptPasswordBox(bool moveFocus);

    QPointer<MainWindow> m_main;
    QListWidget* m_list = nullptr;
    QLineEdit* m_password = nullptr;
    QLabel* m_passwordLabel = nullptr;
    QLabel* m_instructions = nullptr;
    QList<QPushButton*> m_buttons;
};
