#include "ActivityPrograms.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>

namespace {
ActivityPrograms::Starter& testStarter()
{
    static ActivityPrograms::Starter s;
    return s;
}
} // namespace

namespace ActivityPrograms {

QStringList find(const QString& folder)
{
    QStringList programs;
    const QFileInfoList entries = QDir(folder).entryInfoList(QDir::Files | QDir::Executable, QDir::Name);
    for (const QFileInfo& info : entries) {
        if (info.isFile() && info.isExecutable() &&
            !info.fileName().endsWith(QLatin1String(".cfg"), Qt::CaseInsensitive))
            programs << info.fileName();
    }
    return programs;
}

QString pictureDatabase(const QString& folder, const QString& program)
{
    const int dot = program.indexOf(QLatin1Char('.'));
    return folder + (dot < 0 ? program : program.left(dot)) + QStringLiteral(".cfg");
}

void setStarterForTests(Starter starter)
{
    testStarter() = std::move(starter);
}

bool start(const QString& program, const QStringList& arguments, const QString& workingFolder, qint64* pid,
           QString* error)
{
    if (testStarter())
        return testStarter()(program, arguments, workingFolder, pid, error);
    const QFileInfo info(program);
    if (!info.isFile() || !info.isExecutable()) {
        if (error)
            *error = QStringLiteral("The program %1 does not exist or cannot be run.").arg(program);
        return false;
    }
    QProcess process;
    process.setProgram(program);
    process.setArguments(arguments);
    process.setWorkingDirectory(workingFolder);
    if (!process.startDetached(pid)) {
        if (error)
            *error =
                QStringLiteral("The program %1 could not be started: %2").arg(program, process.errorString());
        return false;
    }
    return true;
}

} // namespace ActivityPrograms
