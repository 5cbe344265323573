#pragma once

#include "document/OVLoadedDocumentInfo.h"
#include "platform/foundation/Error.h"

#include <QByteArray>
#include <QStringList>
#include <QUrl>

#include <functional>

class FileWrapper;

// Reads the native package and the older single-file prompter document into the loaded document
// information. A read fails as a whole: on failure the information is left untouched. A package
// whose text is whole gives it back even when its properties are damaged (they stay at their
// defaults) or a bookmark cannot be decoded (it is left out); what was left out is listed in the
// information. A package written by a newer version is still refused.
class OVDocumentPackageReader {
public:
    // The most bookmark positions one package may name; more is a damaged or hostile file.
    static constexpr qsizetype kMaxBookmarkLocations = 100000;
    // The bounds the importer, the preview and the thumbnailer read a package within; the program
    // keeps the same, so a script they refuse is refused here too, before any of it is read.
    static constexpr qint64 kMaxContentBytes = qint64(256) << 20;
    static constexpr int kMaxContentDepth = 8;
    static constexpr qsizetype kMaxContentEntries = 4096;
    static constexpr qint64 kMaxPropertiesBytes = qint64(16) << 20;

    struct Options {
        // Whether the URL lies inside the application's own installed files; by default under the
        // application's folder or its "share/orvane" data folder.
        std::function<bool(const QUrl&)> isInAppBundle;
        // Moves bookmarks that an older version saved one or two characters into their paragraph.
        bool attemptToFixBookmarkShiftBug = true;

        // attemptToFixBookmarkShiftBug as the user set it.
        static Options fromUserDefaults();
    };

    // Whether url lies among the files that ship with the program: under the application's folder,
    // its "share/orvane" data folder, or a folder named by setShippedFolders.
    static bool isInAppBundle(const QUrl& url);
    // The program's own resource folder where it is not installed beside the program (a run from
    // the build tree reads the source tree's); set once at program start.
    static void setShippedFolders(const QStringList& folders);

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
