#pragma once

#include <QByteArray>
#include <QHash>
#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

struct Edition;

// The shipped course's sources, written once for both learner's languages and turned by the
// build into the tables of one edition (see data/course/README.md):
//
// - a subject table (data/course/<studied language>/<name>.tsv), one phrase per line:
//     phrase, English translation, English note, Spanish translation, Spanish note, sound file
//   becomes the phrase table that parlanto-subject create reads, with the columns of the
//   edition's learner's language;
// - the titles table (data/course/titles.tsv): English file name, Spanish file name, so that
//   a subject's file is named, and the tree shows it, in the learner's language;
// - an example virtual table (data/virtual/<studied language>.tsv): English virtual subject
//   name, Spanish name, subject (English file name), phrase number; it becomes the table that
//   parlanto-subject virtual reads.
//
// Fields keep the escapes of parlanto-subject's tables (\t, \n, \\); a line starting with "#"
// is a comment. The edition's tables carry the fields as written, so nothing is escaped twice.
namespace CourseTable {

// The learner's languages, in the order of their columns.
const QStringList& interfaceLanguages();

struct CoursePhrase
{
    int line = 0;    // in the source table, for messages
    QStringList raw; // the six fields as written (escaped)
    QString phrase;  // decoded
    QString sound;   // decoded; empty: spoken by espeak-ng
    // The decoded translation and note in a learner's language ("English" or "Spanish").
    QString translation(const QString& language) const;
    QString note(const QString& language) const;
};

std::optional<std::vector<CoursePhrase>> readSubject(const QString& path, QString* error);

// The phrase table of one learner's language. Refused when a phrase lacks its translation in
// that language.
std::optional<QByteArray> phraseTable(const std::vector<CoursePhrase>& phrases, const QString& language,
                                      const QString& comment, QString* error);

// English file name -> file name in each learner's language (without extension).
using Titles = QHash<QString, QHash<QString, QString>>;
std::optional<Titles> readTitles(const QString& path, QString* error);

struct CourseVirtualPhrase
{
    int line = 0;
    QStringList raw; // the four fields as written (escaped)
    QString subject; // English file name of the subject
    // The decoded virtual subject name in a learner's language.
    QString name(const QString& language) const;
    int phraseNo = 0;
};
std::optional<std::vector<CourseVirtualPhrase>> readVirtual(const QString& path, QString* error);

// The virtual table of an edition: names in its learner's language, subjects by the file names
// the edition ships them under.
std::optional<QByteArray> virtualTable(const std::vector<CourseVirtualPhrase>& phrases, const Titles& titles,
                                       const Edition& edition, QString* error);

} // namespace CourseTable
