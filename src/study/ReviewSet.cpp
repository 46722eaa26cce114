#include "ReviewSet.h"

#include "platform/Files.h"
#include "state/AppState.h"
#include "subjects/InstalledSubjects.h"

#include <QHash>

#include <algorithm>
#include <climits>

namespace ReviewSet {

Choice choose(const AppState& state, const PhraseMemory& memory, qint64 day, int limit)
{
    Choice choice;
    // Whether a name is a plain name of an installed subject file, asked once per name.
    QHash<QString, bool> installed;
    auto canBeStudied = [&](const PhraseIdentity& phrase) {
        if (phrase.phraseNo <= 0)
            return false;
        auto it = installed.constFind(phrase.subjectFile);
        if (it == installed.constEnd()) {
            const QString path = installedSubjectPath(state, phrase.subjectFile);
            it = installed.insert(phrase.subjectFile, !path.isEmpty() && FileExists(path));
        }
        return *it;
    };
    int due = 0;
    for (const PhraseMemoryItem& item : memory.items()) {
        if (item.dueDay > day)
            continue;
        ++due;
        if (!canBeStudied(item.phrase))
            ++choice.unstudyable;
    }
    // The most overdue in rounds, each file opened once a round, until the set is full or
    // every due phrase was looked at; a phrase its file no longer gives counts as unstudyable.
    size_t looked = 0;
    for (int want = limit; int(choice.phrases.size()) < limit;
         want = int(std::min<qint64>(qint64(want) * 4, INT_MAX))) {
        const std::vector<PhraseMemoryItem> top = memory.due(day, want);
        QHash<QString, std::vector<qint64>> asked;
        QStringList files;
        std::vector<const PhraseMemoryItem*> candidates;
        for (size_t i = looked; i < top.size() && candidates.size() < size_t(limit) - choice.phrases.size();
             ++i) {
            looked = i + 1;
            if (!canBeStudied(top[i].phrase))
                continue;
            if (!asked.contains(top[i].phrase.subjectFile))
                files << top[i].phrase.subjectFile;
            asked[top[i].phrase.subjectFile].push_back(top[i].phrase.phraseNo);
            candidates.push_back(&top[i]);
        }
        QHash<QString, InstalledSubject::CheckedPhrases> read;
        for (const QString& file : std::as_const(files))
            read.insert(file, InstalledSubject::checkedPhrases(installedSubjectPath(state, file),
                                                               state.edition.ProgramCode, asked.value(file),
                                                               false));
        for (const PhraseMemoryItem* item : candidates) {
            const InstalledSubject::CheckedPhrases& source = read[item->phrase.subjectFile];
            const auto p = std::find_if(source.phrases.begin(), source.phrases.end(), [&](const Phrase& p) {
                return p.phraseNo == item->phrase.phraseNo;
            });
            if (source.verdict == QLatin1String("VALID") && p != source.phrases.end())
                choice.phrases.push_back({item->phrase.subjectFile, *p});
            else
                ++choice.unstudyable;
        }
        if (top.size() < size_t(want) && looked >= top.size())
            break; // every due phrase looked at
    }
    choice.studyable = due - choice.unstudyable;
    return choice;
}

} // namespace ReviewSet
