#pragma once

#include <QByteArray>
#include <QString>

#include <memory>

// A private folder of this user (mode 0700, a real folder, never a link), opened once and
// written only relative to that opening: another user who renames the folder away, or puts
// a folder or a link of their own at its name, never steers a write anywhere else. Every
// write also checks that the name still leads to the folder that was opened, so that a
// program handed the folder by name (an activity) finds there what was written.
class PrivateFolder
{
public:
    PrivateFolder() = default;
    ~PrivateFolder();
    PrivateFolder(PrivateFolder&& other) noexcept;
    PrivateFolder& operator=(PrivateFolder&& other) noexcept;
    PrivateFolder(const PrivateFolder&) = delete;
    PrivateFolder& operator=(const PrivateFolder&) = delete;

    // Makes the folder (mode 0700) or takes it when it is already a private folder of this
    // user, and opens it. False with the reason otherwise.
    bool open(const QString& path, QString* error);
    bool isOpen() const { return m_fd >= 0; }
    // The folder's path, ending with "/".
    QString path() const { return m_path; }
    void close();

    // True while the folder's name still leads to the folder that was opened.
    bool stillInPlace(QString* error) const;
    // Writes a new file of that bare name: made new (never opened over anything there, a
    // link included; an old file of the name is removed first), mode 0600, checked through
    // its close. On failure nothing of it stays; error gets the reason (the caller names
    // the file).
    bool writeNewFile(const QString& name, const QByteArray& bytes, QString* error) const;
    // Renames a file of the folder within it.
    bool rename(const QString& from, const QString& to, QString* error) const;
    // Removes a file (a link itself, never what it leads to); a missing one is no failure.
    void remove(const QString& name) const;
    // Removes everything in the folder (sub-folders too, links never followed) and the folder.
    void removeAll();

private:
    QString m_path;
    int m_fd = -1;
};
