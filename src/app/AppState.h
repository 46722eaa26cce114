#pragma once

#include "app/Edition.h"
#include "content/Captions.h"

#include <QString>

#include <array>

// A phrase collected for study; slot numbers run from 1 to 10.
struct StudyPhrase
{
    QString SubjectFile;
    int Slot = 0;
    QString Phrase;
    QString Translation;
    QString Translation2;
    QString SoundFile;
    int PhraseNo = 0;
};

// The state the whole program shares for one run: the edition, the working folders, the
// captions, the learner and the study set. Windows and core classes read it through app().
struct AppState
{
    static constexpr int MaxStudyPhrases = 10;

    Edition edition;
    Captions captions;

    // Working folders, each ending with "/".
    QString programFolder;
    QString dataFolder;
    QString installedSubjectsFolder;
    // The learner's own installed subjects (DataFolder + the same caption name): listed with
    // the program's, see subjects/InstalledSubjects.h. The same folder when the program
    // folder is writable.
    QString learnerSubjectsFolder;
    QString virtualSubjectsFolder;
    QString activitiesFolder;
    QString tempFolder;

    // Stands in for the main window's handle in temporary file names: the process id keeps
    // the files of two running copies apart.
    qint64 instanceId = 0;

    QString CurrentUser;
    std::array<StudyPhrase, MaxStudyPhrases + 1> StudyPhrases{}; // slot 0 unused
    int StudyPhraseCount = 0;
    bool SubjectsChanged = false;

    QString templateDatabasePath() const { return programFolder + QStringLiteral("Parlanto.tpl"); }
    QString usersDatabasePath() const { return dataFolder + QStringLiteral("Users.dat"); }
    QString customTemplatePath() const { return programFolder + QStringLiteral("custom.tpl"); }
    // Laid by the install: the program folder is then never written to, even by root.
    QString installMarkerPath() const { return programFolder + QStringLiteral(".installed"); }
    // "~prl<id>.txt" and "~prl<id><slot>.wav" in the temporary folder.
    QString activityInputFileName() const;
    QString activityInputFile() const { return tempFolder + activityInputFileName(); }
    QString studySoundFile(int slot) const;
    QString editionKey() const;
};

AppState& app();
// A fresh state for the build's edition (tests call it between cases).
void resetAppState();
