#pragma once

#include "document/OVScrollbarAnchor.h"
#include "platform/foundation/Error.h"
#include "platform/foundation/PlistValue.h"
#include "platform/text/Color.h"
#include "platform/text/DocumentAttributes.h"

#include <QStringList>
#include <QUrl>
#include <QVariantMap>

#include <memory>
#include <optional>

class FileWrapper;
class MutableAttributedString;

// Writes the native package: "Content.rtfd" (the text without its bookmarks) and
// "Properties.plist" (selection, bookmarks and their positions, prompter state, metadata).
class OVDocumentPackageWriter {
public:
    // What the document and its window give a save. The text is a copy prepared for saving,
    // which the writer changes (bookmarks removed, equal files shared); the document's own text is
    // never touched. Absent values are left out of the file.
    struct Input {
        MutableAttributedString* text = nullptr;
        std::optional<Color> backgroundColor;
        std::optional<QStringList> selectedRanges;
        std::optional<double> scrollbarPosition;
        // Written only beside the position, with that position as its own.
        std::optional<OVScrollbarAnchor> scrollbarAnchor;
        std::optional<double> speed;
        std::optional<QString> windowFrame;
        // Document properties by property key ("author", "keywords", ...); an invalid QVariant is
        // the null object, a property without a value.
        QVariantMap metadataInfo;
        // "director", "producer", "performers" in their property-list form; a null value is the
        // null object and is not written.
        PlistDictionary extendedMetadataInfo;
        // Document attributes kept from reading but not edited (title, editor, dates).
        DocumentAttributes unusedMetadataInfo;
        // Whether "systemVersion" records the system the package is written on; files generated
        // for shipping, which must come out the same on every machine, leave it out.
        bool recordsSystemVersion = true;
    };

    // The mapping of document attributes to property keys, as alternating pairs.
    static const QStringList& mappedMetadataKeyPairs();

    // Builds the package in memory; url only goes into errors. Fails with the error of the part that
    // could not be made (code 512 when a wrapper cannot be assembled).
    static std::shared_ptr<FileWrapper> packageFileWrapper(Input& input, const QUrl& url, Error* error);
    // Builds the package and writes it to url in one atomic step: a failed write leaves what was at
    // url as it was.
    static bool writeToURL(const QUrl& url, const QUrl& originalContentsURL, Input& input, Error* error);
    // The Properties.plist dictionary alone, as step of packageFileWrapper; it also removes the
    // bookmarks from the text and shares equal files.
    static PlistDictionary propertiesAndPrepareText(Input& input);
    static DocumentAttributes contentDocumentAttributes(const Input& input);
};
