#pragma once

class QString;
class QWidget;
class SubjectTree;

// The phrase menu of the subject tree (mnuOption): hearing the selected phrase and, for
// the administrator, correcting its texts.
namespace PhraseMenu {

// Plays the selected node's phrase; folders and the nodes right under a folder do nothing.
void listenToSelectedPhrase(SubjectTree* tree);
// Writes the selected phrase's sound out, shows the phrase in a status box for a second
// and then, unless the box was closed meanwhile, plays the sound while the box stays up.
void listenToPhrase(SubjectTree* tree);
// The same for a phrase given by its installed subject file, number and text (any tree
// that shows phrases plays them this way); errors are reported under procedure's name.
void listenTo(const QString& subjectFile, const QString& number, const QString& phrase,
              const QString& procedure, QWidget* parent);
// Opens the phrase editor for the selected phrase, or refuses (caption 113) when the
// phrase menu is not enabled, that is when the learner is not the administrator.
void editSelectedPhrase(SubjectTree* tree, bool menuEnabled, QWidget* parent);

} // namespace PhraseMenu
