#pragma once

#include "ActivityInput.h"

#include <QApplication>
#include <QMessageBox>

#include <cstdio>

// The start of every activity program: read the input file named on the command line and
// show the activity's window, or explain why the file cannot be used.
template <typename Window> int runActivity(int argc, char* argv[], const QString& name)
{
    QApplication application(argc, argv);
    application.setApplicationName(name);
    const QStringList args = application.arguments();
    QString error;
    const auto input = ActivityInput::read(args.size() > 1 ? args.at(1) : QString(), &error);
    if (!input) {
        // Said on the error output too; tests and scripts ask for no window at all.
        const QString text = QStringLiteral("This activity cannot start.\n\n") + error;
        fprintf(stderr, "%s\n", qPrintable(text));
        if (qEnvironmentVariableIsSet("PARLANTO_ACTIVITY_NO_DIALOGS"))
            return 1;
        QMessageBox box(QMessageBox::Critical, name, text, QMessageBox::Ok);
        box.setTextFormat(Qt::PlainText);
        box.exec();
        return 1;
    }
    Window window(*input);
    window.show();
    window.raise();
    window.activateWindow();
    return application.exec();
}
