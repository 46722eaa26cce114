#include "PhraseMenu.h"
#include "state/CaptionId.h"

#include "platform/Files.h"
#include "platform/Sound.h"
#include "state/AppState.h"
#include "study/PhraseEditWindow.h"
#include "study/PhraseSound.h"
#include "subjects/SubjectTree.h"
#include "widgets/Dialogs.h"
#include "widgets/MessageWindow.h"

namespace PhraseMenu {

void listenToSelectedPhrase(SubjectTree* tree)
{
    QTreeWidgetItem* node = tree ? tree->selectedNode() : nullptr;
    if (!node || SubjectNode::of(node).is(SubjectNode::Kind::Folder))
        return;
    // Bold nodes are folders: their children are subjects, not phrases.
    if (node->parent() && node->parent()->font(0).bold())
        return;
    listenToPhrase(tree);
}

void listenToPhrase(SubjectTree* tree)
{
    QTreeWidgetItem* node = tree ? tree->selectedNode() : nullptr;
    if (!node)
        return;
    const SubjectNode phrase = SubjectNode::of(node);
    listenTo(phrase.file, QString::number(phrase.number), phrase.phrase, QStringLiteral("Listen_to_Phrase"),
             tree->window());
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
    // Without a device the learner is told, once in a run; the phrase is still shown.
    static bool noDeviceSaid = false;
    if (!noDeviceSaid && !Sound::hasOutputDevice()) {
        noDeviceSaid = true;
        Dialogs::inform(parent, app().captions(Caption::NoSoundDevice), QMessageBox::Information);
    }
    MessageWindow::showStatus(phrase, 1500);
    Pause(1);
    // A learner who closed the box within that second does not want to hear it.
    if (MessageWindow::isShown())
        Sound::PlaySoundFile(PhraseSound::temporaryFile());
    MessageWindow::unload();
}

void editSelectedPhrase(SubjectTree* tree, bool menuEnabled, QWidget* parent)
{
    if (!menuEnabled) {
        Dialogs::inform(parent, app().captions(Caption::OnlyAdministratorEdits), QMessageBox::Warning);
        return;
    }
    QTreeWidgetItem* node = tree ? tree->selectedNode() : nullptr;
    if (!node || !tree->hasPhraseMenu(node))
        return;
    Dialogs::runModal(new PhraseEditWindow(tree, node, parent));
}

} // namespace PhraseMenu
