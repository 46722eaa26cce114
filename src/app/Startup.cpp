#include "Startup.h"

#include "app/AppState.h"
#include "app/Dialogs.h"
#include "app/MainWindow.h"
#include "app/Paths.h"

#include <QApplication>

namespace Startup {

int run(QApplication& application)
{
    AppState& state = app();
    state.programFolder = QApplication::applicationDirPath() + QLatin1Char('/');
    QString error;
    if (!state.captions.load(state.templateDatabasePath(), state.edition.InterfaceLanguage, &error))
        Dialogs::reportError(QStringLiteral("Get_Captions"), error);
    if (!Set_Paths(state, &error))
        Dialogs::reportError(QStringLiteral("Set_Paths"), error);
    MainWindow window;
    window.show();
    return application.exec();
}

} // namespace Startup
