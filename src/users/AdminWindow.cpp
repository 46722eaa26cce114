#include "AdminWindow.h"
#include "state/CaptionId.h"

#include "platform/Clock.h"
#include "platform/SecretStore.h"
#include "platform/Twips.h"
#include "state/AppState.h"
#include "state/Paths.h"
#include "study/ActivityNames.h"
#include "study/HandOverFiles.h"
#include "users/BackupRestore.h"
#include "users/ClassServer.h"
#include "users/ClassServerWindow.h"
#include "users/ProgressCharts.h"
#include "users/ResultsExport.h"
#include "users/ResultsSender.h"
#include "users/UsersBackup.h"
#include "users/UsersDatabase.h"
#include "widgets/Dialogs.h"
#include "widgets/FocusedSelection.h"
#include "widgets/MessageWindow.h"
#include "widgets/NamedComboBox.h"
#include "widgets/Pictures.h"
#include "widgets/ScreenFit.h"
#include "widgets/TiledBackground.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QStandardPaths>
#include <QTimer>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {

enum Role
{
    StudentIdRole = Qt::UserRole + 1,
    NoResultsRole, // the single node that says there is nothing to show
};

constexpr int IconPixels = 24;

// The caption of each view: its entry in the combo box and the header of the list's name column.
constexpr Caption ViewCaption[] = {Caption::Learners, Caption::Activities, Caption::Subjects};
constexpr Caption NameColumnCaption[] = {Caption::Subjects, Caption::Learners, Caption::Activities};
// What an empty results list asks for, per view: the second level of the tree.
constexpr Caption ChooseHintCaption[] = {Caption::ChooseActivityForResults, Caption::ChooseSubjectForResults,
                                         Caption::ChooseLearnerForResults};

// An empty results list says what to choose instead of staying blank.
void addChooseHint(QTreeWidget* list, int view)
{
    auto* hint = new QTreeWidgetItem(list, {app().captions(ChooseHintCaption[view])});
    hint->setFlags(Qt::ItemIsEnabled);
    hint->setFirstColumnSpanned(true);
}

QIcon activityIcon()
{
    // Its own picture when selected, as in the other trees of the program.
    QIcon icon;
    icon.addPixmap(Pictures::adminPicture(41).pixmap(IconPixels), QIcon::Normal);
    icon.addPixmap(Pictures::adminPicture(42).pixmap(IconPixels), QIcon::Selected);
    return icon;
}

QIcon subjectIcon()
{
    return Pictures::adminPicture(43);
}

void makeBold(QTreeWidgetItem* item)
{
    QFont f = item->font(0);
    f.setBold(true);
    item->setFont(0, f);
}

// The stored name a node stands for, when it shows another (an activity's translated name).
constexpr int StoredNameRole = Qt::UserRole + 40;

QTreeWidgetItem* addNode(QTreeWidget* tree, QTreeWidgetItem* parent, const QString& text, const QIcon& icon,
                         const QString& shown = QString())
{
    auto* item = parent ? new QTreeWidgetItem(parent) : new QTreeWidgetItem(tree);
    item->setText(0, shown.isEmpty() ? text : shown);
    item->setData(0, StoredNameRole, text);
    item->setIcon(0, icon);
    if (!parent)
        makeBold(item);
    return item;
}

// What the results are found by: the stored name, not the one shown.
QString storedName(const QTreeWidgetItem* node)
{
    const QVariant stored = node->data(0, StoredNameRole);
    return stored.isValid() ? stored.toString() : node->text(0);
}

} // namespace

