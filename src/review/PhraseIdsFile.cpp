#include "PhraseIdsFile.h"

#include <QFile>
#include <QStringDecoder>
#include <QStringList>

namespace PhraseIdsFile {

QString pathFor(const QString& inputFile)
{
    if (!inputFile.endsWith(QLatin1String(".txt"), Qt::CaseInsensitive))
        return QString();
    return inputFile.left(inputFile.size() - 4) + QStringLiteral(".ids");
}

QByteArray contents(const std::vector<PhraseIdentity>& entries)
{
    QByteArray bytes =
        QByteArray(FirstLine) + "\r\n" + QByteArray::number(qsizetype(entries.size())) + "\r\n";
    for (const PhraseIdentity& p : entries) {
        // A name that would break the line is no name a phrase can be found by.
        const bool usable = p.isValid() && !p.subjectFile.contains(QLatin1Char('\n')) &&
                            !p.subjectFile.contains(QLatin1Char('\r'));
        bytes += usable ? QByteArray::number(p.phraseNo) + '\t' + p.subjectFile.toUtf8() : QByteArray("0\t");
        bytes += "\r\n";
    }
    return bytes;
}

std::optional<std::vector<PhraseIdentity>> parse(const QByteArray& bytes, QString* error)
{
    auto fail = [&](const QString& why) {
        if (error)
            *error = why;
        return std::nullopt;
    };
    QStringDecoder decode(QStringDecoder::Utf8);
    const QString text = decode(bytes);
    if (decode.hasError())
        return fail(QStringLiteral("The phrase ids file is not UTF-8 text."));
    QStringList lines = text.split(QStringLiteral("\r\n"));
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    if (lines.size() < 2 || lines.at(0) != QLatin1String(FirstLine))
        return fail(
            QStringLiteral("The phrase ids file does not start with \"%1\".").arg(QLatin1String(FirstLine)));
    bool ok = false;
    const int count = lines.at(1).toInt(&ok);
    if (!ok || count < 0 || lines.size() != count + 2)
        return fail(QStringLiteral("The phrase ids file does not hold the entries it announces."));
    std::vector<PhraseIdentity> entries;
    for (int i = 0; i < count; ++i) {
        const QString& line = lines.at(i + 2);
        const qsizetype tab = line.indexOf(QLatin1Char('\t'));
        const qint64 number = tab < 0 ? -1 : line.left(tab).toLongLong(&ok);
        if (tab < 0 || !ok || number < 0)
            return fail(
                QStringLiteral("Line %1 of the phrase ids file is not a number and a file name.").arg(i + 3));
        entries.push_back({line.mid(tab + 1), number});
    }
    return entries;
}

std::optional<std::vector<PhraseIdentity>> readBeside(const QString& inputFile, QString* error)
{
    if (error)
        error->clear();
    const QString path = pathFor(inputFile);
    if (path.isEmpty() || !QFile::exists(path))
        return std::nullopt;
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) {
        if (error)
            *error = QStringLiteral("The file %1 cannot be read: %2").arg(path, f.errorString());
        return std::nullopt;
    }
    auto entries = parse(f.readAll(), error);
    if (!entries && error)
        *error = QStringLiteral("%1: %2").arg(path, *error);
    return entries;
}

} // namespace PhraseIdsFile
