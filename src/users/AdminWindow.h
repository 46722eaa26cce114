#pragma once

#include <QDialog>
#include <QPointer>

#include <atomic>
#include <thread>

class ProgressCharts;
class ResultsSender;
class QAction;
class QComboBox;
class QMenu;
class QLabel;
class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;

// The administration window (frmAdmin): the administrator browses the recorded results as a
// two-level tree (learner/activity, activity/subject or subject/learner); a second-level node
// lists its results. The window can also delete the users database, which ends the program
// (quitRequested), and restore a backup copy, after which everyone logs in again
// (reloginRequested).
class AdminWindow : public QDialog
{
    Q_OBJECT
public:
    enum View
    {
        NoView = -1,
        LearnerView = 0,  // learners, then activities; results by subject
        ActivityView = 1, // activities, then subjects; results by learner
        SubjectView = 2,  // subjects, then learners; results by activity
    };

    // sender (when given) is the program's sender of results to the class server: its state
    // is shown, and new server settings go to it.
    explicit AdminWindow(QWidget* parent = nullptr, ResultsSender* sender = nullptr);
    ~AdminWindow() override;

    // The view that built the tree (the tree's tag).
    View shownView() const { return m_shownView; }

    // Rebuilds the tree for a view and empties the result list.
    void showView(int view);
    // A top-level node opens or closes; a second-level node lists its results.
    void onResultsNodeClicked(QTreeWidgetItem* node);
    // The chart and, for a node below the top, the list of its results.
    void showResultsOf(QTreeWidgetItem* node);
    // Asks twice, keeps a backup, then deletes the users database and ends the program.
    void onClearDatabaseClicked();
    // Writes every result, or those of one learner, to a CSV file chosen in the save dialog.
    void exportResults(const QString& learner);
    // The learner of the selected node, if the node is or belongs to one.
    QString selectedLearner() const;

signals:
    // The users database was deleted: the program ends.
    void quitRequested();
    // A backup copy replaced the learners and results: the login window comes back once
    // this window has closed.
    void reloginRequested();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool buildTree(View view, QString* error);
    void showChart(QTreeWidgetItem* node);
    void fillRestoreMenu();
    // The results shown: this machine's (0) or the whole class's (1), read from the server on
    // a thread into a copy beside the users database.
    void onSourceChosen(int source);
    void finishClassReading(bool ok, const QString& error);
    void showServerState();
    void onClassServerClicked();
    // The users database the views read: this machine's or the class's copy.
    QString resultsPath() const;

    QLabel* m_viewLabel = nullptr;
    QComboBox* m_view = nullptr;
    QTreeWidget* m_tree = nullptr;
    QTreeWidgetItem* m_shownNode = nullptr; // whose results the list and chart show
    QTreeWidget* m_list = nullptr;
    QPushButton* m_clear = nullptr;
    ProgressCharts* m_charts = nullptr;
    QPushButton* m_export = nullptr;
    QAction* m_exportAll = nullptr;
    QAction* m_exportLearner = nullptr;
    QPushButton* m_restore = nullptr;
    QMenu* m_restoreMenu = nullptr;
    View m_shownView = NoView;
    QComboBox* m_source = nullptr;
    QLabel* m_serverState = nullptr;
    QPushButton* m_server = nullptr;
    QPointer<ResultsSender> m_sender;
    QString m_classCopy;     // "" while this machine's results are shown
    QString m_classCopyPath; // where a reading of the class writes its copy
    std::thread m_classReader;
    std::atomic_bool m_stopReading{false};
};
