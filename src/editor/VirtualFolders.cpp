#include "VirtualFolders.h"

#include "platform/Database.h"
#include "platform/Files.h"

#include <QFile>
#include <QFileInfo>

#include <algorithm>

namespace VirtualFolders {

namespace {
// Most Linux file systems take at most 255 bytes per name.
constexpr int MaxFileNameBytes = 255;

template <typename T> std::optional<T> failWith(QString* error, const QString& text)
{
    if (error)
        *error = text;
    return std::nullopt;
}
} // namespace

QString fileName(const QString& folderName, const QString& languageCode)
{
    return folderName + QStringLiteral(".v") + languageCode;
}

int countStartingWith(const QString& base, const QStringList& texts)
{
    return int(std::count_if(texts.cbegin(), texts.cend(),
                             [&](const QString& t) { return t.startsWith(base, Qt::CaseSensitive); }));
}

QString defaultName(const QString& base, int count, const QSet<QString>& texts,
                    const std::function<bool(const QString&)>& taken)
{
    int k = count;
    QString candidate = k == 0 ? base : base + QLatin1Char(' ') + QString::number(k + 1);
    auto isTaken = [&](const QString& c) { return texts.contains(c) || (taken && taken(c)); };
    while (isTaken(candidate)) {
        // The first repetition tests the same candidate again; numbering starts at 2.
        k = std::max(k + 1, 2);
        candidate = base + QLatin1Char(' ') + QString::number(k);
    }
    return candidate;
}

NameCheck checkName(const QString& name, const QString& languageCode)
{
    if (name.trimmed().isEmpty())
        return NameCheck::Blank;
    if (!isSafeFileName(name) || name.startsWith(QLatin1Char('.')))
        return NameCheck::NotAFileName;
    if (QFile::encodeName(fileName(name, languageCode)).size() > MaxFileNameBytes)
        return NameCheck::NotAFileName;
    return NameCheck::Valid;
}

bool create(const QString& templatePath, const QString& path, QString* error)
{
    if (!QFileInfo::exists(templatePath)) {
        if (error)
            *error = QStringLiteral("the template %1 is missing").arg(templatePath);
        return false;
    }
    return VirtualSubjectFile::createFromTemplate(templatePath, path, error);
}

RenameOutcome rename(const QString& folder, const QString& oldFile, const QString& newName,
                     const QString& languageCode, QString* newFile, QString* error)
{
    if (checkName(newName, languageCode) != NameCheck::Valid)
        return RenameOutcome::BadName;
    const QString target = fileName(newName, languageCode);
    if (newFile)
        *newFile = target;
    if (target == oldFile)
        return RenameOutcome::Unchanged;
    if (QFileInfo::exists(folder + target))
        return RenameOutcome::Exists;
    if (!QFileInfo::exists(folder + oldFile)) {
        if (error)
            *error = QStringLiteral("%1 no longer exists").arg(folder + oldFile);
        return RenameOutcome::Failed;
    }
    // The file goes with its journal: one left behind would be played into the next file
    // of the old name, and the renamed one would show what was never committed.
    if (!Database::renameFile(folder + oldFile, folder + target, Database::SubjectPassword, error)) {
        if (QFileInfo::exists(folder + target) && QFileInfo::exists(folder + oldFile))
            return RenameOutcome::Exists;
        return RenameOutcome::Failed;
    }
    return RenameOutcome::Renamed;
}

DeleteOutcome remove(const QString& path, QString* error)
{
    if (!QFileInfo::exists(path)) {
        if (error)
            *error = QStringLiteral("%1 no longer exists").arg(path);
        return DeleteOutcome::Failed;
    }
    // A write cut short is rolled back first, so that the file in the trash is whole; its
    // journal never stays behind for the next file of the name.
    Database::rollBackJournal(path, Database::SubjectPassword, nullptr);
    if (QFile::moveToTrash(path)) {
        Database::removeCompanions(path);
        return DeleteOutcome::Trashed;
    }
    QFile file(path);
    if (file.remove()) {
        Database::removeCompanions(path);
        return DeleteOutcome::Deleted;
    }
    if (error)
        *error = QStringLiteral("%1 cannot be deleted: %2").arg(path, file.errorString());
    return DeleteOutcome::Failed;
}

std::optional<CopiedSubject> copySubject(const QString& installedPath, const QString& virtualPath,
                                         const QString& name, QString* error)
{
    // The copies point back at the subject by its bare file name.
    const QString installedFile = QFileInfo(installedPath).fileName();
    if (installedFile.isEmpty())
        return failWith<CopiedSubject>(error,
                                       QStringLiteral("\"%1\" is not a subject file").arg(installedPath));
    const auto source = InstalledSubject::phrases(installedPath, false, error);
    if (!source)
        return std::nullopt;
    CopiedSubject copy;
    copy.phrases.reserve(source->size());
    for (const Phrase& p : *source) {
        VirtualPhrase v;
        v.tfilename = installedFile;
        v.phraseNo = p.phraseNo;
        v.tPhrase = p.tPhrase;
        v.tTranslation = p.tTranslation;
        v.tTranslation2 = p.tTranslation2;
        copy.phrases.push_back(v);
    }
    const auto added = VirtualSubjectFile::addSubjectWithPhrases(virtualPath, name, copy.phrases, error);
    if (!added)
        return std::nullopt;
    copy.nParent = added->nParent;
    for (size_t i = 0; i < copy.phrases.size(); ++i) {
        copy.phrases[i].fkParent = added->nParent;
        copy.phrases[i].rowKey = added->phraseKeys.at(i);
    }
    return copy;
}

std::optional<VirtualPhrase> copyPhrase(const QString& virtualPath, qint64 nParent,
                                        const VirtualPhrase& phrase, QString* error)
{
    const auto keys = VirtualSubjectFile::addPhrases(virtualPath, nParent, {phrase}, error);
    if (!keys || keys->empty())
        return std::nullopt;
    VirtualPhrase added = phrase;
    added.fkParent = nParent;
    added.rowKey = keys->front();
    return added;
}

bool DeletionHistory::deleteSubject(const QString& path, qint64 nParent, QString* error)
{
    auto rows = VirtualSubjectFile::takeSubject(path, nParent, error);
    if (!rows)
        return false;
    m_entries.push_back({path, std::move(*rows)});
    return true;
}

bool DeletionHistory::deletePhrase(const QString& path, qint64 phraseNo, QString* error)
{
    auto rows = VirtualSubjectFile::takePhrase(path, phraseNo, error);
    if (!rows)
        return false;
    m_entries.push_back({path, std::move(*rows)});
    return true;
}

std::optional<DeletionHistory::Entry> DeletionHistory::undo(QString* error)
{
    if (m_entries.empty())
        return std::nullopt;
    if (!VirtualSubjectFile::restoreRows(m_entries.back().path, m_entries.back().rows, error))
        return std::nullopt;
    Entry done = std::move(m_entries.back());
    m_entries.pop_back();
    return done;
}

void DeletionHistory::folderRenamed(const QString& oldPath, const QString& newPath)
{
    for (Entry& e : m_entries)
        if (e.path == oldPath)
            e.path = newPath;
}

void DeletionHistory::folderDeleted(const QString& path)
{
    std::erase_if(m_entries, [&path](const Entry& e) { return e.path == path; });
}

} // namespace VirtualFolders