AdminWindow::AdminWindow(QWidget* parent, ResultsSender* sender) : QDialog(parent), m_sender(sender)
{
    setObjectName(QStringLiteral("frmAdmin"));
    TiledBackground::install(this, QStringLiteral("admin"));
    const Captions& c = app().captions;
    setWindowTitle(c(Caption::Results));

    m_viewLabel = new QLabel(c(Caption::ViewBy), this);
    m_viewLabel->setObjectName(QStringLiteral("lblView"));
    TiledBackground::setTextColour(m_viewLabel, TiledBackground::ink());

    m_view = new NamedComboBox(this);
    m_view->setObjectName(QStringLiteral("cboView"));
    m_view->setAccessibleName(c(Caption::ViewBy));
    for (Caption caption : ViewCaption)
        m_view->addItem(c(caption));
    m_view->setCurrentIndex(-1); // no view until the administrator picks one
    m_viewLabel->setBuddy(m_view);
    connect(m_view, &QComboBox::activated, this, &AdminWindow::showView);

    m_tree = new QTreeWidget(this);
    FocusedSelection::install(m_tree);
    m_tree->setObjectName(QStringLiteral("tvwResults"));
    m_tree->setAccessibleName(c(Caption::Results));
    m_tree->setHeaderHidden(true);
    m_tree->setColumnCount(1);
    m_tree->setIconSize(QSize(IconPixels, IconPixels));
    m_tree->setExpandsOnDoubleClick(false); // a single click opens and closes
    m_tree->installEventFilter(this);
    connect(m_tree, &QTreeWidget::itemClicked, this,
            [this](QTreeWidgetItem* item) { onResultsNodeClicked(item); });
    // Moving with the keys shows what a click shows (a click has shown it already).
    connect(m_tree, &QTreeWidget::currentItemChanged, this, [this](QTreeWidgetItem* current) {
        if (current && current != m_shownNode)
            showResultsOf(current);
    });

    m_list = new QTreeWidget(this);
    FocusedSelection::install(m_list);
    m_list->setObjectName(QStringLiteral("lvwResults"));
    m_list->setAccessibleName(c(Caption::ListOfResults));
    m_list->setRootIsDecorated(false);
    m_list->setItemsExpandable(false);
    m_list->setColumnCount(4);
    m_list->setHeaderLabels(
        {c(NameColumnCaption[LearnerView]), c(Caption::Score), c(Caption::Date), c(Caption::Time)});
    // Names, dates and times are shown whole; the last column takes the space that is left.
    for (int column = 0; column < 3; ++column)
        m_list->header()->setSectionResizeMode(column, QHeaderView::ResizeToContents);
    m_list->header()->setStretchLastSection(true);

    m_clear = new QPushButton(c(Caption::ClearAllLearners), this);
    m_clear->setObjectName(QStringLiteral("btnClearDatabase"));
    m_clear->setAccessibleName(c(Caption::ClearAllLearners));
    m_clear->setAutoDefault(false);
    connect(m_clear, &QPushButton::clicked, this, &AdminWindow::onClearDatabaseClicked);

    // The chart of the selected learner, activity or subject.
    m_charts = new ProgressCharts(this);
    m_charts->setEntries({}, c(Caption::ChooseForChart));
    m_charts->setAccessibleTitle(c(Caption::Results));

    // Export: every result, or the selected learner's. A button menu: Space opens it.
    m_export = new QPushButton(c(Caption::ExportResults), this);
    m_export->setObjectName(QStringLiteral("btnExport"));
    m_export->setAccessibleName(c(Caption::ExportResults));
    m_export->setAutoDefault(false);
    auto* exportMenu = new QMenu(m_export);
    m_exportAll = exportMenu->addAction(c(Caption::AllResults), this, [this] { exportResults(QString()); });
    m_exportAll->setObjectName(QStringLiteral("mnuExportAll"));
    m_exportLearner =
        exportMenu->addAction(c(Caption::ResultsOf), this, [this] { exportResults(selectedLearner()); });
    m_exportLearner->setObjectName(QStringLiteral("mnuExportLearner"));
    m_export->setMenu(exportMenu);
    connect(exportMenu, &QMenu::aboutToShow, this, [this] {
        const QString learner = selectedLearner();
        m_exportLearner->setText(app().captions(Caption::ResultsOf) + QLatin1Char(' ') + learner);
        m_exportLearner->setEnabled(!learner.isEmpty());
    });

    m_restore = new QPushButton(c(Caption::RestoreBackup) + QStringLiteral("..."), this);
    m_restore->setObjectName(QStringLiteral("btnRestore"));
    m_restore->setAccessibleName(c(Caption::RestoreBackup));
    m_restore->setAutoDefault(false);
    m_restoreMenu = new QMenu(m_restore);
    m_restoreMenu->setObjectName(QStringLiteral("mnuRestore"));
    m_restore->setMenu(m_restoreMenu);
    connect(m_restoreMenu, &QMenu::aboutToShow, this, &AdminWindow::fillRestoreMenu);

    // This machine's results or the whole class's, from the class server.
    auto* sourceLabel = new QLabel(c(Caption::ResultsOfPlace), this);
    TiledBackground::setTextColour(sourceLabel, TiledBackground::ink());
    m_source = new NamedComboBox(this);
    m_source->setObjectName(QStringLiteral("cboResultsOf"));
    m_source->setAccessibleName(c(Caption::ResultsOfPlace));
    m_source->addItem(c(Caption::ThisMachine));
    m_source->addItem(c(Caption::WholeClass));
    sourceLabel->setBuddy(m_source);
    connect(m_source, &QComboBox::activated, this, &AdminWindow::onSourceChosen);

    m_serverState = new QLabel(this);
    m_serverState->setObjectName(QStringLiteral("lblServerState"));
    m_serverState->setTextFormat(Qt::PlainText);
    m_serverState->setWordWrap(true);
    m_serverState->setFocusPolicy(Qt::TabFocus); // read by a screen reader with the keys
    TiledBackground::setTextColour(m_serverState, TiledBackground::ink());
    m_server = new QPushButton(c(Caption::ClassServerSettings), this);
    m_server->setObjectName(QStringLiteral("btnClassServer"));
    m_server->setAccessibleName(c(Caption::ClassServer));
    m_server->setAutoDefault(false);
    connect(m_server, &QPushButton::clicked, this, &AdminWindow::onClassServerClicked);
    if (m_sender)
        connect(m_sender, &ResultsSender::stateChanged, this, &AdminWindow::showServerState);

    auto* viewRow = new QHBoxLayout;
    viewRow->addWidget(m_viewLabel);
    viewRow->addWidget(m_view, 1);
    viewRow->addStretch(1);
    viewRow->addWidget(sourceLabel);
    viewRow->addWidget(m_source, 1);
    auto* serverRow = new QHBoxLayout;
    serverRow->addWidget(m_serverState, 1);
    serverRow->addWidget(m_server);
    auto* lists = new QHBoxLayout;
    lists->addWidget(m_tree, 2);
    lists->addWidget(m_list, 3);
    auto* buttonRow = new QHBoxLayout;
    buttonRow->addWidget(m_export);
    buttonRow->addWidget(m_restore);
    buttonRow->addStretch(1);
    buttonRow->addWidget(m_clear);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(viewRow);
    layout->addLayout(lists, 1);
    layout->addWidget(m_charts, 1);
    layout->addLayout(buttonRow);
    layout->addLayout(serverRow);

    setTabOrder(m_view, m_source);
    setTabOrder(m_source, m_tree);
    setTabOrder(m_tree, m_list);
    setTabOrder(m_list, m_charts->focusTarget());
    setTabOrder(m_charts->focusTarget(), m_export);
    setTabOrder(m_export, m_restore);
    setTabOrder(m_restore, m_clear);
    setTabOrder(m_clear, m_serverState);
    setTabOrder(m_serverState, m_server);
    ScreenFit::resize(this, Twips::size(10500, 8400));
    showServerState();
    // Opens on its first view rather than on a blank one.
    m_view->setCurrentIndex(LearnerView);
    showView(LearnerView);
}

