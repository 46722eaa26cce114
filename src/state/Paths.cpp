#include "Paths.h"

#include "platform/Fail.h"
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

// The name of the program's own data folder: the edition's title when it can be one.
QString dataFolderName(const AppState& state)
{
    const QString& title = state.edition.EditionTitle;
    return isSafeFileName(title) ? title : QStringLiteral("Parlanto");
}

// Marks a data folder in the temporary folder whose learner was told where the data is.
const QString TemporaryNoticeMark = QStringLiteral(".told-where-data-is");

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

QString applicationDataFolder()
{
    QString folder = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    if (folder.isEmpty() || !QDir().mkpath(folder))
        return QString();
    while (folder.size() > 1 && folder.endsWith(QLatin1Char('/')))
        folder.chop(1);
    return folder;
}

bool copyFolderOnce(const QString& source, const QString& destination, QString* error)
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

bool setPaths(AppState& state, QString* error)
{
    state.programFolder =
        withTrailingSlash(state.programFolder.isEmpty() ? ProgramFolder() : state.programFolder);
    state.tempFolder = TempFolder();
    state.runtimeFolder = userRuntimeFolder();
    const QString installedName = state.captions.installedSubjectsFolderName();
    const QString virtualName = state.captions.virtualSubjectsFolderName();
    const QString title = dataFolderName(state);

    // An installed copy keeps its data per user even when its folder could be written.
    if (!QFileInfo::exists(state.installMarkerPath()) && !TestWriteFolder(state.programFolder)) {
        state.dataFolder = state.programFolder;
    } else {
        const QString appData = applicationDataFolder();
        if (appData.isEmpty()) {
            // A folder of that name that is somebody else's is never written: then one named
            // for this user, and if that is taken too, another of the kind (name-1 ...).
            state.dataFolder = state.tempFolder + title + QLatin1Char('/');
            QString firstError;
            if (!makePrivateFolder(state.dataFolder, &firstError)) {
                state.dataFolder =
                    privateFolderIn(state.tempFolder, title + QStringLiteral("-%1").arg(geteuid()), error);
                if (state.dataFolder.isEmpty()) {
                    if (error)
                        *error = firstError + QLatin1Char('\n') + *error;
                    return false;
                }
            }
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
                if (!copyFolderOnce(shipped, mine, error))
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
    // Beside the settings' "Parlanto" folder, in the cache's place; made when first written.
    const QString cache = QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation);
    state.cacheFolder = cache.isEmpty() ? QString() : withTrailingSlash(cache) + QStringLiteral("Parlanto/");
    return true;
}

bool dataFolderIsTemporary(const AppState& state)
{
    if (state.dataFolder.isEmpty() || state.tempFolder.isEmpty() ||
        !state.dataFolder.startsWith(state.tempFolder))
        return false;
    // Only the last-resort folders that setPaths makes there.
    const QString name = state.dataFolder.mid(state.tempFolder.size()).chopped(1);
    const QString title = dataFolderName(state);
    const QString own = title + QStringLiteral("-%1").arg(geteuid());
    if (name == title || name == own)
        return true;
    // One of the other names privateFolderIn gives: "<title>-<uid>-1" to "-9".
    return name.size() == own.size() + 2 && name.startsWith(own + QLatin1Char('-')) && name.back().isDigit();
}

bool takeTemporaryDataNotice(const AppState& state)
{
    if (!dataFolderIsTemporary(state))
        return false;
    // The mark lives in the folder itself: when the system empties the temporary folder,
    // the learner is told again about the new one.
    QFile mark(state.dataFolder + TemporaryNoticeMark);
    if (!mark.open(QIODevice::WriteOnly | QIODevice::NewOnly))
        return !QFileInfo::exists(mark.fileName()) && !QFileInfo(mark.fileName()).isSymLink();
    mark.close();
    return true;
}
