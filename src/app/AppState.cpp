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

QString AppState::inputFileName(qint64 handle)
{
    return QStringLiteral("~prl%1.txt").arg(handle);
}

QString AppState::soundFileName(qint64 handle, int slot)
{
    return QStringLiteral("~prl%1%2.wav").arg(handle).arg(slot);
}

QString AppState::editionKey() const
{
    return EditionRegistryKey(edition.ProgramCode);
}
