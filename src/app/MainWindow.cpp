#include "MainWindow.h"
#include "state/CaptionId.h"

#include "app/MessagePanel.h"
#include "content/LoadingLog.h"
#include "content/WebPage.h"
#include "platform/Clock.h"
#include "platform/Sound.h"
#include "platform/Twips.h"
#include "review/ImportedHistory.h"
#include "review/PhraseResults.h"
#include "state/AppState.h"
#include "state/Paths.h"
#include "study/ActivityPanel.h"
#include "study/HandOverFiles.h"
#include "study/PhraseMenu.h"
#include "study/ReviewNode.h"
#include "study/SubjectSelection.h"
#include "import/ImportWindow.h"
#include "subjects/SubjectTree.h"
#include "import/VocabularyImport.h"
#include "users/ProgressWindow.h"
#include "users/StudyDays.h"
#include "widgets/Dialogs.h"
#include "widgets/LinkLabel.h"
#include "widgets/Pictures.h"
#include "widgets/ScreenFit.h"
#include "widgets/TiledBackground.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMimeData>
#include <QPointer>
#include <QPushButton>
#include <QRandomGenerator>
#include <QThread>
#include <QTimer>
#include <QUrl>
#include <QVBoxLayout>

namespace {

// Design values of the message panel and the side menu, in twips.
constexpr int MsgLeft = 240;
constexpr int MsgWidth = 5175;
constexpr int MsgHeight = 1170;
constexpr int MsgUpperTurn = 20;
constexpr int MsgLowerTurn = 950;
constexpr int MsgStep = 15;
constexpr int MsgMargin = MessagePanel::Margin;
constexpr int MenuStep = 250;
constexpr int MenuEntrySpacing = 750;

void setPointSize(QWidget* w, int points)
{
    QFont f = w->font();
    f.setPointSize(points);
    w->setFont(f);
}

QColor randomTextColour()
{
    return MessageRotation::textColours().at(int(QRandomGenerator::global()->bounded(15)));
}

// The colours of a linked message: blue, red while the mouse button is down on it.
const QColor MessageLinkColour(0, 0, 255);
const QColor MessagePressedColour(255, 0, 0);

// F1 in any window of the launcher, modal ones included, opens the program's manual, made for
// the window the key was pressed in.
class HelpKeyFilter : public QObject
{
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() != QEvent::KeyPress || !watched->isWidgetType())
            return false;
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() != Qt::Key_F1 || key->modifiers() != Qt::NoModifier)
            return false;
        OpenHelpPage(static_cast<QWidget*>(watched));
        return true;
    }
};

QPushButton* makeButton(QWidget* parent, const QString& name)
{
    auto* b = new QPushButton(parent);
    b->setObjectName(name);
    b->setMinimumHeight(Twips::toPixels(420));
    // Enter presses a focused button as Space does (outside a dialog Qt leaves it to Space).
    b->setAutoDefault(true);
    return b;
}

void setButtonText(QPushButton* b, const QString& text)
{
    b->setText(text);
    b->setAccessibleName(text);
}

} // namespace

