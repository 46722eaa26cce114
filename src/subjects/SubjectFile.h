#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

// Access to the two kinds of subject file. Each call opens its own connection and closes
// it before returning; errors come back as text (the engine's description).

// A phrase of an installed subject ("*." + language code).
struct Phrase
{
    qint64 phraseNo = 0;
    QString tPhrase;
    QString tTranslation;
    QString tTranslation2;
    QByteArray bsound; // a complete WAVE file, never decoded
};

// A virtual subject: one row of tblParents of a virtual subject file ("*.v" + code).
struct VirtualSubject
{
    qint64 nParent = 0;
    QString name; // second column, read and written by position
};

// A phrase of a virtual subject: a pointer to (tfilename, phraseNo) plus text copies.
struct VirtualPhrase
{
    qint64 rowKey = 0; // the row's own key in the virtual subject file
    qint64 fkParent = 0;
    QString tfilename;
    qint64 phraseNo = 0;
    bool fileNameIsNull = false;
    bool phraseNoIsNull = false;
    QString tPhrase;
    QString tTranslation;
    QString tTranslation2;
};

namespace InstalledSubject {

// tProgramCode of the first tblProperties row.
std::optional<QString> programCode(const QString& path, QString* error);
// Every phrase in table order; sounds only when asked for.
std::optional<std::vector<Phrase>> phrases(const QString& path, bool withSound, QString* error);
// One opening of a source subject for a launch: the edition verdict (as checkSubjectFile
// gives it) and, when it is "VALID", the phrases of those numbers that exist, each once, in
// the order first asked. A file whose phrases cannot be read gives none.
struct CheckedPhrases
{
    QString verdict;
    std::vector<Phrase> phrases;
};
CheckedPhrases checkedPhrases(const QString& path, const QString& programCode,
                              const std::vector<qint64>& numbers, bool withSound);
// One phrase by number. found is false (and the result empty) when no row has that number.
std::optional<Phrase> phrase(const QString& path, qint64 number, bool withSound, bool* found, QString* error);
// The phrase numbers in table order (random draws pick among them).
std::optional<std::vector<qint64>> phraseNumbers(const QString& path, QString* error);
// Changes the three texts of one phrase.
bool updateTexts(const QString& path, qint64 number, const QString& phrase, const QString& translation,
                 const QString& translation2, QString* error);
// Writes a new subject file: written beside the target and renamed into place, so a
// failure never leaves half a file. Refuses an existing file unless overwrite is set.
bool create(const QString& path, const QString& programCode, const std::vector<Phrase>& phrases,
            bool overwrite, QString* error);

} // namespace InstalledSubject

namespace VirtualSubjectFile {

// Creates an empty virtual subject file (the "custom.tpl" layout).
bool createEmpty(const QString& path, QString* error);
// Makes a new virtual subject file as a copy of the template, made writable.
bool createFromTemplate(const QString& templatePath, const QString& path, QString* error);

std::optional<std::vector<VirtualSubject>> subjects(const QString& path, QString* error);
std::optional<std::vector<VirtualPhrase>> phrases(const QString& path, qint64 nParent, QString* error);
std::optional<qint64> addSubject(const QString& path, const QString& name, QString* error);
// Adds a virtual subject together with its phrases in one transaction, so a failure leaves
// the file as it was; returns the new nParent and the phrases' new keys in order.
struct NewSubject
{
    qint64 nParent = 0;
    std::vector<qint64> phraseKeys;
};
std::optional<NewSubject> addSubjectWithPhrases(const QString& path, const QString& name,
                                                const std::vector<VirtualPhrase>& phrases, QString* error);
bool renameSubject(const QString& path, qint64 nParent, const QString& name, QString* error);
// Deletes the virtual subject and its phrases, in one transaction.
bool deleteSubject(const QString& path, qint64 nParent, QString* error);
// Appends phrases to a virtual subject in one transaction; returns their new keys.
std::optional<std::vector<qint64>> addPhrases(const QString& path, qint64 nParent,
                                              const std::vector<VirtualPhrase>& phrases, QString* error);
bool deletePhrase(const QString& path, qint64 phraseNo, QString* error);

// What a deletion took from a virtual subject file: a whole subject (its tblParents row and
// all its phrases) or one phrase, with the rows' own keys, so that restoreRows puts them
// back as they were: the same name, the same phrases, the same order.
struct DeletedRows
{
    bool wholeSubject = false;
    qint64 nParent = 0;
    QString name;
    std::vector<VirtualPhrase> phrases;
};
// Delete as deleteSubject and deletePhrase do (in one transaction), returning the rows.
std::optional<DeletedRows> takeSubject(const QString& path, qint64 nParent, QString* error);
std::optional<DeletedRows> takePhrase(const QString& path, qint64 phraseNo, QString* error);
// Writes the rows back in one transaction; a phrase only into its subject, which must exist.
bool restoreRows(const QString& path, const DeletedRows& rows, QString* error);

} // namespace VirtualSubjectFile

// The subject files of a folder, as the subject tree lists them: regular files only (no
// folders, no hidden files) matching "*." + code (installed subjects) or "*.v" + code
// (virtual subject files), sorted by name without regard to case. A missing folder is empty.
QStringList installedSubjectFiles(const QString& folder, const QString& languageCode);
QStringList virtualSubjectFiles(const QString& folder, const QString& languageCode);

// The verdict on an installed subject file for an edition: "VALID", "WRONG_LANGUAGE*" and
// the file's code, or the description of the error met. Never throws, shows nothing.
QString checkSubjectFile(const QString& path, const QString& programCode);
// The same, and every phrase text read: one holding a control character is refused (the
// subject tool's check and the import's; the program's checks at a click stay one read).
QString checkSubjectFileAndTexts(const QString& path, const QString& programCode);

// Phrase texts hold no control characters but tab and line breaks (a NUL or an escape would
// be spoken, shown and handed to activities as they are): the first one's position, or -1.
qsizetype controlCharacterAt(const QString& text);
// The text without them.
QString withoutControlCharacters(const QString& text);
