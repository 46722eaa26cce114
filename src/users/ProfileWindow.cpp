#include "ProfileWindow.h"
#include "state/CaptionId.h"

#include "platform/Sound.h"
#include "state/AppState.h"
#include "users/UsersDatabase.h"
#include "widgets/Dialogs.h"
#include "widgets/MessageWindow.h"
#include "widgets/Pictures.h"
#include "widgets/TiledBackground.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>

namespace {
constexpr int NameMaxLength = 20;
constexpr int PasswordMaxLength = 15;
} // namespace

ProfileWindow::ProfileWindow(const QList<Learner>& existing, QWidget* parent)
    : QDialog(parent), m_existing(existing)
{
    setObjectName(QStringLiteral("frmNewUser"));
    setModal(true);
    const auto& caption = app().captions;

    // A pixmap brush tiles over the window; the texts take the colours that go with it.
    const QPixmap tile = Pictures::background(QStringLiteral("login"));
    TiledBackground::useLightPalette(this, tile.isNull() ? QBrush(TiledBackground::plainBackground())
                                                         : QBrush(tile));

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

    auto* lblFirst = makeLabel(QStringLiteral("lblfirst"), caption(Caption::FirstName));
    auto* lblLast = makeLabel(QStringLiteral("lblLast"), caption(Caption::LastName));
    auto* lblIcon = makeLabel(QStringLiteral("lblIcon"), caption(Caption::Picture));
    m_typePass = makeLabel(QStringLiteral("lblTypePass"), caption(Caption::Password));
    m_retypePass = makeLabel(QStringLiteral("lblRetypePass"), caption(Caption::RepeatPassword));

    m_first = makeEdit(QStringLiteral("txtFirst"), NameMaxLength, caption(Caption::FirstName));
    m_last = makeEdit(QStringLiteral("txtLast"), NameMaxLength, caption(Caption::LastName));
    m_password = makeEdit(QStringLiteral("txtPassword"), PasswordMaxLength, caption(Caption::Password));
    m_password2 =
        makeEdit(QStringLiteral("txtPassword2"), PasswordMaxLength, caption(Caption::RepeatPassword));
    m_password->setEchoMode(QLineEdit::Password);
    m_password2->setEchoMode(QLineEdit::Password);
    lblFirst->setBuddy(m_first);
    lblLast->setBuddy(m_last);
    m_typePass->setBuddy(m_password);
    m_retypePass->setBuddy(m_password2);

    m_pictures = new QComboBox(this);
    m_pictures->setObjectName(QStringLiteral("cboPicture"));
    m_pictures->setAccessibleName(caption(Caption::Picture));
    m_pictures->setIconSize(QSize(32, 32));
    for (int i = 1; i <= Pictures::LearnerCount; ++i) {
        // The number beside the picture is what a screen reader says when it changes.
        m_pictures->addItem(Pictures::learner(i), QString::number(i), i);
        m_pictures->setItemData(i - 1, caption(Caption::Picture) + QLatin1Char(' ') + QString::number(i),
                                Qt::AccessibleTextRole);
    }
    m_pictures->setCurrentIndex(0);
    lblIcon->setBuddy(m_pictures);

    m_hasPassword = new QCheckBox(caption(Caption::ProtectWithPassword), this);
    m_hasPassword->setObjectName(QStringLiteral("chkPassword"));
    connect(m_hasPassword, &QCheckBox::toggled, this, &ProfileWindow::onPasswordToggled);

    for (int i = 0; i < 2; ++i) {
        auto* b = new QPushButton(this);
        b->setObjectName(QStringLiteral("btnEdit_%1").arg(i));
        connect(b, &QPushButton::pressed, this, [] { Sound::PlayInterfaceSound(); });
        connect(b, &QPushButton::released, this, [] { Sound::PlayInterfaceSound(); });
        connect(b, &QPushButton::clicked, this, [this, i] { onButtonClicked(i); });
        m_buttons.append(b);
    }
    m_buttons[0]->setText(caption(Caption::Ok));
    m_buttons[1]->setText(caption(Caption::Cancel));
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

    // The form keeps its size whether the password rows show or not.
    for (QWidget* w : {static_cast<QWidget*>(m_password), static_cast<QWidget*>(m_password2),
                       static_cast<QWidget*>(m_typePass), static_cast<QWidget*>(m_retypePass)}) {
        QSizePolicy policy = w->sizePolicy();
        policy.setRetainSizeWhenHidden(true);
        w->setSizePolicy(policy);
        w->hide();
    }

    setWindowTitle(caption(Caption::NewLearner));
    m_first->setFocus();
}

void ProfileWindow::editLearner(const Learner& learner)
{
    const auto& caption = app().captions;
    m_edited = learner;
    m_buttons[0]->setText(caption(Caption::Save));
    setWindowTitle(caption(Caption::EditLearner));
    m_first->setText(learner.tFirstname);
    m_last->setText(learner.tLastname);
    m_pictures->setCurrentIndex(qBound(1, learner.nIcon, Pictures::LearnerCount) - 1);
    if (learner.hasPassword()) {
        m_hasPassword->setChecked(true);
        m_password->setText(learner.tPassword);
        m_password2->setText(learner.tPassword);
    }
}

void ProfileWindow::onPasswordToggled()
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

void ProfileWindow::onButtonClicked(int index)
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
        MessageWindow::showModal(caption(Caption::TypeFirstName), 0, this);
        m_first->setFocus();
        return;
    }
    if (learner.tLastname.isEmpty()) {
        MessageWindow::showModal(caption(Caption::TypeLastName), 0, this);
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
            MessageWindow::showModal(caption(Caption::PasswordsDiffer), 0, this);
            return;
        }
        learner.tPassword = m_password->text().trimmed();
    }
    const bool edit = isEditMode();
    if (!edit && UsersDatabase::isDuplicateName(m_existing, learner.displayName())) {
        MessageWindow::showModal(caption(Caption::LearnerExists), 0, this);
        return;
    }

    const UsersDatabase users = UsersDatabase::forApp();
    QString error;
    if (edit) {
        learner.pkStudentID = m_edited->pkStudentID;
        if (!users.updateLearner(learner, &error)) {
            Dialogs::reportError(QStringLiteral("btnEdit_Click"), error, this);
            return;
        }
        emit learnerSaved(learner, false, false);
        accept();
        return;
    }
    // The file says who is first: another program may have added a learner meanwhile.
    bool first = false;
    const auto key = users.addLearner(learner, &error, &first);
    if (!key) {
        Dialogs::reportError(QStringLiteral("btnEdit_Click"), error, this);
        return;
    }
    learner.pkStudentID = *key;
    emit learnerSaved(learner, true, first);
    if (first) {
        // The very first learner is the administrator: say so.
        QPointer<ProfileWindow> self(this);
        MessageWindow::showModal(caption(Caption::FirstLearnerIsAdministrator), 10, this);
        if (!self)
            return;
    }
    accept();
}
