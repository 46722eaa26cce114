#include "WebPage.h"
#include "state/CaptionId.h"

#include "platform/Files.h"
#include "platform/Web.h"
#include "state/AppState.h"
#include "widgets/Dialogs.h"
#include "widgets/MessageWindow.h"

#include <QDesktopServices>

namespace {
UrlOpener& opener()
{
    static UrlOpener o;
    return o;
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
    if (QDesktopServices::openUrl(url))
        return true;
    const Captions& c = app().captions;
    if (url.isLocalFile())
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
    if (connected)
        openWithDesktop(QUrl(webPageAddress(page)));
    else
        openWithDesktop(QUrl::fromLocalFile(s.programFolder + s.captions(Caption::OfflinePage)));
}
