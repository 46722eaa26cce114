#pragma once

#include <QDateTime>

#include <functional>

// The program's clock: the local time now. Tests set their own to reach a given day (the
// weekly update check, the daily backup, dated results).
namespace Clock {

QDateTime now();
// An empty function returns to the system clock.
void setForTests(std::function<QDateTime()> clock);

} // namespace Clock
