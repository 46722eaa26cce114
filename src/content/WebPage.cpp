#include "WebPage.h"
#include "state/CaptionId.h"

#include "platform/Files.h"
#include "platform/Web.h"
#include "state/AppState.h"
#include "widgets/Dialogs.h"
#include "widgets/HelpWindow.h"
#include "widgets/MessageWindow.h"

#include <QDesktopServices>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>

namespace {
UrlOpener& opener()
{
    static UrlOpener o;
    return o;
}

// Whether the desktop names a program for folders. Asked first: with no file manager the
// desktop's opener still starts, fails later and nobody sees why nothing opened.
bool folderOpenerKnown()
{
    const QString xdgMime = QStandardPaths::findExecutable(QStringLiteral("xdg-mime"));
    if (xdgMime.isEmpty())
        return false;
    QProcess query;
    query.start(xdgMime,
                {QStringLiteral("query"), QStringLiteral("default"), QStringLiteral("inode/directory")});
    if (!query.waitForFinished(3000)) {
        query.kill();
        query.waitForFinished(1000);
        return true; // slow to answer is no proof of a missing file manager: the desktop tries
    }
    return query.exitCode() == 0 && !query.readAllStandardOutput().trimmed().isEmpty();
}
} // namespace

void setUrlOpenerForTests(UrlOpener o)
{
    opener() = std::move(o);
}

bool openWithDesktop(const QUrl& url, QWidget* parent)
{
    if (opener()) {
        opener()(url);
        return true;
    }
    const bool folderWithoutOpener =
        url.isLocalFile() && QFileInfo(url.toLocalFile()).isDir() && !folderOpenerKnown();
    if (!folderWithoutOpener && QDesktopServices::openUrl(url))
        return true;
    const Captions& c = app().captions;
    if (folderWithoutOpener)
        Dialogs::inform(parent, c(Caption::NoFileManager) + QStringLiteral("\n\n") + url.toLocalFile(),
                        QMessageBox::Warning);
    else if (url.isLocalFile())
        Dialogs::inform(parent, c(Caption::FolderNotOpened) + QStringLiteral("\n\n") + url.toLocalFile(),
                        QMessageBox::Warning);
    else
        Dialogs::inform(parent, c(Caption::AddressNotOpened) + QStringLiteral("\n\n") + url.toString(),
                        QMessageBox::Warning);
    return false;
}

QString webPageAddress(const QString& page)
{
    return Web::joinUrl(app().captions(Caption::WebSite), page);
}

void OpenWebPage(const QString& page)
{
    const AppState& s = app();
    // The address whole, on a line of its own: never broken at a "/" (shown or spoken).
    MessageWindow::showStatus(s.captions(Caption::ConnectingTo) + QLatin1Char('\n') + webPageAddress(page),
                              2000, 10);
    Pause(1);
    const bool connected = Web::IsConnected();
    // Gone before a message about the browser can show.
    MessageWindow::unload();
    const QUrl url = connected ? QUrl(webPageAddress(page))
                               : QUrl::fromLocalFile(s.programFolder + s.captions(Caption::OfflinePage));
    if (opener()) {
        opener()(url);
        return;
    }
    // With no browser to start, the program's own manual answers instead.
    if (!QDesktopServices::openUrl(url))
        OpenHelpPage(nullptr);
}

void OpenHelpPage(QWidget* owner)
{
    const AppState& s = app();
    HelpWindow::open(HelpWindow::pagePath(s.programFolder, s.edition.InterfaceLanguage),
                     s.captions(Caption::HelpPageMissing), owner);
}
