#include "ProfileWindow.h"

#include "app/AppState.h"
#include "app/Dialogs.h"
#include "content/MessageWindow.h"
#include "content/Pictures.h"
#include "platform/Sound.h"
#include "users/LoginWindow.h"
#include "users/UsersDatabase.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace {
constexpr int NameMaxLength = 20;
constexpr int PasswordMaxLength = 15;
} // namespace

ProfileWindow::ProfileWindow(LoginWindow* login, QWidget* parent) : QDialog(parent), m_login(login)
{
    setObjectName(QStringLiteral("frmNewUser"));
    setModal(true);
    const auto& caption = app().captions;

    const QPixmap tile = Pictures::background(QStringLiteral("login"));
    if (!tile.isNull()) {
        QPalette pal = palette();
        pal.setBrush(QPalette::Window, QBrush(tile));
        setPalette(pal);
        setAutoFillBackground(true);
    }

    auto makeLabel = [this](const QString& name, const QString& text) {
        auto* l = new QLabel(text, this);
        l->setObjectName(name);
        return l;
    };
    auto makeEdit = [this](const QString& name, int maxLength, const QString& accessibleName) {
        auto* e = new QLineEdit(this);
        e->setObjectName(name);
        e->setMaxLength(maxLength);
        e->setAccessibleName(accessibleName);
        return e;
    };

    auto* lblFirst = makeLabel(QStringLiteral("lblfirst"), caption(31));
    auto* lblLast = makeLabel(QStringLiteral("lblLast"), caption(32));
    auto* lblIcon = makeLabel(QStringLiteral("lblIcon"), caption(33));
    m_typePass = makeLabel(QStringLiteral("lblTypePass"), caption(37));
    m_retypePass = makeLabel(QStringLiteral("lblRetypePass"), caption(38));

    m_first = makeEdit(QStringLiteral("txtFirst"), NameMaxLength, caption(31));
    m_last = makeEdit(QStringLiteral("txtLast"), NameMaxLength, caption(32));
    m_password = makeEdit(QStringLiteral("txtPassword"), PasswordMaxLength, caption(37));
    m_password2 = makeEdit(QStringLiteral("txtPassword2"), PasswordMaxLength, caption(38));
    m_password->setEchoMode(QLineEdit::Password);
    m_password2->setEchoMode(QLineEdit::Password);
    lblFirst->setBuddy(m_first);
    lblLast->setBuddy(m_last);
    m_typePass->setBuddy(m_password);
    m_retypePass->setBuddy(m_password2);

    m_pictures = new QComboBox(this);
    m_pictures->setObjectName(QStringLiteral("imageCombo1"));
    m_pictures->setAccessibleName(caption(33));
    m_pictures->setIconSize(QSize(32, 32));
    for (int i = 1; i <= Pictures::LearnerCount; ++i) {
        m_pictures->addItem(Pictures::learner(i), QString(), i);
        m_pictures->setItemData(i - 1, caption(33) + QLatin1Char(' ') + QString::number(i),
                                Qt::AccessibleTextRole);
    }
    m_pictures->setCurrentIndex(0);
    lblIcon->setBuddy(m_pictures);

    m_hasPassword = new QCheckBox(caption(35), this);
    m_hasPassword->setObjectName(QStringLiteral("chkPassword"));
    connect(m_hasPassword, &QCheckBox::toggled, this, [this] { chkPassword_Click(); });

    for (int i = 0; i < 2; ++i) {
        auto* b = new QPushButton(this);
        b->setObjectName(QStringLiteral("btnEdit_%1").arg(i));
        connect(b, &QPushButton::pressed, this, [] { Sound::PlayInterfaceSound(); });
        connect(b, &QPushButton::released, this, [] { Sound::PlayInterfaceSound(); });
        connect(b, &QPushButton::clicked, this, [this, i] { btnEdit_Click(i); });
        m_buttons.append(b);
    }
    m_buttons[1]->setText(caption(9));
    m_buttons[0]->setDefault(true);

    auto* grid = new QGridLayout(this);
    grid->addWidget(lblFirst, 0, 0);
    grid->addWidget(m_first, 0, 1);
    grid->addWidget(lblLast, 1, 0);
    grid->addWidget(m_last, 1, 1);
    grid->addWidget(lblIcon, 2, 0);
    grid->addWidget(m_pictures, 2, 1);
    grid->addWidget(m_hasPassword, 3, 0, 1, 2);
    grid->addWidget(m_typePass, 4, 0);
    grid->addWidget(m_password, 4, 1);
    grid->addWidget(m_retypePass, 5, 0);
    grid->addWidget(m_password2, 5, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(m_buttons[0]);
    buttons->addWidget(m_buttons[1]);
    grid->addLayout(buttons, 6, 0, 1, 2);

    for (QWidget* w : {static_cast<QWidget*>(m_password), static_cast<QWidget*>(m_password2),
                       static_cast<QWidget*>(m_typePass), static_cast<QWidget*>(m_retypePass)})
        w->hide();

    setWindowTitle(caption(30));
    m_first->setFocus();
}

bool ProfileWindow::isEditMode() const
{
    // An empty caption table must not turn a new learner into an edit of another one.
    const QString edit = app().captions(44);
    return !edit.isEmpty() && m_buttons[0]->text() == edit;
}

void ProfileWindow::chkPassword_Click()
{
    m_password->clear();
    m_password2->clear();
    const bool ticked = m_hasPassword->isChecked();
    for (QWidget* w : {static_cast<QWidget*>(m_password), static_cast<QWidget*>(m_password2),
                       static_cast<QWidget*>(m_typePass), static_cast<QWidget*>(m_retypePass)})
        w->setVisible(ticked);
    if (ticked)
        m_password->setFocus();
}

void ProfileWindow::btnEdit_Click(int index)
{
    if (Dialogs::isBehindModal(this)) // a message of this window is still open
        return;
    if (index == 1) {
        reject();
        return;
    }
    save();
}

void ProfileWindow::save()
{
    const auto& caption = app().captions;
    const bool withPassword = m_hasPassword->isChecked();
    Learner learner;
    learner.tFirstname = m_first->text().trimmed();
    learner.tLastname = m_last->text().trimmed();
    learner.nIcon = m_pictures->currentIndex() + 1;

    // The first failing check ends the click; what was typed stays.
    // A name is needed; the learner is told which part is missing.
    if (learner.tFirstname.isEmpty()) {
        MessageWindow::showModal(caption(222), 0, this);
        m_first->setFocus();
        return;
    }
    if (learner.tLastname.isEmpty()) {
        MessageWindow::showModal(caption(223), 0, this);
        m_last->setFocus();
        return;
    }
    if (withPassword) {
        if (m_password->text().trimmed().isEmpty()) {
            m_password->setFocus();
            return;
        }
        if (m_password2->text().trimmed().isEmpty()) {
            m_password2->setFocus();
            return;
        }
        if (m_password->text() != m_password2->text()) {
            MessageWindow::showModal(caption(36), 0, this);
            return;
        }
        learner.tPassword = m_password->text().trimmed();
    }
    const bool edit = isEditMode();
    if (!edit && m_login && UsersDatabase::isDuplicateName(m_login->learners(), learner.displayName())) {
        MessageWindow::showModal(caption(42), 0, this);
        return;
    }

    const UsersDatabase users = UsersDatabase::forApp();
    QString error;
    if (!edit) {
        const auto key = users.addLearner(learner, &error);
        if (!key) {
            Dialogs::reportError(QStringLiteral("btnEdit_Click"), error, this);
            return;
        }
        learner.pkStudentID = *key;
        if (m_login) {
            QListWidgetItem* item = m_login->addEntry(learner, false);
            m_login->selectEntry(item); // the new learner logs in next
            if (m_login->entryCount() == 1) {
                // The very first learner is the administrator.
                QPointer<ProfileWindow> self(this);
                MessageWindow::showModal(caption(43), 10, this);
                if (!self || !m_login)
                    return;
                m_login->makeAdministrator(item);
            }
        }
    } else {
        const auto selected = m_login ? m_login->selectedLearner() : std::nullopt;
        if (!selected) {
            Dialogs::reportError(QStringLiteral("btnEdit_Click"), caption(224), this);
            return;
        }
        learner.pkStudentID = selected->pkStudentID;
        if (!users.updateLearner(learner, &error)) {
            Dialogs::reportError(QStringLiteral("btnEdit_Click"), error, this);
            return;
        }
        m_login->updateSelectedEntry(learner);
    }
    // The password box of the login window follows the selected learner.
    if (m_login)
        m_login->ListView1_Click();
    accept();
}
