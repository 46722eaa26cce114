#include "AppState.h"

#include "platform/Files.h"
#include "platform/Registry.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDir>

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

QString AppState::virtualSubjectIndexPath() const
{
    if (cacheFolder.isEmpty() || virtualSubjectsFolder.isEmpty())
        return QString();
    // Each folder has its own index: a learner's copy and a test folder never share one.
    const QByteArray folder = QDir::cleanPath(QDir(virtualSubjectsFolder).absolutePath()).toUtf8();
    const QByteArray hash = QCryptographicHash::hash(folder, QCryptographicHash::Sha1).toHex().left(16);
    return cacheFolder + edition.ProgramCode + QStringLiteral("-virtual-") + QString::fromLatin1(hash) +
           QStringLiteral(".index");
}
