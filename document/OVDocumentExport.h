#pragma once

#include "platform/foundation/Error.h"
#include "platform/text/DocumentAttributes.h"

#include <QString>
#include <QUrl>

#include <optional>

class MutableAttributedString;

// The foreign branch of the document's writer: RTF, RTFD, HTML and plain text, chosen through the
// writing table. The text is a copy the writer may change.
class OVDocumentExport {
public:
    // The text-system document type the writing table gives the type; empty when it has no row.
    static QString documentTypeForWriting(const QString& type);
    // Whether this program writes that document type itself.
    static bool canWriteDocumentType(const QString& documentType);

    // Writes text as type to url in one atomic step. documentAttributes are those of a package
    // (type, background, metadata). For plain text the encoding is defaultEncodingValue when set and
    // not 0, else UTF-8, or UTF-16 for a text UTF-8 cannot hold; an encoding that cannot hold the
    // text fails the write with an error instead of replacing characters. Bookmarks are never
    // written: no foreign format holds them.
    static bool write(const QUrl& url, const QString& type, MutableAttributedString& text,
                      DocumentAttributes documentAttributes, std::optional<quint64> defaultEncodingValue,
                      Error* error);
    // The converted bytes of a file format (not RTFD), as write makes them; empty with error set
    // when the text cannot be converted.
    static std::optional<QByteArray> data(const QString& documentType, MutableAttributedString& text,
                                          const DocumentAttributes& documentAttributes,
                                          std::optional<quint64> defaultEncodingValue, Error* error);
};
