#pragma once

#include "platform/foundation/Error.h"

#include <QList>
#include <QUrl>

#include <functional>

// The desktop around the application: opening addresses and files with their usual programs, showing
// files in the file manager, and moving files to the trash.
class Workspace {
public:
    // Opens a URL; tests and the prompting layer replace it to see what would be opened.
    using URLOpener = std::function<bool(const QUrl& url)>;
    // Asks the file manager to show files selected; false when no file manager answered.
    using FileManagerCall = std::function<bool(const QList<QUrl>& urls)>;

    static Workspace& shared();

    // Opens url with the desktop's handler for its scheme or file type.
    bool openURL(const QUrl& url);
    // Shows the files selected in the file manager (org.freedesktop.FileManager1.ShowItems over
    // D-Bus); without one, opens each file's folder instead.
    void activateFileViewerSelectingURLs(const QList<QUrl>& urls);
    // Moves each file to the trash; newURLs receives where each went (an empty URL for failures).
    // Fails with the first error, after trying every file.
    bool recycleURLs(const QList<QUrl>& urls, QList<QUrl>* newURLs, Error* error);

    void setURLOpener(URLOpener opener) { m_opener = std::move(opener); }
    void setFileManagerCall(FileManagerCall call) { m_fileManager = std::move(call); }

private:
    Workspace() = default;
    bool showItemsOverDBus(const QList<QUrl>& urls) const;

    URLOpener m_opener;
    FileManagerCall m_fileManager;
};
