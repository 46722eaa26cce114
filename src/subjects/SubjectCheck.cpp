#include "SubjectCheck.h"

#include "platform/Files.h"
#include "state/AppState.h"
#include "subjects/InstalledSubjects.h"
#include "subjects/SubjectFile.h"

QString installedSubjectPath(const QString& folder, const QString& fileName)
{
    // One plain component inside the folder: no separator, no "." or "..", no NUL. Blanks
    // at either end are part of an ordinary file name here. Wildcards would make the
    // existence checks match other files.
    static const QString wildcards = QStringLiteral("*?[");
    if (fileName.isEmpty() || fileName == QLatin1String(".") || fileName == QLatin1String("..") ||
        fileName.contains(QLatin1Char('/')) || fileName.contains(QChar(0)))
        return QString();
    for (const QChar c : wildcards) {
        if (fileName.contains(c))
            return QString();
    }
    return folder + fileName;
}

QString installedSubjectPath(const QString& fileName)
{
    return installedSubjectPath(app(), fileName);
}

QString checkSubject(const QString& fileName)
{
    // The name comes from a tree tag or a list; one that would leave the folder is no subject.
    const QString path = installedSubjectPath(fileName);
    if (path.isEmpty())
        return QStringLiteral("\"%1\" is not the name of a subject file").arg(fileName);
    return checkSubjectFile(path, app().edition.ProgramCode);
}

QString verdictKind(const QString& verdict)
{
    return verdict.section(QLatin1Char('*'), 0, 0);
}
