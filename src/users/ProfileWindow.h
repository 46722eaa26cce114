#pragma once

#include "users/UsersDatabase.h"

#include <QDialog>
#include <QList>

#include <optional>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

// The profile window (frmNewUser): creates a learner, or changes the one given to
// editLearner, in the users database and announces the learner it saved.
class ProfileWindow : public QDialog
{
    Q_OBJECT
public:
    // existing: the learners there are now (a new learner's name must differ from theirs).
    explicit ProfileWindow(const QList<Learner>& existing, QWidget* parent = nullptr);

    // Edit mode: the learner's name, picture and password are shown and saved over.
    void editLearner(const Learner& learner);

    bool isEditMode() const { return m_edited.has_value(); }
    // 0 save, 1 cancel.
    void onButtonClicked(int index);

signals:
    // Saved in the users database: a new learner (with its key) or the edited one.
    // firstLearner: the first learner ever, who is the administrator.
    void learnerSaved(const Learner& learner, bool isNew, bool firstLearner);

private:
    void onPasswordToggled();
    void save();

    const QList<Learner> m_existing;
    std::optional<Learner> m_edited;
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
