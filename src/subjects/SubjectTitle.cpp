#include "SubjectTitle.h"

#include <QStringList>

namespace {

QString casedTitle(const QString& fileName);

// The small words Spanish titles keep in lower case after the first word.
bool isSpanishSmallWord(QStringView word)
{
    static const QStringList words = {
        QStringLiteral("a"),     QStringLiteral("al"),     QStringLiteral("ante"),  QStringLiteral("bajo"),
        QStringLiteral("con"),   QStringLiteral("contra"), QStringLiteral("de"),    QStringLiteral("del"),
        QStringLiteral("desde"), QStringLiteral("e"),      QStringLiteral("el"),    QStringLiteral("en"),
        QStringLiteral("entre"), QStringLiteral("hacia"),  QStringLiteral("hasta"), QStringLiteral("la"),
        QStringLiteral("las"),   QStringLiteral("lo"),     QStringLiteral("los"),   QStringLiteral("ni"),
        QStringLiteral("o"),     QStringLiteral("para"),   QStringLiteral("por"),   QStringLiteral("que"),
        QStringLiteral("según"), QStringLiteral("sin"),    QStringLiteral("sobre"), QStringLiteral("tras"),
        QStringLiteral("u"),     QStringLiteral("un"),     QStringLiteral("una"),   QStringLiteral("unas"),
        QStringLiteral("unos"),  QStringLiteral("y"),
    };
    for (const QString& w : words) {
        if (word.compare(w, Qt::CaseInsensitive) == 0)
            return true;
    }
    return false;
}

void lowerSpanishSmallWords(QString& title)
{
    bool first = true;
    qsizetype i = 0;
    while (i < title.size()) {
        if (title.at(i).isSpace()) {
            ++i;
            continue;
        }
        qsizetype end = i;
        while (end < title.size() && !title.at(end).isSpace())
            ++end;
        if (!first && isSpanishSmallWord(QStringView(title).mid(i, end - i)))
            title[i] = title.at(i).toLower();
        first = false;
        i = end;
    }
}

} // namespace

QString properTitle(const QString& fileName, const QString& language)
{
    QString title = casedTitle(fileName);
    if (language == QLatin1String("Spanish"))
        lowerSpanishSmallWords(title);
    return title;
}

namespace {
QString casedTitle(const QString& fileName)
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
} // namespace

QString virtualFolderTitle(const QString& fileName)
{
    return fileName.left(qMax(0, fileName.size() - 5));
}
