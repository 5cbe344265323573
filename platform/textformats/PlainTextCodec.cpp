#include "platform/textformats/PlainTextCodec.h"

#include <algorithm>

#include "platform/text/CodePages.h"

#include <QStringDecoder>
#include <QStringEncoder>

namespace {

QString decodeWith(QStringConverter::Encoding encoding, QByteArrayView data)
{
    QStringDecoder decoder(encoding, QStringConverter::Flag::Stateless);
    QString text = decoder.decode(data);
    if (!text.isEmpty() && text.front() == QChar(0xFEFF))
        text.remove(0, 1);
    return text;
}

QByteArray encodeWith(QStringConverter::Encoding encoding, QStringView text)
{
    QStringEncoder encoder(encoding);
    return encoder.encode(text);
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

// A lone surrogate cannot be written in any UTF form without loss.
bool hasLoneSurrogate(QStringView text)
{
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c.isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate())
            ++i;
        else if (c.isSurrogate())
            return true;
    }
    return false;
}

int codePageOf(TextEncoding encoding)
{
    switch (encoding) {
    case TextEncoding::WindowsCyrillic:
        return 1251;
    case TextEncoding::WindowsGreek:
        return 1253;
    case TextEncoding::WindowsTurkish:
        return 1254;
    case TextEncoding::WindowsLatin2:
        return 1250;
    case TextEncoding::MacRoman:
        return CodePages::kMacRoman;
    default:
        return CodePages::kWindowsLatin1;
    }
}

bool startsWithUtf32Mark(QByteArrayView data)
{
    return data.startsWith(QByteArrayView("\xFF\xFE\x00\x00", 4)) ||
           data.startsWith(QByteArrayView("\x00\x00\xFE\xFF", 4));
}

} // namespace

std::optional<TextEncoding> PlainTextCodec::detect(QByteArrayView data, QString* errorDescription)
{
    if (startsWithUtf32Mark(data))
        return TextEncoding::UTF32;
    if (data.startsWith("\xEF\xBB\xBF"))
        return TextEncoding::UTF8;
    if (data.startsWith("\xFF\xFE") || data.startsWith("\xFE\xFF"))
        return TextEncoding::UTF16;
    QStringDecoder utf8(QStringConverter::Utf8, QStringConverter::Flag::Stateless);
    // The conversion runs when its result is taken, and only then sets the error.
    const QString decoded = utf8.decode(data);
    if (!utf8.hasError())
        return TextEncoding::UTF8;
    if (errorDescription)
        *errorDescription = QStringLiteral("The file has no byte-order mark and is not valid UTF-8.");
    return std::nullopt;
}

QString PlainTextCodec::decode(QByteArrayView data, TextEncoding* detected)
{
    const TextEncoding encoding = detect(data).value_or(TextEncoding::WindowsLatin1);
    if (detected)
        *detected = encoding;
    return decode(data, encoding);
}

QString PlainTextCodec::decode(QByteArrayView data, TextEncoding encoding)
{
    switch (encoding) {
    case TextEncoding::UTF8:
        return decodeWith(QStringConverter::Utf8, data);
    case TextEncoding::UTF16:
        return decodeWith(data.startsWith("\xFE\xFF") ? QStringConverter::Utf16BE : QStringConverter::Utf16LE,
                          data);
    case TextEncoding::UTF16BigEndian:
        return decodeWith(QStringConverter::Utf16BE, data);
    case TextEncoding::UTF16LittleEndian:
        return decodeWith(QStringConverter::Utf16LE, data);
    case TextEncoding::UTF32:
        return decodeWith(data.startsWith(QByteArrayView("\x00\x00\xFE\xFF", 4)) ? QStringConverter::Utf32BE
                                                                                 : QStringConverter::Utf32LE,
                          data);
    case TextEncoding::UTF32BigEndian:
        return decodeWith(QStringConverter::Utf32BE, data);
    case TextEncoding::UTF32LittleEndian:
        return decodeWith(QStringConverter::Utf32LE, data);
    case TextEncoding::ISOLatin1:
        return QString::fromLatin1(data);
    case TextEncoding::ASCII: {
        // Bytes above 127 are not ASCII; Latin 1 reads them rather than losing them.
        return QString::fromLatin1(data);
    }
    case TextEncoding::WindowsCyrillic:
    case TextEncoding::WindowsGreek:
    case TextEncoding::WindowsTurkish:
    case TextEncoding::WindowsLatin2:
    case TextEncoding::MacRoman:
    case TextEncoding::WindowsLatin1:
        break;
    }
    return CodePages::decode(codePageOf(encoding), data);
}

