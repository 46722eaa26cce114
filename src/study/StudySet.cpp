#include "StudySet.h"

#include "platform/Files.h"
#include "platform/ReaderThreads.h"
#include "platform/WaveFile.h"
#include "state/AppState.h"
#include "study/HandOverFiles.h"
#include "subjects/InstalledSubjects.h"
#include "subjects/SubjectCheck.h"
#include "subjects/SubjectFile.h"

#include <QHash>
#include <QStringList>

#include <optional>

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
    StudyPhrase& p = state.StudyPhrases[size_t(slot - 1)];
    p.Slot = slot;
    p.SubjectFile = fileName;
    p.phraseNo = int(phrase.phraseNo);
    p.Phrase = phrase.tPhrase;
    p.Translation = phrase.tTranslation;
    p.Translation2 = phrase.tTranslation2;
    p.SoundFile = state.studySoundFile(slot);
    // The input file that names this sound is written after it, so no rename is needed.
    QString why;
    if (!HandOverFiles::writeFile(state, AppState::soundFileName(state.launchHandle, slot),
                                  withTruthfulSizes(phrase.bsound), &why)) {
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

SourceSubjects::SourceSubjects(const AppState& state, const std::vector<PhraseRef>& phrases) : m_state(state)
{
    // Grouped by file, in the order the files are first named.
    QStringList files;
    QHash<QString, std::vector<qint64>> numbers;
    for (const PhraseRef& ref : phrases) {
        auto it = numbers.find(ref.subjectFile);
        if (it == numbers.end()) {
            files << ref.subjectFile;
            it = numbers.insert(ref.subjectFile, {});
        }
        it->push_back(ref.phraseNo);
    }
    // Each file is an encrypted open: on more than one core they are read side by side.
    std::vector<Source> read(size_t(files.size()));
    const auto readOne = [&](size_t i) {
        const QString& file = files.at(qsizetype(i));
        read[i] = readSource(state, file, numbers.value(file));
    };
    ReaderThreads readers;
    readers.start(read.size(), readOne, ReaderThreads::perCore(read.size(), true));
    readers.finish();
    for (size_t i = 0; i < read.size(); ++i)
        m_sources.insert(files.at(qsizetype(i)), std::move(read[i]));
}

SourceSubjects::Source SourceSubjects::readSource(const AppState& state, const QString& fileName,
                                                  const std::vector<qint64>& numbers)
{
    Source s;
    // A row may name any text: only a plain name inside the folder is ever opened.
    const QString path = installedSubjectPath(state, fileName);
    s.exists = !path.isEmpty() && FileExists(path);
    if (s.exists) {
        InstalledSubject::CheckedPhrases read =
            InstalledSubject::checkedPhrases(path, state.edition.ProgramCode, numbers, true);
        s.verdict = std::move(read.verdict);
        s.phrases = std::move(read.phrases);
    }
    return s;
}

const SourceSubjects::Source& SourceSubjects::source(const QString& fileName,
                                                     const std::vector<qint64>& numbers)
{
    auto it = m_sources.find(fileName);
    if (it != m_sources.end())
        return *it;
    return *m_sources.insert(fileName, readSource(m_state, fileName, numbers));
}

bool SourceSubjects::exists(const QString& fileName)
{
    return source(fileName).exists;
}

QString SourceSubjects::verdict(const QString& fileName)
{
    return source(fileName).verdict;
}

const Phrase* SourceSubjects::phrase(const QString& fileName, qint64 number) const
{
    const auto it = m_sources.constFind(fileName);
    if (it == m_sources.constEnd())
        return nullptr;
    for (const Phrase& p : it->phrases) {
        if (p.phraseNo == number)
            return &p;
    }
    return nullptr;
}

Result collectPhrases(AppState& state, const std::vector<PhraseRef>& phrases, SourceSubjects* sources)
{
    Result result;
    QString startError;
    if (!start(state, &startError))
        return {0, startError};
    std::optional<SourceSubjects> own;
    if (!sources)
        sources = &own.emplace(state, phrases);
    for (const PhraseRef& ref : phrases) {
        if (result.count >= AppState::MaxStudyPhrases)
            break;
        // Missing file, another edition, damage, or a phrase deleted from its subject.
        const Phrase* phrase = sources->phrase(ref.subjectFile, ref.phraseNo);
        if (!phrase)
            continue;
        const int slot = result.count + 1;
        QString error;
        if (!fillSlot(state, slot, ref.subjectFile, *phrase, &error))
            return failed(state, error);
        result.count = slot;
    }
    return result;
}

} // namespace StudySet
