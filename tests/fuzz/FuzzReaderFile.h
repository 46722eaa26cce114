#pragma once

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>

#include <cstdlib>
#include <unistd.h>

// The vocabulary readers take a path: each input is written to a file of this process's own
// folder first (made once, removed when the fuzzer ends).
namespace FuzzReaderFile {

inline QString folder()
{
    static const QString path = [] {
        const QString p = QDir::tempPath() + QStringLiteral("/parlanto-fuzz-%1/").arg(::getpid());
        QDir().mkpath(p);
        std::atexit([] {
            QDir(QDir::tempPath() + QStringLiteral("/parlanto-fuzz-%1").arg(::getpid())).removeRecursively();
        });
        return p;
    }();
    return path;
}

inline QString write(const QString& name, const uint8_t* data, size_t size)
{
    const QString path = folder() + name;
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
        f.write(reinterpret_cast<const char*>(data), qint64(size)) != qint64(size))
        __builtin_trap(); // the fuzzer's own folder must take it
    return path;
}

} // namespace FuzzReaderFile
