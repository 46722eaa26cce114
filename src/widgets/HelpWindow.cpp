#include "HelpWindow.h"

#include <QDesktopServices>
#include <QFileInfo>
#include <QGuiApplication>
#include <QKeySequence>
#include <QPointer>
#include <QScreen>
#include <QShortcut>
#include <QTextBrowser>
#include <QVBoxLayout>

namespace {
QPointer<HelpWindow>& current()
{
    static QPointer<HelpWindow> window;
    return window;
}
} // namespace

QString HelpWindow::pagePath(const QString& programFolder, const QString& interfaceLanguage)
{
    const QString folder =
        programFolder.endsWith(QLatin1Char('/')) ? programFolder : programFolder + QLatin1Char('/');
    const QString code =
        interfaceLanguage == QLatin1String("Spanish") ? QStringLiteral("es") : QStringLiteral("en");
    return folder + QStringLiteral("Help/getting-started.") + code + QStringLiteral(".html");
}

HelpWindow* HelpWindow::open(const QString& page, const QString& missingText, QWidget* owner)
{
    QWidget* ownerWindow = owner ? owner->window() : nullptr;
    HelpWindow* w = current();
    // A window made for another owner may sit behind that owner's modal dialog: a new one.
    if (w && w->parentWidget() != ownerWindow) {
        w->close();
        w = nullptr;
    }
    if (!w) {
        w = new HelpWindow(page, missingText, ownerWindow);
        current() = w;
    }
    w->show();
    w->raise();
    w->activateWindow();
    return w;
}

HelpWindow::HelpWindow(const QString& page, const QString& missingText, QWidget* owner)
    : QWidget(owner, Qt::Window)
{
    setObjectName(QStringLiteral("HelpWindow"));
    setAttribute(Qt::WA_DeleteOnClose);
    m_browser = new QTextBrowser(this);
    m_browser->setObjectName(QStringLiteral("txtHelp"));
    m_browser->setOpenLinks(false);
    m_browser->setOpenExternalLinks(false);
    connect(m_browser, &QTextBrowser::anchorClicked, this, &HelpWindow::onAnchorClicked);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_browser);
    if (QFileInfo(page).isReadable()) {
        m_browser->setSource(QUrl::fromLocalFile(page));
        setWindowTitle(m_browser->documentTitle());
    } else {
        m_browser->setPlainText(missingText + QStringLiteral("\n\n") + page);
        setWindowTitle(missingText);
    }
    m_browser->setAccessibleName(windowTitle());
    // Escape closes it, as the activities' windows close.
    auto* close = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    connect(close, &QShortcut::activated, this, &QWidget::close);
    // Half the screen's width, most of its height: long enough to read, never off the screen.
    const QRect screen =
        (owner && owner->screen() ? owner->screen() : QGuiApplication::primaryScreen())->availableGeometry();
    resize(std::min(screen.width(), std::max(640, screen.width() / 2)), screen.height() * 4 / 5);
}

void HelpWindow::onAnchorClicked(const QUrl& url)
{
    // Places in the page itself are followed here; pages of the web site go to the browser,
    // and without one the learner stays on this page, which holds the same help.
    if (url.isRelative() || url.isLocalFile() || url.scheme() == QLatin1String("qrc")) {
        m_browser->setSource(url);
        return;
    }
    QDesktopServices::openUrl(url);
}
