#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <optional>
#include <vector>

// Text encodings a plain-text file is read and written in, numbered as the platform numbers them
// in its character-encoding document attribute (and in the stored default encoding setting).
enum class TextEncoding : quint32 {
    ASCII = 1,
    UTF8 = 4,
    ISOLatin1 = 5,
    UTF16 = 10, // with a byte-order mark
    WindowsCyrillic = 11,
    WindowsLatin1 = 12,
    WindowsGreek = 13,
    WindowsTurkish = 14,
    WindowsLatin2 = 15,
    MacRoman = 30,
    UTF32 = 0x8C000100, // with a byte-order mark
    UTF16BigEndian = 0x90000100,
    UTF16LittleEndian = 0x94000100,
    UTF32BigEndian = 0x98000100,
    UTF32LittleEndian = 0x9C000100,
};

// Bytes to text and back for plain-text files.
class PlainTextCodec {
public:
    // What automatic detection can tell for sure: a byte-order mark, or bytes that are valid UTF-8.
    // Anything else is not detected; errorDescription then says why, and the reader falls back.
    static std::optional<TextEncoding> detect(QByteArrayView data, QString* errorDescription = nullptr);
    // Decodes with the detected encoding, or Windows Latin 1 (every byte a character) when there is
    // none; detected tells which.
    static QString decode(QByteArrayView data, TextEncoding* detected = nullptr);
    // Malformed sequences (a truncated UTF-8 character, a lone surrogate) become U+FFFD: a file is
    // never refused, nor read short, for a bad byte.
    static QString decode(QByteArrayView data, TextEncoding encoding);
    // Nothing when the text has a character the encoding cannot hold: a save must not lose text
    // silently. UTF-16 and UTF-32 with a mark are written little-endian after a byte-order mark.
    static std::optional<QByteArray> encode(QStringView text, TextEncoding encoding);
    static bool isKnown(quint32 encoding);
    // Every encoding the codec reads and writes, in the order a menu offers them, with the name it
    // shows for each.
    struct NamedEncoding {
        TextEncoding encoding;
        const char* name;
    };
    static const std::vector<NamedEncoding>& knownEncodings();
    // What a save chooses when no encoding is set: UTF-8 when it holds the whole text, else UTF-16.
    static TextEncoding automaticEncodingFor(QStringView text);
};
