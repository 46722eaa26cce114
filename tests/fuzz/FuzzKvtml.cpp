// The KVTML reader (vocabulary files of other programs): any bytes give a vocabulary or a
// reason, and every sound a note names is read or refused with a reason, never outside.
#include "FuzzReaderFile.h"
#include "import/KvtmlReader.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QString path = FuzzReaderFile::write(QStringLiteral("input.kvtml"), data, size);
    QString error;
    const auto source = KvtmlReader::read(path, &error);
    if (!source) {
        if (error.isEmpty())
            __builtin_trap(); // a refusal always says why
        return 0;
    }
    for (const VocabularyNote& note : source->notes) {
        for (const QString& sound : note.sounds) {
            if (sound.isEmpty() || !source->readSound)
                continue;
            QString why;
            if (!source->readSound(sound, &why) && why.isEmpty())
                __builtin_trap();
        }
    }
    return 0;
}
