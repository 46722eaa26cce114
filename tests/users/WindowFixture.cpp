#include "WindowFixture.h"

#include "UsersTemplate.h"
#include "app/MainWindow.h"
#include "app/WindowFlow.h"
#include "state/AppState.h"
#include "support/TestSupport.h"
#include "users/LoginWindow.h"

#include <QApplication>
#include <QTimer>

namespace WindowFixture {

bool prepare(const QString& root, QString* error)
{
    resetAppState();
    TestSupport::useNumberedCaptions(app());
    if (!TestSupport::useFoldersUnder(app(), root)) {
        *error = QStringLiteral("cannot make the folders under ") + root;
        return false;
    }
    return UsersTemplate::write(app().templateDatabasePath(), error);
}

void finish(std::unique_ptr<MainWindow>& main, std::unique_ptr<WindowFlow>& flow)
{
    if (main && main->hasEnded()) {
        QTimer::singleShot(0, qApp, &QCoreApplication::quit);
        QCoreApplication::exec();
    }
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (qobject_cast<LoginWindow*>(w))
            delete w;
    }
    flow.reset();
    main.reset();
}

} // namespace WindowFixture
