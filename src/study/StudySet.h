#pragma once

#include "subjects/SubjectFile.h"

#include <QHash>
#include <QString>

#include <vector>

struct AppState;

// A phrase pointed to by the tree: the installed subject file and its phraseNo.
struct PhraseRef
{
    QString subjectFile;
    qint64 phraseNo = 0;
};

// Collecting the study set: at most ten phrases read from their installed subjects into
// the state's StudyPhrases (slots 1..n), each phrase's sound written unchanged to the
// slot's own wave file of a new hand-over set (HandOverFiles). Sets of activities that have
// ended are deleted first.
namespace StudySet {

struct Result
{
    int count = 0;
    QString error; // set when something went wrong; then count is 0 and no file of the set is left
};

// The first ten phrases of an installed subject, in table order.
Result collectInstalledSubject(AppState& state, const QString& fileName);

// The installed subjects a launch of a virtual subject reads from, each opened and checked
// once: the whole launch (the check before study, then the set) asks this one object.
class SourceSubjects
{
public:
    // Opens each file the phrases name once, reading the phrases asked of it with sounds.
    SourceSubjects(const AppState& state, const std::vector<PhraseRef>& phrases);

    // Whether the name is a plain name of an existing installed subject file.
    bool exists(const QString& fileName);
    // The verdict of an existing file as checkSubject gives it ("" for a missing one). A
    // file not named at construction is opened now, once.
    QString verdict(const QString& fileName);
    // The phrase, or nullptr when its file is missing, fails the check or lacks it.
    const Phrase* phrase(const QString& fileName, qint64 number) const;

private:
    struct Source
    {
        bool exists = false;
        QString verdict;
        std::vector<Phrase> phrases;
    };
    const Source& source(const QString& fileName, const std::vector<qint64>& numbers = {});
    // Safe on any thread: it reads the state's folders and edition only.
    static Source readSource(const AppState& state, const QString& fileName,
                             const std::vector<qint64>& numbers);

    const AppState& m_state;
    QHash<QString, Source> m_sources;
};

// The phrases of a virtual subject or of the random phrases set, texts re-read from their
// installed subjects, each file opened once (sources, when given, must have been made from
// these phrases). Phrases whose file is missing, fails the edition check or no longer holds
// that phrase are skipped.
Result collectPhrases(AppState& state, const std::vector<PhraseRef>& phrases,
                      SourceSubjects* sources = nullptr);

} // namespace StudySet
