#pragma once

#include "import/VocabularySource.h"

#include <QString>
#include <QStringList>

#include <functional>
#include <map>
#include <optional>
#include <vector>

// Vocabulary from other programs (KVTML 2, Anki's text notes, Anki packages in the older
// layout) made into installed subject files: the studied language's text becomes the
// phrase, the learner's language the translation; at most ten phrases a subject, named
// from the deck, lesson or file title ("Animals 1", "Animals 2"). Every file is checked as
// the program checks subjects before any of them is put in the output folder, and they are
// put there together: written in a hidden folder inside it first, then renamed into place.
class VocabularyImport
{
public:
    struct Progress
    {
        enum Stage
        {
            Reading, // the file is being read
            Writing  // subjects written: done of total
        } stage = Reading;
        int done = 0;
        int total = 0;
        int notes = 0;  // notes read
        int spoken = 0; // sounds spoken so far
    };

    struct Options
    {
        // The edition the subjects are for.
        QString programCode;     // "prlfre"
        QString languageCode;    // the subject files' extension: "fre"
        QString studiedLanguage; // "French"
        QString learnerLanguage; // "English"
        QString outFolder;
        QString titlePrefix; // put before every subject title
        // What each column is, when the file does not say: "phrase", "translation",
        // "translation2" or "skip", in column order. Empty: matched from the file's languages.
        QStringList columns;
        // Names the subjects of notes without a lesson instead of the file's title.
        QString title;
        // The logged-in learner who brings the package's review log along (Result::reviews):
        // empty leaves the log behind.
        QString learner;
        // Asked with the names of the files that exist already: true replaces them.
        std::function<bool(const QStringList& existing)> replaceExisting;
        // Told what has been done (on the thread that runs the import); false cancels it,
        // leaving nothing behind.
        std::function<bool(const Progress& progress)> progress;
    };

    // One import makes at most this many phrases and subjects: a larger file is refused with
    // a message, never worked on for many minutes.
    static constexpr int MaxNotes = 5000;
    static constexpr int MaxSubjects = 500;

    // The options for an edition (its program code, subject extension, studied language and
    // the learner's language, as the edition table has them).
    static Options optionsFor(const QString& programCode, const QString& languageCode,
                              const QString& studiedLanguage, const QString& learnerLanguage);

    struct Result
    {
        QString file;         // the vocabulary file
        QString language;     // the interface language the summary is said in
        QStringList subjects; // the file names written, in order
        QStringList titles;   // their titles
        int phrases = 0;
        int ownSounds = 0;                    // sounds the file brought
        int spokenSounds = 0;                 // spoken by espeak-ng
        std::map<QString, int> skipped;       // notes left out and why
        std::map<QString, int> soundProblems; // sounds that could not be used (spoken instead)
        // With Options::learner: each answer in the package's review log to a note made into a
        // phrase, in time order, for the learner's per-phrase rows; and the entries left out.
        struct Review
        {
            QString subjectFile;
            qint64 phraseNo = 0;
            qint64 utcSeconds = 0;
            int grade = 0;
        };
        std::vector<Review> reviews;
        std::map<QString, int> reviewsLeftOut;
        // "Made 8 subjects (70 phrases) from FILE: ... Left out: ..." for the learner or teacher.
        QString summary() const;
    };

    // Whether the program takes a file for an import (by its extension: .kvtml, .apkg, and
    // Anki's text exports .txt, .csv, .tsv).
    static bool isVocabularyFile(const QString& path);
    // The file read by the reader its kind needs (by extension, or a zip's or XML's first
    // bytes); scratchFolder takes what a reader must copy out (a package's collection).
    static std::optional<VocabularySource> read(const QString& path, const QString& scratchFolder,
                                                QString* error);
    // The same with a working folder of its own in outFolder (made if need be), removed again.
    static std::optional<VocabularySource> readFor(const QString& path, const QString& outFolder,
                                                   QString* error);
    // Reads, matches the languages, converts or speaks the sounds and writes the subjects.
    static std::optional<Result> run(const QString& path, const Options& options, QString* error);
    // The same for a vocabulary already read.
    static std::optional<Result> run(const VocabularySource& source, const Options& options, QString* error);
    // The subject files an import would replace in the output folder (for a question asked
    // before it starts), or nothing with the reason it would be refused.
    static std::optional<QStringList> existingSubjects(const VocabularySource& source, const Options& options,
                                                       QString* error);
    // The role words for options.columns that the file's own names give ("phrase",
    // "translation", "skip"), or nothing when they do not say.
    static std::optional<QStringList> matchedColumns(const VocabularySource& source, const Options& options);
    // The text said when a learner cancels.
    static QString cancelledText(const QString& language);

    // The English name of the language a file's language name, locale or field name stands
    // for ("fr_FR", "Français", "French word" give "French"), or "" when none is known.
    static QString languageOf(const QString& name);
    // espeak-ng's voice for a language ("Italian" gives "it").
    static QString voiceOf(const QString& language);
};