MainWindow::MainWindow(QWidget* parent) : QMainWindow(parent)
{
    setObjectName(QStringLiteral("frmMain"));
    setWindowTitle(app().edition.EditionTitle);
    setWindowIcon(Pictures::programIcon());
    ScreenFit::resize(this, Twips::size(11400, 8700));
    TiledBackground::install(this, QStringLiteral("main"));

    auto* central = new QWidget(this);
    central->setObjectName(QStringLiteral("Picture1"));
    auto* grid = new QGridLayout(central);
    // The side menu keeps its last 100 twips inside the window on the left.
    grid->setContentsMargins(Twips::toPixels(360), Twips::toPixels(120), Twips::toPixels(240),
                             Twips::toPixels(240));
    grid->setHorizontalSpacing(Twips::toPixels(240));

    // The message panel slides up and down inside its area. It rests at the lower turning
    // point wholly inside the area; higher up it slides out of sight at the top, where the
    // text changes.
    m_msgArea = new QWidget(central);
    m_msgArea->setObjectName(QStringLiteral("msgArea"));
    m_msgArea->setMinimumWidth(Twips::toPixels(MsgLeft + MsgWidth));
    m_picMsg = new MessagePanel(m_msgArea);
    m_lblMsg = m_picMsg->label();
    m_lblMsg->setAlignment(Qt::AlignCenter);
    m_lblMsg->setWordWrap(true); // long messages take a smaller type and two or three lines
    TiledBackground::setTextColour(m_lblMsg, MessageLinkColour);
    {
        // Three lines of the largest type fit the panel at rest.
        QFont largest = m_lblMsg->font();
        largest.setPointSize(MessageRotation::LargestPointSize);
        const int needed = 3 * QFontMetrics(largest).lineSpacing() + 2 * MsgMargin;
        m_msgPanelHeight = std::max(Twips::toPixels(MsgHeight), needed);
    }
    m_msgArea->setFixedHeight(m_msgPanelHeight + 2 * MsgMargin);
    placeMessagePanel();
    m_lblMsg->setPressColours(MessagePressedColour, MessageLinkColour);
    // The tip moves and changes by itself: the mouse may follow its link, Tab passes it by
    // (the side menu holds the program's links for the keyboard).
    m_lblMsg->setFocusPolicy(Qt::NoFocus);
    connect(m_lblMsg, &LinkLabel::clicked, this, [this] {
        Sound::PlayInterfaceSound();
        OpenWebPage(m_lblMsg->link());
    });

    m_logo = new QLabel(central);
    m_logo->setObjectName(QStringLiteral("imgLogo"));
    m_logo->setAccessibleName(app().edition.EditionTitle);
    m_logo->setFixedSize(Twips::size(1440, 1440));
    m_logo->setPixmap(Pictures::editionLogo(app().edition.row, m_logo->size()));

    m_selectSubject = new QLabel(central);
    m_selectSubject->setObjectName(QStringLiteral("lblSelectSubject"));
    m_selectActivity = new QLabel(central);
    m_selectActivity->setObjectName(QStringLiteral("lblSelectActivity"));
    for (QLabel* l : {m_selectSubject, m_selectActivity}) {
        l->setTextFormat(Qt::PlainText);
        l->setWordWrap(true);
        TiledBackground::setTextColour(l, TiledBackground::ink());
        setPointSize(l, 12);
    }

    m_tree = new SubjectTree(central);
    m_tree->setMinimumWidth(Twips::toPixels(4800));
    m_activities = new ActivityPanel(m_tree, central);
    connect(m_activities, &ActivityPanel::quitRequested, this, &MainWindow::endProgram);
    // After an activity, one signal for all that follows: the status line, the review node
    // (its count, the memory model's fitting) and, through the window flow, the class server.
    connect(m_activities, &ActivityPanel::activityEnded, this, &MainWindow::onActivityEnded);
    connect(m_activities, &ActivityPanel::activityEnded, m_activities->reviewNode(),
            &ReviewNode::activityEnded);
    connect(m_activities, &ActivityPanel::activityEnded, this, &MainWindow::activityEnded);
    m_selection = new SubjectSelection(m_tree, this);
    m_activities->setPhraseLoader([this](QTreeWidgetItem* subject) { m_selection->loadPhrases(subject); });
    m_selectSubject->setBuddy(m_tree);

    auto* right = new QWidget(central);
    auto* rightLayout = new QVBoxLayout(right);
    rightLayout->setContentsMargins(0, 0, 0, 0);
    rightLayout->addWidget(m_activities, 1);

    m_btnChangeUser = makeButton(central, QStringLiteral("btnChangeUser"));
    m_btnCreateVirtualSubjects = makeButton(central, QStringLiteral("btnCreateVirtualSubjects"));
    m_btnOpenSubjectsFolder = makeButton(central, QStringLiteral("btnOpenSubjectsFolder"));
    m_btnAdmin = makeButton(central, QStringLiteral("btnAdmin"));
    m_btnAdmin->setVisible(false);
    // These buttons click when pressed and again when released, as the activity buttons do.
    for (QPushButton* b : {m_btnChangeUser, m_btnAdmin}) {
        connect(b, &QPushButton::pressed, this, [] { Sound::PlayInterfaceSound(); });
        connect(b, &QPushButton::released, this, [] { Sound::PlayInterfaceSound(); });
    }
    connect(m_btnChangeUser, &QPushButton::clicked, this, &MainWindow::onChangeUserClicked);
    connect(m_btnCreateVirtualSubjects, &QPushButton::clicked, this, [this] {
        if (!Dialogs::isBehindModal(this))
            emit editorRequested();
    });
    connect(m_btnOpenSubjectsFolder, &QPushButton::clicked, this, [] { SubjectTree::openSubjectsFolder(); });
    connect(m_btnAdmin, &QPushButton::clicked, this, [this] {
        if (m_administrator && !Dialogs::isBehindModal(this))
            emit administrationRequested();
    });
    // "My progress", for every learner: a button and a shortcut.
    m_btnProgress = makeButton(central, QStringLiteral("btnProgress"));
    m_mnuProgress = new QAction(this);
    m_mnuProgress->setObjectName(QStringLiteral("mnuProgress"));
    m_mnuProgress->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_P));
    addAction(m_mnuProgress);
    connect(m_btnProgress, &QPushButton::clicked, m_mnuProgress, &QAction::trigger);
    connect(m_mnuProgress, &QAction::triggered, this, [this] {
        // Pressed behind an open window (My progress itself), it would nest a second loop.
        if (Dialogs::isBehindModal(this))
            return;
        Sound::PlayInterfaceSound();
        ProgressWindow::open(this, app().CurrentUser);
    });
    // "Import vocabulary...": a button and a shortcut; a vocabulary file dropped on the
    // window opens the same window.
    m_btnImport = makeButton(central, QStringLiteral("btnImportVocabulary"));
    m_mnuImport = new QAction(this);
    m_mnuImport->setObjectName(QStringLiteral("mnuImportVocabulary"));
    m_mnuImport->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_I));
    addAction(m_mnuImport);
    connect(m_btnImport, &QPushButton::clicked, m_mnuImport, &QAction::trigger);
    connect(m_mnuImport, &QAction::triggered, this, [this] { importVocabulary(QString()); });
    setAcceptDrops(true);
    // "Help": the program's manual, also F1 here and in every other window.
    m_btnHelp = makeButton(central, QStringLiteral("btnHelp"));
    connect(m_btnHelp, &QPushButton::clicked, this, [this] { OpenHelpPage(this); });
    qApp->installEventFilter(new HelpKeyFilter(this));
    auto* buttons = new QHBoxLayout();
    buttons->setSpacing(Twips::toPixels(120)); // the buttons never touch
    buttons->addWidget(m_btnChangeUser);
    buttons->addWidget(m_btnCreateVirtualSubjects);
    buttons->addWidget(m_btnOpenSubjectsFolder);
    buttons->addWidget(m_btnImport);
    buttons->addWidget(m_btnProgress);
    buttons->addWidget(m_btnHelp);
    buttons->addStretch(1);
    buttons->addWidget(m_btnAdmin);

    grid->addWidget(m_msgArea, 0, 0, 1, 1);
    grid->addWidget(m_logo, 0, 1, 1, 1, Qt::AlignRight | Qt::AlignTop);
    grid->addWidget(m_selectSubject, 1, 0);
    grid->addWidget(m_selectActivity, 1, 1);
    grid->addWidget(m_tree, 2, 0);
    grid->addWidget(right, 2, 1);
    grid->addLayout(buttons, 3, 0, 1, 2);
    m_lblStatus = new QLabel(central);
    m_lblStatus->setObjectName(QStringLiteral("lblStatus"));
    m_lblStatus->setTextFormat(Qt::PlainText);
    TiledBackground::setTextColour(m_lblStatus, TiledBackground::ink());
    grid->addWidget(m_lblStatus, 4, 0, 1, 2);
    grid->setRowStretch(2, 1);
    grid->setColumnStretch(0, 1);
    grid->setColumnStretch(1, 1);
    setCentralWidget(central);

    // The phrase menu of the tree: only the administrator may use it.
    m_mnuOption = new QMenu(this);
    m_mnuOption->setObjectName(QStringLiteral("mnuOption"));
    m_mnuEdit = m_mnuOption->addAction(QString());
    m_mnuEdit->setObjectName(QStringLiteral("mnuEdit"));
    m_mnuListen = m_mnuOption->addAction(QString());
    m_mnuListen->setObjectName(QStringLiteral("mnuListenToPhrase"));
    m_mnuOption->setEnabled(false);
    connect(m_tree, &SubjectTree::phraseMenuRequested, this,
            [this](QTreeWidgetItem*, const QPoint& globalPos) {
                if (m_mnuOption->isEnabled())
                    m_mnuOption->popup(globalPos);
            });
    connect(m_tree, &SubjectTree::listenRequested, this,
            [this](QTreeWidgetItem*) { PhraseMenu::listenToSelectedPhrase(m_tree); });
    connect(m_mnuListen, &QAction::triggered, this, [this] { PhraseMenu::listenToSelectedPhrase(m_tree); });
    connect(m_mnuEdit, &QAction::triggered, this,
            [this] { PhraseMenu::editSelectedPhrase(m_tree, m_mnuOption->isEnabled(), this); });

    m_slideTimer = new QTimer(this);
    m_slideTimer->setObjectName(QStringLiteral("timSlide"));
    m_slideTimer->setInterval(30);
    // The rest between two slides: one wake-up when it is over, nothing while it lasts.
    m_restTimer = new QTimer(this);
    m_restTimer->setObjectName(QStringLiteral("timRest"));
    m_restTimer->setSingleShot(true);
    m_restTimer->setInterval(2000);
    connect(m_slideTimer, &QTimer::timeout, this, &MainWindow::onSlideStep);
    connect(m_restTimer, &QTimer::timeout, this, &MainWindow::onRestOver);

    buildMenuPanel(central);
}

