#include "LoginWindow.h"
#include "platform/NaturalOrder.h"
#include "state/CaptionId.h"

#include "platform/ShownText.h"
#include "platform/Sound.h"
#include "state/AppState.h"
#include "users/BackupRestore.h"
#include "users/ProfileWindow.h"
#include "widgets/Dialogs.h"
#include "widgets/MessageWindow.h"
#include "widgets/Pictures.h"
#include "widgets/TiledBackground.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

enum Role
{
    StudentIdRole = Qt::UserRole + 1,
    FirstnameRole,
    LastnameRole,
    PasswordRole,
    IconRole,
    AdministratorRole,
};

constexpr int PasswordMaxLength = 15;

// Sorts learners by their names as people read them: letter case does not count.
class LearnerItem : public QListWidgetItem
{
public:
    using QListWidgetItem::QListWidgetItem;
    bool operator<(const QListWidgetItem& other) const override
    {
        return NaturalOrder::less(text(), other.text());
    }
};

void fillItem(QListWidgetItem* item, const Learner& learner)
{
    // A name of any length in the file keeps the list quick: it is shown cut, and used whole.
    item->setText(ShownText::cut(learner.displayName(), ShownText::NameLimit));
    item->setIcon(Pictures::learner(learner.nIcon));
    item->setData(StudentIdRole, learner.pkStudentID);
    item->setData(FirstnameRole, learner.tFirstname);
    item->setData(LastnameRole, learner.tLastname);
    item->setData(PasswordRole, learner.tPassword);
    item->setData(IconRole, learner.nIcon);
}

Learner learnerOf(const QListWidgetItem* item)
{
    Learner l;
    l.pkStudentID = item->data(StudentIdRole).toLongLong();
    l.tFirstname = item->data(FirstnameRole).toString();
    l.tLastname = item->data(LastnameRole).toString();
    l.tPassword = item->data(PasswordRole).toString();
    l.nIcon = item->data(IconRole).toInt();
    return l;
}

} // namespace

LoginWindow::LoginWindow(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("frmLogin"));
    setAttribute(Qt::WA_DeleteOnClose);

    // A pixmap brush tiles over the window; the texts take the colours that go with it.
    const QPixmap tile = Pictures::background(QStringLiteral("login"));
    TiledBackground::useLightPalette(this, tile.isNull() ? QBrush(TiledBackground::plainBackground())
                                                         : QBrush(tile));

    const auto& caption = app().captions;
    m_instructions = new QLabel(caption(Caption::LoginInstructions), this);
    m_instructions->setObjectName(QStringLiteral("lblInstructions"));
    m_instructions->setWordWrap(true);

    m_list = new QListWidget(this);
    m_list->setObjectName(QStringLiteral("lvwLearners"));
    m_list->setAccessibleName(caption(Caption::LoginInstructions));
    m_list->setViewMode(QListView::IconMode);
    m_list->setMovement(QListView::Static);
    m_list->setResizeMode(QListView::Adjust);
    m_list->setIconSize(QSize(48, 48));
    m_list->setGridSize(QSize(130, 90));
    m_list->setWordWrap(true);
    m_list->setSelectionMode(QAbstractItemView::SingleSelection);
    m_list->setSortingEnabled(true); // by name; entries added later take their place at once

    m_passwordLabel = new QLabel(caption(Caption::Password), this);
    m_passwordLabel->setObjectName(QStringLiteral("lblPassword"));
    m_password = new QLineEdit(this);
    m_password->setObjectName(QStringLiteral("txtPassword"));
    m_password->setAccessibleName(caption(Caption::Password));
    m_password->setEchoMode(QLineEdit::Password);
    m_password->setMaxLength(PasswordMaxLength);
    m_passwordLabel->setBuddy(m_password);

    const Caption buttonCaptions[] = {Caption::LogIn, Caption::NewLearnerButton, Caption::EditProfile};
    for (int i = 0; i < 3; ++i) {
        auto* b = new QPushButton(caption(buttonCaptions[i]), this);
        b->setObjectName(QStringLiteral("btnLogin_%1").arg(i));
        b->setAccessibleName(caption(buttonCaptions[i]));
        connect(b, &QPushButton::pressed, this, [] { Sound::PlayInterfaceSound(); });
        connect(b, &QPushButton::released, this, [] { Sound::PlayInterfaceSound(); });
        connect(b, &QPushButton::clicked, this, [this, i] { onButtonClicked(i); });
        m_buttons.append(b);
    }
    m_buttons[0]->setDefault(true); // Enter in the password box logs in

    auto* passwordRow = new QHBoxLayout;
    passwordRow->addWidget(m_passwordLabel);
    passwordRow->addWidget(m_password, 1);
    auto* buttonRow = new QHBoxLayout;
    buttonRow->addWidget(m_buttons[1]);
    buttonRow->addWidget(m_buttons[2]);
    buttonRow->addStretch(1);
    buttonRow->addWidget(m_buttons[0]);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_instructions);
    layout->addWidget(m_list, 1);
    layout->addLayout(passwordRow);
    layout->addLayout(buttonRow);
    setTabOrder(m_list, m_password);
    setTabOrder(m_password, m_buttons[0]);
    setTabOrder(m_buttons[0], m_buttons[1]);
    setTabOrder(m_buttons[1], m_buttons[2]);

    setWindowTitle(caption(Caption::LogInTo) + QLatin1Char(' ') + app().edition.EditionTitle);
    resize(560, 420);

    connect(m_list, &QListWidget::itemClicked, this, [this] { adaptPasswordBox(true); });
    connect(m_list, &QListWidget::itemDoubleClicked, this, [this] { onButtonClicked(0); });
    // Arrow keys choose another learner too; the focus stays in the list meanwhile.
    connect(m_list, &QListWidget::currentItemChanged, this, [this] { adaptPasswordBox(false); });
    setPasswordBoxVisible(false);
}

