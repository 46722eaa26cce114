#include "BackupRestore.h"

#include "app/AppState.h"
#include "app/Dialogs.h"
#include "app/Startup.h"

namespace BackupRestore {

namespace {

QString when(const BackupCopy& copy)
{
    return copy.taken.toString(QStringLiteral("yyyy-MM-dd HH:mm"));
}

bool restore(QWidget* parent, const UsersBackup& backup, const BackupCopy& copy)
{
    QString error;
    if (backup.restore(copy.path, Startup::now(), &error))
        return true;
    Dialogs::inform(parent, app().captions(330) + QStringLiteral("\n\n") + error, QMessageBox::Warning);
    return false;
}

} // namespace

QString describe(const BackupCopy& copy)
{
    const int kind = copy.kind == BackupCopy::Kind::Daily         ? 325
                     : copy.kind == BackupCopy::Kind::BeforeClear ? 326
                                                                  : 327;
    return when(copy) + QStringLiteral(" (") + app().captions(kind) + QLatin1Char(')');
}

bool askAndRestore(QWidget* parent, const UsersBackup& backup, const BackupCopy& copy)
{
    const Captions& c = app().captions;
    if (!Dialogs::askYesNo(parent, c(319) + QLatin1Char(' ') + when(copy) + QStringLiteral("?\n\n") + c(320),
                           c(318)))
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
    if (!Dialogs::askYesNo(
            parent, c(323) + QLatin1Char(' ') + when(*newest) + QStringLiteral(".\n\n") + c(324), c(318)))
        return false;
    return restore(parent, backup, *newest);
}

} // namespace BackupRestore
