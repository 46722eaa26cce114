#include "SubjectTitle.h"

#include <QStringList>

QString Proper_Title(const QString& fileName)
{
    QString joined;
    const QStringList pieces = fileName.split(QLatin1Char('_'));
    for (const QString& piece : pieces)
        joined += QLatin1Char(' ') + piece;
    joined.chop(4);

    // Proper case: a letter after a blank (or at the start) is upper case, all others lower.
    QString title;
    title.reserve(joined.size());
    bool wordStart = true;
    for (const QChar c : std::as_const(joined)) {
        title += wordStart ? c.toUpper() : c.toLower();
        wordStart = c.isSpace();
    }
    return title;
}

QString virtualFolderTitle(const QString& fileName)
{
    return fileName.left(qMax(0, fileName.size() - 5));
}
