#pragma once

#include <QByteArrayView>
#include <QString>

#include <optional>

// Byte-to-text conversion for the code pages that RTF and plain-text files name by number:
// Windows 1250-1258 and Mac Roman (10000) from our own tables, and the double-byte East Asian
// pages 932, 936, 949 and 950 through the system's converters.
class CodePages {
public:
    static constexpr int kWindowsLatin1 = 1252;
    static constexpr int kMacRoman = 10000;

    static bool isSupported(int codePage);
    static bool isDoubleByte(int codePage);
    // True when byte starts a two-byte character in a double-byte page.
    static bool isLeadByte(int codePage, unsigned char byte);

    // Appends bytes decoded in codePage to out. An unsupported page decodes as Windows 1252; bytes
    // a converter rejects become U+FFFD, never dropped silently.
    static void appendDecoded(int codePage, QByteArrayView bytes, QString& out);
    static QString decode(int codePage, QByteArrayView bytes);

    // The byte for c in a single-byte page, or nothing when the page has no such character.
    static std::optional<char> encodeByte(int codePage, char16_t c);

    // The code page an RTF \fcharset value selects, or 0 when it selects none of its own.
    static int codePageForCharset(int charset);
};
