#pragma once

#include "users/UsersDatabase.h"

#include <QDialog>
#include <QList>
#include <QPointer>

class QLabel;
class QLineEdit;
class QListWidget;
class QListWidgetItem;
class QPushButton;

// The login window (frmLogin): the learners with their pictures. A successful login is
// announced with loggedIn; closing the window without one (or a users database that cannot
// be used) with quitRequested. Make it with new, connect its signals, then loadLearners():
// it deletes itself when it closes, and each opening reads the learners afresh.
class LoginWindow : public QDialog
{
    Q_OBJECT
public:
    explicit LoginWindow(QWidget* parent = nullptr);

    // Reads the learners into the list and selects the first. A users database that cannot
    // be read or made is reported here, then quitRequested is emitted.
    void loadLearners();
    // True once a learner has logged in through this window (and it has not been shown again).
    bool hasLoggedIn() const { return m_loggedIn; }

    // The learners as the list holds them now, in list order.
    QList<Learner> learners() const;
    // The selected learner; std::nullopt when the list is empty or nothing is selected.
    std::optional<Learner> selectedLearner() const;
    int entryCount() const;

    // Button handlers: 0 log in, 1 new learner, 2 edit learner.
    void onButtonClicked(int index);

signals:
    // A learner logged in; the window closes next.
    void loggedIn(const QString& user, bool administrator);
    // Closed without a login, or no users database to log in with: the program ends.
    void quitRequested();

protected:
    bool event(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void readLearners();
    QListWidgetItem* addEntry(const Learner& learner, bool administrator);
    void makeAdministrator(QListWidgetItem* item);
    void setPasswordBoxVisible(bool visible);
    // A learner made or changed in the profile window joins the list, selected.
    void onLearnerSaved(const Learner& learner, bool isNew, bool firstLearner);
    void reportCannotCreate(const UsersDatabase& users, const QString& error);
    bool passwordMatches() const;
    // Back from a child window: this window active, the focus on the list (or password).
    void takeFocusBack();
    void adaptPasswordBox(bool moveFocus);

    bool m_loggedIn = false;
    QListWidget* m_list = nullptr;
    QLineEdit* m_password = nullptr;
    QLabel* m_passwordLabel = nullptr;
    QLabel* m_instructions = nullptr;
    QList<QPushButton*> m_buttons;
};
