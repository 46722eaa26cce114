#pragma once

#include "subjects/VocabularySource.h"

// Anki's packages (.apkg) in the layout older versions read: a zip holding the collection
// ("collection.anki21" or "collection.anki2", an SQLite database: notes.flds holds the
// fields separated by 0x1F, col.models and col.decks name the fields and decks) and "media",
// a JSON map from the zip's numbered entries to the sound names the notes use. The newest
// layout ("collection.anki21b", compressed with zstd) is refused with what to do instead.
namespace AnkiPackageReader {

// The collection is copied out into scratchFolder (the import's own hidden folder) to be
// opened as a database; it is removed again before this returns.
std::optional<VocabularySource> read(const QString& path, const QString& scratchFolder, QString* error);

} // namespace AnkiPackageReader
