#include "ActivityInput.h"

#include "Failure.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>

QString ActivityInput::resolve(const QString& nameOrPath)
{
    if (QFileInfo(nameOrPath).isAbsolute())
        return nameOrPath;
    // The launcher starts an activity in its private folder of the files it hands over.
    // Never anywhere else: a shared folder such as the temporary one holds whatever
    // another user put there under the name.
    return QDir::current().absoluteFilePath(nameOrPath);
}

std::optional<ActivityInput> ActivityInput::read(const QString& nameOrPath, QString* error)
{
    if (nameOrPath.trimmed().isEmpty()) {
        if (error)
            *error = QStringLiteral("No input file was named on the command line.");
        return std::nullopt;
    }
    const QString path = resolve(nameOrPath);
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) {
        if (error)
            *error = QStringLiteral("The input file %1 cannot be read: %2").arg(path, f.errorString());
        return std::nullopt;
    }
    const QByteArray bytes = f.read(MaxFileBytes + 1);
    if (bytes.size() > MaxFileBytes) {
        if (error)
            *error = QStringLiteral("The input file %1 is larger than %2 bytes.").arg(path).arg(MaxFileBytes);
        return std::nullopt;
    }
    auto input = parse(bytes, error);
    if (input)
        input->path = path;
    if (!input && error)
        *error = QStringLiteral("%1: %2").arg(path, *error); // which file, among many
    return input;
}

std::optional<ActivityInput> ActivityInput::parse(const QByteArray& bytes, QString* error)
{
    QStringDecoder decode(QStringDecoder::Utf8);
    const QString text = decode(bytes);
    if (decode.hasError())
        return Failure(error, QStringLiteral("The input file is not UTF-8 text."));
    QStringList lines = text.split(QLatin1Char('\n'));
    for (QString& line : lines) {
        if (line.endsWith(QLatin1Char('\r')))
            line.chop(1);
    }
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast(); // after the last line end
    if (lines.size() < HeaderLines)
        return Failure(error,
                       QStringLiteral("The input file is truncated: it has %1 lines.").arg(lines.size()));

    ActivityInput in;
    bool ok = false;
    in.instanceId = lines.at(0).trimmed().toLongLong(&ok);
    if (!ok)
        return Failure(error, QStringLiteral("Line 1 of the input file is not a number."));
    in.programCode = lines.at(1);
    in.editionTitle = lines.at(2);
    in.interfaceLanguage = lines.at(3);
    in.studiedLanguage = lines.at(4);
    in.user = lines.at(5);
    in.subject = lines.at(6);
    const int count = lines.at(7).trimmed().toInt(&ok);
    if (!ok || count < 1 || count > MaxPhrases)
        return Failure(error, QStringLiteral("Line 8 of the input file is not a phrase count from 1 to 10."));
    in.usersDatabase = lines.at(8);
    if (in.usersDatabase.isEmpty())
        return Failure(error, QStringLiteral("Line 9 of the input file names no users database."));
    in.contentLevel = lines.at(14).trimmed().toInt(&ok);
    if (!ok)
        return Failure(error, QStringLiteral("Line 15 of the input file is not a number."));
    if (lines.size() < HeaderLines + 4 * count)
        return Failure(error,
                       QStringLiteral("The input file is truncated: %1 phrases are announced.").arg(count));
    for (int i = 0; i < count; ++i) {
        QString fields[4];
        for (int k = 0; k < 4; ++k) {
            const int lineNo = HeaderLines + 4 * i + k;
            const QString& line = lines.at(lineNo);
            if (line.size() < 2 || !line.startsWith(QLatin1Char('"')) || !line.endsWith(QLatin1Char('"')))
                return Failure(
                    error,
                    QStringLiteral("Line %1 of the input file is not in double quotes.").arg(lineNo + 1));
            fields[k] = line.mid(1, line.size() - 2);
        }
        in.phrases.push_back({fields[0], fields[1], fields[2], fields[3]});
    }
    return in;
}
