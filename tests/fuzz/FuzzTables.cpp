// The readers of tab-separated tables: a line of the template's sources and a whole phrase
// table as teachers write them for parlanto-subject.
#include "../../tools/parlanto-subject/SubjectTool.h"
#include "common/TemplateBuilder.h"

#include <QFile>
#include <QTemporaryDir>

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static QTemporaryDir dir;
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    const QStringList fields = TemplateBuilder::splitTsvLine(QString::fromUtf8(bytes));
    if (fields.isEmpty())
        __builtin_trap(); // a line has at least one field

    const QString path = dir.filePath(QStringLiteral("table.tsv"));
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(bytes) != bytes.size())
        return 0;
    f.close();
    QString error;
    const auto rows = SubjectTool::readPhraseTable(path, &error);
    if (!rows && error.isEmpty())
        __builtin_trap();
    if (rows) {
        // What export writes, create reads back the same.
        QFile out(path);
        if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate))
            return 0;
        out.write(SubjectTool::formatPhraseTable(*rows, QStringLiteral("again")));
        out.close();
        const auto again = SubjectTool::readPhraseTable(path, &error);
        if (!again || again->size() != rows->size())
            __builtin_trap();
        for (size_t i = 0; i < rows->size(); ++i) {
            const auto& a = (*rows)[i];
            const auto& b = (*again)[i];
            if (a.phrase != b.phrase || a.translation != b.translation || a.translation2 != b.translation2 ||
                a.sound != b.sound)
                __builtin_trap();
        }
    }
    return 0;
}
