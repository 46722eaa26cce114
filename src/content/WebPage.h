#pragma once

#include <QString>
#include <QUrl>

#include <functional>

class QWidget;

// Opening pages of the web site (caption 94) in the learner's browser, or the offline
// page shipped in the program folder (caption 95) when there is no connection.
void OpenWebPage(const QString& page);
// The program's manual, "Getting started", in the learner's language, in the program's own
// help window made for owner's window. It needs no browser and no network.
void OpenHelpPage(QWidget* owner = nullptr);
// The address of a page of the web site, as OpenWebPage opens it when connected.
QString webPageAddress(const QString& page);
// Opens an address or a local file with the desktop's default program. When the desktop
// cannot (no browser, no file manager), the learner is told and shown the address or folder
// to copy; false then.
bool openWithDesktop(const QUrl& url, QWidget* parent = nullptr);

// Tests see what would be opened instead of starting a browser or file manager.
using UrlOpener = std::function<void(const QUrl&)>;
void setUrlOpenerForTests(UrlOpener opener);
