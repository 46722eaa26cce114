#include "PhraseEditWindow.h"

#include "app/AppState.h"
#include "app/Dialogs.h"
#include "app/TiledBackground.h"
#include "platform/Files.h"
#include "subjects/SubjectCheck.h"
#include "subjects/InstalledSubjects.h"
#include "subjects/SubjectFile.h"
#include "subjects/SubjectTree.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeWidgetItemIterator>

PhraseEditWindow::PhraseEditWindow(SubjectTree* tree, QTreeWidgetItem* node, QWidget* parent)
    : QDialog(parent), m_tree(tree), m_node(node), m_tag(SubjectTree::tag(node))
{
    setObjectName(QStringLiteral("frmEdit"));
    setModal(true);
    const auto& caption = app().captions;
    setWindowTitle(caption(111));
    TiledBackground::install(this, QStringLiteral("message"));

    auto makeLabel = [this](const QString& name, const QString& text) {
        auto* l = new QLabel(text, this);
        l->setObjectName(name);
        l->setTextFormat(Qt::PlainText);
        return l;
    };
    auto makeEdit = [this](const QString& name, const QString& text, const QString& accessibleName) {
        auto* e = new QLineEdit(text, this);
        e->setObjectName(name);
        e->setAccessibleName(accessibleName);
        return e;
    };

    const QString secondTranslation = caption(110) + QStringLiteral(" 2");
    auto* lblPhrase = makeLabel(QStringLiteral("lblPhrase"), caption(109));
    auto* lblTranslation = makeLabel(QStringLiteral("lblTranslation"), caption(110));
    auto* lblTranslation2 = makeLabel(QStringLiteral("lblTranslation2"), secondTranslation);
    m_phrase = makeEdit(QStringLiteral("txtPhrase"), SubjectTree::Tag_Item(2, node), caption(109));
    m_translation = makeEdit(QStringLiteral("txtTranslation"), SubjectTree::Tag_Item(3, node), caption(110));
    m_translation2 =
        makeEdit(QStringLiteral("txtTranslation2"), SubjectTree::Tag_Item(4, node), secondTranslation);
    lblPhrase->setBuddy(m_phrase);
    lblTranslation->setBuddy(m_translation);
    lblTranslation2->setBuddy(m_translation2);

    m_warning = makeLabel(QStringLiteral("lblWarning"), caption(108));
    m_warning->setWordWrap(true);

    m_ok = new QPushButton(caption(8), this);
    m_ok->setObjectName(QStringLiteral("btnOK"));
    m_ok->setAccessibleName(caption(8));
    m_ok->setDefault(true);
    m_cancel = new QPushButton(caption(9), this);
    m_cancel->setObjectName(QStringLiteral("btnCancel"));
    m_cancel->setAccessibleName(caption(9));
    connect(m_ok, &QPushButton::clicked, this, &PhraseEditWindow::btnOK_Click);
    connect(m_cancel, &QPushButton::clicked, this, &QDialog::reject);

    auto* grid = new QGridLayout(this);
    grid->addWidget(lblPhrase, 0, 0);
    grid->addWidget(m_phrase, 0, 1);
    grid->addWidget(lblTranslation, 1, 0);
    grid->addWidget(m_translation, 1, 1);
    grid->addWidget(lblTranslation2, 2, 0);
    grid->addWidget(m_translation2, 2, 1);
    grid->addWidget(m_warning, 3, 0, 1, 2);
    auto* buttons = new QHBoxLayout();
    buttons->addStretch(1);
    buttons->addWidget(m_ok);
    buttons->addWidget(m_cancel);
    grid->addLayout(buttons, 4, 0, 1, 2);
    grid->setColumnStretch(1, 1);
    setMinimumWidth(480);

    setTabOrder(m_phrase, m_translation);
    setTabOrder(m_translation, m_translation2);
    setTabOrder(m_translation2, m_ok);
    setTabOrder(m_ok, m_cancel);
    m_phrase->setFocus();
}

bool PhraseEditWindow::save(QString* error)
{
    const QString file = m_tag.value(0);
    bool ok = false;
    const qint64 number = m_tag.value(1).toLongLong(&ok);
    const QString path = installedSubjectPath(file);
    if (path.isEmpty() || !ok) {
        if (error)
            *error = QStringLiteral("the node does not name a phrase of an installed subject");
        return false;
    }
    bool found = false;
    const std::optional<Phrase> current = InstalledSubject::phrase(path, number, false, &found, error);
    if (!current)
        return false;
    if (!found) {
        if (error)
            *error = QStringLiteral("phrase %1 is not in %2").arg(number).arg(file);
        return false;
    }
    // An emptied box leaves its column as stored.
    auto pick = [](const QLineEdit* box, const QString& stored) {
        const QString typed = box->text().trimmed();
        return typed.isEmpty() ? stored : typed;
    };
    return InstalledSubject::updateTexts(path, number, pick(m_phrase, current->tPhrase),
                                         pick(m_translation, current->tTranslation),
                                         pick(m_translation2, current->tTranslation2), error);
}

bool PhraseEditWindow::nodeStillShown() const
{
    // The node is only touched while the tree still holds it (a rebuilt tree has new nodes).
    if (!m_tree || !m_node)
        return false;
    for (QTreeWidgetItemIterator it(m_tree); *it; ++it)
        if (*it == m_node)
            return true;
    return false;
}

void PhraseEditWindow::btnOK_Click()
{
    if (Dialogs::isBehindModal(this)) // its error message is still open
        return;
    QString error;
    if (!save(&error)) {
        // What was typed stays in the boxes so the administrator can try again or cancel.
        Dialogs::reportError(QStringLiteral("btnOK_Click"), error, this);
        return;
    }
    if (nodeStillShown()) {
        QStringList tag = m_tag;
        while (tag.size() < 5)
            tag << QString();
        tag[2] = m_phrase->text().trimmed();
        tag[3] = m_translation->text().trimmed();
        tag[4] = m_translation2->text().trimmed();
        SubjectTree::setTag(m_node, tag);
        m_node->setText(0, tag[3]);
    }
    accept();
}
