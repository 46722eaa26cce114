#include "VirtualSubjectIndex.h"

#include "platform/Clock.h"
#include "platform/Files.h"
#include "state/AppState.h"

#include <QCryptographicHash>
#include <QDataStream>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <sys/stat.h>

#include <system_error>

namespace {

// The program's one clock, so that tests and benchmarks can make files count as old
// without waiting.
qint64 nowNs()
{
    return Clock::now().toMSecsSinceEpoch() * 1000000;
}

std::optional<VirtualSubjectIndex::Signature> signatureOf(const QString& path)
{
    struct stat st;
    if (::stat(QFile::encodeName(path).constData(), &st) != 0 || !S_ISREG(st.st_mode))
        return std::nullopt;
    VirtualSubjectIndex::Signature s;
    s.device = quint64(st.st_dev);
    s.inode = quint64(st.st_ino);
    s.size = qint64(st.st_size);
    s.modifiedNs = qint64(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    s.changedNs = qint64(st.st_ctim.tv_sec) * 1000000000 + st.st_ctim.tv_nsec;
    return s;
}

// A journal or write-ahead log beside the file holds changes its signature does not show.
bool hasPendingChanges(const QString& path)
{
    struct stat st;
    return ::stat(QFile::encodeName(path + QStringLiteral("-wal")).constData(), &st) == 0 ||
           ::stat(QFile::encodeName(path + QStringLiteral("-journal")).constData(), &st) == 0;
}

QDataStream& operator<<(QDataStream& out, const VirtualSubjectIndex::Signature& s)
{
    return out << s.device << s.inode << s.size << s.modifiedNs << s.changedNs;
}

QDataStream& operator>>(QDataStream& in, VirtualSubjectIndex::Signature& s)
{
    return in >> s.device >> s.inode >> s.size >> s.modifiedNs >> s.changedNs;
}

constexpr auto StreamVersion = QDataStream::Qt_6_0;

} // namespace

VirtualSubjectIndex::VirtualSubjectIndex(const QString& folder, const QString& indexPath,
                                         const QString& programCode)
    : m_folder(withTrailingSlash(folder)), m_indexPath(indexPath), m_programCode(programCode)
{
    load();
}

VirtualSubjectIndex::VirtualSubjectIndex(const AppState& state)
    : VirtualSubjectIndex(state.virtualSubjectsFolder, state.virtualSubjectIndexPath(),
                          state.edition.ProgramCode)
{
}

VirtualSubjectIndex::Reading VirtualSubjectIndex::look(const QString& path)
{
    Reading r;
    r.readAt = nowNs();
    r.signature = signatureOf(path);
    r.trusted = r.signature && !hasPendingChanges(path);
    return r;
}

VirtualSubjectIndex::Reading VirtualSubjectIndex::read(const QString& path)
{
    Reading r = look(path);
    r.subjects = VirtualSubjectFile::subjects(path, &r.error);
    return r;
}

void VirtualSubjectIndex::readAhead(const QStringList& fileNames)
{
    // The queue only grows while no reader runs; files left unread by the readers stopped
    // here are read when asked for.
    m_readers.stop();
    const size_t first = m_aheadQueue.size();
    for (const QString& fileName : fileNames) {
        if (m_entries.contains(fileName) || m_ahead.contains(fileName))
            continue;
        auto ahead = std::make_unique<Ahead>();
        ahead->path = m_folder + fileName;
        m_ahead.insert(fileName, ahead.get());
        m_aheadQueue.push_back(std::move(ahead));
    }
    const size_t count = m_aheadQueue.size() - first;
    m_readers.start(
        count,
        [this, first](size_t i) {
            Ahead& ahead = *m_aheadQueue[first + i];
            if (!ahead.claimed.exchange(true))
                ahead.reading.set_value(read(ahead.path));
        },
        ReaderThreads::perCore(count, false));
}

std::optional<std::vector<VirtualSubject>> VirtualSubjectIndex::subjects(const QString& fileName,
                                                                         QString* error)
{
    const QString path = m_folder + fileName;
    m_seen.insert(fileName);
    Reading r;
    if (const auto ahead = m_ahead.find(fileName); ahead != m_ahead.end()) {
        // Not started yet, it runs here rather than wait for a reader.
        Ahead& a = **ahead;
        r = a.claimed.exchange(true) ? a.result.get() : read(a.path);
        m_ahead.erase(ahead);
    } else {
        r = look(path);
        const auto cached = m_entries.constFind(fileName);
        if (r.trusted && cached != m_entries.cend() && cached->signature == *r.signature)
            return cached->subjects;
        r.subjects = VirtualSubjectFile::subjects(path, &r.error);
    }

    ++m_filesRead;
    // Kept only when read whole from a file that has been still for long enough.
    const qint64 marginNs = RacyMarginMs * 1000000;
    const bool keep = r.subjects && r.trusted && r.readAt - r.signature->modifiedNs >= marginNs &&
                      r.readAt - r.signature->changedNs >= marginNs;
    if (keep) {
        m_entries.insert(fileName, Entry{*r.signature, *r.subjects});
        m_changed = true;
    } else if (m_entries.remove(fileName) > 0) {
        m_changed = true;
    }
    if (!r.subjects && error)
        *error = r.error;
    return std::move(r.subjects);
}

void VirtualSubjectIndex::load()
{
    if (m_indexPath.isEmpty())
        return;
    QFile file(m_indexPath);
    // Far more than the names of any learner's folders: anything larger is not ours.
    constexpr qint64 MaxIndexBytes = qint64(64) << 20;
    if (!file.open(QIODevice::ReadOnly) || file.size() > MaxIndexBytes)
        return;
    QDataStream in(&file);
    in.setVersion(StreamVersion);
    quint32 magic = 0, version = 0;
    QString code;
    QByteArray payload, digest;
    in >> magic >> version;
    if (in.status() != QDataStream::Ok || magic != Magic || version != FormatVersion)
        return;
    in >> code >> payload >> digest;
    // The digest catches a file damaged in the middle, which would otherwise read as names.
    if (in.status() != QDataStream::Ok || code != m_programCode ||
        digest != QCryptographicHash::hash(payload, QCryptographicHash::Sha1))
        return;

    QDataStream entries(payload);
    entries.setVersion(StreamVersion);
    QHash<QString, Entry> loaded;
    quint32 count = 0;
    entries >> count;
    for (quint32 i = 0; i < count && entries.status() == QDataStream::Ok; ++i) {
        QString name;
        Entry entry;
        quint32 subjectCount = 0;
        entries >> name >> entry.signature >> subjectCount;
        for (quint32 j = 0; j < subjectCount && entries.status() == QDataStream::Ok; ++j) {
            VirtualSubject subject;
            entries >> subject.nParent >> subject.name;
            entry.subjects.push_back(std::move(subject));
        }
        loaded.insert(name, std::move(entry));
    }
    if (entries.status() != QDataStream::Ok || !entries.atEnd())
        return;
    m_entries = std::move(loaded);
}

QByteArray VirtualSubjectIndex::serialized() const
{
    QByteArray payload;
    {
        QDataStream out(&payload, QIODevice::WriteOnly);
        out.setVersion(StreamVersion);
        out << quint32(m_entries.size());
        for (auto it = m_entries.cbegin(); it != m_entries.cend(); ++it) {
            out << it.key() << it->signature << quint32(it->subjects.size());
            for (const VirtualSubject& subject : it->subjects)
                out << subject.nParent << subject.name;
        }
    }
    QByteArray bytes;
    QDataStream out(&bytes, QIODevice::WriteOnly);
    out.setVersion(StreamVersion);
    out << Magic << FormatVersion << m_programCode << payload
        << QCryptographicHash::hash(payload, QCryptographicHash::Sha1);
    return bytes;
}

void VirtualSubjectIndex::save()
{
    if (m_indexPath.isEmpty())
        return;
    for (auto it = m_entries.begin(); it != m_entries.end();) {
        if (!m_seen.contains(it.key())) {
            it = m_entries.erase(it);
            m_changed = true;
        } else {
            ++it;
        }
    }
    if (!m_changed)
        return;
    // The index holds the names of the learner's virtual subjects: its folder is theirs alone.
    const QString folder = QFileInfo(m_indexPath).absolutePath();
    if (!QDir().mkpath(QFileInfo(folder).absolutePath()) || !makePrivateFolder(folder, nullptr))
        return;
    // An index cut short by a crash fails its digest and is made again.
    if (writeFileAtomically(m_indexPath, serialized(), nullptr, Durability::Eventually))
        m_changed = false;
}
