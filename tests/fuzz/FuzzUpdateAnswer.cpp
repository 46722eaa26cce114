// The reader of the web site's update answer, a file the download left in the temporary
// folder.
#include "content/UpdateCheck.h"

#include <QFile>
#include <QTemporaryDir>

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("answer.tmp"));
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
        f.write(reinterpret_cast<const char*>(data), qint64(size)) != qint64(size))
        return 0;
    f.close();
    const auto answer = UpdateCheck::readAnswer(path);
    if (answer &&
        (answer->keyword != answer->keyword.trimmed() || answer->keyword != answer->keyword.toUpper()))
        __builtin_trap();
    return 0;
}
