#pragma once

#include "platform/foundation/Error.h"
#include "platform/text/AttributeDictionary.h"
#include "platform/text/DocumentAttributes.h"
#include "platform/textformats/PlainTextCodec.h"

#include <QByteArray>
#include <QByteArrayView>

#include <optional>

class AttributedString;
class MutableAttributedString;

// Plain-text files into and out of the text model.
class PlainText {
public:
    // Replaces text with the decoded characters, all carrying attributes. Without an encoding it is
    // detected (byte-order mark, valid UTF-8, else Windows Latin 1). The document attributes give the
    // plain-text type and the encoding used.
    static void read(QByteArrayView data, MutableAttributedString& text,
                     DocumentAttributes* documentAttributes, const AttributeDictionary& attributes = {},
                     std::optional<TextEncoding> encoding = {});
    // The characters in encoding, attachment characters left out. Fails with a write error rather
    // than lose characters the encoding cannot hold.
    static std::optional<QByteArray> write(const AttributedString& text, TextEncoding encoding, Error* error);
};
