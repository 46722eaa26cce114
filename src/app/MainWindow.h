#pragma once

#include "content/MessageRotation.h"
#include "content/TemplateContent.h"

#include <QDate>
#include <QList>
#include <QMainWindow>
#include <QPointer>
#include <QStringList>

#include <functional>

class ActivityPanel;
class LinkLabel;
class MessagePanel;
class QAction;
class QLabel;
class QMenu;
class QPushButton;
class QTimer;
class SubjectSelection;
class SubjectTree;

// The main window (frmMain): the subject tree on the left, the activity panel on the
// right, the message panel at the top and the sliding side menu at the left edge. It
// stays thin: the subsystems' widgets and core classes do the work. What it cannot do
// itself (another learner, the administration, the editor) it asks for with a signal;
// the window flow (WindowFlow) answers.
class MainWindow : public QMainWindow
{
    Q_OBJECT
public:
    explicit MainWindow(QWidget* parent = nullptr);
    ~MainWindow() override;

    SubjectTree* subjectTree() const { return m_tree; }
    ActivityPanel* activityPanel() const { return m_activities; }

    // Start-up steps, called in order by the start-up sequence.
    void setActivityFiles(const QStringList& programs);
    void loadSettings();
    void loadMenuLinks();
    void loadSystemMessages();
    void loadTips();

    // A learner logged in: the window shows itself for them.
    void applyLogin(const QString& user, bool administrator);
    // The learner's review is read again from every row (rows from other machines came in).
    void readReviewAgain();
    // Deletes the activity files and ends the program (every way out goes through here).
    void endProgram();
    bool hasEnded() const { return m_ended; }

    // The activity programs (bare names, name order). The subject lists are the tree's own
    // (SubjectTree::installedFiles), listed once when it is filled.
    const QStringList& activityFiles() const { return m_fileAct; }

    const QList<TemplateContent::LinkedText>& systemMessages() const { return m_messages; }
    int tipCount() const { return m_tipCount; }
    MessageRotation& rotation() { return m_rotation; }

    // Opens the import window on a vocabulary file ("": the learner chooses one) and shows
    // the subjects it made selected in the tree.
    void importVocabulary(const QString& path);
    int menuEntryCount() const { return int(m_menuLabels.size()); }
    bool isAdministrator() const { return m_administrator; }

    // The side menu's left edge in twips: hidden at 100 - width.
    int menuLeftTwips() const;
    int messagePanelTopTwips() const { return m_msgTop; }
    static constexpr int MenuWidthTwips = 3885;

signals:
    // "Change user": another learner logs in.
    void changeUserRequested();
    // The administrator's button: the administration window.
    void administrationRequested();
    // "Create my own subjects": the virtual subject editor.
    void editorRequested();
    // An activity started from this window has ended (its results are written by then).
    void activityEnded();

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    // The link to more activities lives under the activity buttons.
    QPushButton* lblMoreActs() const;
    void buildMenuPanel(QWidget* central);
    void addMenuEntry(const TemplateContent::LinkedText& entry);
    void setMenuLeftTwips(int left);
    void onChangeUserClicked();
    void placeMessagePanel();
    void startSlide();
    // Minimized, the message panel's timers wait; shown again, those that ran go on.
    void pauseRotation(bool paused);
    void setTabOrderForSteps();
    void onSlideStep();
    void onRestOver();
    void onActivityEnded();

    SubjectTree* m_tree = nullptr;
    ActivityPanel* m_activities = nullptr;
    SubjectSelection* m_selection = nullptr;

    QLabel* m_logo = nullptr;
    QLabel* m_selectSubject = nullptr;
    QLabel* m_selectActivity = nullptr;
    QWidget* m_msgArea = nullptr;
    MessagePanel* m_picMsg = nullptr;
    LinkLabel* m_lblMsg = nullptr;
    bool m_goingUp = true;    // the panel's tag: "GOUP" / "GODOWN"
    int m_msgTop = 240;       // twips, as the animation counts: 20 at the top, 950 at rest
    int m_msgPanelHeight = 0; // pixels
    QPushButton* m_btnChangeUser = nullptr;
    QPushButton* m_btnCreateVirtualSubjects = nullptr;
    QPushButton* m_btnOpenSubjectsFolder = nullptr;
    QPushButton* m_btnAdmin = nullptr;
    QPushButton* m_btnProgress = nullptr;
    QPushButton* m_btnHelp = nullptr;
    QAction* m_mnuProgress = nullptr;
    QPushButton* m_btnImport = nullptr;
    QAction* m_mnuImport = nullptr;
    QMenu* m_mnuOption = nullptr;
    QAction* m_mnuEdit = nullptr;
    QAction* m_mnuListen = nullptr;
    QLabel* m_lblStatus = nullptr;
    QDate m_goalMetToldOn; // the day the status line said the goal was met

    QWidget* m_picMenu = nullptr;
    QLabel* m_lblCaption = nullptr;
    LinkLabel* m_lblURL = nullptr;
    QList<LinkLabel*> m_menuLabels;
    QList<QLabel*> m_menuBullets;
    int m_menuLeft = 0; // twips
    QTimer* m_timShowMenu = nullptr;
    QTimer* m_timHideMenu = nullptr;
    QTimer* m_slideTimer = nullptr;
    QTimer* m_restTimer = nullptr;

    QStringList m_fileAct;
    QList<TemplateContent::LinkedText> m_messages;
    QStringList m_tips;
    int m_tipCount = 0;
    MessageRotation m_rotation;
    bool m_administrator = false;
    bool m_ended = false;
    bool m_rotationPaused = false;
    bool m_slideWasActive = false;
    bool m_restWasActive = false;
};
