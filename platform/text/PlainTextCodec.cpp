#include "platform/text/PlainTextCodec.h"

#include "platform/text/CodePages.h"

#include <QStringDecoder>
#include <QStringEncoder>

namespace {

QString decodeUtf16(QByteArrayView data, bool bigEndian)
{
    QStringDecoder decoder(bigEndian ? QStringConverter::Utf16BE : QStringConverter::Utf16LE);
    QString text = decoder.decode(data);
    if (!text.isEmpty() && text.front() == QChar(0xFEFF))
        text.remove(0, 1);
    return text;
}

std::optional<QByteArray> encodeSingleByte(QStringView text, int codePage)
{
    QByteArray out;
    out.reserve(text.size());
    for (const QChar c : text) {
        const auto byte = CodePages::encodeByte(codePage, c.unicode());
        if (!byte)
            return std::nullopt;
        out.append(*byte);
    }
    return out;
}

} // namespace

QString PlainTextCodec::decode(QByteArrayView data, TextEncoding* detected)
{
    TextEncoding encoding = TextEncoding::WindowsLatin1;
    if (data.startsWith("\xEF\xBB\xBF")) {
        encoding = TextEncoding::UTF8;
    } else if (data.startsWith("\xFF\xFE") || data.startsWith("\xFE\xFF")) {
        encoding = TextEncoding::UTF16;
    } else {
        QStringDecoder utf8(QStringConverter::Utf8, QStringConverter::Flag::Stateless);
        QString text = utf8.decode(data);
        if (!utf8.hasError()) {
            if (detected)
                *detected = TextEncoding::UTF8;
            return text;
        }
    }
    if (detected)
        *detected = encoding;
    return decode(data, encoding);
}

QString PlainTextCodec::decode(QByteArrayView data, TextEncoding encoding)
{
    switch (encoding) {
    case TextEncoding::UTF8: {
        if (data.startsWith("\xEF\xBB\xBF"))
            data = data.sliced(3);
        QStringDecoder decoder(QStringConverter::Utf8, QStringConverter::Flag::Stateless);
        return decoder.decode(data);
    }
    case TextEncoding::UTF16:
        return decodeUtf16(data, data.startsWith("\xFE\xFF"));
    case TextEncoding::UTF16BigEndian:
        return decodeUtf16(data, true);
    case TextEncoding::UTF16LittleEndian:
        return decodeUtf16(data, false);
    case TextEncoding::MacRoman:
        return CodePages::decode(CodePages::kMacRoman, data);
    case TextEncoding::WindowsLatin1:
        break;
    }
    return CodePages::decode(CodePages::kWindowsLatin1, data);
}

std::optional<QByteArray> PlainTextCodec::encode(QStringView text, TextEncoding encoding)
{
    switch (encoding) {
    case TextEncoding::UTF8:
        return text.toUtf8();
    case TextEncoding::UTF16: {
        QStringEncoder encoder(QStringConverter::Utf16LE);
        return QByteArray("\xFF\xFE", 2) + QByteArray(encoder.encode(text));
    }
    case TextEncoding::UTF16BigEndian: {
        QStringEncoder encoder(QStringConverter::Utf16BE);
        return QByteArray(encoder.encode(text));
    }
    case TextEncoding::UTF16LittleEndian: {
        QStringEncoder encoder(QStringConverter::Utf16LE);
        return QByteArray(encoder.encode(text));
    }
    case TextEncoding::MacRoman:
        return encodeSingleByte(text, CodePages::kMacRoman);
    case TextEncoding::WindowsLatin1:
        return encodeSingleByte(text, CodePages::kWindowsLatin1);
    }
    return std::nullopt;
}

bool PlainTextCodec::isKnown(quint32 encoding)
{
    switch (TextEncoding(encoding)) {
    case TextEncoding::UTF8:
    case TextEncoding::UTF16:
    case TextEncoding::WindowsLatin1:
    case TextEncoding::MacRoman:
    case TextEncoding::UTF16BigEndian:
    case TextEncoding::UTF16LittleEndian:
        return true;
    }
    return false;
}
