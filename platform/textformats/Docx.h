#pragma once

#include "platform/foundation/Error.h"
#include "platform/text/DocumentAttributes.h"

#include <QByteArray>
#include <QByteArrayView>

#include <optional>

class AttributedString;
class MutableAttributedString;

// The value of the document-type attribute for Word's XML documents.
inline const QString NSOfficeOpenXMLTextDocumentType = QStringLiteral("NSOfficeOpenXML");

// Word documents (.docx) into and out of the text model: paragraphs and runs with their fonts,
// sizes, traits, colours, text background, underline, strike-through, superscript, alignment,
// spacing and indents, from direct formatting and from styles (inheritance followed a bounded
// number of steps, cycles cut); the core and application properties become document attributes.
// Only the package's own parts are read: relationships to anything outside it are never followed,
// and pictures are left out. Like other importers, the reader ends the last paragraph with a newline.
class Docx {
public:
    static bool read(QByteArrayView data, MutableAttributedString& text,
                     DocumentAttributes* documentAttributes, Error* error);
    // The same bytes for the same text and attributes, on any day.
    static std::optional<QByteArray> write(const AttributedString& text,
                                           const DocumentAttributes& documentAttributes, Error* error);
};
