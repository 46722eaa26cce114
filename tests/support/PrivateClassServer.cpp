#include "PrivateClassServer.h"

#include "support/TestSupport.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QTcpServer>
#include <QThread>

#include <csignal>
#include <unistd.h>

namespace {

// The newest server version Debian installed.
QString serverPrograms()
{
    QStringList versions =
        QDir(QStringLiteral("/usr/lib/postgresql")).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    std::sort(versions.begin(), versions.end(),
              [](const QString& a, const QString& b) { return a.toInt() > b.toInt(); });
    for (const QString& v : versions) {
        const QString bin = QStringLiteral("/usr/lib/postgresql/%1/bin/").arg(v);
        if (QFile::exists(bin + QStringLiteral("initdb")) && QFile::exists(bin + QStringLiteral("postgres")))
            return bin;
    }
    return {};
}

int freePort()
{
    QTcpServer probe;
    return probe.listen(QHostAddress::LocalHost, 0) ? probe.serverPort() : 0;
}

bool fail(QString* error, const QString& why)
{
    if (error)
        *error = why;
    return false;
}

// Whether every process of the group has ended (zombies waiting for a parent count as ended).
bool groupGone(pid_t group)
{
    for (const QString& entry : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
        bool number = false;
        entry.toInt(&number);
        if (!number)
            continue;
        QFile stat(QStringLiteral("/proc/%1/stat").arg(entry));
        if (!stat.open(QIODevice::ReadOnly))
            continue;
        const QByteArray text = stat.readAll();
        // After "pid (name) ": state, ppid, pgrp.
        const QList<QByteArray> fields = text.mid(text.lastIndexOf(')') + 2).split(' ');
        if (fields.size() > 2 && fields[2].toInt() == group && fields[0] != "Z")
            return false;
    }
    return true;
}

} // namespace

PrivateClassServer::PrivateClassServer()
{
    m_folder =
        QStringLiteral(PARLANTO_TEST_SERVER_FOLDER "/server-%1").arg(QCoreApplication::applicationPid());
    // Its own process group, so that a kill reaches every process of the server.
    m_process.setChildProcessModifier([] { ::setsid(); });
}

PrivateClassServer::~PrivateClassServer()
{
    if (isRunning() && !stop())
        kill();
    if (!m_folder.isEmpty())
        QDir(m_folder).removeRecursively();
}

PgTarget PrivateClassServer::superuser() const
{
    return as(QStringLiteral("postgres"), QString::fromLatin1(SuperPassword));
}

PgTarget PrivateClassServer::as(const QString& role, const QString& password) const
{
    PgTarget t;
    t.host = QStringLiteral("127.0.0.1");
    t.port = m_port;
    t.database = database();
    t.user = role;
    t.password = password;
    t.connectTimeoutSeconds = 5;
    return t;
}

