#include "SubjectTitle.h"

QString properTitle(const QString& fileName)
{
    // One blank before the name and one for each "_" between its pieces, less the last
    // four characters: built in one allocation, since the tree makes a title for each of
    // thousands of subjects at start-up.
    const qsizetype length = qMax<qsizetype>(0, fileName.size() + 1 - 4);
    QString title(length, Qt::Uninitialized);
    QChar* out = title.data();
    // Proper case: a letter after a blank (or at the start) is upper case, all others lower.
    bool wordStart = true;
    for (qsizetype i = 0; i < length; ++i) {
        QChar c = i == 0 ? QLatin1Char(' ') : fileName.at(i - 1);
        if (c == QLatin1Char('_'))
            c = QLatin1Char(' ');
        out[i] = wordStart ? c.toUpper() : c.toLower();
        wordStart = c.isSpace();
    }
    return title;
}

QString virtualFolderTitle(const QString& fileName)
{
    return fileName.left(qMax(0, fileName.size() - 5));
}
