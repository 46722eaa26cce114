#include "Files.h"

#include "EndSignals.h"

#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>
#include <QSysInfo>
#include <QTemporaryFile>
#include <QThread>
#include <QTimer>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <limits>
#include <sys/stat.h>
#include <unistd.h>

namespace {
std::function<QString(const QString&)>& writeRedirect()
{
    static std::function<QString(const QString&)> redirect;
    return redirect;
}
} // namespace

QStringList fileNamesIn(const QString& folder)
{
    QStringList names;
    DIR* dir = ::opendir(QFile::encodeName(folder).constData());
    if (!dir)
        return names;
    const int fd = ::dirfd(dir);
    while (const dirent* entry = ::readdir(dir)) {
        if (entry->d_name[0] == '.')
            continue; // hidden, and "." and ".."
        bool file = entry->d_type == DT_REG;
        // A link counts when it leads to a file; some file systems give no type at all.
        if (entry->d_type == DT_LNK || entry->d_type == DT_UNKNOWN) {
            struct stat st;
            file = ::fstatat(fd, entry->d_name, &st, 0) == 0 && S_ISREG(st.st_mode);
        }
        if (file)
            names << QFile::decodeName(entry->d_name);
    }
    ::closedir(dir);
    return names;
}

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

namespace {
// Which file could not be written, and why: the system's reason when the call that failed
// set errno (a failed flush leaves Qt's own text at "Unknown error"), else Qt's.
bool cannotBeWritten(const QString& path, int systemError, const QString& qtReason, QString* error)
{
    if (error)
        *error = QStringLiteral("%1 cannot be written: %2")
                     .arg(path, systemError ? qt_error_string(systemError) : qtReason);
    return false;
}

// The temporary file is renamed without waiting for the disk.
bool writeFileEventually(const QString& path, const QByteArray& bytes, QString* error)
{
    QTemporaryFile file(path + QStringLiteral(".XXXXXX"));
    errno = 0;
    if (file.open() && file.write(bytes) == bytes.size() && file.flush() &&
        ::rename(QFile::encodeName(file.fileName()).constData(), QFile::encodeName(path).constData()) == 0) {
        file.setAutoRemove(false);
        return true;
    }
    const int systemError = errno; // before anything else may set it
    return cannotBeWritten(path, systemError, file.errorString(), error);
}
} // namespace

bool writeFileAtomically(const QString& path, const QByteArray& bytes, QString* error, Durability durability)
{
    if (durability == Durability::Eventually)
        return writeFileEventually(path, bytes, error);
    QSaveFile file(path);
    // A full disk or a missing folder: say which file could not be written, and why.
    auto fail = [&](int systemError = 0) {
        return cannotBeWritten(path, systemError, file.errorString(), error);
    };
    if (!file.open(QIODevice::WriteOnly))
        return fail();
    // Flushed here, so that a full disk reports itself as such rather than at commit().
    errno = 0;
    if (file.write(bytes) != bytes.size() || !file.flush()) {
        fail(errno);
        file.cancelWriting();
        return false;
    }
    if (!file.commit())
        return fail();
    return true;
}

void setWriteRedirectForTests(std::function<QString(const QString& path)> redirect)
{
    writeRedirect() = std::move(redirect);
}

bool copyFileAtomically(const QString& source, const QString& target, QString* error)
{
    QFile in(source);
    if (!in.open(QIODevice::ReadOnly)) {
        if (error)
            *error = QStringLiteral("%1 cannot be read: %2").arg(source, in.errorString());
        return false;
    }
    QSaveFile out(target);
    if (!out.open(QIODevice::WriteOnly))
        return cannotBeWritten(target, 0, out.errorString(), error);
    constexpr qint64 Chunk = 1 << 20;
    QByteArray buffer(Chunk, Qt::Uninitialized);
    for (;;) {
        const qint64 n = in.read(buffer.data(), Chunk);
        if (n < 0) {
            out.cancelWriting();
            if (error)
                *error = QStringLiteral("%1 cannot be read: %2").arg(source, in.errorString());
            return false;
        }
        if (n == 0)
            break;
        errno = 0;
        if (out.write(buffer.constData(), n) != n) {
            const int systemError = errno;
            out.cancelWriting();
            return cannotBeWritten(target, systemError, out.errorString(), error);
        }
    }
    errno = 0;
    if (!out.flush() || !out.commit())
        return cannotBeWritten(target, errno, out.errorString(), error);
    return true;
}

QString writeRedirectFor(const QString& path)
{
    return writeRedirect() ? writeRedirect()(path) : QString();
}

