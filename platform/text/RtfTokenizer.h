#pragma once

#include <QByteArrayView>

#include <cstdint>
#include <string_view>

// Splits RTF bytes into groups, control words, control symbols, text runs, \'hh bytes and \bin
// data. It never reads past the input: numbers saturate, a \bin claiming more than what is left
// gets what is left, and a truncated escape ends the input.
class RtfTokenizer {
public:
    enum class Kind : std::uint8_t {
        End,
        GroupStart,
        GroupEnd,
        ControlWord,   // name, and parameter when hasParameter
        ControlSymbol, // name holds the one character after the backslash
        Text,          // a run of bytes without braces, backslashes or line breaks
        HexByte,       // \'hh: byte
        Binary,        // \binN: the N bytes that follow (bounded by the input)
    };

    struct Token {
        Kind kind = Kind::End;
        bool hasParameter = false;
        unsigned char byte = 0;
        std::int32_t parameter = 0;
        std::string_view name; // control word or symbol; the text or data for Text and Binary
    };

    explicit RtfTokenizer(QByteArrayView input);

    Token next();
    qsizetype position() const { return m_pos; }
    qsizetype size() const { return m_size; }

private:
    Token controlWord();
    Token controlSymbol();

    const char* m_data;
    qsizetype m_size;
    qsizetype m_pos = 0;
};
