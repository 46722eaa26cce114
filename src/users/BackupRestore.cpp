#include "BackupRestore.h"
#include "state/CaptionId.h"

#include "platform/Clock.h"
#include "state/AppState.h"
#include "widgets/Dialogs.h"

namespace BackupRestore {

namespace {

QString when(const BackupCopy& copy)
{
    return copy.taken.toString(QStringLiteral("yyyy-MM-dd HH:mm"));
}

bool restore(QWidget* parent, const UsersBackup& backup, const BackupCopy& copy)
{
    QString error;
    if (backup.restore(copy.path, Clock::now(), &error))
        return true;
    Dialogs::inform(parent, app().captions(Caption::BackupNotRestored) + QStringLiteral("\n\n") + error,
                    QMessageBox::Warning);
    return false;
}

} // namespace

QString describe(const BackupCopy& copy)
{
    const Caption kind = copy.kind == BackupCopy::Kind::Daily         ? Caption::DailyBackup
                         : copy.kind == BackupCopy::Kind::BeforeClear ? Caption::BackupBeforeClear
                                                                      : Caption::BackupBeforeRestore;
    return when(copy) + QStringLiteral(" (") + app().captions(kind) + QLatin1Char(')');
}

bool askAndRestore(QWidget* parent, const UsersBackup& backup, const BackupCopy& copy)
{
    const Captions& c = app().captions;
    if (!Dialogs::askYesNo(parent,
                           c(Caption::RestoreAsOn) + QLatin1Char(' ') + when(copy) + QStringLiteral("?\n\n") +
                               c(Caption::PresentKeptFirst),
                           c(Caption::RestoreBackup)))
        return false;
    return restore(parent, backup, copy);
}

bool offerNewestCopy(QWidget* parent, const QString& usersDatabasePath)
{
    const UsersBackup backup(usersDatabasePath);
    const auto newest = backup.newestUsableCopy();
    if (!newest)
        return false;
    const Captions& c = app().captions;
    if (!Dialogs::askYesNo(parent,
                           c(Caption::BackupFoundFrom) + QLatin1Char(' ') + when(*newest) +
                               QStringLiteral(".\n\n") + c(Caption::RestoreInsteadOfEmpty),
                           c(Caption::RestoreBackup)))
        return false;
    return restore(parent, backup, *newest);
}

} // namespace BackupRestore
