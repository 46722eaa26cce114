#include "PhraseMenu.h"

#include "app/AppState.h"
#include "app/Dialogs.h"
#include "content/MessageWindow.h"
#include "platform/Files.h"
#include "platform/Sound.h"
#include "study/PhraseEditWindow.h"
#include "study/PhraseSound.h"
#include "subjects/SubjectTree.h"

namespace PhraseMenu {

void mnuListenToPhrase_Click(SubjectTree* tree)
{
    QTreeWidgetItem* node = tree ? tree->selectedNode() : nullptr;
    if (!node || SubjectTree::Tag_Item(0, node) == QLatin1String("FOLDER"))
        return;
    // Bold nodes are folders: their children are subjects, not phrases.
    if (node->parent() && node->parent()->font(0).bold())
        return;
    Listen_to_Phrase(tree);
}

void Listen_to_Phrase(SubjectTree* tree)
{
    QTreeWidgetItem* node = tree ? tree->selectedNode() : nullptr;
    if (!node)
        return;
    listenTo(SubjectTree::Tag_Item(0, node), SubjectTree::Tag_Item(1, node), SubjectTree::Tag_Item(2, node),
             QStringLiteral("Listen_to_Phrase"), tree->window());
}

void listenTo(const QString& subjectFile, const QString& number, const QString& phrase,
              const QString& procedure, QWidget* parent)
{
    QString error;
    switch (PhraseSound::extract(subjectFile, number, &error)) {
    case PhraseSound::Outcome::NoSubjectFile:
        return;
    case PhraseSound::Outcome::Failed:
        Dialogs::reportError(procedure, error, parent);
        return;
    case PhraseSound::Outcome::Extracted:
        break;
    }
    MessageWindow::showStatus(phrase, 1500);
    Pause(1);
    // A learner who closed the box within that second does not want to hear it.
    if (MessageWindow::isShown())
        Sound::PlaySoundFile(PhraseSound::temporaryFile());
    MessageWindow::unload();
}

void mnuEdit_Click(SubjectTree* tree, bool menuEnabled, QWidget* parent)
{
    if (!menuEnabled) {
        Dialogs::inform(parent, app().captions(113), QMessageBox::Warning);
        return;
    }
    QTreeWidgetItem* node = tree ? tree->selectedNode() : nullptr;
    if (!node || !tree->hasPhraseMenu(node))
        return;
    Dialogs::runModal(new PhraseEditWindow(tree, node, parent));
}

} // namespace PhraseMenu
