#pragma once

#include "platform/PgConnection.h"

#include <QProcess>
#include <QString>

// A PostgreSQL server of the tests' own: a data folder made with initdb in the build tree,
// a free port on 127.0.0.1 (no socket file), the class tables of data/server/class-server.sql,
// run as an unprivileged user when the tests run as root (the server refuses root). Stopped
// and removed when the object goes. Tests that cannot have one are skipped with the reason.
class PrivateClassServer
{
public:
    static constexpr const char* SuperPassword = "super-secret";

    PrivateClassServer();
    ~PrivateClassServer();
    PrivateClassServer(const PrivateClassServer&) = delete;
    PrivateClassServer& operator=(const PrivateClassServer&) = delete;

    // Makes the data folder and the tables (first time) and starts the server; true once it
    // takes connections. *skip tells a machine without the server's programs.
    bool start(QString* error, bool* skip = nullptr);
    // A fast shutdown, as an administrator would.
    bool stop(QString* error = nullptr);
    // The server and every one of its processes killed (SIGKILL), as a crash would.
    void kill();
    bool isRunning() const { return m_process.state() != QProcess::NotRunning; }

    int port() const { return m_port; }
    QString database() const { return QStringLiteral("school"); }
    PgTarget superuser() const;
    PgTarget as(const QString& role, const QString& password) const;
    // Runs SQL as the superuser (several statements without parameters).
    bool sql(const QString& text, QString* error, PgRows* rows = nullptr,
             const std::vector<std::optional<QString>>& params = {});
    // A class with its login role, as the README tells a school to add one.
    bool addClass(const QString& className, const QString& role, const QString& password, QString* error);

private:
    bool waitUntilReady(QString* error);

    QString m_folder; // holds data/, the password file and the log
    QString m_bin;
    int m_port = 0;
    bool m_made = false;
    QProcess m_process;
};