MainWindow::~MainWindow() = default;

void MainWindow::importVocabulary(const QString& path)
{
    if (Dialogs::isBehindModal(this))
        return;
    const QPointer<MainWindow> self(this);
    const QStringList made = ImportWindow::importFile(path, this, &ImportedHistory::keepForLoggedInLearner);
    if (!self || made.isEmpty())
        return;
    m_tree->refreshSubjects();
    m_tree->selectFile(made.first());
    m_tree->setFocus();
}

namespace {
// The one vocabulary file a drag brings, or "".
QString draggedVocabulary(const QMimeData* data)
{
    if (!data || !data->hasUrls() || data->urls().size() != 1 || !data->urls().first().isLocalFile())
        return QString();
    const QString path = data->urls().first().toLocalFile();
    return VocabularyImport::isVocabularyFile(path) ? path : QString();
}
} // namespace

void MainWindow::dragEnterEvent(QDragEnterEvent* event)
{
    if (!draggedVocabulary(event->mimeData()).isEmpty())
        event->acceptProposedAction();
}

void MainWindow::dropEvent(QDropEvent* event)
{
    const QString path = draggedVocabulary(event->mimeData());
    if (path.isEmpty())
        return;
    event->acceptProposedAction();
    // After the drop has ended: the window runs its own loop.
    QTimer::singleShot(0, this, [this, path] { importVocabulary(path); });
}

