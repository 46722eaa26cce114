#include "BuildInfo.h"
#include "app/Startup.h"
#include "state/CommandLine.h"

#include <QApplication>

#include <cstdio>

int main(int argc, char* argv[])
{
    // --help and --version need no window, so they work without a display.
    if (CommandLine::asksForInformation(argc, argv)) {
        QCoreApplication core(argc, argv);
        return CommandLine::printInformation(QCoreApplication::arguments());
    }
    QApplication application(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("Parlanto"));
    // Ties the windows to the desktop entry (task bars, Wayland).
    QGuiApplication::setDesktopFileName(QString::fromLatin1(BuildInfo::AppId));
    const CommandLine::Parsed parsed = CommandLine::parse(QApplication::arguments());
    if (!parsed.ok) {
        std::fprintf(stderr, "%s: %s\n", qPrintable(CommandLine::commandName()), qPrintable(parsed.error));
        return 1;
    }
    return Startup::run(application, parsed.file);
}
