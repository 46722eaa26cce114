// Anki's notes as text: any bytes give a vocabulary or a reason, and any field turns into
// plain text.
#include "FuzzReaderFile.h"
#include "import/AnkiTextReader.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QString path = FuzzReaderFile::write(QStringLiteral("notes.txt"), data, size);
    QString error;
    const auto source = AnkiTextReader::read(path, &error);
    if (!source && error.isEmpty())
        __builtin_trap(); // a refusal always says why
    // A field as the reader turns it into plain text, with and without markup.
    const QString field = QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size));
    for (bool html : {false, true}) {
        QStringList sounds;
        AnkiTextReader::plainText(field, html, &sounds);
    }
    AnkiTextReader::isCloze(field);
    return 0;
}
