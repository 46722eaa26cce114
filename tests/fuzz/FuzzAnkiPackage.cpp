// Anki's packages: any bytes give a vocabulary or a reason, the collection's copy is gone
// from the scratch folder afterwards, and every sound a note names is read or refused.
#include "FuzzReaderFile.h"
#include "import/AnkiPackageReader.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QString path = FuzzReaderFile::write(QStringLiteral("deck.apkg"), data, size);
    const QString scratch = FuzzReaderFile::folder() + QStringLiteral("scratch");
    QDir().mkpath(scratch);
    QString error;
    const auto source = AnkiPackageReader::read(path, scratch, &error);
    if (!QDir(scratch).isEmpty(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden))
        __builtin_trap(); // nothing of the collection stays
    if (!source) {
        if (error.isEmpty())
            __builtin_trap(); // a refusal always says why
        return 0;
    }
    int read = 0;
    for (const VocabularyNote& note : source->notes) {
        for (const QString& sound : note.sounds) {
            if (sound.isEmpty() || !source->readSound || ++read > 20)
                continue;
            QString why;
            if (!source->readSound(sound, &why) && why.isEmpty())
                __builtin_trap();
        }
    }
    return 0;
}
