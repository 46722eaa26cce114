#include "AppState.h"

#include "platform/Files.h"
#include "platform/Registry.h"

#include <QCoreApplication>

namespace {
AppState makeState()
{
    AppState s;
    s.edition = buildEdition();
    s.tempFolder = TempFolder();
    s.instanceId = QCoreApplication::applicationPid();
    return s;
}
} // namespace

AppState& app()
{
    static AppState state = makeState();
    return state;
}

void resetAppState()
{
    app() = makeState();
}

QString AppState::activityInputFileName() const
{
    return QStringLiteral("~prl%1.txt").arg(instanceId);
}

QString AppState::studySoundFile(int slot) const
{
    return tempFolder + QStringLiteral("~prl%1%2.wav").arg(instanceId).arg(slot);
}

QString AppState::editionKey() const
{
    return EditionRegistryKey(edition.ProgramCode);
}
