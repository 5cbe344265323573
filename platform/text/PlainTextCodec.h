#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <optional>

// Text encodings a plain-text file is read and written in, numbered as the platform numbers them
// in its character-encoding document attribute.
enum class TextEncoding : quint32 {
    UTF8 = 4,
    UTF16 = 10, // with a byte-order mark
    WindowsLatin1 = 12,
    MacRoman = 30,
    UTF16BigEndian = 0x90000100,
    UTF16LittleEndian = 0x94000100,
};

// Bytes to text and back for plain-text files, with the detection the document reader uses:
// a byte-order mark wins, then valid UTF-8, and anything else is Windows Latin 1.
class PlainTextCodec {
public:
    static QString decode(QByteArrayView data, TextEncoding* detected = nullptr);
    static QString decode(QByteArrayView data, TextEncoding encoding);
    // Nothing when the text has a character the encoding cannot hold: a save must not lose text
    // silently. UTF-16 is written little-endian after a byte-order mark.
    static std::optional<QByteArray> encode(QStringView text, TextEncoding encoding);
    static bool isKnown(quint32 encoding);
};
