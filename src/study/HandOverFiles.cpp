#include "HandOverFiles.h"

#include "platform/Files.h"
#include "state/AppState.h"
#include "review/PhraseIdsFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>

#include <unistd.h>

namespace {

// Launch handles are the process id followed by three digits of a launch counter.
constexpr qint64 LaunchesPerLauncher = 1000;

QString privateFolder(const AppState& state)
{
    return state.tempFolder + QStringLiteral("parlanto-%1/").arg(::geteuid());
}

void removeSet(const QString& folder, qint64 handle)
{
    const QString input = folder + AppState::inputFileName(handle);
    QFile::remove(input);
    QFile::remove(input + QStringLiteral(".part"));
    const QString ids = PhraseIdsFile::pathFor(input);
    QFile::remove(ids);
    QFile::remove(ids + QStringLiteral(".part"));
    for (int slot = 1; slot <= AppState::MaxStudyPhrases; ++slot)
        QFile::remove(folder + AppState::soundFileName(handle, slot));
}

// Folders named by the process id of a launcher that no longer runs (or by our own id,
// left by an earlier launcher of that number) are what ended launchers left behind.
void removeEndedLaunchers(const QString& folder, qint64 ownPid)
{
    const QFileInfoList entries =
        QDir(folder).entryInfoList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden);
    for (const QFileInfo& entry : entries) {
        bool number = false;
        const qint64 pid = entry.fileName().toLongLong(&number);
        if (!number || entry.isSymLink() || pid <= 0)
            continue;
        if (pid == ownPid || !processIsRunning(pid))
            QDir(entry.filePath()).removeRecursively();
    }
}

} // namespace

namespace HandOverFiles {

bool prepare(AppState& state, QString* error)
{
    state.handOverFolder.clear();
    const QString shared = privateFolder(state);
    if (!makePrivateFolder(shared, error))
        return false;
    removeEndedLaunchers(shared, state.instanceId);
    const QString own = shared + QString::number(state.instanceId) + QLatin1Char('/');
    if (!makePrivateFolder(own, error))
        return false;
    state.handOverFolder = own;
    state.handOverSets.clear();
    return true;
}

bool beginSet(AppState& state, QString* error)
{
    if (state.handOverFolder.isEmpty() && !prepare(state, error))
        return false;
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
    removeSet(state.handOverFolder, state.launchHandle);
    std::erase_if(state.handOverSets,
                  [&state](const HandOverSet& set) { return set.handle == state.launchHandle; });
}

void removeEnded(AppState& state)
{
    std::erase_if(state.handOverSets, [&state](const HandOverSet& set) {
        if (processIsRunning(set.activityPid))
            return false;
        removeSet(state.handOverFolder, set.handle);
        return true;
    });
}

void removeAll(AppState& state)
{
    for (const HandOverSet& set : state.handOverSets)
        removeSet(state.handOverFolder, set.handle);
    state.handOverSets.clear();
    // The folder name stays set: a write after the end fails instead of making it anew.
    if (!state.handOverFolder.isEmpty())
        QDir(state.handOverFolder).removeRecursively();
}

} // namespace HandOverFiles

void CleanTempFiles(AppState& state)
{
    if (!state.handOverFolder.isEmpty())
        HandOverFiles::removeEnded(state);
}
