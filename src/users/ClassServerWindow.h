#pragma once

#include "users/ClassServer.h"

#include <QDialog>

class QCheckBox;
class QLineEdit;
class QSpinBox;

// The class server's settings, as the administrator sets them: server, port, database, class,
// the role and its password, and whether the connection must be encrypted and the server's
// certificate checked. Saving keeps the settings in the edition's settings and the password
// in the desktop's secret store (else a private file), then announces them (saved).
class ClassServerWindow : public QDialog
{
    Q_OBJECT
public:
    explicit ClassServerWindow(QWidget* parent = nullptr);

signals:
    // The settings were kept; password is the one typed ("" when it was left unchanged).
    void saved(const ClassServerSettings& settings, const QString& password);

private:
    void onSaveClicked();

    QLineEdit* m_host = nullptr;
    QSpinBox* m_port = nullptr;
    QLineEdit* m_database = nullptr;
    QLineEdit* m_class = nullptr;
    QLineEdit* m_role = nullptr;
    QLineEdit* m_password = nullptr;
    QCheckBox* m_requireTls = nullptr;
    QCheckBox* m_verify = nullptr;
    QLineEdit* m_caFile = nullptr;
};
