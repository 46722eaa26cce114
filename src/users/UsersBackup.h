#pragma once

#include <QDateTime>
#include <QList>
#include <QString>

#include <optional>

// One copy of the users database in the Backups folder. What it is and when it was taken
// are read from its name, so the folder alone says everything.
struct BackupCopy
{
    enum class Kind
    {
        Daily,
        BeforeClear,
        BeforeRestore
    };

    QString path;
    Kind kind = Kind::Daily;
    QDateTime taken;
};

// Copies of the users database in a "Backups" folder beside it: one a day at start-up (the
// last seven kept), one before the learners are cleared and one before a copy is brought
// back (all of those kept). Copies are made with the engine's online backup, so an
// activity may go on writing results meanwhile, and each copy is checked before it counts.
class UsersBackup
{
public:
    explicit UsersBackup(const QString& usersDatabasePath);
    static UsersBackup forApp();

    static constexpr int DailyCopiesKept = 7;

    QString usersDatabasePath() const { return m_path; }
    // The Backups folder beside the users database, ending with "/".
    QString folder() const;

    // Takes the day's copy unless one was taken on now's date, then deletes the daily
    // copies beyond the newest seven. No users database yet is no error. *made (when
    // given) tells whether a copy was taken.
    bool takeDailyCopy(const QDateTime& now, QString* error, bool* made = nullptr) const;
    // Takes a copy of the given kind now and returns its path. Partial copies that programs
    // which no longer run left behind are removed first.
    std::optional<QString> takeCopy(BackupCopy::Kind kind, const QDateTime& now, QString* error) const;
    // Empties the learners and results, holding the file's write lock from the copy kept
    // before it to the end, so that a result saved meanwhile is in the copy or in the file.
    // Returns the copy's path ("" when there was no file).
    std::optional<QString> clear(const QDateTime& now, QString* error) const;

    // The copies in the folder, newest first. Files of other names are not copies.
    QList<BackupCopy> copies() const;
    // The newest copy that opens and passes the check.
    std::optional<BackupCopy> newestUsableCopy() const;

    // Brings the copy back as the users database. The present file, when there is one, is
    // copied first; its copy's path is returned ("" when there was no file). The file's write
    // lock is held from that copy to the end: activities writing meanwhile wait, and their
    // rows land in the restored file.
    std::optional<QString> restore(const QString& copyPath, const QDateTime& now, QString* error) const;

    // True when the file opens with the users database's password, the engine finds no
    // damage and both users tables can be read.
    static bool checkCopy(const QString& path, QString* error);

private:
    void removeStalePartialCopies() const;
    QString nameFor(BackupCopy::Kind kind, const QDateTime& when) const;

    QString m_path;
};