void MainWindow::buildMenuPanel(QWidget* central)
{
    m_picMenu = new QWidget(central);
    m_picMenu->setObjectName(QStringLiteral("picMenu"));
    m_picMenu->setAutoFillBackground(true);
    QPalette p = m_picMenu->palette();
    p.setColor(QPalette::Window, TiledBackground::ink()); // the menu is the one dark panel
    m_picMenu->setPalette(p);
    m_picMenu->installEventFilter(this);

    m_lblCaption = new QLabel(m_picMenu);
    m_lblCaption->setObjectName(QStringLiteral("lblCaption"));
    m_lblCaption->setTextFormat(Qt::PlainText);
    m_lblCaption->setWordWrap(true);
    m_lblCaption->setGeometry(Twips::rect(240, 240, MenuWidthTwips - 480, 480));
    TiledBackground::setTextColour(m_lblCaption, Qt::white);
    QFont bold = m_lblCaption->font();
    bold.setBold(true);
    bold.setPointSize(12);
    m_lblCaption->setFont(bold);

    m_lblURL = new LinkLabel(QString(), m_picMenu);
    m_lblURL->setObjectName(QStringLiteral("lblURL"));
    m_lblURL->setAlwaysActive(true);
    TiledBackground::setTextColour(m_lblURL, Qt::white);
    m_lblURL->installEventFilter(this);
    connect(m_lblURL, &LinkLabel::clicked, this, [this] {
        Sound::PlayInterfaceSound();
        openWithDesktop(QUrl(m_lblURL->text()));
    });

    m_timShowMenu = new QTimer(this);
    m_timShowMenu->setObjectName(QStringLiteral("TimShowMenu"));
    m_timShowMenu->setInterval(2);
    m_timHideMenu = new QTimer(this);
    m_timHideMenu->setObjectName(QStringLiteral("TimHideMenu"));
    m_timHideMenu->setInterval(2);
    connect(m_timShowMenu, &QTimer::timeout, this, [this] {
        if (m_menuLeft >= -100)
            m_timShowMenu->stop();
        else
            setMenuLeftTwips(m_menuLeft + MenuStep);
    });
    connect(m_timHideMenu, &QTimer::timeout, this, [this] {
        if (m_menuLeft <= 100 - MenuWidthTwips)
            m_timHideMenu->stop();
        else
            setMenuLeftTwips(m_menuLeft - MenuStep);
    });
    setMenuLeftTwips(100 - MenuWidthTwips);
    m_picMenu->raise();
}

