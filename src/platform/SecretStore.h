#pragma once

#include <QString>

#include <optional>

// A password kept for the program: in the desktop's secret store (the Secret Service, through
// libsecret when it is installed and a session bus is there), else in a file only the user may
// read (~/.config/Parlanto/passwords, mode 0600). Never in a database of the program.
namespace SecretStore {

enum class Where
{
    Desktop, // the desktop's secret store
    File,    // the private file
};

// Keeps the password under name (replacing one kept before); *where tells where it went.
bool save(const QString& name, const QString& password, QString* error, Where* where = nullptr);
// The password kept under name (nullopt when there is none). The secret store may ask the
// user to unlock it, so this is called where nobody waits for it.
std::optional<QString> load(const QString& name);
// Forgets the password everywhere.
void remove(const QString& name);
// The private file (for the README and tests).
QString fileName();

} // namespace SecretStore
