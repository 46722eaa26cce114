// The activity's reader of its input file: any bytes give an input or a reason.
#include "ActivityInput.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    QString error;
    const auto input =
        ActivityInput::parse(QByteArray(reinterpret_cast<const char*>(data), qsizetype(size)), &error);
    if (!input && error.isEmpty())
        __builtin_trap(); // a refusal always says why
    if (input && (input->phrases.empty() || input->phrases.size() > size_t(ActivityInput::MaxPhrases)))
        __builtin_trap();
    return 0;
}
