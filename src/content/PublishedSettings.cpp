#include "PublishedSettings.h"

#include "BuildInfo.h"

#include "platform/Registry.h"

namespace {
bool publish(const QString& key, const QString& name, const QString& folder)
{
    if (RegGetString(key, name).toUpper() == folder.toUpper())
        return false;
    RegSaveString(key, name, folder);
    return true;
}
} // namespace

namespace PublishedSettings {

QStringList publishFolders(const AppState& state)
{
    const QString key = state.editionKey();
    QStringList written;
    if (publish(key, QStringLiteral("ProgramDir"), state.programFolder))
        written << QStringLiteral("ProgramDir");
    if (publish(key, QStringLiteral("InstalledSubjectsDir"), state.installedSubjectsFolder))
        written << QStringLiteral("InstalledSubjectsDir");
    if (publish(key, QStringLiteral("VirtualSubjectsDir"), state.virtualSubjectsFolder))
        written << QStringLiteral("VirtualSubjectsDir");
    return written;
}

QDate dateChecked(const QString& key)
{
    return QDate::fromString(RegGetString(key, QStringLiteral("DateChecked")).trimmed(), Qt::ISODate);
}

QString dateText(const QDate& date)
{
    return date.toString(Qt::ISODate);
}

bool updateCheckEnabled(const QString& key)
{
    const QString value = RegGetString(key, QStringLiteral("CheckForUpdates")).trimmed().toLower();
    for (const char* off : {"false", "no", "off", "0"}) {
        if (value == QLatin1String(off))
            return false;
    }
    for (const char* on : {"true", "yes", "on", "1"}) {
        if (value == QLatin1String(on))
            return true;
    }
    return BuildInfo::UpdateCheckDefault;
}

bool updateCheckDue(const QString& key, const QDate& today, const std::function<bool()>& connected)
{
    QDate last = dateChecked(key);
    if (!last.isValid()) {
        last = today;
        RegSaveString(key, QStringLiteral("DateChecked"), dateText(today));
    }
    if (today < last.addDays(7) || !connected())
        return false;
    RegSaveString(key, QStringLiteral("DateChecked"), dateText(today));
    return true;
}

} // namespace PublishedSettings