bool PrivateClassServer::start(QString* error, bool* skip)
{
    if (skip)
        *skip = false;
    if (isRunning())
        return true;
    bool asUserAvailable = true;
    const QStringList asUser = TestSupport::unprivilegedCommand(&asUserAvailable);
    m_bin = serverPrograms();
    if (m_bin.isEmpty() || !asUserAvailable) {
        if (skip)
            *skip = true;
        return fail(error, m_bin.isEmpty() ? QStringLiteral("PostgreSQL's server programs are not installed")
                                           : QStringLiteral("running as root without setpriv or runuser"));
    }
    const QString data = m_folder + QStringLiteral("/data");
    if (!m_made) {
        QDir(m_folder).removeRecursively();
        const QString pwfile = m_folder + QStringLiteral("/password");
        QFile pw(pwfile);
        if (!QDir().mkpath(data) || !pw.open(QIODevice::WriteOnly) || pw.write(SuperPassword) < 0 ||
            !pw.flush())
            return fail(error, QStringLiteral("cannot make %1").arg(data));
        pw.close();
        QFile::setPermissions(data, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        for (const QString& f : {m_folder, data, pwfile}) {
            if (!TestSupport::giveToUnprivilegedUser(f))
                return fail(error, QStringLiteral("cannot hand %1 to the unprivileged user").arg(f));
        }
        QProcess initdb;
        initdb.setProcessChannelMode(QProcess::MergedChannels);
        QStringList command = asUser;
        command << m_bin + QStringLiteral("initdb") << QStringLiteral("-D") << data << QStringLiteral("-U")
                << QStringLiteral("postgres") << QStringLiteral("-A") << QStringLiteral("scram-sha-256")
                << QStringLiteral("--pwfile=") + pwfile << QStringLiteral("--no-sync") << QStringLiteral("-E")
                << QStringLiteral("UTF8") << QStringLiteral("--locale=C");
        initdb.start(command.takeFirst(), command);
        if (!initdb.waitForFinished(120000) || initdb.exitCode() != 0)
            return fail(error, QStringLiteral("initdb failed: ") + QString::fromLocal8Bit(initdb.readAll()));
    }
    m_port = m_port ? m_port : freePort();
    QStringList command = asUser;
    // A process crash loses nothing without fsync; only a machine's crash would.
    command << m_bin + QStringLiteral("postgres") << QStringLiteral("-D") << data << QStringLiteral("-p")
            << QString::number(m_port) << QStringLiteral("-c") << QStringLiteral("listen_addresses=127.0.0.1")
            << QStringLiteral("-c") << QStringLiteral("unix_socket_directories=") << QStringLiteral("-c")
            << QStringLiteral("fsync=off") << QStringLiteral("-c") << QStringLiteral("max_connections=80");
    m_process.setStandardOutputFile(m_folder + QStringLiteral("/log"), QIODevice::Append);
    m_process.setStandardErrorFile(m_folder + QStringLiteral("/log"), QIODevice::Append);
    m_process.start(command.takeFirst(), command);
    if (!m_process.waitForStarted(10000) || !waitUntilReady(error))
        return false;
    if (!m_made) {
        QFile script(QStringLiteral(PARLANTO_SOURCE_DIR "/data/server/class-server.sql"));
        if (!script.open(QIODevice::ReadOnly))
            return fail(error, QStringLiteral("cannot read class-server.sql"));
        if (!sql(QStringLiteral("CREATE DATABASE school"), error))
            return false;
        if (!sql(QString::fromUtf8(script.readAll()), error))
            return false;
        m_made = true;
    }
    return true;
}

bool PrivateClassServer::waitUntilReady(QString* error)
{
    const QDeadlineTimer deadline(60000);
    PgTarget t = superuser();
    t.database = QStringLiteral("postgres");
    t.connectTimeoutSeconds = 2;
    QString why;
    while (!deadline.hasExpired()) {
        PgConnection c;
        if (c.connect(t, &why))
            return true;
        if (!isRunning())
            break;
        QThread::msleep(50);
    }
    QFile log(m_folder + QStringLiteral("/log"));
    log.open(QIODevice::ReadOnly);
    return fail(error, QStringLiteral("the server did not start: %1\n%2")
                           .arg(why, QString::fromLocal8Bit(log.readAll().right(2000))));
}

bool PrivateClassServer::stop(QString* error)
{
    if (!isRunning())
        return true;
    ::kill(pid_t(m_process.processId()), SIGINT);
    if (!m_process.waitForFinished(60000))
        return fail(error, QStringLiteral("the server did not stop"));
    return true;
}

void PrivateClassServer::kill()
{
    if (!isRunning())
        return;
    const pid_t group = pid_t(m_process.processId());
    ::kill(-group, SIGKILL);
    m_process.waitForFinished(10000);
    // A new server refuses to start while a process of the old one holds its memory.
    const QDeadlineTimer deadline(10000);
    while (!groupGone(group) && !deadline.hasExpired())
        QThread::msleep(20);
}

bool PrivateClassServer::sql(const QString& text, QString* error, PgRows* rows,
                             const std::vector<std::optional<QString>>& params)
{
    PgTarget t = superuser();
    if (!m_made)
        t.database =
            text.startsWith(QLatin1String("CREATE DATABASE")) ? QStringLiteral("postgres") : database();
    PgConnection c;
    return c.connect(t, error) && c.exec(text, params, error, rows);
}

bool PrivateClassServer::addClass(const QString& className, const QString& role, const QString& password,
                                  QString* error)
{
    return sql(QStringLiteral("CREATE ROLE %1 LOGIN PASSWORD '%2' IN ROLE parlanto_learners")
                   .arg(role, password),
               error) &&
           sql(QStringLiteral("INSERT INTO parlanto_classes (class_name, role_name) VALUES ($1, $2)"), error,
               nullptr, {className, role});
}
