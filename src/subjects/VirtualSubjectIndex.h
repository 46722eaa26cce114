#pragma once

#include "platform/ReaderThreads.h"
#include "subjects/SubjectFile.h"

#include <QDateTime>
#include <QHash>
#include <QSet>
#include <QString>

#include <atomic>
#include <functional>
#include <future>
#include <memory>
#include <optional>
#include <vector>

struct AppState;

// The virtual subjects of one folder of virtual subject files, as the trees list them,
// without opening the files that have not changed since the last time: each file's
// subjects are kept in an index file (one per folder) together with the file's signature
// (device, inode, size, modification and change times). Opening an encrypted file costs
// far more than the whole index, so a later start opens only the files that changed.
//
// The index is an accelerator only: a missing, damaged or foreign index file, or one that
// cannot be written, is ignored without a word and the files are read as without it. A
// file that cannot be read is never kept, so it is read and reported every time. Phrases
// are always read from the files themselves.
class VirtualSubjectIndex
{
public:
    // A file changed within this margin of the moment it was read is not kept: timestamps
    // move in coarse ticks, so a second change in the same tick would leave the signature
    // as it was.
    static constexpr qint64 RacyMarginMs = 2000;
    // Written first in the index file, with the format version and the edition's code.
    static constexpr quint32 Magic = 0x50565349; // "PVSI"
    static constexpr quint32 FormatVersion = 1;

    // folder: the virtual subject files' folder; indexPath: its index file ("" for none);
    // programCode: the edition, written into the index and checked when it is read back.
    VirtualSubjectIndex(const QString& folder, const QString& indexPath, const QString& programCode);
    // The program's folder of virtual subject files, with its index and edition.
    explicit VirtualSubjectIndex(const AppState& state);
    // Waits for the files being read ahead and ends the threads reading them (m_readers).
    ~VirtualSubjectIndex() = default;
    VirtualSubjectIndex(const VirtualSubjectIndex&) = delete;
    VirtualSubjectIndex& operator=(const VirtualSubjectIndex&) = delete;

    // Starts reading, on threads of the index's own, those of these files that the index
    // holds nothing for (at a first start, all of them), so that subjects() finds them
    // read. Opening a file costs about as much as listing its subjects in a tree, so on
    // more than one core a tree fills in the time of the slower of the two, not of both.
    void readAhead(const QStringList& fileNames);

    // The virtual subjects of the file of that name in the folder, as
    // VirtualSubjectFile::subjects gives them (the same error when it cannot be read).
    std::optional<std::vector<VirtualSubject>> subjects(const QString& fileName, QString* error);
    // Writes the index when something changed since it was read, leaving out the files not
    // asked for: the trees ask for every file they list, so those are gone. Failures are
    // ignored.
    void save();

    // Files opened so far (the others came from the index).
    int filesRead() const { return m_filesRead; }

    // What identifies one version of a file: any write changes at least one of these.
    struct Signature
    {
        quint64 device = 0;
        quint64 inode = 0;
        qint64 size = 0;
        qint64 modifiedNs = 0;
        qint64 changedNs = 0;
        bool operator==(const Signature&) const = default;
    };

private:
    struct Entry
    {
        Signature signature;
        std::vector<VirtualSubject> subjects;
    };

    // One reading of a file: its signature just before, then its subjects or the error.
    struct Reading
    {
        qint64 readAt = 0;
        std::optional<Signature> signature;
        bool trusted = false; // no writer's changes pending beside the file
        std::optional<std::vector<VirtualSubject>> subjects;
        QString error;
    };
    static Reading look(const QString& path);
    static Reading read(const QString& path);

    // A file to read ahead: whoever claims it first reads it, a reader thread or, when the
    // tree asks before any reader got to it, the tree's own thread.
    struct Ahead
    {
        QString path;
        std::atomic<bool> claimed = false;
        std::promise<Reading> reading;
        std::future<Reading> result = reading.get_future();
    };

    void load();
    QByteArray serialized() const;

    QString m_folder;
    QString m_indexPath;
    QString m_programCode;
    QHash<QString, Entry> m_entries;
    QSet<QString> m_seen;                             // the files asked for since the index was read
    std::vector<std::unique_ptr<Ahead>> m_aheadQueue; // in the order the readers take them
    QHash<QString, Ahead*> m_ahead;                   // read ahead, not yet asked for
    ReaderThreads m_readers;                          // after the queue they read, so they end before it goes
    int m_filesRead = 0;
    bool m_changed = false;
};
