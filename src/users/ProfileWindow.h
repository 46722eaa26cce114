#pragma once

#include <QDialog>
#include <QList>
#include <QPointer>

class LoginWindow;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

// The profile window (frmNewUser): creates a learner or changes one, then brings the login
// window's list up to date. It is in edit mode when the OK button reads caption 44 (the
// login window sets it), in new mode otherwise.
class ProfileWindow : public QDialog
{
    Q_OBJECT
public:
    explicit ProfileWindow(LoginWindow* login, QWidget* parent = nullptr);

    QLineEdit* txtFirst() const { return m_first; }
    QLineEdit* txtLast() const { return m_last; }
    QComboBox* imageCombo1() const { return m_pictures; }
    QCheckBox* chkPassword() const { return m_hasPassword; }
    QLineEdit* txtPassword() const { return m_password; }
    QLineEdit* txtPassword2() const { return m_password2; }
    QPushButton* btnEdit(int index) const { return m_buttons.value(index); }

    bool isEditMode() const;
    // 0 save, 1 cancel.
    void btnEdit_Click(int index);

private:
    void chkPassword_Click();
    void save();

    QPointer<LoginWindow> m_login; // may go away while a message is open
    QLineEdit* m_first = nullptr;
    QLineEdit* m_last = nullptr;
    QComboBox* m_pictures = nullptr;
    QCheckBox* m_hasPassword = nullptr;
    QLineEdit* m_password = nullptr;
    QLineEdit* m_password2 = nullptr;
    QLabel* m_typePass = nullptr;
    QLabel* m_retypePass = nullptr;
    QList<QPushButton*> m_buttons;
};
