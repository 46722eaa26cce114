#include "WebPage.h"
#include "state/CaptionId.h"

#include "platform/Files.h"
#include "platform/Web.h"
#include "state/AppState.h"
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

void openWithDesktop(const QUrl& url)
{
    if (opener()) {
        opener()(url);
        return;
    }
    // A failure to open is silent: there is nothing the learner could do about it here.
    QDesktopServices::openUrl(url);
}

QString webPageAddress(const QString& page)
{
    return Web::joinUrl(app().captions(Caption::WebSite), page);
}

void OpenWebPage(const QString& page)
{
    const AppState& s = app();
    MessageWindow::showStatus(s.captions(Caption::ConnectingTo) + QLatin1Char(' ') +
                                  s.captions(Caption::WebSite) + QLatin1Char('\n') + page,
                              2000, 10);
    Pause(1);
    if (Web::IsConnected())
        openWithDesktop(QUrl(webPageAddress(page)));
    else
        openWithDesktop(QUrl::fromLocalFile(s.programFolder + s.captions(Caption::OfflinePage)));
    MessageWindow::unload();
}
