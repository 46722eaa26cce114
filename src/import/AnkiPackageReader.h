#pragma once

#include "import/VocabularySource.h"

// Anki's packages (.apkg), a zip file in one of two layouts:
// - the older ones: the collection "collection.anki21" or "collection.anki2" (an SQLite
//   database: notes.flds holds the fields separated by 0x1F, col.models and col.decks, or the
//   tables notetypes, fields and decks, name the fields and decks) and "media", a JSON map
//   from the zip's numbered entries to the sound names the notes use;
// - the newest: "meta" (a protobuf message: the layout's version), "collection.anki21b" (the
//   same SQLite database compressed with zstd) and "media" (a zstd-compressed protobuf list
//   of names, sizes and checksums, in the order of the zip's numbered entries, each of them
//   compressed with zstd too).
// Both give the same database file to the reading code (collectionDatabase).
namespace AnkiPackageReader {

// The package's collection written into scratchFolder as an SQLite database file
// ("collection.db"), whichever the layout, within the size limits; the caller removes it.
// "" with the message when it cannot be.
QString collectionDatabase(const QString& path, const QString& scratchFolder, QString* error);

// The notes and sounds; the collection is written into scratchFolder (the import's own
// hidden folder) to be opened as a database and removed again before this returns.
std::optional<VocabularySource> read(const QString& path, const QString& scratchFolder, QString* error);

} // namespace AnkiPackageReader
