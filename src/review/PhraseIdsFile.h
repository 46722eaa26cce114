#pragma once

#include <QByteArray>
#include <QString>

#include <optional>
#include <vector>

// A phrase's identity wherever it is studied from (an installed subject, a virtual subject,
// the random subject or the random phrases): its installed subject file's name and its
// phrase number there, the key a virtual subject's phrase keeps.
struct PhraseIdentity
{
    // The longest subject file name in bytes of UTF-8, as long as a file name can be: a
    // longer one names no file, and is no phrase's identity.
    static constexpr int MaxSubjectFileBytes = 255;

    QString subjectFile;
    qint64 phraseNo = 0;

    bool isValid() const { return phraseNo > 0 && !subjectFile.isEmpty(); }
    bool operator==(const PhraseIdentity& o) const
    {
        return phraseNo == o.phraseNo && subjectFile == o.subjectFile;
    }
};

// The file beside an activity's input file "~prl<handle>.txt" that names each slot's phrase
// ("~prl<handle>.ids"), an extension of the activity contract that an activity may ignore.
// UTF-8 text, CRLF line ends:
//   line 1   "PARLANTO PHRASE IDS 1" (the format and its version)
//   line 2   the slot count, the same as the input file's
//   then     one line per slot, in slot order: the phrase number, a tab, the installed
//            subject file's name; "0" and a tab alone for a slot of no known phrase.
// The launcher writes it whole and renames it into place before the input file appears, and
// deletes it with the set's other files.
namespace PhraseIdsFile {

inline constexpr char FirstLine[] = "PARLANTO PHRASE IDS 1";
// The file is read up to this size, the bound of its input file; a longer one is refused.
inline constexpr qint64 MaxFileBytes = 1024 * 1024;
// A subject file's name is a file name: at most this many bytes of UTF-8. A slot naming a
// longer one (or no plain file name) is a slot of no known phrase.
inline constexpr qsizetype MaxNameBytes = 255;

// The ids file of an input file: its name with ".txt" replaced by ".ids" ("" for a name that
// does not end in ".txt").
QString pathFor(const QString& inputFile);
QByteArray contents(const std::vector<PhraseIdentity>& entries);
// nullopt with the reason for a file of another form.
std::optional<std::vector<PhraseIdentity>> parse(const QByteArray& bytes, QString* error);
// The entries of the ids file beside inputFile: nullopt when there is none (error empty) or it
// cannot be read (error set). A link at its name is never followed, and nothing but a plain
// file is read.
std::optional<std::vector<PhraseIdentity>> readBeside(const QString& inputFile, QString* error);

} // namespace PhraseIdsFile
