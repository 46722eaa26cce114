#include "Paths.h"

#include "platform/Files.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTemporaryFile>

#include <unistd.h>

namespace {

bool writeProbe(QFile& file)
{
    const bool written = file.write("\"Test\"\n") == 7;
    file.close();
    const bool removed = file.remove();
    return written && removed;
}

bool fail(QString* error, const QString& text)
{
    if (error)
        *error = text;
    return false;
}

// The last resort lives in the shared temporary folder, where another user could have
// made the folder first: only a real folder of our own is used there.
bool makePrivateFolder(const QString& folder, QString* error)
{
    const QString path = folder.endsWith(QLatin1Char('/')) ? folder.chopped(1) : folder;
    QFileInfo info(path);
    if (!info.exists() && !info.isSymLink()) {
        if (!QDir().mkdir(path))
            return fail(error, QStringLiteral("The folder %1 cannot be created.").arg(folder));
        QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        info.refresh();
    }
    if (info.isSymLink() || !info.isDir() || info.ownerId() != uint(geteuid()))
        return fail(error, QStringLiteral("The folder %1 belongs to someone else.").arg(folder));
    return true;
}

} // namespace

bool TestWriteFolder(const QString& folder)
{
    const QString dir = withTrailingSlash(folder);
    // The probe is "test.txt", created only if it does not exist yet, so a file of that
    // name that belongs to somebody else is never overwritten; then a unique name is used.
    QFile probe(dir + QStringLiteral("test.txt"));
    if (probe.open(QIODevice::WriteOnly | QIODevice::NewOnly))
        return !writeProbe(probe);
    if (!QFileInfo(probe.fileName()).exists() && !QFileInfo(probe.fileName()).isSymLink())
        return true;
    QTemporaryFile unique(dir + QStringLiteral("test-XXXXXX.txt"));
    unique.setAutoRemove(true);
    if (!unique.open())
        return true;
    const bool written = unique.write("\"Test\"\n") == 7 && unique.flush();
    unique.close();
    return !(written && unique.remove());
}

QString Get_Application_Data_Folder()
{
    QString folder = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    if (folder.isEmpty() || !QDir().mkpath(folder))
        return QString();
    while (folder.size() > 1 && folder.endsWith(QLatin1Char('/')))
        folder.chop(1);
    return folder;
}

bool Copy_Folder(const QString& source, const QString& destination, QString* error)
{
    QString target = destination;
    while (target.size() > 1 && target.endsWith(QLatin1Char('/')))
        target.chop(1);
    if (QFileInfo::exists(target))
        return copyFolder(source, target, error);
    // A new copy is made beside the destination and renamed into place, so an interrupted
    // copy never looks like a finished one (the copy is made only once).
    const QFileInfo info(target);
    const QString partial = info.path() + QStringLiteral("/.") + info.fileName() + QStringLiteral(".copying");
    QDir(partial).removeRecursively();
    if (!copyFolder(source, partial, error)) {
        QDir(partial).removeRecursively();
        return false;
    }
    if (!QDir().rename(partial, target)) {
        QDir(partial).removeRecursively();
        return fail(error, QStringLiteral("The folder %1 cannot be created.").arg(target));
    }
    return true;
}

bool Set_Paths(AppState& state, QString* error)
{
    state.programFolder =
        withTrailingSlash(state.programFolder.isEmpty() ? ProgramFolder() : state.programFolder);
    state.tempFolder = TempFolder();
    const QString installedName = state.captions.installedSubjectsFolderName();
    const QString virtualName = state.captions.virtualSubjectsFolderName();
    QString title = state.edition.EditionTitle;
    if (!isSafeFileName(title))
        title = QStringLiteral("Parlanto");

    // An installed copy keeps its data per user even when its folder could be written.
    if (!QFileInfo::exists(state.installMarkerPath()) && !TestWriteFolder(state.programFolder)) {
        state.dataFolder = state.programFolder;
    } else {
        const QString appData = Get_Application_Data_Folder();
        if (appData.isEmpty()) {
            state.dataFolder = state.tempFolder + title + QLatin1Char('/');
            if (!makePrivateFolder(state.dataFolder, error))
                return false;
        } else {
            state.dataFolder = withTrailingSlash(appData) + title + QLatin1Char('/');
            if (!QDir().mkpath(state.dataFolder))
                return fail(error, QStringLiteral("The folder %1 cannot be created.").arg(state.dataFolder));
        }
        // The shipped folder is copied once; a learner's copy is never refreshed.
        const QString mine = state.dataFolder + virtualName;
        if (!QFileInfo(mine).isDir()) {
            const QString shipped = state.programFolder + virtualName;
            if (QFileInfo(shipped).isDir()) {
                if (!Copy_Folder(shipped, mine, error))
                    return false;
            } else if (!QDir().mkpath(mine)) {
                return fail(error, QStringLiteral("The folder %1 cannot be created.").arg(mine));
            }
        }
    }
    state.installedSubjectsFolder = state.programFolder + installedName + QLatin1Char('/');
    state.learnerSubjectsFolder = state.dataFolder + installedName + QLatin1Char('/');
    state.virtualSubjectsFolder = state.dataFolder + virtualName + QLatin1Char('/');
    state.activitiesFolder = state.programFolder + QStringLiteral("Activities/");
    return true;
}

void CleanTempFiles(const AppState& state)
{
    for (int slot = 1; slot <= state.StudyPhraseCount; ++slot)
        QFile::remove(state.studySoundFile(slot));
    QFile::remove(state.activityInputFile());
}
