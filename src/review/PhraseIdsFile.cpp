#include "PhraseIdsFile.h"

#include "platform/Files.h"

#include <QFile>
#include <QStringDecoder>
#include <QStringList>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

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
        const QString name = line.mid(tab + 1);
        if (name.toUtf8().size() > MaxNameBytes || (number > 0 && !isSafeFileName(name)))
            entries.push_back({QString(), 0}); // no file of the program's is named so
        else
            entries.push_back({name, number});
    }
    return entries;
}

std::optional<std::vector<PhraseIdentity>> readBeside(const QString& inputFile, QString* error)
{
    if (error)
        error->clear();
    const QString path = pathFor(inputFile);
    if (path.isEmpty())
        return std::nullopt;
    auto cannot = [&](const QString& why) {
        if (error)
            *error = QStringLiteral("The file %1 cannot be read: %2").arg(path, why);
        return std::nullopt;
    };
    // Not blocking: a pipe at the name is refused below instead of waited on.
    const int fd =
        ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        if (errno == ENOENT)
            return std::nullopt;
        return cannot(errno == ELOOP ? QStringLiteral("it is a link")
                                     : QString::fromLocal8Bit(std::strerror(errno)));
    }
    QFile f;
    if (!f.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return cannot(f.errorString());
    }
    struct stat st;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode))
        return cannot(QStringLiteral("it is not a plain file"));
    if (st.st_size > MaxFileBytes)
        return cannot(QStringLiteral("it is larger than %1 bytes").arg(MaxFileBytes));
    // The size may change while it is read: never more than the bound is taken.
    const QByteArray bytes = f.read(MaxFileBytes + 1);
    if (bytes.size() > MaxFileBytes)
        return cannot(QStringLiteral("it is larger than %1 bytes").arg(MaxFileBytes));
    auto entries = parse(bytes, error);
    if (!entries && error)
        *error = QStringLiteral("%1: %2").arg(path, *error);
    return entries;
}

} // namespace PhraseIdsFile
