#pragma once

#include <QLoggingCategory>
#include <QObject>
#include <QString>
#include <QStringList>

#include <memory>

// "listening", "raised <window>", "added <file>" (off unless asked for; tests read them).
Q_DECLARE_LOGGING_CATEGORY(lcInstance)

class QLocalServer;
class QLockFile;

// One running copy per user and key (the program names its edition and data folder in it).
// The first copy listens on a local socket in a folder only this user can write (see
// userPrivateFolder); a later start finds it there, hands over the files it was given and
// ends. A socket left by a copy that was killed answers nobody: it is removed and the new
// start listens in its place. Either side first checks that the other runs as the same user
// (the system's credentials of the connection): nothing is handed to, or taken from, a
// program of another user. A message is at most MaxMessageBytes; a longer one is refused.
class SingleInstance : public QObject
{
    Q_OBJECT
public:
    static constexpr qint64 MaxMessageBytes = 64 * 1024;

    // folder: a folder only this user can write, where the socket is made ("" for none).
    SingleInstance(const QString& key, const QString& folder, QObject* parent = nullptr);
    ~SingleInstance() override;

    enum class Role
    {
        Primary,
        Secondary,
        Failed
    };
    // Primary: this copy listens now and emits activationRequested for later starts.
    // Secondary: a running copy took the files (and the request to come to the front); this
    // copy ends. Failed: neither (no private folder to write); the program runs on its own.
    Role claim(const QStringList& files, QString* error = nullptr);

    // The socket's full path (tests and messages).
    QString serverName() const { return m_name; }

signals:
    // A later start asked this copy to come to the front; files are the ones it was given
    // (full paths, none for a plain start).
    void activationRequested(const QStringList& files);

private:
    bool handOver(const QStringList& files);
    void onNewConnection();

    QString m_name;
    QLocalServer* m_server = nullptr;
};