int MainWindow::menuLeftTwips() const
{
    return m_menuLeft;
}

void MainWindow::setMenuLeftTwips(int left)
{
    m_menuLeft = left;
    const int height = centralWidget() ? centralWidget()->height() : m_picMenu->height();
    m_picMenu->setGeometry(Twips::toPixels(left), 0, Twips::toPixels(MenuWidthTwips), height);
    m_lblURL->setGeometry(Twips::toPixels(240), std::max(0, height - Twips::toPixels(600)),
                          Twips::toPixels(MenuWidthTwips - 480), Twips::toPixels(360));
}

void MainWindow::resizeEvent(QResizeEvent* event)
{
    QMainWindow::resizeEvent(event);
    setMenuLeftTwips(m_menuLeft);
    m_picMenu->raise();
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event)
{
    const bool inMenu = watched == m_picMenu || m_menuLabels.contains(watched) || watched == m_lblURL;
    if (inMenu) {
        // The mouse or the keyboard focus on the menu slides it in; leaving slides it away.
        const auto t = event->type();
        if (t == QEvent::Enter || t == QEvent::FocusIn) {
            m_timHideMenu->stop();
            m_timShowMenu->start();
        } else if ((t == QEvent::Leave && watched == m_picMenu) ||
                   (t == QEvent::FocusOut && !m_picMenu->isAncestorOf(QApplication::focusWidget()))) {
            m_timShowMenu->stop();
            m_timHideMenu->start();
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

void MainWindow::setActivityFiles(const QStringList& programs)
{
    m_fileAct = programs;
}

void MainWindow::loadSettings()
{
    AppState& s = app();
    const Captions& c = s.captions;

    // The folder of installed subjects' name inside the data folder (the installed
    // subjects folder itself when the program folder is writable).
    const QString ownFolder = s.dataFolder + c.installedSubjectsFolderName();
    if (!s.dataFolder.isEmpty() && !QDir().mkpath(ownFolder))
        Dialogs::reportError(QStringLiteral("Get_Settings"),
                             c(Caption::FolderCannotBeCreated) + QLatin1Char(' ') + ownFolder, this);

    m_selectSubject->setText(QStringLiteral("1. ") + c(Caption::ChooseSubjectStep));
    m_selectActivity->setText(QStringLiteral("2. ") + c(Caption::PressActivityStep));
    m_lblCaption->setText(c(Caption::HelpAndInformation));
    setWindowTitle(s.edition.EditionTitle);
    setButtonText(m_btnChangeUser, c(Caption::ChangeUser));
    setButtonText(m_btnCreateVirtualSubjects, c(Caption::CreateMyOwnSubjects));
    // Until the editor is built in, its button says why it cannot be pressed.
    if (!m_btnCreateVirtualSubjects->isEnabled())
        m_btnCreateVirtualSubjects->setToolTip(c(Caption::NotAvailableYet));
    LoadingLog::addLine(c(Caption::LoadingPleaseWait)); // the splash's own wording
    setButtonText(m_btnOpenSubjectsFolder, c(Caption::OpenSubjectsFolder));
    setButtonText(m_btnImport, c(Caption::ImportVocabularyButton));
    m_mnuImport->setText(c(Caption::ImportVocabularyButton));
    m_btnImport->setToolTip(c(Caption::ImportVocabularyButton) + QStringLiteral(" (") +
                            m_mnuImport->shortcut().toString(QKeySequence::NativeText) + QLatin1Char(')'));
    setButtonText(m_btnAdmin, c(Caption::Results));
    setButtonText(m_btnHelp, c(Caption::Help));
    m_btnHelp->setToolTip(c(Caption::Help) + QStringLiteral(" (F1)"));
    setButtonText(m_btnProgress, c(Caption::MyProgress));
    m_mnuProgress->setText(c(Caption::MyProgress));
    m_btnProgress->setToolTip(c(Caption::MyProgress) + QStringLiteral(" (") +
                              m_mnuProgress->shortcut().toString(QKeySequence::NativeText) +
                              QLatin1Char(')'));
    m_mnuEdit->setText(c(Caption::EditPhrase));
    m_mnuListen->setText(c(Caption::ListenToPhrase));

    m_rotation.setCurrentTip(m_tipCount > 0 ? int(QRandomGenerator::global()->bounded(m_tipCount)) : 0);
    m_rotation.PendingMessage = c(Caption::ChooseToBegin);
    m_rotation.PendingLink.clear();
    setMenuLeftTwips(100 - MenuWidthTwips);
    if (QPushButton* more = lblMoreActs()) {
        more->setText(c(Caption::MoreActivities));
        more->setAccessibleName(c(Caption::MoreActivities));
    }
    m_lblURL->setText(c(Caption::WebSite));
    m_lblURL->setAccessibleName(c(Caption::WebSite));
    m_tree->setAccessibleName(c(Caption::Subjects));
    m_lblCaption->setAccessibleName(c(Caption::HelpAndInformation));
}

void MainWindow::loadMenuLinks()
{
    const AppState& s = app();
    QList<TemplateContent::LinkedText> entries;
    QString error;
    const bool ok = TemplateContent::loadMenuLinks(s.templateDatabasePath(), s.edition.InterfaceLanguage,
                                                   s.captions, &entries, &error);
    for (const auto& e : entries)
        addMenuEntry(e);
    if (!ok)
        Dialogs::reportError(QStringLiteral("Get_Menu_Links"), error, this);
}

void MainWindow::addMenuEntry(const TemplateContent::LinkedText& entry)
{
    const int k = int(m_menuLabels.size());
    const int top = 900 + k * MenuEntrySpacing;
    auto* bullet = new QLabel(m_picMenu);
    bullet->setObjectName(QStringLiteral("imgMenu_%1").arg(k));
    bullet->setGeometry(Twips::rect(240, top + 60, 240, 240));
    bullet->setPixmap(Pictures::menuBullet());
    bullet->setAccessibleName(entry.text); // the picture beside the entry stands for it
    auto* label = new LinkLabel(entry.text, m_picMenu);
    label->setObjectName(QStringLiteral("lblMenu_%1").arg(k));
    label->setAccessibleName(entry.text);
    label->setLink(entry.link);
    label->setAlwaysActive(true);
    label->setToolTip(webPageAddress(entry.link)); // the page the entry opens
    label->setPressColours(Qt::black, Qt::white);
    label->setGeometry(Twips::rect(600, top, MenuWidthTwips - 840, 600));
    TiledBackground::setTextColour(label, Qt::white);
    label->installEventFilter(this);
    connect(label, &LinkLabel::clicked, this, [label] {
        Sound::PlayInterfaceSound();
        OpenWebPage(label->link());
    });
    bullet->show();
    label->show();
    m_menuBullets << bullet;
    m_menuLabels << label;
}

void MainWindow::loadSystemMessages()
{
    const AppState& s = app();
    QString error;
    if (!TemplateContent::loadSystemMessages(s.templateDatabasePath(), s.edition.InterfaceLanguage,
                                             s.captions, &m_messages, &error))
        Dialogs::reportError(QStringLiteral("Get_System_Messages"), error, this);
    m_rotation.setMessages(m_messages);
}

void MainWindow::loadTips()
{
    const AppState& s = app();
    QString error;
    if (!TemplateContent::loadTips(s.templateDatabasePath(), s.edition.ProgramCode, &m_tips, &m_tipCount,
                                   &error))
        Dialogs::reportError(QStringLiteral("Get_Tips"), error, this);
    m_rotation.setTips(m_tips);
}

void MainWindow::applyLogin(const QString& user, bool administrator)
{
    const AppState& s = app();
    m_administrator = administrator;
    m_btnAdmin->setVisible(administrator);
    m_mnuOption->setEnabled(administrator);
    m_mnuEdit->setText(s.captions(Caption::EditPhrase));
    m_mnuListen->setText(s.captions(Caption::ListenToPhrase));
    m_lblMsg->setText(s.captions(Caption::WelcomeTo) + QLatin1Char(' ') + s.edition.EditionTitle +
                      QLatin1Char(' ') + user);
    m_lblMsg->setAccessibleName(m_lblMsg->text());
    m_lblMsg->setLink(QString());
    setPointSize(m_lblMsg, 12);
    setWindowTitle(s.edition.EditionTitle + QStringLiteral(" ") + QStringLiteral(" [") + user +
                   QLatin1Char(']'));
    setTabOrderForSteps();
    m_lblStatus->clear();
    m_lblStatus->setAccessibleName(QString());
    m_goalMetToldOn = QDate();
    // The learner's review is read beside the login, on a thread of its own.
    m_activities->startReview(s.usersDatabasePath(), user);
    show();
    startSlide();
}

void MainWindow::onActivityEnded()
{
    const AppState& s = app();
    if (s.CurrentUser.isEmpty() || m_ended)
        return;
    // The status line is a courtesy: a file that cannot be read now leaves it as it was.
    const QDate today = Clock::now().date();
    QString error;
    const auto goal = PhraseResults::dailyGoal(s.usersDatabasePath(), s.CurrentUser, &error);
    const auto days =
        goal ? StudyDays::load(s.usersDatabasePath(), s.CurrentUser, today, &error) : std::nullopt;
    if (!days)
        return;
    m_lblStatus->setText(StudyDays::goalStatus(days->count(today), *goal, today, &m_goalMetToldOn));
    m_lblStatus->setAccessibleName(m_lblStatus->text());
}

void MainWindow::readReviewAgain()
{
    if (!app().CurrentUser.isEmpty())
        m_activities->startReview(app().usersDatabasePath(), app().CurrentUser);
}

QPushButton* MainWindow::lblMoreActs() const
{
    return m_activities->lblMoreActs();
}

void MainWindow::onChangeUserClicked()
{
    // Pressed behind the login window's own windows, this would delete it under their loop.
    if (Dialogs::isBehindModal(this))
        return;
    emit changeUserRequested();
}

void MainWindow::onSlideStep()
{
    int& top = m_msgTop;
    if (m_goingUp) {
        top -= MsgStep;
        if (top <= MsgUpperTurn) {
            m_restTimer->stop();
            const TemplateContent::LinkedText t = m_rotation.next();
            m_lblMsg->setText(t.text);
            m_lblMsg->setAccessibleName(t.text);
            m_lblMsg->setLink(t.link);
            m_restTimer->setInterval(MessageRotation::displayTime(t.text));
            setPointSize(m_lblMsg, MessageRotation::pointSize(t.text));
            TiledBackground::setTextColour(m_lblMsg, randomTextColour());
            m_goingUp = false;
        }
    } else {
        top += MsgStep;
        if (top >= MsgLowerTurn) {
            m_goingUp = true;
            m_slideTimer->stop();
            m_picMsg->setSliding(false);
            // An empty text has no display time: the rotation rests until something restarts it.
            if (m_restTimer->interval() > 0)
                m_restTimer->start();
        }
    }
    placeMessagePanel();
}

void MainWindow::placeMessagePanel()
{
    const int y = MsgMargin + Twips::toPixels(m_msgTop) - Twips::toPixels(MsgLowerTurn);
    m_picMsg->moveTo(QRect(Twips::toPixels(MsgLeft), y, Twips::toPixels(MsgWidth), m_msgPanelHeight));
}

void MainWindow::changeEvent(QEvent* event)
{
    QMainWindow::changeEvent(event);
    // Disabling the window took the focus away (phrases loading, an activity starting): the
    // keyboard finds it again in the tree, on the node that was chosen.
    if (event->type() == QEvent::EnabledChange && isEnabled() && !focusWidget())
        m_tree->setFocus(Qt::OtherFocusReason);
    // Nobody sees a minimized window's panel slide: it would wake the program every 30 ms
    // for nothing.
    if (event->type() == QEvent::WindowStateChange)
        pauseRotation(isMinimized());
}

void MainWindow::pauseRotation(bool paused)
{
    if (paused == m_rotationPaused || m_ended)
        return;
    m_rotationPaused = paused;
    if (paused) {
        m_slideWasActive = m_slideTimer->isActive();
        m_restWasActive = m_restTimer->isActive();
        m_slideTimer->stop();
        m_restTimer->stop();
        return;
    }
    // The slide goes on from where it stopped; a resting message is shown for its whole time again.
    if (m_slideWasActive)
        m_slideTimer->start();
    if (m_restWasActive)
        m_restTimer->start();
}

void MainWindow::setTabOrderForSteps()
{
    // The two steps first: the subject, then the activity; then the other buttons and links.
    QList<QWidget*> order{m_tree};
    for (int i = 0; ActivityButton* b = m_activities->button(i); ++i)
        order << b;
    order << lblMoreActs() << m_btnChangeUser << m_btnCreateVirtualSubjects << m_btnOpenSubjectsFolder
          << m_btnImport << m_btnProgress << m_btnHelp << m_btnAdmin; // as they stand, left to right
    for (LinkLabel* l : std::as_const(m_menuLabels))
        order << l;
    order << m_lblURL;
    order.removeAll(nullptr);
    for (int i = 1; i < order.size(); ++i)
        setTabOrder(order[i - 1], order[i]);
}

void MainWindow::onRestOver()
{
    m_rotation.textShown();
    startSlide();
}

void MainWindow::startSlide()
{
    m_picMsg->setSliding(true);
    m_slideTimer->start();
}

void MainWindow::closeEvent(QCloseEvent* event)
{
    event->accept();
    endProgram();
}

void MainWindow::endProgram()
{
    if (m_ended)
        return;
    m_ended = true;
    m_slideTimer->stop();
    m_restTimer->stop();
    HandOverFiles::removeAll(app());
    QApplication::closeAllWindows();
    // Before the program's event loop runs, the start-up sees hasEnded() and returns. Asking
    // a loop to exit when none runs would make every later local wait return at once.
    if (QThread::currentThread()->loopLevel() > 0)
        QCoreApplication::exit(0);
}