bool makePrivateFolder(const QString& folder, QString* error)
{
    auto fail = [&](const QString& why) {
        if (error)
            *error = QStringLiteral("The folder %1 %2").arg(folder, why);
        return false;
    };
    QString path = folder;
    while (path.size() > 1 && path.endsWith(QLatin1Char('/')))
        path.chop(1);
    const QByteArray native = QFile::encodeName(path);
    // Created private at once: there is no moment in which another user could step in.
    if (::mkdir(native.constData(), 0700) != 0 && errno != EEXIST)
        return fail(QStringLiteral("cannot be created: ") + QString::fromLocal8Bit(std::strerror(errno)));
    struct stat st;
    if (::lstat(native.constData(), &st) != 0)
        return fail(QStringLiteral("cannot be created: ") + QString::fromLocal8Bit(std::strerror(errno)));
    // A link may lead anywhere, and a folder of another user may be changed by them.
    if (S_ISLNK(st.st_mode) || !S_ISDIR(st.st_mode) || st.st_uid != ::geteuid())
        return fail(QStringLiteral("belongs to someone else."));
    if ((st.st_mode & 077) != 0 && ::chmod(native.constData(), 0700) != 0)
        return fail(QStringLiteral("cannot be made private: ") +
                    QString::fromLocal8Bit(std::strerror(errno)));
    return true;
}

QString userRuntimeFolder()
{
    const QByteArray runtime = qgetenv("XDG_RUNTIME_DIR");
    struct stat st;
    // Only as the system makes it: the user's own real folder that nobody else may enter.
    if (runtime.startsWith('/') && ::lstat(runtime.constData(), &st) == 0 && S_ISDIR(st.st_mode) &&
        st.st_uid == ::geteuid() && (st.st_mode & 077) == 0)
        return withTrailingSlash(QFile::decodeName(runtime));
    const QString cache = QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation);
    if (cache.isEmpty() || !QDir::isAbsolutePath(cache))
        return QString();
    // A home shared by several machines holds one folder per machine: process ids name
    // folders in it, and they are one machine's.
    QString host;
    for (const QChar c : QSysInfo::machineHostName().left(64))
        host += c.isLetterOrNumber() || c == QLatin1Char('-') || c == QLatin1Char('.') ? c : QLatin1Char('_');
    const QString folder = withTrailingSlash(cache) + QStringLiteral("Parlanto/run-") +
                           (host.isEmpty() ? QStringLiteral("local") : host);
    if (!QDir().mkpath(withTrailingSlash(cache) + QStringLiteral("Parlanto")) ||
        !makePrivateFolder(folder, nullptr))
        return QString();
    return folder + QLatin1Char('/');
}

QString privateFolderIn(const QString& parent, const QString& name, QString* error)
{
    QString reasons;
    for (int n = 0; n <= 9; ++n) {
        const QString folder =
            withTrailingSlash(parent) + name + (n == 0 ? QString() : QStringLiteral("-%1").arg(n));
        QString why;
        if (makePrivateFolder(folder, &why))
            return folder + QLatin1Char('/');
        reasons += (reasons.isEmpty() ? QString() : QStringLiteral("\n")) + why;
    }
    if (error)
        *error = reasons;
    return QString();
}

QString userPrivateFolder(const QString& runtimeFolder, const QString& tempFolder, QString* error)
{
    const QString name = QStringLiteral("parlanto-%1").arg(::geteuid());
    if (!runtimeFolder.isEmpty()) {
        const QString folder = withTrailingSlash(runtimeFolder) + name;
        if (makePrivateFolder(folder, error))
            return folder + QLatin1Char('/');
    }
    return privateFolderIn(tempFolder, name, error);
}

bool processIsRunning(qint64 pid)
{
    if (pid <= 0)
        return false;
    if (::kill(pid_t(pid), 0) != 0 && errno != EPERM)
        return false;
    // A process that has ended but was not reaped yet still answers; its state says "Z".
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return true;
    const QByteArray line = stat.readAll();
    const qsizetype close = line.lastIndexOf(')');
    return close < 0 || line.size() < close + 3 || (line.at(close + 2) != 'Z' && line.at(close + 2) != 'X');
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

namespace {
QElapsedTimer& sinceEventsRan()
{
    static QElapsedTimer timer;
    return timer;
}
} // namespace

void processPendingEvents()
{
    if (QCoreApplication::instance())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    sinceEventsRan().start();
}

qint64 msSinceEventsRan()
{
    return sinceEventsRan().isValid() ? sinceEventsRan().elapsed() : std::numeric_limits<qint64>::max();
}

void Pause(int seconds)
{
    if (seconds <= 0)
        return;
    if (!QCoreApplication::instance()) {
        QThread::sleep(seconds);
        return;
    }
    // A program ended by a signal does not wait: it must be gone within a second.
    if (EndSignals::received())
        return;
    // A timer and a local event loop: events run as they come; a second timer looks for
    // the end of the program a few times a second.
    QEventLoop loop;
    QTimer::singleShot(seconds * 1000, &loop, &QEventLoop::quit);
    QTimer ending;
    QObject::connect(&ending, &QTimer::timeout, &loop, [&loop] {
        if (EndSignals::received())
            loop.quit();
    });
    ending.start(50);
    loop.exec();
    sinceEventsRan().start();
}
