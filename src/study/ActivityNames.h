#pragma once

#include <QString>

// The name of an activity as the learner reads it. Results keep the program's own name
// (tActivity, "Flashcards"), by which they are found; only what is shown is translated.
namespace ActivityNames {

// The name in the learner's language from the activity's picture file (table tblNames,
// column tEnglish or tSpanish, first row), read once per run; the stored name itself when
// the file has none (a picture file made from the older contract) or cannot be read.
QString displayName(const QString& storedName);

// Keeps a name read by whoever opened the picture file anyway (the activity panel at
// start-up), so that displayName need not open it again. An empty name keeps the stored one.
void remember(const QString& storedName, const QString& name);

// The same, from a given picture file and interface language (no cache).
QString nameFromPictureFile(const QString& pictureFile, const QString& language, const QString& fallback);

} // namespace ActivityNames
