#include "ShownText.h"

#include <QStringList>

namespace ShownText {

namespace {
constexpr int LongestRun = 100;
const QChar Ellipsis(0x2026);
const QChar ZeroWidthSpace(0x200B);
} // namespace

QString cut(const QString& text, int limit)
{
    if (limit <= 0 || text.size() <= limit)
        return text;
    int end = limit;
    // Never split a surrogate pair.
    if (end > 0 && text.at(end - 1).isHighSurrogate())
        --end;
    return text.left(end) + Ellipsis;
}

QString wrappable(const QString& text, int limit)
{
    const QString shown = cut(text, limit);
    QString result;
    result.reserve(shown.size() + shown.size() / LongestRun);
    int run = 0;
    for (int i = 0; i < shown.size(); ++i) {
        const QChar c = shown.at(i);
        result += c;
        run = c.isSpace() ? 0 : run + 1;
        if (run >= LongestRun && !c.isHighSurrogate()) {
            result += ZeroWidthSpace;
            run = 0;
        }
    }
    return result;
}

QString message(const QString& text)
{
    QStringList lines = text.split(QLatin1Char('\n'));
    constexpr int KeptAtEnd = 5;
    if (lines.size() > MessageLines) {
        const QStringList end = lines.mid(lines.size() - KeptAtEnd);
        lines = lines.mid(0, MessageLines - KeptAtEnd - 1);
        lines << QString(Ellipsis) << end;
    }
    for (QString& line : lines)
        line = wrappable(line, LineLimit);
    return lines.join(QLatin1Char('\n'));
}

} // namespace ShownText
