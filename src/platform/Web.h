#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

// The network helpers: connection test, bounded download, address joining.
namespace Web {

// True unless the system reports that there is no connection (without a backend that
// can tell, the program assumes a connection and lets the download fail instead).
bool IsConnected();
// Downloads an http or https url into memory (nothing is written to any folder). A download
// that sends more than maxBytes, takes longer than timeoutMs or answers with an HTTP error
// gives nothing.
std::optional<QByteArray> download(const QString& url, int timeoutMs = 15000, qint64 maxBytes = 1 << 20);
// Joins the web site's address and a page with exactly one "/" between them.
QString joinUrl(const QString& base, const QString& page);

void setConnectedForTests(std::optional<bool> connected);

} // namespace Web