void LoginWindow::reportCannotCreate(const UsersDatabase& users, const QString& error)
{
    // Without a users database nobody can log in: say where it could not be made, then end.
    Dialogs::inform(this, error + QStringLiteral("\n\n") + app().captions(Caption::LearnersCannotBeCreated) +
                              QLatin1Char('\n') + users.path());
    emit quitRequested();
}

void LoginWindow::loadLearners()
{
    m_list->clear();
    readLearners();
    if (m_list->count() > 0) {
        m_list->setCurrentItem(m_list->item(0));
        adaptPasswordBox(true);
    } else {
        setPasswordBoxVisible(false);
    }
}

void LoginWindow::readLearners()
{
    const auto& caption = app().captions;
    const UsersDatabase users = UsersDatabase::forApp();
    for (;;) {
        // A lock held by another program is waited for; the cursor shows it meanwhile.
        QApplication::setOverrideCursor(Qt::WaitCursor);
        const LearnerList list = users.openLearnerList();
        QApplication::restoreOverrideCursor();
        const QString heading =
            caption(Caption::LearnersUnreadable) + QStringLiteral(" Error#001 ") + list.error;
        switch (list.outcome) {
        case LearnerList::Outcome::Read: {
            bool first = true;
            for (const Learner& learner : list.learners) {
                addEntry(learner, first); // the first learner ever created is the administrator
                first = false;
            }
            if (!list.tablesSetAside.isEmpty())
                Dialogs::inform(this, caption(Caption::TablesSetAside) + QStringLiteral("\n\n") +
                                          users.path() + QStringLiteral("\n") +
                                          list.tablesSetAside.join(QLatin1Char('\n')));
            return;
        }
        case LearnerList::Outcome::Created:
            return; // first start: no learners yet
        case LearnerList::Outcome::CannotCreate:
            reportCannotCreate(users, list.error);
            return;
        case LearnerList::Outcome::CannotSetAside:
            Dialogs::inform(this, heading);
            emit quitRequested();
            return;
        case LearnerList::Outcome::SetAside:
            // Never deleted: the damaged file is kept under another name, a fresh list starts.
            Dialogs::inform(this, heading + QStringLiteral("\n\n") + app().edition.EditionTitle +
                                      QLatin1Char(' ') + caption(Caption::UnreadableListKept) +
                                      QLatin1Char('\n') + list.keptAs);
            if (!list.createError.isEmpty()) {
                reportCannotCreate(users, list.createError);
                return;
            }
            // Unless the newest backup copy that opens is wanted instead of the empty list.
            if (BackupRestore::offerNewestCopy(this, users.path()))
                continue;
            return;
        case LearnerList::Outcome::Unavailable: {
            // A passing cause (full disk, permissions, a lasting lock): the file stays as it
            // is, and the learner may try again once the cause is gone.
            const auto answer =
                Dialogs::message(this, {QString(),
                                        heading + QStringLiteral("\n\n") +
                                            Dialogs::fileFailureText(list.failure, users.path()) +
                                            QStringLiteral("\n\n") + caption(Caption::FileLeftUnchanged),
                                        QMessageBox::NoIcon, QMessageBox::Retry | QMessageBox::Close});
            if (answer == QMessageBox::Retry)
                continue;
            emit quitRequested();
            return;
        }
        }
        return;
    }
}

QList<Learner> LoginWindow::learners() const
{
    QList<Learner> result;
    for (int i = 0; i < m_list->count(); ++i)
        result.append(learnerOf(m_list->item(i)));
    return result;
}

std::optional<Learner> LoginWindow::selectedLearner() const
{
    const QListWidgetItem* item = m_list->currentItem();
    if (!item)
        return std::nullopt;
    return learnerOf(item);
}

int LoginWindow::entryCount() const
{
    return m_list->count();
}

QListWidgetItem* LoginWindow::addEntry(const Learner& learner, bool administrator)
{
    auto* item = new LearnerItem;
    fillItem(item, learner);
    m_list->addItem(item);
    if (administrator)
        makeAdministrator(item);
    return item;
}

void LoginWindow::makeAdministrator(QListWidgetItem* item)
{
    QFont bold = item->font();
    bold.setBold(true);
    item->setFont(bold);
    item->setData(AdministratorRole, true);
}

