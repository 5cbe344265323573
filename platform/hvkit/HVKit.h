#pragma once

#include <QString>
#include <QUrl>

// Start-up of the framework layer and the folders it keeps the application's files in.
class HVKit {
public:
    // The application's caches folder (XDG cache folder), made when missing.
    static QUrl appCachesFolderURL();
    // The application's data folder (XDG data folder), made when missing.
    static QUrl appSupportFolderURL();
};
