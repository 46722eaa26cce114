#pragma once

#include "import/VocabularySource.h"

// Anki's notes as plain text: one note a line, fields separated by a tab, comma or
// semicolon (quoted with " where they hold one), header lines "#separator:", "#html:",
// "#columns:", "#deck:", "#tags:", "#notetype column:", "#deck column:", "#tags column:",
// "#guid column:". Sounds are "[sound:name.mp3]" in a field; the files are looked for in a
// "collection.media" or "media" folder beside the text, or beside it.
namespace AnkiTextReader {

std::optional<VocabularySource> read(const QString& path, QString* error);

// A field as Anki keeps it turned into plain text: the "[sound:...]" names taken out into
// sounds, and with html, tags dropped, <br> and block ends turned into a blank, entities decoded.
QString plainText(const QString& field, bool html, QStringList* sounds);
// Whether a field holds cloze markup ("{{c1::...}}").
bool isCloze(const QString& field);

} // namespace AnkiTextReader