void AdminWindow::showView(int view)
{
    if (Dialogs::isBehindModal(this)) // the tree must not change under an open message
        return;
    m_shownNode = nullptr;
    m_tree->clear();
    m_list->clear();
    m_charts->setEntries({}, app().captions(Caption::ChooseForChart));
    m_shownView = NoView;
    if (view < LearnerView || view > SubjectView)
        return;
    m_shownView = View(view);
    const Captions& c = app().captions;
    m_list->headerItem()->setText(0, c(NameColumnCaption[view]));
    m_tree->setAccessibleName(c(ViewCaption[view]));

    QString error;
    if (!buildTree(m_shownView, &error)) {
        // A tree half built from a damaged file would mislead: show nothing.
        m_tree->clear();
        Dialogs::reportError(QStringLiteral("cboView_Click"), error, this);
    } else if (m_tree->topLevelItemCount() > 0 && !m_tree->topLevelItem(0)->data(0, NoResultsRole).toBool()) {
        addChooseHint(m_list, view);
    }
}

AdminWindow::~AdminWindow()
{
    m_stopReading = true;
    if (m_classReader.joinable())
        m_classReader.join();
    // Also a copy whose reading ended while the window was going.
    if (!m_classCopyPath.isEmpty())
        UsersDatabase(m_classCopyPath, QString()).remove(nullptr);
}

