#pragma once

#include "state/Captions.h"
#include "state/Edition.h"

#include <QString>

#include <array>
#include <vector>

// A phrase collected for study; slot numbers run from 1 to 10 (the input file's numbers),
// kept at StudyPhrases[Slot - 1].
struct StudyPhrase
{
    QString SubjectFile;
    int Slot = 0;
    QString Phrase;
    QString Translation;
    QString Translation2;
    QString SoundFile;
    int phraseNo = 0;
};

// The files handed to one activity launch, named by the launch's handle.
struct HandOverSet
{
    qint64 handle = 0;
    qint64 activityPid = 0; // 0 until the activity has been started
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
    // The program's cache folder (~/.cache/Parlanto/): only ever holds what can be made
    // again from the files. Empty when there is none; nothing is cached then.
    QString cacheFolder;
    // A folder only this learner can write, for the running program's own files (the
    // single-copy socket, the files handed to activities): see userRuntimeFolder. Empty when
    // there is none; the temporary folder serves then, under a name nobody else took.
    QString runtimeFolder;
    // This launcher's own folder for the files handed to activities (see HandOverFiles).
    QString handOverFolder;

    // The launcher's number on line 1 of every input file: its process id.
    qint64 instanceId = 0;
    // Names the files of the newest launch; every launch gets a new one, so an activity
    // still running keeps the files it was handed.
    qint64 launchHandle = 0;
    std::vector<HandOverSet> handOverSets;

    QString CurrentUser;
    std::array<StudyPhrase, MaxStudyPhrases> StudyPhrases{}; // slot n at n - 1
    int StudyPhraseCount = 0;

    QString templateDatabasePath() const { return programFolder + QStringLiteral("Parlanto.tpl"); }
    QString usersDatabasePath() const { return dataFolder + QStringLiteral("Users.dat"); }
    QString customTemplatePath() const { return programFolder + QStringLiteral("custom.tpl"); }
    // "~prl<handle>.txt" and "~prl<handle><slot>.wav" in the hand-over folder.
    static QString inputFileName(qint64 handle);
    static QString soundFileName(qint64 handle, int slot);
    QString activityInputFileName() const { return inputFileName(launchHandle); }
    QString activityInputFile() const { return handOverFolder + activityInputFileName(); }
    QString studySoundFile(int slot) const { return handOverFolder + soundFileName(launchHandle, slot); }
    // The index of the virtual subject files' folder (see VirtualSubjectIndex): in the cache
    // folder, named by the edition and the folder, "" without a cache folder.
    QString virtualSubjectIndexPath() const;
    // Laid by the install: the program folder is then never written to, even by root.
    QString installMarkerPath() const { return programFolder + QStringLiteral(".installed"); }
    QString editionKey() const;
};

AppState& app();
// A fresh state for the build's edition (tests call it between cases).
void resetAppState();
