#include "FileLists.h"

#include <QDir>

namespace FileLists {

QStringList matching(const QString& folder, const QString& pattern)
{
    QDir dir(folder);
    dir.setFilter(QDir::Files);
    dir.setNameFilters({pattern});
    dir.setSorting(QDir::Name);
    return dir.entryList();
}

QStringList activityPrograms(const QString& folder)
{
    QDir dir(folder);
    dir.setFilter(QDir::Files | QDir::Executable);
    dir.setSorting(QDir::Name);
    QStringList programs;
    for (const QString& name : dir.entryList()) {
        if (!name.endsWith(QLatin1String(".cfg"), Qt::CaseInsensitive))
            programs << name;
    }
    return programs;
}

} // namespace FileLists
