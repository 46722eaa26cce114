#pragma once

#include <QDialog>

class MainWindow;

// The login window (frmLogin): the learners with their pictures; a successful login hands
// over to the main window. Closing it without a login ends the program.
class LoginWindow : public QDialog
{
    Q_OBJECT
public:
    explicit LoginWindow(MainWindow* mainWindow, QWidget* parent = nullptr);
    bool LoginSucceeded = false;

private:
    MainWindow* m_main;
};
