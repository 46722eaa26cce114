// The readers of the names and tags that tree nodes carry: subject titles made from file
// names, virtual folder titles and the kind of a verdict.
#include "subjects/SubjectCheck.h"
#include "subjects/SubjectTitle.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size));
    const QString title = properTitle(text);
    const QString folder = virtualFolderTitle(text);
    const QString kind = verdictKind(text);
    if (kind.contains(QLatin1Char('*')) || kind.size() > text.size())
        __builtin_trap();
    (void)title;
    (void)folder;
    return 0;
}
