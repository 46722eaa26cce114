#include "WebPage.h"

#include "app/AppState.h"
#include "content/MessageWindow.h"
#include "platform/Files.h"
#include "platform/Web.h"

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
    return Web::joinUrl(app().captions(94), page);
}

void OpenWebPage(const QString& page)
{
    const AppState& s = app();
    MessageWindow::showStatus(s.captions(227) + QLatin1Char(' ') + s.captions(94) + QLatin1Char('\n') + page,
                              2000, 10);
    Pause(1);
    if (Web::IsConnected())
        openWithDesktop(QUrl(webPageAddress(page)));
    else
        openWithDesktop(QUrl::fromLocalFile(s.programFolder + s.captions(95)));
    MessageWindow::unload();
}
