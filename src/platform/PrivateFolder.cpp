#include "PrivateFolder.h"

#include "Files.h"
#include "platform/Fail.h"

#include <QFile>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QString systemReason(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

// Removes what the folder opened as fd holds, without following any link.
void removeContents(int fd)
{
    const int own = ::dup(fd);
    if (own < 0)
        return;
    DIR* dir = ::fdopendir(own);
    if (!dir) {
        ::close(own);
        return;
    }
    while (const dirent* entry = ::readdir(dir)) {
        const char* name = entry->d_name;
        if (std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0)
            continue;
        if (::unlinkat(fd, name, 0) == 0)
            continue;
        const int sub = ::openat(fd, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (sub >= 0) {
            removeContents(sub);
            ::close(sub);
        }
        ::unlinkat(fd, name, AT_REMOVEDIR);
    }
    ::closedir(dir);
}

} // namespace

PrivateFolder::~PrivateFolder()
{
    close();
}

PrivateFolder::PrivateFolder(PrivateFolder&& other) noexcept
    : m_path(std::move(other.m_path)), m_fd(other.m_fd)
{
    other.m_fd = -1;
}

PrivateFolder& PrivateFolder::operator=(PrivateFolder&& other) noexcept
{
    if (this != &other) {
        close();
        m_path = std::move(other.m_path);
        m_fd = other.m_fd;
        other.m_fd = -1;
    }
    return *this;
}

void PrivateFolder::close()
{
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
}

bool PrivateFolder::open(const QString& path, QString* error)
{
    close();
    m_path = withTrailingSlash(path);
    if (!makePrivateFolder(m_path, error))
        return false;
    const int fd =
        ::open(QFile::encodeName(m_path).constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return fail(error,
                    QStringLiteral("The folder %1 cannot be opened: %2").arg(m_path, systemReason(errno)));
    // What was opened is checked, not what the name showed a moment before.
    struct stat st;
    if (::fstat(fd, &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != ::geteuid() ||
        (st.st_mode & 077) != 0) {
        ::close(fd);
        return fail(error,
                    QStringLiteral("The folder %1 belongs to someone else or is not private.").arg(m_path));
    }
    m_fd = fd;
    return true;
}

bool PrivateFolder::stillInPlace(QString* error) const
{
    if (m_fd < 0)
        return fail(error, QStringLiteral("The folder %1 is not open.").arg(m_path));
    struct stat opened;
    struct stat named;
    if (::fstat(m_fd, &opened) != 0 || ::lstat(QFile::encodeName(m_path).constData(), &named) != 0 ||
        opened.st_dev != named.st_dev || opened.st_ino != named.st_ino)
        return fail(error, QStringLiteral("The folder %1 was moved or replaced by someone else since the "
                                          "program started; nothing is written there.")
                               .arg(m_path));
    return true;
}

bool PrivateFolder::writeNewFile(const QString& name, const QByteArray& bytes, QString* error) const
{
    const QString path = m_path + name;
    auto cannot = [&](const QString& why) { return fail(error, why); };
    if (!isSafeFileName(name))
        return cannot(QStringLiteral("not a plain file name"));
    QString why;
    if (!stillInPlace(&why))
        return fail(error, why);
    const QByteArray native = QFile::encodeName(name);
    ::unlinkat(m_fd, native.constData(), 0);
    const QString redirect = writeRedirectFor(path);
    const int fd = redirect.isEmpty() ? ::openat(m_fd, native.constData(),
                                                 O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600)
                                      : ::open(QFile::encodeName(redirect).constData(), O_WRONLY | O_CLOEXEC);
    if (fd < 0)
        return cannot(systemReason(errno));
    const char* data = bytes.constData();
    qint64 left = bytes.size();
    int failure = 0;
    while (left > 0) {
        const ssize_t n = ::write(fd, data, size_t(left));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            failure = n < 0 ? errno : ENOSPC;
            break;
        }
        data += n;
        left -= n;
    }
    // A full disk may show only at the close.
    if (::close(fd) != 0 && failure == 0)
        failure = errno;
    if (failure != 0) {
        ::unlinkat(m_fd, native.constData(), 0);
        return cannot(systemReason(failure));
    }
    return true;
}

bool PrivateFolder::rename(const QString& from, const QString& to, QString* error) const
{
    QString why;
    if (!stillInPlace(&why))
        return fail(error, why);
    if (::renameat(m_fd, QFile::encodeName(from).constData(), m_fd, QFile::encodeName(to).constData()) != 0)
        return fail(error, systemReason(errno));
    return true;
}

void PrivateFolder::remove(const QString& name) const
{
    if (m_fd >= 0 && isSafeFileName(name))
        ::unlinkat(m_fd, QFile::encodeName(name).constData(), 0);
}

void PrivateFolder::removeAll()
{
    if (m_fd < 0)
        return;
    removeContents(m_fd);
    // The folder itself goes only while its name still leads to it.
    if (stillInPlace(nullptr))
        ::rmdir(QFile::encodeName(m_path).constData());
    close();
}
