#include "SingleInstance.h"

#include <QCryptographicHash>
#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>
#include <QStandardPaths>

#include <unistd.h>

Q_LOGGING_CATEGORY(lcInstance, "parlanto.instance", QtWarningMsg)

namespace {
// Time a running copy has to answer; it answers from its event loop, which a modal window
// keeps running too.
constexpr int AnswerMilliseconds = 3000;

QString socketFolder()
{
    // The runtime folder is the user's own (mode 0700); without one, the temporary folder,
    // with the user id in the name.
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty() && QDir(runtime).exists())
        return QDir(runtime).absolutePath() + QLatin1Char('/');
    return QDir::tempPath() + QStringLiteral("/parlanto-%1-").arg(::geteuid());
}
} // namespace

SingleInstance::SingleInstance(const QString& key, QObject* parent) : QObject(parent)
{
    // A socket path is short (108 bytes): the key goes in as a hash.
    const QByteArray hash = QCryptographicHash::hash(key.toUtf8(), QCryptographicHash::Sha1).toHex().left(16);
    m_name = socketFolder() + QStringLiteral("parlanto-") + QString::fromLatin1(hash);
}

SingleInstance::~SingleInstance()
{
    if (m_server)
        m_server->close(); // removes the socket file
}

bool SingleInstance::handOver(const QStringList& files)
{
    QLocalSocket socket;
    socket.connectToServer(m_name);
    if (!socket.waitForConnected(AnswerMilliseconds))
        return false;
    // One line per file, each a full path; an empty message asks only to come to the front.
    QByteArray message = "raise\n";
    for (const QString& file : files)
        message += QDir(file).absolutePath().toUtf8() + '\n';
    socket.write(message);
    if (!socket.waitForBytesWritten(AnswerMilliseconds))
        return false;
    // The running copy closes when it has read all: then it has the files.
    socket.disconnectFromServer();
    if (socket.state() != QLocalSocket::UnconnectedState)
        socket.waitForDisconnected(AnswerMilliseconds);
    return true;
}

SingleInstance::Role SingleInstance::claim(const QStringList& files, QString* error)
{
    // Two starts at the same moment: one checks and listens while the other waits. QLockFile
    // takes over a lock whose process has ended.
    QLockFile lock(m_name + QStringLiteral(".lock"));
    lock.setStaleLockTime(0);
    if (!lock.tryLock(AnswerMilliseconds * 2)) {
        if (error)
            *error = lock.error() == QLockFile::PermissionError
                         ? QStringLiteral("cannot write %1.lock").arg(m_name)
                         : QStringLiteral("%1.lock is held").arg(m_name);
        return Role::Failed;
    }
    if (handOver(files))
        return Role::Secondary;
    // Nobody answers: a socket left by a killed copy, or none.
    QLocalServer::removeServer(m_name);
    m_server = new QLocalServer(this);
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    if (!m_server->listen(m_name)) {
        if (error)
            *error = m_server->errorString();
        delete m_server;
        m_server = nullptr;
        return Role::Failed;
    }
    connect(m_server, &QLocalServer::newConnection, this, &SingleInstance::onNewConnection);
    qCInfo(lcInstance, "listening");
    return Role::Primary;
}

void SingleInstance::onNewConnection()
{
    while (QLocalSocket* socket = m_server->nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        // The message is whole when the other side has closed its end.
        auto read = [this, socket] {
            if (socket->property("handled").toBool())
                return;
            socket->setProperty("handled", true);
            const QList<QByteArray> lines = socket->readAll().split('\n');
            if (lines.value(0) != "raise")
                return;
            QStringList files;
            for (qsizetype i = 1; i < lines.size(); ++i)
                if (!lines[i].isEmpty())
                    files << QString::fromUtf8(lines[i]);
            emit activationRequested(files);
        };
        connect(socket, &QLocalSocket::readChannelFinished, this, read);
        if (socket->state() != QLocalSocket::ConnectedState)
            read();
    }
}
