#include "PhraseEditWindow.h"
#include "state/CaptionId.h"

#include "platform/Files.h"
#include "state/AppState.h"
#include "subjects/InstalledSubjects.h"
#include "subjects/SubjectCheck.h"
#include "subjects/SubjectFile.h"
#include "subjects/SubjectTree.h"
#include "widgets/Dialogs.h"
#include "widgets/TiledBackground.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeWidgetItemIterator>

PhraseEditWindow::PhraseEditWindow(SubjectTree* tree, QTreeWidgetItem* node, QWidget* parent)
    : QDialog(parent), m_tree(tree), m_node(node), m_phraseNode(SubjectNode::of(node))
{
    setObjectName(QStringLiteral("frmEdit"));
    setModal(true);
    const auto& caption = app().captions;
    setWindowTitle(caption(Caption::EditPhrase));
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

    const QString secondTranslation = caption(Caption::Translations) + QStringLiteral(" 2");
    auto* lblPhrase = makeLabel(QStringLiteral("lblPhrase"), caption(Caption::Phrase));
    auto* lblTranslation = makeLabel(QStringLiteral("lblTranslation"), caption(Caption::Translations));
    auto* lblTranslation2 = makeLabel(QStringLiteral("lblTranslation2"), secondTranslation);
    m_phrase = makeEdit(QStringLiteral("txtPhrase"), m_phraseNode.phrase, caption(Caption::Phrase));
    m_translation =
        makeEdit(QStringLiteral("txtTranslation"), m_phraseNode.translation, caption(Caption::Translations));
    m_translation2 =
        makeEdit(QStringLiteral("txtTranslation2"), m_phraseNode.translation2, secondTranslation);
    lblPhrase->setBuddy(m_phrase);
    lblTranslation->setBuddy(m_translation);
    lblTranslation2->setBuddy(m_translation2);

    m_warning = makeLabel(QStringLiteral("lblWarning"), caption(Caption::OnlyTextsEditable));
    m_warning->setWordWrap(true);

    m_ok = new QPushButton(caption(Caption::Ok), this);
    m_ok->setObjectName(QStringLiteral("btnOK"));
    m_ok->setAccessibleName(caption(Caption::Ok));
    m_ok->setDefault(true);
    m_cancel = new QPushButton(caption(Caption::Cancel), this);
    m_cancel->setObjectName(QStringLiteral("btnCancel"));
    m_cancel->setAccessibleName(caption(Caption::Cancel));
    connect(m_ok, &QPushButton::clicked, this, &PhraseEditWindow::onOkClicked);
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
    const QString file = m_phraseNode.file;
    const qint64 number = m_phraseNode.number;
    const QString path = installedSubjectPath(file);
    if (path.isEmpty() || !m_phraseNode.is(SubjectNode::Kind::Phrase)) {
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

void PhraseEditWindow::onOkClicked()
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
        SubjectNode edited = m_phraseNode;
        edited.phrase = m_phrase->text().trimmed();
        edited.translation = m_translation->text().trimmed();
        edited.translation2 = m_translation2->text().trimmed();
        SubjectNode::set(m_node, edited);
        m_node->setText(0, edited.translation);
    }
    accept();
}
