#pragma once

#include "platform/foundation/Error.h"
#include "platform/text/DocumentAttributes.h"
#include "platform/textformats/PlainTextCodec.h"

#include <QByteArrayView>
#include <QString>

#include <functional>
#include <memory>
#include <optional>

class FileWrapper;
class MutableAttributedString;

// The value of the document-type attribute for HTML.
inline const QString NSHTMLTextDocumentType = QStringLiteral("NSHTML");

// Reads an HTML document into the text model: its text in paragraphs, fonts, sizes, bold and
// italic, colours, text background, underline and strike-through, alignment, spacing and indents,
// from the elements' own meaning, their presentational attributes, style attributes and <style>
// sheets; the title and <meta> fields become document attributes, the body's background the
// background colour. Images, scripts and forms are left out, and nothing outside the data is
// opened or fetched: linked style sheets and addresses are only names.
//
// Any input gives a text: unclosed tags close at the end, elements nested deeper than a bound add
// no more styling, bad entities and values are read as browsers read them or ignored. Like other
// importers, it ends the last paragraph with a newline.
class HtmlReader {
public:
    // The encoding comes from encoding when given, else from a byte-order mark or a <meta> charset,
    // else valid UTF-8, else Windows Latin 1.
    static bool read(QByteArrayView data, MutableAttributedString& text,
                     DocumentAttributes* documentAttributes, Error* error,
                     std::optional<TextEncoding> encoding = {});
    static bool readString(const QString& html, MutableAttributedString& text,
                           DocumentAttributes* documentAttributes, Error* error);
    // Where a container brings the pictures along (a web archive), an <img> whose address the
    // source answers becomes an image attachment; the address is only a name to look up.
    using ImageSource = std::function<std::shared_ptr<FileWrapper>(const QString& address)>;
    static bool readString(const QString& html, MutableAttributedString& text,
                           DocumentAttributes* documentAttributes, Error* error, const ImageSource& images);
    // The encoding a <meta> element names in the first bytes, when it names one we read.
    static std::optional<TextEncoding> declaredEncoding(QByteArrayView data);
    static std::optional<TextEncoding> encodingForCharsetName(const QString& name);
};
