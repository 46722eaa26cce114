#include "Paths.h"

#include "platform/Files.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>

bool TestWriteFolder(const QString& folder)
{
    const QString probe = withTrailingSlash(folder) + QStringLiteral("test.txt");
    // Never overwrite a file that belongs to somebody else.
    if (QFileInfo::exists(probe))
        return !QFileInfo(folder).isWritable();
    QFile f(probe);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return true;
    const bool written = f.write("\"Test\"\n") == 7;
    f.close();
    const bool removed = QFile::remove(probe);
    return !(written && removed);
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
    return copyFolder(source, destination, error);
}

bool Set_Paths(AppState& state, QString* error)
{
    state.programFolder = withTrailingSlash(state.programFolder.isEmpty() ? ProgramFolder() : state.programFolder);
    state.tempFolder = TempFolder();
    const QString installedName = state.captions.installedSubjectsFolderName();
    const QString virtualName = state.captions.virtualSubjectsFolderName();
    QString title = state.edition.EditionTitle;
    if (!isSafeFileName(title))
        title = QStringLiteral("Parlanto");

    if (!TestWriteFolder(state.programFolder)) {
        state.dataFolder = state.programFolder;
    } else {
        const QString appData = Get_Application_Data_Folder();
        state.dataFolder = appData.isEmpty() ? state.tempFolder + title + QLatin1Char('/')
                                             : withTrailingSlash(appData) + title + QLatin1Char('/');
        if (!QDir().mkpath(state.dataFolder)) {
            if (error)
                *error = QStringLiteral("The folder %1 cannot be created.").arg(state.dataFolder);
            return false;
        }
        // The shipped folder is copied once; a learner's copy is never refreshed.
        if (!QFileInfo(state.dataFolder + virtualName).isDir()) {
            const QString shipped = state.programFolder + virtualName;
            if (QFileInfo(shipped).isDir()) {
                if (!Copy_Folder(shipped, state.dataFolder + virtualName, error))
                    return false;
            } else if (!QDir().mkpath(state.dataFolder + virtualName)) {
                if (error)
                    *error = QStringLiteral("The folder %1 cannot be created.").arg(state.dataFolder + virtualName);
                return false;
            }
        }
    }
    state.installedSubjectsFolder = state.programFolder + installedName + QLatin1Char('/');
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
