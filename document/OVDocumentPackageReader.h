#pragma once

#include "document/OVLoadedDocumentInfo.h"
#include "platform/foundation/Error.h"

#include <QByteArray>
#include <QUrl>

#include <functional>

class FileWrapper;

// Reads the native package and the older single-file prompter document into the loaded document
// information. A read fails as a whole: on failure the information is left untouched.
class OVDocumentPackageReader {
public:
    // The most bookmark positions one package may name; more is a damaged or hostile file.
    static constexpr qsizetype kMaxBookmarkLocations = 100000;

    struct Options {
        // Whether the URL lies inside the application's own installed files; by default under the
        // application's folder or its "share/orvane" data folder.
        std::function<bool(const QUrl&)> isInAppBundle;
        // Moves bookmarks that an older version saved one or two characters into their paragraph.
        bool attemptToFixBookmarkShiftBug = true;

        // attemptToFixBookmarkShiftBug as the user set it.
        static Options fromUserDefaults();
    };

    static bool isInAppBundle(const QUrl& url);

    static bool readPackage(const QUrl& url, const Options& options, OVLoadedDocumentInfo* info,
                            Error* error);
    // The same over a package already in memory; url names it in errors and places image tags.
    static bool readPackage(const FileWrapper& package, const QUrl& url, const Options& options,
                            OVLoadedDocumentInfo* info, Error* error);

    // type names the document's type in the log of a file without text.
    static bool readPrompterDocument(const QUrl& url, const QString& type, const Options& options,
                                     OVLoadedDocumentInfo* info, Error* error);
    static bool readPrompterDocumentData(const QByteArray& data, const QUrl& url, const QString& type,
                                         bool isInternal, OVLoadedDocumentInfo* info, Error* error);
};
