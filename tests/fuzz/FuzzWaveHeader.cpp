// The reader of WAVE headers (phrase sounds come from subject files and teachers' tables).
#include "platform/WaveFile.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    for (qint64 fileSize : {qint64(-1), qint64(size), qint64(size) * 1000 + 7}) {
        const WaveInfo info = readWaveInfo(bytes, fileSize);
        if (!info.valid && info.error.isEmpty())
            __builtin_trap(); // a refusal always says why
        if (info.valid && (info.durationMs < 0 || info.dataBytes < 0))
            __builtin_trap();
    }
    return 0;
}
