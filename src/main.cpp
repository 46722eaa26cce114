#include "BuildInfo.h"
#include "app/Startup.h"
#include "state/CommandLine.h"
#include "widgets/Dialogs.h"

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
        const QString text = CommandLine::commandName() + QStringLiteral(": ") + parsed.error;
        std::fprintf(stderr, "%s\n", qPrintable(text));
        // Started from a file manager, nobody reads the error output.
        if (Dialogs::canShowBoxes())
            Dialogs::inform(nullptr, text, QMessageBox::Critical);
        return 1;
    }
    return Startup::run(application, parsed.file);
}
