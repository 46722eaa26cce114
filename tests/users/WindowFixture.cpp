#include "WindowFixture.h"

#include "UsersTemplate.h"
#include "app/AppState.h"
#include "app/MainWindow.h"
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

void finish(std::unique_ptr<MainWindow>& main)
{
    if (main && main->hasEnded()) {
        QTimer::singleShot(0, qApp, &QCoreApplication::quit);
        QCoreApplication::exec();
    }
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (qobject_cast<LoginWindow*>(w))
            delete w;
    }
    main.reset();
}

} // namespace WindowFixture
