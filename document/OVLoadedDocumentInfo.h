#pragma once

#include "document/OVScrollbarAnchor.h"
#include "platform/foundation/PlistValue.h"
#include "platform/text/Color.h"
#include "platform/text/DocumentAttributes.h"
#include "platform/text/MutableAttributedString.h"

#include <QStringList>
#include <QVariantMap>

#include <memory>
#include <optional>

// What a reader hands the document object: the text with its bookmarks live again, every
// document attribute the text reader found, and every key the file's property list held. It is
// kept by the document until the window takes it, so it holds no reference to anything else.
struct OVLoadedDocumentInfo {
    // Document attributes keep the value types of DocumentAttributes (QString, QStringList,
    // QDateTime, Color, ...); values taken from a property list are held as PlistValue.
    QVariantMap values;
    // The "content" entry.
    std::shared_ptr<MutableAttributedString> content;
    // Read from inside the application's own installed files (a tutorial, a sample).
    bool isInternal = false;
    // The readers of RTFD content keep the text's final newline; the document must not strip one.
    bool appKitFileTypeAddsNewlineToEnd = false;
    // What a damaged file held that could not be read and was left out, in words for the user;
    // empty when everything was read.
    QStringList leftOut;

    // Typed views for the document and its window, meaningful once the checks passed.
    QStringList selectedRanges() const;
    std::optional<double> scrollbarPosition() const;
    // Absent unless whole, within the content and taken with the file's own position.
    std::optional<OVScrollbarAnchor> scrollbarAnchor() const;
    std::optional<double> speed() const;
    std::optional<QString> windowFrame() const;
    std::optional<Color> backgroundColor() const;
    PlistDictionary extendedMetadata() const;
    // The entries that are document attributes (not property-list values).
    DocumentAttributes documentAttributes() const;
    // A property-list value under key; null when absent or not from a property list.
    PlistValue propertyListValue(const QString& key) const;
};