QString AdminWindow::resultsPath() const
{
    return m_classCopy.isEmpty() ? app().usersDatabasePath() : m_classCopy;
}

void AdminWindow::onSourceChosen(int source)
{
    if (Dialogs::isBehindModal(this) || m_classReader.joinable())
        return;
    if (source == 0) {
        if (!m_classCopy.isEmpty()) {
            UsersDatabase(m_classCopy, QString()).remove(nullptr);
            m_classCopy.clear();
            showView(m_shownView);
        }
        return;
    }
    const ClassServerSettings settings = ClassServerSettings::load(app().edition.ProgramCode);
    if (!settings.isSet()) {
        m_source->setCurrentIndex(0);
        Dialogs::inform(this, app().captions(Caption::NoClassServer));
        return;
    }
    m_source->setEnabled(false);
    m_serverState->setText(app().captions(Caption::ReadingClassResults));
    // Beside the users database: the learner's own folder, never a shared one.
    const QString copy =
        app().dataFolder + QStringLiteral("ClassResults-%1.dat").arg(QCoreApplication::applicationPid());
    m_classCopyPath = copy;
    const QString templatePath = UsersDatabase::forApp().templatePath();
    m_stopReading = false;
    m_classReader = std::thread([this, settings, copy, templatePath] {
        QString error;
        PgConnection connection;
        const QString password = SecretStore::load(settings.secretName()).value_or(QString());
        const bool ok = connection.connect(settings.target(password), &error, &m_stopReading) &&
                        ClassSync::mirrorClass(copy, templatePath, connection, settings.className, &error,
                                               &m_stopReading);
        QMetaObject::invokeMethod(
            this,
            [this, ok, error, copy] {
                m_classReader.join();
                if (ok)
                    m_classCopy = copy;
                else
                    UsersDatabase(copy, QString()).remove(nullptr);
                finishClassReading(ok, error);
            },
            Qt::QueuedConnection);
    });
}

void AdminWindow::finishClassReading(bool ok, const QString& error)
{
    m_source->setEnabled(true);
    m_source->setCurrentIndex(ok ? 1 : 0);
    showServerState();
    if (!ok) {
        Dialogs::inform(this,
                        app().captions(Caption::ClassResultsUnreadable) + QStringLiteral("\n\n") + error,
                        QMessageBox::Warning);
        return;
    }
    showView(m_shownView);
}

void AdminWindow::showServerState()
{
    const Captions& c = app().captions;
    ResultsSender::State state;
    if (m_sender) {
        state = m_sender->state();
    } else {
        state.configured = ClassServerSettings::load(app().edition.ProgramCode).isSet();
        if (state.configured)
            state.unsent = ClassSync::unsentScores(app().usersDatabasePath(), nullptr).value_or(-1);
    }
    QString text;
    if (!state.configured) {
        text = c(Caption::NoClassServer);
    } else {
        if (state.busy)
            text = c(Caption::SendingResults);
        else if (!state.error.isEmpty())
            text =
                c(Caption::ResultsNotSent)
                    .arg(state.unsent < 0 ? QStringLiteral("?") : QString::number(state.unsent), state.error);
        else if (state.unsent == 0)
            text = c(Caption::AllResultsSent);
        text += QLatin1Char(' ') +
                (state.lastSuccess.isValid()
                     ? c(Caption::LastSent).arg(QLocale().toString(state.lastSuccess, QLocale::ShortFormat))
                     : c(Caption::NeverSent));
    }
    m_serverState->setText(text.trimmed());
    m_serverState->setAccessibleName(text.trimmed());
}

void AdminWindow::onClassServerClicked()
{
    if (Dialogs::isBehindModal(this))
        return;
    auto* window = new ClassServerWindow(this);
    connect(window, &ClassServerWindow::saved, this,
            [this](const ClassServerSettings& settings, const QString& password) {
                if (m_sender)
                    m_sender->configure(settings, password);
            });
    if (!Dialogs::runModal(window))
        return;
    showServerState();
}

