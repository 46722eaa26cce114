#include "VocabularySource.h"

#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>

QString megabytes(qint64 bytes)
{
    return QStringLiteral("%1 MB").arg(double(bytes) / (1024.0 * 1024.0), 0, 'f', 1);
}

QString vocabularySizeProblem(const QString& path, qint64 limit)
{
    const QFileInfo info(path);
    if (!info.isFile())
        return QStringLiteral("%1: no such file").arg(path);
    if (info.size() == 0)
        return QStringLiteral("%1 is empty").arg(path);
    if (info.size() > limit)
        return QStringLiteral("%1 is %2; a vocabulary file of this kind may be at most %3 (split it into "
                              "smaller files)")
            .arg(path, megabytes(info.size()), megabytes(limit));
    return QString();
}

std::optional<QByteArray> readVocabularyFile(const QString& path, qint64 limit, QString* error)
{
    if (const QString problem = vocabularySizeProblem(path, limit); !problem.isEmpty()) {
        *error = problem;
        return std::nullopt;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("cannot read %1: %2").arg(path, file.errorString());
        return std::nullopt;
    }
    return file.readAll();
}

std::optional<QString> decodeUtf8(const QByteArray& bytes, int* badLine)
{
    QStringDecoder decoder(QStringDecoder::Utf8);
    QString text = decoder.decode(bytes);
    if (!decoder.hasError())
        return text;
    // Found again line by line, for the message.
    int line = 1;
    qsizetype start = 0;
    while (start <= bytes.size()) {
        qsizetype end = bytes.indexOf('\n', start);
        if (end < 0)
            end = bytes.size();
        QStringDecoder lineDecoder(QStringDecoder::Utf8);
        const QString decoded = lineDecoder.decode(QByteArrayView(bytes).sliced(start, end - start));
        if (lineDecoder.hasError())
            break;
        start = end + 1;
        ++line;
    }
    *badLine = line;
    return std::nullopt;
}

QString mediaNameProblem(const QString& name)
{
    if (name.contains(QLatin1Char('/')) || name.contains(QLatin1Char('\\')) || name == QLatin1String("..") ||
        name == QLatin1String(".") || name.contains(QChar(0)))
        return QStringLiteral("the sound name \"%1\" holds a folder; only plain file names are taken")
            .arg(name);
    if (name.trimmed().isEmpty())
        return QStringLiteral("a sound without a name");
    return QString();
}

bool isWordListRefusal(const QString& error)
{
    return error.contains(QLatin1String("a word list"));
}
