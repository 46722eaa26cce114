#include "WebPage.h"

#include "app/AppState.h"
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
    QDesktopServices::openUrl(url);
}

void OpenWebPage(const QString& page)
{
    const AppState& s = app();
    if (Web::IsConnected())
        openWithDesktop(QUrl(Web::joinUrl(s.captions(94), page)));
    else
        openWithDesktop(QUrl::fromLocalFile(s.programFolder + s.captions(95)));
}