bool AdminWindow::buildTree(View view, QString* error)
{
    const UsersDatabase users(resultsPath(), UsersDatabase::forApp().templatePath());
    QList<Learner> learners;
    QStringList topNames;
    if (view == LearnerView || view == SubjectView) {
        auto read = users.readLearners(error);
        if (!read)
            return false;
        learners = *read;
    }
    if (view == ActivityView) {
        auto read = users.activityNames(error);
        if (!read)
            return false;
        topNames = *read;
    } else if (view == SubjectView) {
        auto read = users.subjectNames(error);
        if (!read)
            return false;
        topNames = *read;
    }

    // Top level.
    if (view == LearnerView) {
        for (const Learner& l : learners) {
            QTreeWidgetItem* item = addNode(m_tree, nullptr, l.displayName(), Pictures::learner(l.nIcon));
            item->setData(0, StudentIdRole, l.pkStudentID);
            if (m_tree->topLevelItemCount() == 1)
                item->setForeground(0, QColor(Qt::blue)); // the administrator
        }
    } else {
        const QIcon icon = view == ActivityView ? activityIcon() : subjectIcon();
        for (const QString& name : topNames)
            addNode(m_tree, nullptr, name, icon,
                    view == ActivityView ? ActivityNames::displayName(name) : QString());
    }

    // Second level: every top node gets the whole list, results or not.
    QStringList childNames;
    QIcon childIcon;
    if (view == LearnerView) {
        auto read = users.activityNames(error);
        if (!read)
            return false;
        childNames = *read;
        childIcon = activityIcon();
    } else if (view == ActivityView) {
        auto read = users.subjectNames(error);
        if (!read)
            return false;
        childNames = *read;
        childIcon = subjectIcon();
    }
    const bool nothingRecorded = view == LearnerView ? childNames.isEmpty() : topNames.isEmpty();
    if (nothingRecorded) {
        QTreeWidgetItem* none = addNode(m_tree, nullptr, app().captions(Caption::NoResultsYet), QIcon());
        none->setData(0, NoResultsRole, true);
        return true;
    }
    for (int j = 0; j < m_tree->topLevelItemCount(); ++j) {
        QTreeWidgetItem* top = m_tree->topLevelItem(j);
        if (view == SubjectView) {
            for (const Learner& l : learners)
                addNode(m_tree, top, l.displayName(), Pictures::learner(l.nIcon));
        } else {
            for (const QString& name : childNames)
                addNode(m_tree, top, name, childIcon,
                        view == LearnerView ? ActivityNames::displayName(name) : QString());
        }
    }
    return true;
}

void AdminWindow::onResultsNodeClicked(QTreeWidgetItem* node)
{
    if (Dialogs::isBehindModal(this) || !node || node->data(0, NoResultsRole).toBool())
        return;
    if (node != m_shownNode)
        showResultsOf(node);
    if (!node->parent())
        node->setExpanded(!node->isExpanded());
}

void AdminWindow::showResultsOf(QTreeWidgetItem* node)
{
    if (Dialogs::isBehindModal(this) || !node || node->data(0, NoResultsRole).toBool())
        return;
    m_shownNode = node;
    showChart(node);
    m_list->clear();
    if (!node->parent()) {
        addChooseHint(m_list, m_shownView);
        return;
    }
    const QString parentName = storedName(node->parent());
    const QString childName = storedName(node);
    const UsersDatabase users(resultsPath(), UsersDatabase::forApp().templatePath());
    QString error;
    std::optional<QList<ResultRow>> rows;
    switch (m_shownView) {
    case LearnerView:
        rows = users.resultsOfLearnerInActivity(parentName, childName, &error);
        break;
    case ActivityView:
        rows = users.resultsOfActivityInSubject(parentName, childName, &error);
        break;
    case SubjectView:
        rows = users.resultsOfSubjectForLearner(parentName, childName, &error);
        break;
    case NoView:
        return;
    }
    if (!rows) {
        MessageWindow::showModal(error, 0, this);
        return;
    }
    for (const ResultRow& r : *rows)
        new QTreeWidgetItem(m_list, {m_shownView == SubjectView ? ActivityNames::displayName(r.name) : r.name,
                                     r.score, r.nDate, r.nTime});
}

