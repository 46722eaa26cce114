#include "Files.h"

#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QEventLoop>
#include <QFileInfo>
#include <QSaveFile>
#include <QThread>
#include <QTimer>

QString withTrailingSlash(const QString& folder)
{
    if (folder.endsWith(QLatin1Char('/')))
        return folder;
    return folder + QLatin1Char('/');
}

QString ProgramFolder()
{
    return withTrailingSlash(QCoreApplication::applicationDirPath());
}

QString TempFolder()
{
    const QString t = QDir::tempPath();
    return t.isEmpty() ? QStringLiteral("/") : withTrailingSlash(t);
}

bool FileExists(const QString& pathOrPattern)
{
    if (pathOrPattern.isEmpty())
        return false;
    const QFileInfo info(pathOrPattern);
    const QString name = info.fileName();
    if (!name.contains(QLatin1Char('*')) && !name.contains(QLatin1Char('?')))
        return info.isFile() && !info.isHidden();
    QDir dir(info.path());
    const QStringList hits = dir.entryList({name}, QDir::Files | QDir::NoDotAndDotDot);
    return !hits.isEmpty();
}

bool isSafeFileName(const QString& name)
{
    if (name.isEmpty() || name == QLatin1String(".") || name == QLatin1String(".."))
        return false;
    if (name.contains(QLatin1Char('/')) || name.contains(QChar(0)))
        return false;
    return name.trimmed() == name;
}

bool writeFileAtomically(const QString& path, const QByteArray& bytes, QString* error)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        if (error)
            *error = file.errorString();
        return false;
    }
    if (file.write(bytes) != bytes.size()) {
        if (error)
            *error = file.errorString();
        file.cancelWriting();
        return false;
    }
    if (!file.commit()) {
        if (error)
            *error = file.errorString();
        return false;
    }
    return true;
}

bool copyFolder(const QString& source, const QString& destination, QString* error)
{
    const QDir src(source);
    if (!src.exists()) {
        if (error)
            *error = QStringLiteral("The folder %1 does not exist.").arg(source);
        return false;
    }
    if (!QDir().mkpath(destination)) {
        if (error)
            *error = QStringLiteral("The folder %1 cannot be created.").arg(destination);
        return false;
    }
    QDirIterator it(source, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        it.next();
        const QFileInfo info = it.fileInfo();
        const QString target = QDir(destination).filePath(src.relativeFilePath(info.filePath()));
        if (info.isDir()) {
            if (!QDir().mkpath(target)) {
                if (error)
                    *error = QStringLiteral("The folder %1 cannot be created.").arg(target);
                return false;
            }
            continue;
        }
        QFile::remove(target);
        QFile in(info.filePath());
        if (!in.copy(target)) {
            if (error)
                *error = QStringLiteral("%1 cannot be copied to %2: %3")
                             .arg(info.filePath(), target, in.errorString());
            return false;
        }
        QFile::setPermissions(target, QFile::permissions(target) | QFile::WriteOwner | QFile::ReadOwner);
    }
    return true;
}

void processPendingEvents()
{
    if (QCoreApplication::instance())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
}

void Pause(int seconds)
{
    if (seconds <= 0)
        return;
    if (!QCoreApplication::instance()) {
        QThread::sleep(seconds);
        return;
    }
    // One timer and a local event loop: events run as they come, with no polling wake-ups.
    QEventLoop loop;
    QTimer::singleShot(seconds * 1000, &loop, &QEventLoop::quit);
    loop.exec();
}
