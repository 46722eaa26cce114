#pragma once

#include "import/VocabularySource.h"

// KVTML 2, the vocabulary files of KWordQuiz and Parley: <identifiers> with each
// language's name and locale, <entries> with a <translation id> per language (its <text> and
// an optional <sound> relative to the file), <lessons> as nested <container>s.
namespace KvtmlReader {

// The vocabulary, or nothing with the message (naming the file and, where it can, the line).
std::optional<VocabularySource> read(const QString& path, QString* error);

} // namespace KvtmlReader
