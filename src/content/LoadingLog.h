#pragma once

#include <QString>

#include <functional>

// The loading log of the splash window. Loaders add lines without knowing whether a
// splash is showing; the splash installs the sink while it is up.
namespace LoadingLog {

using Sink = std::function<void(const QString& line)>;
// Puts a new first line on the log (if a sink is installed) and lets events run.
void addLine(const QString& line);
void setSink(Sink sink);
bool hasSink();

} // namespace LoadingLog
