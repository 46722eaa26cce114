#include "MainWindow.h"

#include "app/AppState.h"
#include "app/Paths.h"
#include "study/ActivityPanel.h"
#include "study/SubjectSelection.h"
#include "subjects/SubjectTree.h"

#include <QApplication>
#include <QHBoxLayout>

MainWindow::MainWindow(QWidget* parent) : QMainWindow(parent)
{
    setObjectName(QStringLiteral("frmMain"));
    auto* central = new QWidget(this);
    auto* layout = new QHBoxLayout(central);
    m_tree = new SubjectTree(central);
    m_activities = new ActivityPanel(m_tree, central);
    m_selection = new SubjectSelection(m_tree, this);
    layout->addWidget(m_tree);
    layout->addWidget(m_activities);
    setCentralWidget(central);
    setWindowTitle(app().edition.EditionTitle);
}

void MainWindow::applyLogin(const QString& user, bool administrator)
{
    Q_UNUSED(administrator);
    app().CurrentUser = user;
    setWindowTitle(app().edition.EditionTitle + QStringLiteral("  [") + user + QLatin1Char(']'));
    show();
}

void MainWindow::endProgram()
{
    if (m_ended)
        return;
    m_ended = true;
    CleanTempFiles(app());
    QApplication::closeAllWindows();
    QCoreApplication::exit(0);
}
