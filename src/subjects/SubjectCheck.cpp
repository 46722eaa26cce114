#include "SubjectCheck.h"

#include "app/AppState.h"
#include "subjects/InstalledSubjects.h"
#include "subjects/SubjectFile.h"

QString Check_Subject(const QString& fileName)
{
    // The name comes from a tree tag or a list; one that would leave the folder is no subject.
    if (fileName.isEmpty() || fileName.contains(QLatin1Char('/')) || fileName == QLatin1String("..") ||
        fileName.contains(QChar(0)))
        return QStringLiteral("\"%1\" is not the name of a subject file").arg(fileName);
    return checkSubjectFile(installedSubjectPath(app(), fileName), app().edition.ProgramCode);
}

QString verdictKind(const QString& verdict)
{
    return verdict.section(QLatin1Char('*'), 0, 0);
}
