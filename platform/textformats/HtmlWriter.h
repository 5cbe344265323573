#pragma once

#include "platform/text/DocumentAttributes.h"

#include <QByteArray>
#include <QString>

#include <functional>

class AttributedString;
class TextAttachment;

// Writes the text model as an HTML document in UTF-8: one <p> per paragraph, a <span> per run, and
// a style sheet with one class per distinct paragraph style and per distinct run of characters
// (fonts, sizes, traits, colours, text background, underline, strike-through, superscript;
// alignment, spacing, line height, indents), so long scripts stay compact. The title, the metadata
// and the background colour go into the head. HTML holds no files: attachment characters are left
// out. A text ending in a newline ends with an empty paragraph, so reading it back and taking off
// the newline every importer adds gives the same text.
class HtmlWriter {
public:
    static QByteArray write(const AttributedString& text, const DocumentAttributes& documentAttributes);
    // Where a container carries the pictures (a web archive), an attachment the namer gives a name
    // is written as an <img> of that name; the others are left out as above.
    using ImageNamer = std::function<QString(const TextAttachment& attachment)>;
    static QByteArray write(const AttributedString& text, const DocumentAttributes& documentAttributes,
                            const ImageNamer& imageName);
};
