#include "MainWindow.h"

#include "app/AppState.h"
#include "study/ActivityPanel.h"
#include "subjects/SubjectTree.h"

#include <QHBoxLayout>

MainWindow::MainWindow(QWidget* parent) : QMainWindow(parent)
{
    setObjectName(QStringLiteral("frmMain"));
    auto* central = new QWidget(this);
    auto* layout = new QHBoxLayout(central);
    m_tree = new SubjectTree(central);
    m_activities = new ActivityPanel(m_tree, central);
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
