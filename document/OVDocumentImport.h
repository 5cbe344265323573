#pragma once

#include "platform/foundation/Error.h"
#include "platform/text/AttributeDictionary.h"

#include <QString>
#include <QUrl>

#include <functional>
#include <optional>

struct OVLoadedDocumentInfo;

// The foreign branch of the document's reader: plain text, RTF, RTFD and HTML become loaded
// document information, with the clean-ups every imported text gets (paragraph indents, line
// endings) and, for plain text, the stored encoding choice and the default style.
class OVDocumentImport {
public:
    // The text-system document type the reading table gives the type ("NSRTF", "NSHTML", ...);
    // empty when the table has no row for it.
    static QString documentTypeForReading(const QString& type);

    struct Options {
        // The stored encoding choice: absent, 0 for automatic, or the platform's encoding number.
        std::optional<quint64> defaultEncodingValue;
        bool normalizeParagraphIndents = true;
        // The default style's attributes for plain text; asked only for plain text.
        std::function<std::optional<AttributeDictionary>()> defaultStyleAttributes;
        static Options fromUserDefaults();
    };

    // Fills info from the file at url read as type. useDefaultStyle tells whether the default style
    // was given to plain text. Fails with code 256 for a type outside the table, and with the
    // reader's error for a file that cannot be read.
    static bool read(const QUrl& url, const QString& type, const Options& options, OVLoadedDocumentInfo* info,
                     bool* useDefaultStyle, Error* error);

    // The largest foreign file read: far beyond any script, and within the package's own bound.
    static constexpr qint64 kMaxFileBytes = qint64(256) << 20;
};
