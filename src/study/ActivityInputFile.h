#pragma once

#include <QByteArray>
#include <QString>

struct AppState;

// The input file handed to an activity program: UTF-8 text with CRLF line ends.
//   1 instance id, 2 program code, 3 edition title, 4 interface language, 5 studied
//   language, 6 learner, 7 subject title, 8 phrase count N, 9 users database path,
//   10-14 "EMPTY", 15 content level, then per slot four quoted lines: phrase,
//   translation, second translation, full path of the slot's sound file.
namespace ActivityInputFile {

// The file's bytes for the state's study set (slots 1..StudyPhraseCount). Texts go in
// unchanged; only line breaks inside a text become blanks, since a text is one line.
QByteArray contents(const AppState& state, const QString& subjectTitle);
// The phrase ids file written beside it (see review/PhraseIdsFile.h): each slot's subject
// file and phrase number.
QByteArray phraseIds(const AppState& state);

} // namespace ActivityInputFile

// Writes the phrase ids file and then the input file, each completely beside its final name
// and renamed into place, so an activity never reads half a file. Returns false with the
// reason in error.
bool writeActivityFile(const AppState& state, const QString& subjectTitle, QString* error);
