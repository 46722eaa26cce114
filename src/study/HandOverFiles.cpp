#include "HandOverFiles.h"

#include "platform/Files.h"
#include "platform/PrivateFolder.h"
#include "review/PhraseIdsFile.h"
#include "state/AppState.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <algorithm>

#include <unistd.h>

namespace {

// Launch handles are the process id followed by three digits of a launch counter.
constexpr qint64 LaunchesPerLauncher = 1000;

// This launcher's folder, opened once: every file handed over is written relative to it.
// A closed folder whose path is still set is one the launcher has ended with.
PrivateFolder& launcherFolder()
{
    static PrivateFolder folder;
    return folder;
}

bool isOpenFor(const AppState& state)
{
    return !state.handOverFolder.isEmpty() && launcherFolder().isOpen() &&
           launcherFolder().path() == state.handOverFolder;
}

bool notOpen(const AppState& state, QString* error)
{
    if (error)
        *error = QStringLiteral("The folder %1 for the files handed to activities is not open.")
                     .arg(state.handOverFolder);
    return false;
}

void removeSet(qint64 handle)
{
    const PrivateFolder& folder = launcherFolder();
    const QString input = AppState::inputFileName(handle);
    folder.remove(input);
    folder.remove(input + QStringLiteral(".part"));
    const QString ids = PhraseIdsFile::pathFor(input);
    folder.remove(ids);
    folder.remove(ids + QStringLiteral(".part"));
    for (int slot = 1; slot <= AppState::MaxStudyPhrases; ++slot)
        folder.remove(AppState::soundFileName(handle, slot));
}

// An activity works in the folder of its set, also after its launcher has ended: a folder
// that is some running program's working folder is still in use.
bool isSomeonesWorkingFolder(const QString& folder)
{
    const QString canonical = QFileInfo(folder).canonicalFilePath();
    if (canonical.isEmpty())
        return false;
    const QStringList processes = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString& pid : processes) {
        if (pid.at(0).isDigit() &&
            QFileInfo(QStringLiteral("/proc/%1/cwd").arg(pid)).symLinkTarget() == canonical)
            return true;
    }
    return false;
}

// Folders named by the process id of a launcher that no longer runs (or by our own id,
// left by an earlier launcher of that number) are what ended launchers left behind, unless
// an activity they started still works in one.
void removeEndedLaunchers(const QString& folder, qint64 ownPid)
{
    const QFileInfoList entries =
        QDir(folder).entryInfoList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden);
    for (const QFileInfo& entry : entries) {
        bool number = false;
        const qint64 pid = entry.fileName().toLongLong(&number);
        if (!number || entry.isSymLink() || pid <= 0)
            continue;
        if ((pid == ownPid || !processIsRunning(pid)) && !isSomeonesWorkingFolder(entry.filePath())) {
            PrivateFolder ended;
            if (ended.open(entry.filePath(), nullptr))
                ended.removeAll();
        }
    }
}

} // namespace

namespace HandOverFiles {

bool prepare(AppState& state, QString* error)
{
    state.handOverFolder.clear();
    QString shared = userPrivateFolder(state.runtimeFolder, state.tempFolder, error);
    if (shared.isEmpty()) {
        // Every name of the kind is someone else's: a folder of a new name serves this
        // launcher alone (what it leaves when killed stays until the system clears it).
        QTemporaryDir unique(state.tempFolder + QStringLiteral("parlanto-%1-XXXXXX").arg(::geteuid()));
        if (!unique.isValid())
            return false;
        unique.setAutoRemove(false);
        shared = withTrailingSlash(unique.path());
    }
    removeEndedLaunchers(shared, state.instanceId);
    const QString own = shared + QString::number(state.instanceId) + QLatin1Char('/');
    if (!launcherFolder().open(own, error))
        return false;
    state.handOverFolder = own;
    state.handOverSets.clear();
    return true;
}

bool beginSet(AppState& state, QString* error)
{
    if (state.handOverFolder.isEmpty() && !prepare(state, error))
        return false;
    if (!isOpenFor(state))
        return notOpen(state, error);
    removeEnded(state);
    // The next handle of this launcher that no running activity holds.
    qint64 counter = state.launchHandle % LaunchesPerLauncher;
    qint64 handle = 0;
    do {
        counter = counter % (LaunchesPerLauncher - 1) + 1;
        handle = state.instanceId * LaunchesPerLauncher + counter;
    } while (std::any_of(state.handOverSets.begin(), state.handOverSets.end(),
                         [handle](const HandOverSet& set) { return set.handle == handle; }));
    state.launchHandle = handle;
    state.handOverSets.push_back({handle, 0});
    return true;
}

void setStarted(AppState& state, qint64 activityPid)
{
    for (HandOverSet& set : state.handOverSets) {
        if (set.handle == state.launchHandle)
            set.activityPid = activityPid;
    }
}

void discardNewest(AppState& state)
{
    if (isOpenFor(state))
        removeSet(state.launchHandle);
    std::erase_if(state.handOverSets,
                  [&state](const HandOverSet& set) { return set.handle == state.launchHandle; });
}

void removeEnded(AppState& state)
{
    std::erase_if(state.handOverSets, [&state](const HandOverSet& set) {
        if (processIsRunning(set.activityPid))
            return false;
        if (isOpenFor(state))
            removeSet(set.handle);
        return true;
    });
}

void removeAll(AppState& state)
{
    if (!isOpenFor(state))
        return;
    removeEnded(state);
    // An activity still running keeps its set, and with it the folder: it may still read
    // its sounds. The next launcher removes the folder once no activity works in it.
    if (state.handOverSets.empty() && !isSomeonesWorkingFolder(state.handOverFolder))
        launcherFolder().removeAll();
    else
        launcherFolder().close();
    // The folder name stays set: a write after the end fails instead of making it anew.
}

bool writeFile(const AppState& state, const QString& name, const QByteArray& bytes, QString* error)
{
    if (!isOpenFor(state))
        return notOpen(state, error);
    return launcherFolder().writeNewFile(name, bytes, error);
}

bool renameFile(const AppState& state, const QString& from, const QString& to, QString* error)
{
    if (!isOpenFor(state))
        return notOpen(state, error);
    return launcherFolder().rename(from, to, error);
}

void removeFile(const AppState& state, const QString& name)
{
    if (isOpenFor(state))
        launcherFolder().remove(name);
}

} // namespace HandOverFiles

void CleanTempFiles(AppState& state)
{
    if (!state.handOverFolder.isEmpty())
        HandOverFiles::removeEnded(state);
}