std::optional<QByteArray> PlainTextCodec::encode(QStringView text, TextEncoding encoding)
{
    switch (encoding) {
    case TextEncoding::UTF8:
    case TextEncoding::UTF32:
    case TextEncoding::UTF32BigEndian:
    case TextEncoding::UTF32LittleEndian:
        // UTF-16 keeps a lone surrogate unit as it is; the others would write a replacement.
        if (hasLoneSurrogate(text))
            return std::nullopt;
        break;
    default:
        break;
    }
    switch (encoding) {
    case TextEncoding::UTF8:
        return text.toUtf8();
    case TextEncoding::UTF16:
        return QByteArray("\xFF\xFE", 2) + encodeWith(QStringConverter::Utf16LE, text);
    case TextEncoding::UTF16BigEndian:
        return encodeWith(QStringConverter::Utf16BE, text);
    case TextEncoding::UTF16LittleEndian:
        return encodeWith(QStringConverter::Utf16LE, text);
    case TextEncoding::UTF32:
        return QByteArray("\xFF\xFE\x00\x00", 4) + encodeWith(QStringConverter::Utf32LE, text);
    case TextEncoding::UTF32BigEndian:
        return encodeWith(QStringConverter::Utf32BE, text);
    case TextEncoding::UTF32LittleEndian:
        return encodeWith(QStringConverter::Utf32LE, text);
    case TextEncoding::ASCII:
    case TextEncoding::ISOLatin1: {
        const char16_t limit = encoding == TextEncoding::ASCII ? 0x7F : 0xFF;
        QByteArray out;
        out.reserve(text.size());
        for (const QChar c : text) {
            if (c.unicode() > limit)
                return std::nullopt;
            out.append(char(c.unicode()));
        }
        return out;
    }
    case TextEncoding::WindowsCyrillic:
    case TextEncoding::WindowsGreek:
    case TextEncoding::WindowsTurkish:
    case TextEncoding::WindowsLatin2:
    case TextEncoding::MacRoman:
    case TextEncoding::WindowsLatin1:
        return encodeSingleByte(text, codePageOf(encoding));
    }
    return std::nullopt;
}

const std::vector<PlainTextCodec::NamedEncoding>& PlainTextCodec::knownEncodings()
{
    static const std::vector<NamedEncoding> encodings{
        {TextEncoding::UTF8, "Unicode (UTF-8)"},
        {TextEncoding::UTF16, "Unicode (UTF-16)"},
        {TextEncoding::UTF16BigEndian, "Unicode (UTF-16BE)"},
        {TextEncoding::UTF16LittleEndian, "Unicode (UTF-16LE)"},
        {TextEncoding::UTF32, "Unicode (UTF-32)"},
        {TextEncoding::UTF32BigEndian, "Unicode (UTF-32BE)"},
        {TextEncoding::UTF32LittleEndian, "Unicode (UTF-32LE)"},
        {TextEncoding::ASCII, "Western (ASCII)"},
        {TextEncoding::ISOLatin1, "Western (ISO Latin 1)"},
        {TextEncoding::WindowsLatin1, "Western (Windows Latin 1)"},
        {TextEncoding::MacRoman, "Western (Mac OS Roman)"},
        {TextEncoding::WindowsLatin2, "Central European (Windows Latin 2)"},
        {TextEncoding::WindowsCyrillic, "Cyrillic (Windows)"},
        {TextEncoding::WindowsGreek, "Greek (Windows)"},
        {TextEncoding::WindowsTurkish, "Turkish (Windows)"},
    };
    return encodings;
}

bool PlainTextCodec::isKnown(quint32 encoding)
{
    const std::vector<NamedEncoding>& known = knownEncodings();
    return std::any_of(known.begin(), known.end(), [encoding](const NamedEncoding& named) {
        return quint32(named.encoding) == encoding;
    });
}

TextEncoding PlainTextCodec::automaticEncodingFor(QStringView text)
{
    // UTF-8 holds everything but a lone surrogate; UTF-16 keeps even that, as the text holds it.
    return hasLoneSurrogate(text) ? TextEncoding::UTF16 : TextEncoding::UTF8;
}
