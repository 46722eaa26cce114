#pragma once

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QProcess>
#include <QStringList>

// Runs xdotool (key presses and windows of the X server, from outside the program) and lets
// the test's own windows run meanwhile. False when it failed or gave no answer within waitMs;
// the reason is said unless reportFailure is false (a search expected to find nothing).
inline bool runXdotool(const QString& program, const QStringList& args, int waitMs, bool reportFailure = true)
{
    QProcess p;
    p.start(program, args);
    QDeadlineTimer deadline(waitMs);
    while (!p.waitForFinished(20) && !deadline.hasExpired())
        QCoreApplication::processEvents();
    if (p.state() != QProcess::NotRunning) {
        p.kill();
        p.waitForFinished();
        qWarning("xdotool %s: no answer in time", qPrintable(args.join(' ')));
        return false;
    }
    const bool ok = p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
    if (!ok && reportFailure)
        qWarning("xdotool %s: %s", qPrintable(args.join(' ')), p.readAllStandardError().constData());
    return ok;
}
