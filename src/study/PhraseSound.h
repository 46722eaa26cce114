#pragma once

#include <QString>

// The sound of one phrase of an installed subject, written out so that it can be played.
namespace PhraseSound {

// The file every played phrase is written to: "~phrase.wav" in the launcher's private
// hand-over folder (see HandOverFiles), made new at every extraction.
QString temporaryFile();

enum class Outcome
{
    Extracted,     // temporaryFile() now holds exactly the phrase's sound
    NoSubjectFile, // the subject file is not there (or its name is not a plain file name)
    Failed,        // see error
};

// Reads phrase `phraseNumber` (the text of a node's tag field 1) of the installed subject
// `subjectFileName` (tag field 0) and replaces the temporary file with its sound bytes.
// A missing subject file is no error: nothing is written.
Outcome extract(const QString& subjectFileName, const QString& phraseNumber, QString* error);

} // namespace PhraseSound