void AdminWindow::onClearDatabaseClicked()
{
    if (Dialogs::isBehindModal(this)) // a message of this window is still open
        return;
    const Captions& c = app().captions;
    const QString& title = app().edition.EditionTitle;
    // Nothing can bring the learners back: Enter alone must never erase them.
    if (!Dialogs::askYesNo(this,
                           c(Caption::ClearDeletesEverything) + QLatin1Char(' ') + title +
                               QStringLiteral(".\n\n") + c(Caption::ClearKeepsOwnSubjects),
                           c(Caption::ClearAllLearners), QMessageBox::NoIcon, QMessageBox::No))
        return;
    if (!Dialogs::askYesNo(this,
                           title + QLatin1Char(' ') + c(Caption::ClearThenCloses) + QStringLiteral("\n\n") +
                               c(Caption::ClearCannotBeUndone),
                           c(Caption::ClearAllLearners), QMessageBox::NoIcon, QMessageBox::No))
        return;
    QString error;
    // Nothing is deleted without a copy to bring it back from; the file stays, emptied, so
    // that a result an activity saves meanwhile is in it or in the copy.
    if (!UsersBackup::forApp().clear(Clock::now(), &error)) {
        Dialogs::inform(this, c(Caption::NoBackupNothingDeleted) + QStringLiteral("\n\n") + error,
                        QMessageBox::Warning);
        return;
    }
    CleanTempFiles(app());
    QPointer<AdminWindow> self(this);
    MessageWindow::showModal(c(Caption::ClearDone), 0, this);
    if (!self)
        return;
    close();
    emit quitRequested();
}

void AdminWindow::showChart(QTreeWidgetItem* node)
{
    const QString top = storedName(node->parent() ? node->parent() : node);
    const QString second = node->parent() ? storedName(node) : QString();
    ResultsFilter filter;
    switch (m_shownView) {
    case LearnerView:
        filter = {top, second, QString()};
        break;
    case ActivityView:
        filter = {QString(), top, second};
        break;
    case SubjectView:
        filter = {second, QString(), top};
        break;
    case NoView:
        return;
    }
    // A failure shows as an empty chart; the result list reports the error.
    QString error;
    const auto entries = ResultsHistory::load(resultsPath(), filter, &error);
    m_charts->setEntries(entries.value_or(QList<HistoryEntry>()), app().captions(Caption::NoResultsYet));
}

QString AdminWindow::selectedLearner() const
{
    const QTreeWidgetItem* node = m_tree->currentItem();
    if (!node || node->data(0, NoResultsRole).toBool())
        return QString();
    if (m_shownView == LearnerView)
        return (node->parent() ? node->parent() : node)->text(0);
    if (m_shownView == SubjectView && node->parent())
        return node->text(0);
    return QString();
}

void AdminWindow::exportResults(const QString& learner)
{
    const Captions& c = app().captions;
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    QString file = Dialogs::saveFileName(
        this, learner.isEmpty() ? c(Caption::AllResults) : c(Caption::ResultsOf) + QLatin1Char(' ') + learner,
        folder + QLatin1Char('/') + c(Caption::ResultsFileName), c(Caption::CsvFiles));
    if (file.isEmpty())
        return;
    if (QFileInfo(file).suffix().isEmpty())
        file += QStringLiteral(".csv");
    QString error;
    qsizetype count = 0;
    if (!ResultsExport::exportResults(resultsPath(), learner, file, &error, &count)) {
        Dialogs::inform(this, c(Caption::ResultsNotSaved) + QStringLiteral("\n\n") + error,
                        QMessageBox::Warning);
        return;
    }
    Dialogs::inform(this, QString::number(count) + QLatin1Char(' ') + c(Caption::ResultsSavedIn) +
                              QLatin1Char('\n') + file);
}

void AdminWindow::fillRestoreMenu()
{
    m_restoreMenu->clear();
    const UsersBackup backup = UsersBackup::forApp();
    const QList<BackupCopy> copies = backup.copies();
    if (copies.isEmpty())
        m_restoreMenu->addAction(app().captions(Caption::NoBackupYet))->setEnabled(false);
    for (const BackupCopy& copy : copies) {
        m_restoreMenu->addAction(BackupRestore::describe(copy), this, [this, backup, copy] {
            if (!BackupRestore::askAndRestore(this, backup, copy))
                return;
            Dialogs::inform(this, app().captions(Caption::RestoredLogInAgain));
            // Other learners now: everyone logs in again. The main window takes over once
            // this window has closed.
            accept();
            emit reloginRequested();
        });
    }
}

bool AdminWindow::eventFilter(QObject* watched, QEvent* event)
{
    // Enter and Space act on the current node as a click does.
    if (watched == m_tree && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Space) {
            onResultsNodeClicked(m_tree->currentItem());
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}
