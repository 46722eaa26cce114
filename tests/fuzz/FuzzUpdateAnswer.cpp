// The reader of the web site's update answer, as it came from the server.
#include "content/UpdateCheck.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const auto answer =
        UpdateCheck::readAnswer(QByteArray(reinterpret_cast<const char*>(data), qsizetype(size)));
    if (answer &&
        (answer->keyword != answer->keyword.trimmed() || answer->keyword != answer->keyword.toUpper()))
        __builtin_trap();
    return 0;
}
