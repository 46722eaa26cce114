#include "ActivityNames.h"

#include "platform/Database.h"
#include "platform/Files.h"
#include "state/AppState.h"
#include "study/ActivityPrograms.h"

#include <QHash>

namespace ActivityNames {

QString nameFromPictureFile(const QString& pictureFile, const QString& language, const QString& fallback)
{
    // The column comes from a fixed list before it names anything in a statement.
    const QString column =
        language == QLatin1String("Spanish") ? QStringLiteral("tSpanish") : QStringLiteral("tEnglish");
    if (!FileExists(pictureFile))
        return fallback;
    QString error;
    auto db = Database::open(pictureFile, Database::TemplatePassword, Database::Mode::ReadOnly, &error);
    if (!db)
        return fallback;
    Statement st = db->prepare(QStringLiteral("SELECT %1 FROM tblNames").arg(column), &error);
    if (!st.isValid() || st.step() != Statement::Step::Row)
        return fallback;
    const QString name = st.text(0).trimmed();
    return name.isEmpty() ? fallback : name;
}

namespace {
QHash<QString, QString>& cache() // read once per run: the lists ask for every row
{
    static QHash<QString, QString> names;
    return names;
}
QString cacheKey(const QString& storedName)
{
    const AppState& s = app();
    return s.activitiesFolder + QLatin1Char('\n') + s.edition.InterfaceLanguage + QLatin1Char('\n') +
           storedName;
}
} // namespace

void remember(const QString& storedName, const QString& name)
{
    cache().insert(cacheKey(storedName), name.isEmpty() ? storedName : name);
}

QString displayName(const QString& storedName)
{
    const AppState& s = app();
    if (storedName.isEmpty() || s.activitiesFolder.isEmpty() || !isSafeFileName(storedName))
        return storedName;
    QHash<QString, QString>& names = cache();
    const QString key = cacheKey(storedName);
    const auto it = names.constFind(key);
    if (it != names.constEnd())
        return *it;
    const QString name =
        nameFromPictureFile(ActivityPrograms::pictureDatabase(s.activitiesFolder, storedName),
                            s.edition.InterfaceLanguage, storedName);
    names.insert(key, name);
    return name;
}

} // namespace ActivityNames
