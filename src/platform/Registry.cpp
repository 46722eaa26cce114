#include "Registry.h"

#include <QSettings>
#include <QStandardPaths>
#include <QStringList>

#include <memory>

namespace {

const QString NumberGroup = QStringLiteral("dword");

struct KeyLocation
{
    QString organisation;
    QString application;
    QString group; // deeper levels, "/"-separated
    bool valid = false;
};

// "Software\Org\App\Sub" -> file Org/App.conf, group "Sub".
KeyLocation locate(const QString& subKey)
{
    QString k = subKey;
    k.replace(QLatin1Char('\\'), QLatin1Char('/'));
    QStringList parts = k.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    if (!parts.isEmpty() && parts.first().compare(QLatin1String("Software"), Qt::CaseInsensitive) == 0)
        parts.removeFirst();
    KeyLocation loc;
    if (parts.size() < 2)
        return loc;
    for (const QString& p : parts) {
        if (p == QLatin1String("..") || p == QLatin1String("."))
            return loc;
    }
    loc.organisation = parts.takeFirst();
    loc.application = parts.takeFirst();
    loc.group = parts.join(QLatin1Char('/'));
    loc.valid = !QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation).isEmpty();
    return loc;
}

// "Org/App.conf" in the XDG config folder. Named explicitly: Qt's own name for an INI file
// in the user scope ends with ".ini".
QString settingsFile(const KeyLocation& loc)
{
    const QString config = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    if (config.isEmpty())
        return QString();
    return config + QLatin1Char('/') + loc.organisation + QLatin1Char('/') + loc.application +
           QStringLiteral(".conf");
}

std::unique_ptr<QSettings> settingsFor(const KeyLocation& loc)
{
    auto s = std::make_unique<QSettings>(settingsFile(loc), QSettings::IniFormat);
    if (!loc.group.isEmpty())
        s->beginGroup(loc.group);
    return s;
}

QString numberKey(const QString& name)
{
    return NumberGroup + QLatin1Char('/') + name;
}

} // namespace

QString EditionRegistryKey(const QString& programCode)
{
    return QStringLiteral("Software\\Parlanto\\") + programCode;
}

QString RegistryFileFor(const QString& subKey)
{
    const KeyLocation loc = locate(subKey);
    return loc.valid ? settingsFile(loc) : QString();
}

QString RegGetString(const QString& subKey, const QString& valueName, const QString& defaultText)
{
    const KeyLocation loc = locate(subKey);
    if (!loc.valid || valueName.isEmpty())
        return defaultText;
    auto s = settingsFor(loc);
    const QVariant v = s->value(valueName);
    if (!v.isValid() || s->childGroups().contains(valueName))
        return defaultText;
    return v.toString();
}

void RegSaveString(const QString& subKey, const QString& valueName, const QString& text)
{
    const KeyLocation loc = locate(subKey);
    if (!loc.valid || valueName.isEmpty())
        return;
    auto s = settingsFor(loc);
    s->remove(numberKey(valueName)); // one value, one type
    s->setValue(valueName, text);
    s->sync();
}

quint32 RegGetDword(const QString& subKey, const QString& valueName, quint32 defaultNumber)
{
    const KeyLocation loc = locate(subKey);
    if (!loc.valid || valueName.isEmpty())
        return defaultNumber;
    auto s = settingsFor(loc);
    const QVariant v = s->value(numberKey(valueName));
    bool ok = false;
    const quint32 n = v.toString().toUInt(&ok);
    return ok ? n : defaultNumber;
}

void RegSaveDword(const QString& subKey, const QString& valueName, quint32 number)
{
    const KeyLocation loc = locate(subKey);
    if (!loc.valid || valueName.isEmpty())
        return;
    auto s = settingsFor(loc);
    s->remove(valueName);
    s->setValue(numberKey(valueName), QString::number(number));
    s->sync();
}

void RegDeleteSubKey(const QString& subKey)
{
    const KeyLocation loc = locate(subKey);
    if (!loc.valid)
        return;
    QSettings s(settingsFile(loc), QSettings::IniFormat);
    if (loc.group.isEmpty())
        s.clear();
    else
        s.remove(loc.group);
    s.sync();
}
