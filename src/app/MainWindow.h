#pragma once

#include <QMainWindow>

class ActivityPanel;
class QLabel;
class QPushButton;
class SubjectSelection;
class SubjectTree;

// The main window (frmMain): the subject tree on the left, the activity panel on the
// right, the message panel and the sliding side menu. It stays thin: the subsystems'
// widgets and core classes do the work.
class MainWindow : public QMainWindow
{
    Q_OBJECT
public:
    explicit MainWindow(QWidget* parent = nullptr);

    SubjectTree* TreeFolders() const { return m_tree; }
    ActivityPanel* activityPanel() const { return m_activities; }

    // Called by the login window after a successful login.
    void applyLogin(const QString& user, bool administrator);
    // Deletes the activity files and ends the program (every way out goes through here).
    void endProgram();
    bool hasEnded() const { return m_ended; }

private:
    SubjectTree* m_tree = nullptr;
    ActivityPanel* m_activities = nullptr;
    SubjectSelection* m_selection = nullptr;
    bool m_ended = false;
};
