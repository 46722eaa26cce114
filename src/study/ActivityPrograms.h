#pragma once

#include <QString>
#include <QStringList>

#include <functional>

// The installed activity programs and how one is started.
namespace ActivityPrograms {

// Every executable regular file of the folder that is not a ".cfg" picture file, by name.
QStringList find(const QString& folder);
// The picture database of a program: its name up to the first "." followed by ".cfg".
QString pictureDatabase(const QString& folder, const QString& program);

// Starts the program with the arguments in the working folder without waiting for it, and
// gives its process id. Returns false with a reason when it cannot be started.
bool start(const QString& program, const QStringList& arguments, const QString& workingFolder, qint64* pid,
           QString* error);

// Tests and benchmarks see each start instead of a process being started.
using Starter = std::function<bool(const QString& program, const QStringList& arguments,
                                   const QString& workingFolder, qint64* pid, QString* error)>;
void setStarterForTests(Starter starter);

} // namespace ActivityPrograms
