#include "SingleInstance.h"

#include "Files.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>
#include <QStandardPaths>
#include <QTimer>

#include <memory>

#include <sys/socket.h>
#include <sys/un.h>

#include <unistd.h>

Q_LOGGING_CATEGORY(lcInstance, "parlanto.instance", QtWarningMsg)

namespace {
// Time a running copy has to answer; it answers from its event loop, which a modal window
// keeps running too.
constexpr int AnswerMilliseconds = 3000;
// A socket's path is at most this many bytes.
constexpr qsizetype MaxSocketPathBytes = sizeof(sockaddr_un::sun_path) - 1;

// Whether the program at the other end of the connection runs as this user.
bool peerIsThisUser(qintptr descriptor)
{
    struct ucred peer = {};
    socklen_t size = sizeof(peer);
    return descriptor >= 0 && ::getsockopt(int(descriptor), SOL_SOCKET, SO_PEERCRED, &peer, &size) == 0 &&
           size == sizeof(peer) && peer.uid == ::geteuid();
}
} // namespace

SingleInstance::SingleInstance(const QString& key, const QString& folder, QObject* parent) : QObject(parent)
{
    // A socket path is short: the key goes in as a hash.
    const QByteArray hash = QCryptographicHash::hash(key.toUtf8(), QCryptographicHash::Sha1).toHex().left(16);
    const QString name = QStringLiteral("parlanto-") + QString::fromLatin1(hash);
    QString where = folder;
    // A folder of a long path (a deep home) cannot hold a socket: every start then turns to
    // the same private folder of the temporary folder.
    if (!where.isEmpty() && QFile::encodeName(withTrailingSlash(where) + name).size() > MaxSocketPathBytes)
        where = privateFolderIn(TempFolder(), QStringLiteral("parlanto-%1").arg(::geteuid()), nullptr);
    if (!where.isEmpty())
        m_name = withTrailingSlash(where) + name;
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
    if (!peerIsThisUser(socket.socketDescriptor())) {
        // Not a copy of ours: nothing is said to it, and this start serves in its place.
        qCWarning(lcInstance, "the socket %s belongs to a program of another user", qPrintable(m_name));
        socket.abort();
        return false;
    }
    // One line per file, each a full path; an empty message asks only to come to the front.
    QByteArray message = "raise\n";
    for (const QString& file : files) {
        const QByteArray line = QDir(file).absolutePath().toUtf8() + '\n';
        if (message.size() + line.size() <= MaxMessageBytes)
            message += line;
    }
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
    if (m_name.isEmpty()) {
        if (error)
            *error = QStringLiteral("no private folder for the socket");
        return Role::Failed;
    }
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
        if (!peerIsThisUser(socket->socketDescriptor())) {
            qCWarning(lcInstance, "a program of another user was refused");
            socket->abort();
            continue;
        }
        // A start that never ends its message is not waited for.
        QTimer::singleShot(AnswerMilliseconds * 2, socket, &QLocalSocket::abort);
        auto message = std::make_shared<QByteArray>();
        socket->setReadBufferSize(MaxMessageBytes + 1);
        auto take = [socket, message] {
            if (message->size() > MaxMessageBytes)
                return false; // refused already
            *message += socket->read(MaxMessageBytes + 1 - message->size());
            if (message->size() > MaxMessageBytes) {
                qCWarning(lcInstance, "a message of more than %lld bytes was refused", MaxMessageBytes);
                socket->abort();
                return false;
            }
            return true;
        };
        connect(socket, &QLocalSocket::readyRead, this, take);
        // The message is whole when the other side has closed its end.
        auto read = [this, socket, message, take] {
            if (socket->property("handled").toBool() || !take())
                return;
            socket->setProperty("handled", true);
            const QList<QByteArray> lines = message->split('\n');
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
