#pragma once

#include <QString>

// Per-user settings in one key per edition. A key "Software\Parlanto\prlita" lives in the
// file ~/.config/Parlanto/prlita.conf (XDG config folder); deeper levels are groups in it.
// Text and number values are kept apart: a number read as text gives the default, and the
// other way round. Failures are silent: reads give the default, writes are dropped.

QString RegGetString(const QString& subKey, const QString& valueName, const QString& defaultText = QString());
void RegSaveString(const QString& subKey, const QString& valueName, const QString& text);
quint32 RegGetDword(const QString& subKey, const QString& valueName, quint32 defaultNumber = 0);
void RegSaveDword(const QString& subKey, const QString& valueName, quint32 number);
void RegDeleteSubKey(const QString& subKey);

// The edition's own key, "Software\Parlanto\" + program code.
QString EditionRegistryKey(const QString& programCode);
// The file that holds a key (for the README and tests).
QString RegistryFileFor(const QString& subKey);
