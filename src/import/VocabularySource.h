#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <functional>
#include <map>
#include <optional>
#include <vector>

// A vocabulary as another program keeps it, read by one of the readers (KvtmlReader,
// AnkiTextReader, AnkiPackageReader) and turned into subjects by VocabularyImport.

// One note (Anki) or entry (KVTML): its texts column by column, already plain text.
struct VocabularyNote
{
    QString where;      // "line 12", "note 1612345678901", "entry 7": for messages
    QString lesson;     // the deck or lesson it belongs to; "" for the file's own title
    QStringList fields; // plain text per column
    QStringList sounds; // per column: the name of a sound the column brings, or ""
    qint64 noteId = 0;  // an Anki note's id: its reviews name it (0: none)
};

// One answer to a note in another program's review log (an Anki package's revlog).
struct VocabularyReview
{
    qint64 noteId = 0;
    qint64 utcMilliseconds = 0;
    int grade = 0; // 1 Again, 2 Hard, 3 Good, 4 Easy
};

struct VocabularySource
{
    QString file;        // the path, for messages
    QString format;      // "kvtml", "anki-text", "anki-package" or "anki-package-newest"
    QString title;       // the deck or file title: subjects of notes without a lesson
    QStringList columns; // per column, what the file calls it: a language name, a locale or a field name
    std::vector<VocabularyNote> notes;
    std::map<QString, int> skipped; // notes left out: the reason and how many
    // The review log, in time order (Anki packages), and its entries left out: why, how many.
    std::vector<VocabularyReview> reviews;
    std::map<QString, int> reviewsLeftOut;
    // Reads a sound a note names (the media of a package, a file beside the vocabulary).
    std::function<std::optional<QByteArray>(const QString& name, QString* error)> readSound;
};

namespace VocabularyLimits {
// A vocabulary file (KVTML, Anki text, the collection in a package) is read whole: at most this.
constexpr qint64 MaxTextBytes = 16 * 1024 * 1024;
// A package holds sounds too: it is read entry by entry, never whole.
constexpr qint64 MaxPackageBytes = 512 * 1024 * 1024;
// One sound of a package or beside a vocabulary.
constexpr qint64 MaxSoundBytes = 16 * 1024 * 1024;
} // namespace VocabularyLimits

// Checks the size of a file before it is read: "" when it may be, otherwise the message.
QString vocabularySizeProblem(const QString& path, qint64 limit);
// Reads a file whole once its size passes vocabularySizeProblem; the message otherwise.
std::optional<QByteArray> readVocabularyFile(const QString& path, qint64 limit, QString* error);
// "12.3 MB"
QString megabytes(qint64 bytes);
// The text of bytes that must be UTF-8: "" and the line of the first fault in *badLine when not.
std::optional<QString> decodeUtf8(const QByteArray& bytes, int* badLine);
// Whether a reader's refusal says the file is a word list in one language (a learner is
// told what to do instead).
bool isWordListRefusal(const QString& error);
// A sound name from a file must be a plain name (no folder, no ".."): "" when it is, else the message.
QString mediaNameProblem(const QString& name);
