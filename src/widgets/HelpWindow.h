#pragma once

#include <QWidget>

class QTextBrowser;

// The program's own manual, "Getting started": a page shipped in the program folder, shown
// in a window of the program itself (no browser, no network). The launcher and every
// activity open this one viewer; each process has at most one help window at a time.
class HelpWindow : public QWidget
{
    Q_OBJECT
public:
    // The page in the program folder for the interface language ("English" or "Spanish").
    static QString pagePath(const QString& programFolder, const QString& interfaceLanguage);
    // Shows the page in the help window, made for owner's window (or raised when it is open
    // for it already). When the page cannot be read, missingText and the page's path are
    // shown instead.
    static HelpWindow* open(const QString& page, const QString& missingText, QWidget* owner = nullptr);

private:
    HelpWindow(const QString& page, const QString& missingText, QWidget* owner);
    void onAnchorClicked(const QUrl& url);

    QTextBrowser* m_browser = nullptr;
};