void LoginWindow::setPasswordBoxVisible(bool visible)
{
    if (!visible)
        m_password->clear();
    m_password->setVisible(visible);
    m_passwordLabel->setVisible(visible);
}

void LoginWindow::onLearnerSaved(const Learner& learner, bool isNew, bool firstLearner)
{
    QListWidgetItem* item = m_list->currentItem();
    if (isNew && !firstLearner && m_list->count() == 0) {
        // Another program added the first learner meanwhile: show the list as it now is.
        readLearners();
        item = nullptr;
        for (int i = 0; i < m_list->count() && !item; ++i) {
            if (m_list->item(i)->data(StudentIdRole).toLongLong() == learner.pkStudentID)
                item = m_list->item(i);
        }
    } else if (isNew) {
        // The very first learner is the administrator.
        item = addEntry(learner, firstLearner);
    } else if (item) {
        Learner updated = learner;
        updated.pkStudentID = item->data(StudentIdRole).toLongLong();
        fillItem(item, updated);
        m_list->sortItems();
    }
    if (item) {
        m_list->setCurrentItem(item); // the new learner logs in next
        m_list->scrollToItem(item);
    }
    // The password box follows the selected learner.
    adaptPasswordBox(true);
}

void LoginWindow::adaptPasswordBox(bool moveFocus)
{
    m_password->clear();
    if (m_list->count() == 0)
        return;
    const auto learner = selectedLearner();
    const bool hasPassword = learner && learner->hasPassword();
    setPasswordBoxVisible(hasPassword);
    if (!moveFocus)
        return;
    // Without a password the list keeps the focus: Enter there presses the default button,
    // log in, with no hidden control in the Tab order or on the accessibility bus.
    if (hasPassword)
        m_password->setFocus();
    else
        m_list->setFocus();
}

bool LoginWindow::passwordMatches() const
{
    const auto learner = selectedLearner();
    return learner && learner->tPassword.compare(m_password->text(), Qt::CaseInsensitive) == 0;
}

void LoginWindow::onButtonClicked(int index)
{
    const auto& caption = app().captions;
    // Pressed behind the profile window or a message (an accessibility action can do that):
    // logging in now would delete this window under the open window's loop.
    if (Dialogs::isBehindModal(this))
        return;
    if (index == 1) {
        auto* profile = new ProfileWindow(learners(), this);
        connect(profile, &ProfileWindow::learnerSaved, this, &LoginWindow::onLearnerSaved);
        if (Dialogs::runModal(profile))
            takeFocusBack();
        return;
    }

    if (m_list->count() == 0 || !m_list->currentItem()) {
        // Said, not silently ignored: a newcomer may not know a name must be chosen first.
        QPointer<LoginWindow> self(this);
        MessageWindow::showModal(caption(m_list->count() == 0 ? Caption::NoLearnerYet
                                         : index == 2         ? Caption::ChooseLearnerToEdit
                                                              : Caption::ChooseLearnerToLogIn),
                                 0, this);
        if (self)
            m_list->setFocus();
        return;
    }
    if (!passwordMatches()) {
        QPointer<LoginWindow> self(this);
        // Nothing typed yet: the password is asked for, not called wrong.
        const bool nothingTyped = m_password->text().isEmpty();
        MessageWindow::showModal(
            caption(nothingTyped && index == 2 ? Caption::PasswordToEditProfile : Caption::WrongPassword), 0,
            this);
        if (self && !m_password->isHidden())
            m_password->setFocus();
        return;
    }

    QListWidgetItem* item = m_list->currentItem();
    if (index == 2) {
        auto* profile = new ProfileWindow(learners(), this);
        profile->editLearner(learnerOf(item));
        connect(profile, &ProfileWindow::learnerSaved, this, &LoginWindow::onLearnerSaved);
        if (Dialogs::runModal(profile))
            takeFocusBack();
        return;
    }

    // Log in.
    m_loggedIn = true;
    const QString user =
        item->data(FirstnameRole).toString() + QLatin1Char(' ') + item->data(LastnameRole).toString();
    const bool administrator = item->data(AdministratorRole).toBool();
    emit loggedIn(user, administrator);
    close();
}

void LoginWindow::takeFocusBack()
{
    // The profile window and the first learner's notice have gone: without this no window
    // would be active and keys would do nothing.
    raise();
    activateWindow();
    adaptPasswordBox(true);
}

bool LoginWindow::event(QEvent* event)
{
    if (event->type() == QEvent::WindowActivate)
        m_loggedIn = false;
    return QDialog::event(event);
}

void LoginWindow::closeEvent(QCloseEvent* event)
{
    // Closed without a login: the program ends, also after an earlier learner's session.
    if (!m_loggedIn)
        emit quitRequested();
    QDialog::closeEvent(event);
}

void LoginWindow::keyPressEvent(QKeyEvent* event)
{
    // Escape would close the window and so end the program by accident.
    if (event->key() == Qt::Key_Escape) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}
