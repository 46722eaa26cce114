#include "LoginWindow.h"

LoginWindow::LoginWindow(MainWindow* mainWindow, QWidget* parent) : QDialog(parent), m_main(mainWindow)
{
    setObjectName(QStringLiteral("frmLogin"));
}
