#pragma once

#include <QString>
#include <QUrl>

// Start-up of the framework layer and the folders it keeps the application's files in.
class HVKit {
public:
    // Registers in the shared user defaults the initial values of every provider class the
    // program holds. Called once at start, before anything reads a setting.
    static void setupKit();

    // The application's caches folder (XDG cache folder), made when missing.
    static QUrl appCachesFolderURL();
    // The application's data folder (XDG data folder), made when missing.
    static QUrl appSupportFolderURL();
};
