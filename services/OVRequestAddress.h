#pragma once

#include <QUrl>

// Whether the program may send a request to an address the settings hold: https anywhere, plain
// http only to this machine (a test's own server). Everything else, an empty address included,
// means no request at all, since nothing the program sends should travel unencrypted.
bool OVIsPermittedRequestAddress(const QUrl& address);
