#include "platform/textformats/PlainText.h"

#include "platform/text/MutableAttributedString.h"

void PlainText::read(QByteArrayView data, MutableAttributedString& text,
                     DocumentAttributes* documentAttributes, const AttributeDictionary& attributes,
                     std::optional<TextEncoding> encoding)
{
    TextEncoding used = encoding.value_or(TextEncoding::UTF8);
    const QString string =
        encoding ? PlainTextCodec::decode(data, *encoding) : PlainTextCodec::decode(data, &used);
    text.setAttributedString(AttributedString(string, attributes));
    if (documentAttributes) {
        documentAttributes->clear();
        documentAttributes->insert(NSDocumentTypeDocumentAttribute, NSPlainTextDocumentType);
        documentAttributes->insert(NSCharacterEncodingDocumentAttribute, quint32(used));
    }
}

std::optional<QByteArray> PlainText::write(const AttributedString& text, TextEncoding encoding, Error* error)
{
    QString string = text.string();
    string.remove(QChar(kAttachmentCharacter));
    auto bytes = PlainTextCodec::encode(string, encoding);
    if (!bytes) {
        setError(error, Error::cocoa(kFileWriteUnknownError, {},
                                     QStringLiteral("The text cannot be saved in the chosen encoding.")));
    }
    return bytes;
}
