#pragma once

#include <QString>

#include <optional>

class QWidget;

// The online update check: asks the web site whether a newer version exists for exactly
// the running version. The answer file's last line holds a keyword and a text; "YES" asks
// the program to quit so that the update can be installed.
namespace UpdateCheck {

struct Answer
{
    QString keyword; // trimmed, in capitals
    QString text;    // trimmed
};

// caption 94 + "/updates/Ver_<major>_<minor>_<revision>.txt"
QString requestAddress(const QString& site);
// The last line of the answer split at ","; nothing for an empty last line or one without a
// comma. The answer stays in memory: it is never written to a folder another user can reach.
std::optional<Answer> readAnswer(const QByteArray& answer);

// Runs the whole check with its two dialogues; true only when an answer was read and its
// keyword is "YES". Every failure is silent and gives false.
bool checkForUpdate(QWidget* parent);

} // namespace UpdateCheck
