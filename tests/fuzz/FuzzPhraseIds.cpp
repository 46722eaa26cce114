// The ids file beside an activity's input file: any bytes give entries or a reason; every
// entry that names a phrase names a plain file name within the bound, and what is written
// again reads back the same.
#include "platform/Files.h"
#include "review/PhraseIdsFile.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    QString error;
    const auto entries =
        PhraseIdsFile::parse(QByteArray(reinterpret_cast<const char*>(data), qsizetype(size)), &error);
    if (!entries) {
        if (error.isEmpty())
            __builtin_trap(); // a refusal always says why
        return 0;
    }
    for (const PhraseIdentity& p : *entries) {
        if (p.isValid() &&
            (p.subjectFile.toUtf8().size() > PhraseIdsFile::MaxNameBytes || !isSafeFileName(p.subjectFile)))
            __builtin_trap();
    }
    const auto again = PhraseIdsFile::parse(PhraseIdsFile::contents(*entries), &error);
    if (!again || again->size() != entries->size())
        __builtin_trap();
    for (size_t i = 0; i < entries->size(); ++i) {
        const PhraseIdentity& p = entries->at(i);
        const bool lineSafe =
            !p.subjectFile.contains(QLatin1Char('\n')) && !p.subjectFile.contains(QLatin1Char('\r'));
        if (p.isValid() && lineSafe && !(again->at(i) == p))
            __builtin_trap();
    }
    return 0;
}
