#pragma once

#include "platform/foundation/Error.h"
#include "platform/text/DocumentAttributes.h"

#include <QByteArray>
#include <QByteArrayView>

#include <optional>

class AttributedString;
class MutableAttributedString;

// The value of the document-type attribute for OpenDocument text.
inline const QString NSOpenDocumentTextDocumentType = QStringLiteral("NSOpenDocument");

// OpenDocument text (.odt) into and out of the text model: paragraphs, headings and spans with
// fonts, sizes, traits, colours, text background, underline, strike-through, superscript,
// alignment, spacing and indents, from automatic and named styles (parents followed a bounded
// number of steps, cycles cut) down to the default style; the meta part becomes document
// attributes. Frames, notes and annotations are not the script and are left out. Written files
// start with the stored "mimetype" member and are the same bytes for the same text.
class Odt {
public:
    static bool read(QByteArrayView data, MutableAttributedString& text,
                     DocumentAttributes* documentAttributes, Error* error);
    static std::optional<QByteArray> write(const AttributedString& text,
                                           const DocumentAttributes& documentAttributes, Error* error);

    static constexpr const char* kMimeType = "application/vnd.oasis.opendocument.text";
};
