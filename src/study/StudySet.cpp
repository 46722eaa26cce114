#include "StudySet.h"

#include "app/AppState.h"
#include "platform/Files.h"
#include "subjects/SubjectCheck.h"
#include "study/HandOverFiles.h"
#include "subjects/InstalledSubjects.h"
#include "subjects/SubjectFile.h"

#include <QHash>

namespace {

// A new set with a handle of its own; the sets of activities that have ended are removed.
bool start(AppState& state, QString* error)
{
    for (auto& p : state.StudyPhrases)
        p = StudyPhrase{};
    state.StudyPhraseCount = 0;
    return HandOverFiles::beginSet(state, error);
}

// Nothing is handed over when a part of the set failed: its files go at once.
StudySet::Result failed(AppState& state, const QString& error)
{
    HandOverFiles::discardNewest(state);
    for (auto& p : state.StudyPhrases)
        p = StudyPhrase{};
    state.StudyPhraseCount = 0;
    return {0, error};
}

// Fills the slot and writes its sound file; the count grows only when both worked.
bool fillSlot(AppState& state, int slot, const QString& fileName, const Phrase& phrase, QString* error)
{
    StudyPhrase& p = state.StudyPhrases[slot];
    p.Slot = slot;
    p.SubjectFile = fileName;
    p.PhraseNo = int(phrase.pkPhraseNo);
    p.Phrase = phrase.tPhrase;
    p.Translation = phrase.tTranslation;
    p.Translation2 = phrase.tTranslation2;
    p.SoundFile = state.studySoundFile(slot);
    // The input file that names this sound is written after it, so no rename is needed.
    QString why;
    if (!writeWholeFile(p.SoundFile, phrase.bsound, &why)) {
        if (error)
            *error = QStringLiteral("The file %1 could not be written: %2").arg(p.SoundFile, why);
        return false;
    }
    state.StudyPhraseCount = slot;
    return true;
}

} // namespace

namespace StudySet {

Result collectInstalledSubject(AppState& state, const QString& fileName)
{
    Result result;
    QString error;
    if (!start(state, &error))
        return {0, error};
    const QString path = installedSubjectPath(state, fileName);
    if (path.isEmpty())
        return failed(state, QStringLiteral("\"%1\" is not the name of a subject file").arg(fileName));
    const auto phrases = InstalledSubject::phrases(path, true, &error);
    if (!phrases)
        return failed(state, error);
    for (const Phrase& phrase : *phrases) {
        const int slot = result.count + 1;
        if (slot > AppState::MaxStudyPhrases)
            break;
        if (!fillSlot(state, slot, fileName, phrase, &error))
            return failed(state, error);
        result.count = slot;
    }
    return result;
}

Result collectPhrases(AppState& state, const std::vector<PhraseRef>& phrases)
{
    Result result;
    QString startError;
    if (!start(state, &startError))
        return {0, startError};
    QHash<QString, bool> valid; // one edition check per file
    for (const PhraseRef& ref : phrases) {
        if (result.count >= AppState::MaxStudyPhrases)
            break;
        // A row may name any text: only a plain name inside the folder is ever opened.
        const QString path = installedSubjectPath(state, ref.subjectFile);
        if (path.isEmpty() || !FileExists(path))
            continue;
        auto it = valid.find(ref.subjectFile);
        if (it == valid.end())
            it = valid.insert(ref.subjectFile,
                              checkSubjectFile(path, state.edition.ProgramCode) == QLatin1String("VALID"));
        if (!it.value())
            continue;
        bool found = false;
        QString error;
        const auto phrase = InstalledSubject::phrase(path, ref.phraseNo, true, &found, &error);
        if (!phrase || !found)
            continue; // the phrase was deleted from its subject, or the file became unreadable
        const int slot = result.count + 1;
        if (!fillSlot(state, slot, ref.subjectFile, *phrase, &error))
            return failed(state, error);
        result.count = slot;
    }
    return result;
}

} // namespace StudySet
