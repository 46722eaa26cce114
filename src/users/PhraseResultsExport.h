#pragma once

#include "review/PhraseMemory.h"

#include <QByteArray>
#include <QHash>
#include <QString>
#include <QStringList>

// The per-phrase results as CSV files, in the form of the results export (UTF-8 with a byte
// order mark, RFC 4180, CRLF line ends):
// - phrases: one row per answered phrase: Learner, Subject (its title), Subject file, Phrase
//   number, Phrase (its text, empty when the subject file is not found), Activity, Time
//   (ISO 8601 UTC), Grade (1 to 4), Grade name (Again, Hard, Good, Easy);
// - memory: one row per learner and phrase: Learner, Subject, Subject file, Phrase number,
//   Phrase, Reviews, Lapses, Stability (days), Difficulty, Last review (local date),
//   Retrievability today, Next due (local date), Desired retention.
namespace PhraseResultsExport {

// Finds phrase texts in installed subject files by name, in the first of the folders that
// has the file; each file is read once.
class PhraseTexts
{
public:
    explicit PhraseTexts(QStringList folders) : m_folders(std::move(folders)) {}
    QString text(const PhraseIdentity& phrase);

private:
    QStringList m_folders;
    QHash<QString, QHash<qint64, QString>> m_files;
};

QByteArray phrasesCsv(const std::vector<PhraseResultRow>& rows, PhraseTexts& texts);

struct LearnerMemory
{
    QString learner;
    PhraseMemory memory;
};
QByteArray memoryCsv(const std::vector<LearnerMemory>& learners, qint64 today, PhraseTexts& texts);

// Writes the file atomically (one learner's rows, or everybody's when learner is empty).
// *count gets the number of rows written.
bool exportPhrases(const QString& usersDatabase, const QString& learner, const QStringList& subjectFolders,
                   const QString& file, QString* error, qsizetype* count = nullptr);
bool exportMemory(const QString& usersDatabase, const QString& learner, const QStringList& subjectFolders,
                  const QString& file, QString* error, qsizetype* count = nullptr);
// The same as bytes (for "-", the standard output).
std::optional<QByteArray> phrasesBytes(const QString& usersDatabase, const QString& learner,
                                       const QStringList& subjectFolders, QString* error,
                                       qsizetype* count = nullptr);
std::optional<QByteArray> memoryBytes(const QString& usersDatabase, const QString& learner,
                                      const QStringList& subjectFolders, QString* error,
                                      qsizetype* count = nullptr);

} // namespace PhraseResultsExport
