#include "ClassServerWindow.h"
#include "state/CaptionId.h"

#include "platform/SecretStore.h"
#include "state/AppState.h"
#include "widgets/Dialogs.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

ClassServerWindow::ClassServerWindow(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("frmClassServer"));
    setModal(true);
    const Captions& c = app().captions;
    setWindowTitle(c(Caption::ClassServer));
    const ClassServerSettings current = ClassServerSettings::load(app().edition.ProgramCode);

    auto* form = new QFormLayout;
    auto addEdit = [&](const QString& name, Caption label, const QString& text) {
        auto* e = new QLineEdit(text, this);
        e->setObjectName(name);
        e->setAccessibleName(c(label));
        form->addRow(c(label), e);
        return e;
    };
    m_host = addEdit(QStringLiteral("txtServerHost"), Caption::ServerHost, current.host);
    m_port = new QSpinBox(this);
    m_port->setObjectName(QStringLiteral("spnServerPort"));
    m_port->setRange(1, 65535);
    m_port->setValue(current.port);
    m_port->setAccessibleName(c(Caption::ServerPort));
    form->addRow(c(Caption::ServerPort), m_port);
    m_database = addEdit(QStringLiteral("txtServerDatabase"), Caption::ServerDatabase, current.database);
    m_class = addEdit(QStringLiteral("txtServerClass"), Caption::ServerClass, current.className);
    m_role = addEdit(QStringLiteral("txtServerRole"), Caption::ServerRole, current.role);
    // Never shown: an empty field keeps the password kept before.
    m_password = addEdit(QStringLiteral("txtServerPassword"), Caption::ServerPassword, QString());
    m_password->setEchoMode(QLineEdit::Password);
    m_requireTls = new QCheckBox(c(Caption::ServerRequireTls), this);
    m_requireTls->setObjectName(QStringLiteral("chkRequireTls"));
    m_requireTls->setChecked(current.requireTls);
    m_verify = new QCheckBox(c(Caption::ServerVerifyCertificate), this);
    m_verify->setObjectName(QStringLiteral("chkVerifyCertificate"));
    m_verify->setChecked(current.verifyCertificate);
    form->addRow(m_requireTls);
    form->addRow(m_verify);
    m_caFile = addEdit(QStringLiteral("txtCertificateFile"), Caption::ServerCertificateFile, current.caFile);
    // Checking the certificate means an encrypted connection.
    auto follow = [this] {
        if (m_verify->isChecked())
            m_requireTls->setChecked(true);
        m_requireTls->setEnabled(!m_verify->isChecked());
        m_caFile->setEnabled(m_verify->isChecked());
    };
    connect(m_verify, &QCheckBox::toggled, this, follow);
    follow();

    auto* buttons = new QDialogButtonBox(this);
    auto* save = buttons->addButton(c(Caption::Save), QDialogButtonBox::AcceptRole);
    save->setObjectName(QStringLiteral("btnSaveServer"));
    auto* cancel = buttons->addButton(c(Caption::Cancel), QDialogButtonBox::RejectRole);
    cancel->setObjectName(QStringLiteral("btnCancelServer"));
    connect(save, &QPushButton::clicked, this, &ClassServerWindow::onSaveClicked);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(buttons);
}

void ClassServerWindow::onSaveClicked()
{
    if (Dialogs::isBehindModal(this))
        return;
    const Captions& c = app().captions;
    ClassServerSettings s;
    s.host = m_host->text().trimmed();
    s.port = m_port->value();
    s.database = m_database->text().trimmed();
    s.className = m_class->text().trimmed();
    s.role = m_role->text().trimmed();
    s.requireTls = m_requireTls->isChecked();
    s.verifyCertificate = m_verify->isChecked();
    s.caFile = m_caFile->text().trimmed();
    const bool empty = s.host.isEmpty() && s.database.isEmpty() && s.className.isEmpty() && s.role.isEmpty();
    QPointer<ClassServerWindow> self(this);
    if (!empty && !s.isSet()) {
        Dialogs::inform(this, c(Caption::ServerSettingsIncomplete), QMessageBox::Warning);
        return;
    }
    const QString password = m_password->text();
    if (s.isSet() && !password.isEmpty()) {
        QString error;
        SecretStore::Where where = SecretStore::Where::File;
        if (!SecretStore::save(s.secretName(), password, &error, &where)) {
            Dialogs::inform(this, c(Caption::PasswordNotKept) + QLatin1Char('\n') + error,
                            QMessageBox::Warning);
            return;
        }
        if (!self)
            return;
        if (where == SecretStore::Where::File) {
            Dialogs::inform(this, c(Caption::PasswordInFile) + QLatin1Char('\n') + SecretStore::fileName());
            if (!self)
                return;
        }
    }
    s.save(app().edition.ProgramCode);
    emit saved(s, password);
    accept();
}
