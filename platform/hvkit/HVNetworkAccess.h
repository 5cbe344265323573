#pragma once

#include <QUrl>

#include <functional>

class QNetworkAccessManager;

// The one network access manager every check of the program shares, the address rules its
// requests follow, and the way pages are handed to the user's browser.
namespace HVNetworkAccess {

// Made on first use, with a disk cache in the application's cache folder.
QNetworkAccessManager& sharedAccessManager();

// What the program may fetch: https anywhere, plain http only on this machine (a test's server).
// An empty address is never fetched.
bool isPermittedFetchAddress(const QUrl& url);
// What the program may hand to the browser: https pages only.
bool isPermittedPageAddress(const QUrl& url);

// Forgets every cached answer and open connection.
void removeAllCachedResponses();

// Opens a page in the user's browser: QDesktopServices unless a test installed another opener.
// Answers whether the opener took it.
using URLOpener = std::function<bool(const QUrl& url)>;
bool openURL(const QUrl& url);
// An empty opener restores the desktop's.
void setURLOpener(URLOpener opener);

} // namespace HVNetworkAccess
