#include "StudySet.h"

#include "app/AppState.h"
#include "app/Paths.h"
#include "platform/Files.h"
#include "subjects/InstalledSubjects.h"
#include "subjects/SubjectFile.h"

#include <QFile>
#include <QHash>

namespace {

void start(AppState& state)
{
    CleanTempFiles(state);
    for (auto& p : state.StudyPhrases)
        p = StudyPhrase{};
    state.StudyPhraseCount = 0;
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
    // The input file that names this sound is written after it, so a plain write will do.
    QFile file(p.SoundFile);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
        file.write(phrase.bsound) != phrase.bsound.size()) {
        if (error)
            *error = QStringLiteral("%1: %2").arg(p.SoundFile, file.errorString());
        return false;
    }
    state.StudyPhraseCount = slot;
    return true;
}

} // namespace

namespace StudySet {

Result collectInstalledSubject(AppState& state, const QString& fileName)
{
    start(state);
    Result result;
    QString error;
    const auto phrases = InstalledSubject::phrases(installedSubjectPath(state, fileName), true, &error);
    if (!phrases) {
        result.error = error;
        return result;
    }
    for (const Phrase& phrase : *phrases) {
        const int slot = result.count + 1;
        if (slot > AppState::MaxStudyPhrases)
            break;
        if (!fillSlot(state, slot, fileName, phrase, &error)) {
            result.error = error;
            break;
        }
        result.count = slot;
    }
    return result;
}

Result collectPhrases(AppState& state, const std::vector<PhraseRef>& phrases)
{
    start(state);
    Result result;
    QHash<QString, bool> valid; // one edition check per file
    for (const PhraseRef& ref : phrases) {
        if (result.count >= AppState::MaxStudyPhrases)
            break;
        const QString path = installedSubjectPath(state, ref.subjectFile);
        if (ref.subjectFile.isEmpty() || !FileExists(path))
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
        if (!fillSlot(state, slot, ref.subjectFile, *phrase, &error)) {
            result.error = error;
            break;
        }
        result.count = slot;
    }
    return result;
}

} // namespace StudySet
