#pragma once

#include "platform/text/RtfControlWords.h"

#include <QByteArrayView>

#include <algorithm>
#include <array>
#include <bit>
#include <cstdint>
#include <limits>
#include <string_view>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

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
        int word = 0;          // a control word's number in RtfControlWords, 0 for words not listed there
        std::string_view name; // control word or symbol; the text or data for Text and Binary
    };

    explicit RtfTokenizer(QByteArrayView input);

    // Always inline, with the control-word scan below: a script has a token every few bytes, and
    // the reader keeps the token in registers only when it sees the code that makes it.
    [[gnu::always_inline]] Token next();
    qsizetype position() const { return m_pos; }
    qsizetype size() const { return m_size; }

private:
    static Token of(Kind kind)
    {
        Token token;
        token.kind = kind;
        return token;
    }
    [[gnu::always_inline]] Token controlWord();
    Token controlSymbol();
    Token binary(std::int32_t length);

    const char* m_data;
    qsizetype m_size;
    qsizetype m_pos = 0;
};

namespace RtfTokenizerBytes {

// Longer control words are not RTF; the rest of the letters is read as text.
inline constexpr qsizetype kMaxControlWordLength = 32;

// Byte classes, looked up once per byte: text runs and control words are most of a file.
enum ByteClass : unsigned char { kOther = 0, kLetter = 1, kEndsText = 2, kDigit = 3 };

constexpr std::array<unsigned char, 256> makeByteClasses()
{
    std::array<unsigned char, 256> classes{};
    for (int c = 'a'; c <= 'z'; ++c)
        classes[size_t(c)] = kLetter;
    for (int c = 'A'; c <= 'Z'; ++c)
        classes[size_t(c)] = kLetter;
    for (int c = '0'; c <= '9'; ++c)
        classes[size_t(c)] = kDigit;
    for (const char c : {'{', '}', '\\', '\r', '\n'})
        classes[size_t(static_cast<unsigned char>(c))] = kEndsText;
    return classes;
}

inline constexpr std::array<unsigned char, 256> kByteClasses = makeByteClasses();

inline unsigned char classOf(char c)
{
    return kByteClasses[static_cast<unsigned char>(c)];
}

// The first byte from p on that ends a text run, or end. Sixteen bytes at a time where the
// processor has SSE2, as every x86-64 one does: text runs are most of a script's bytes.
inline const char* endOfText(const char* p, const char* end)
{
#if defined(__SSE2__)
    const __m128i open = _mm_set1_epi8('{');
    const __m128i close = _mm_set1_epi8('}');
    const __m128i backslash = _mm_set1_epi8('\\');
    const __m128i carriageReturn = _mm_set1_epi8('\r');
    const __m128i lineFeed = _mm_set1_epi8('\n');
    while (end - p >= 16) {
        const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        const __m128i braces = _mm_or_si128(_mm_cmpeq_epi8(bytes, open), _mm_cmpeq_epi8(bytes, close));
        const __m128i breaks =
            _mm_or_si128(_mm_cmpeq_epi8(bytes, carriageReturn), _mm_cmpeq_epi8(bytes, lineFeed));
        const __m128i ends = _mm_or_si128(_mm_or_si128(braces, breaks), _mm_cmpeq_epi8(bytes, backslash));
        const unsigned mask = unsigned(_mm_movemask_epi8(ends));
        if (mask != 0)
            return p + std::countr_zero(mask);
        p += 16;
    }
#endif
    while (p < end && classOf(*p) != kEndsText)
        ++p;
    return p;
}

} // namespace RtfTokenizerBytes

inline RtfTokenizer::Token RtfTokenizer::next()
{
    using namespace RtfTokenizerBytes;
    while (m_pos < m_size) {
        const char c = m_data[m_pos];
        switch (c) {
        case '{':
            ++m_pos;
            return of(Kind::GroupStart);
        case '}':
            ++m_pos;
            return of(Kind::GroupEnd);
        case '\\':
            ++m_pos;
            if (m_pos >= m_size)
                return of(Kind::End);
            if (classOf(m_data[m_pos]) == kLetter)
                return controlWord();
            return controlSymbol();
        case '\r':
        case '\n':
            ++m_pos;
            continue;
        default: {
            const char* const begin = m_data + m_pos;
            const char* const end = m_data + m_size;
            const char* const p = endOfText(begin + 1, end);
            m_pos = p - m_data;
            Token token = of(Kind::Text);
            token.name = std::string_view(begin, size_t(p - begin));
            return token;
        }
        }
    }
    return of(Kind::End);
}

inline RtfTokenizer::Token RtfTokenizer::controlWord()
{
    using namespace RtfTokenizerBytes;
    const char* const begin = m_data + m_pos;
    const char* const end = m_data + m_size;
    const char* const wordLimit = end - begin > kMaxControlWordLength ? begin + kMaxControlWordLength : end;
    // The first eight letters are packed as they are read, for the look-up of the word's number.
    std::uint64_t prefix = std::uint8_t(*begin);
    unsigned shift = 8;
    const char* p = begin + 1;
    for (; p < wordLimit && classOf(*p) == kLetter; ++p, shift += 8) {
        if (shift < 64)
            prefix |= std::uint64_t(std::uint8_t(*p)) << shift;
    }
    Token token = of(Kind::ControlWord);
    token.name = std::string_view(begin, size_t(p - begin));

    const bool negative = end - p > 1 && *p == '-' && classOf(p[1]) == kDigit;
    p += negative;
    if (p < end && classOf(*p) == kDigit) {
        // Saturate rather than wrap: an overflowing number must not turn into a small or negative one.
        std::uint64_t value = 0;
        constexpr std::uint64_t kLimit = std::uint64_t(std::numeric_limits<std::int32_t>::max()) + 1;
        // Nine digits cannot reach the limit, and with more bytes than that left none is read past
        // the end: the usual parameter needs no checks per digit.
        if (end - p > 9) {
            const char* const shortEnd = p + 9;
            for (; p < shortEnd && std::uint8_t(*p - '0') < 10; ++p)
                value = value * 10 + std::uint64_t(*p - '0');
        }
        for (; p < end && classOf(*p) == kDigit; ++p) {
            if (value < kLimit)
                value = value * 10 + std::uint64_t(*p - '0');
        }
        const std::int64_t signedValue =
            negative ? -std::int64_t(std::min(value, kLimit)) : std::int64_t(std::min(value, kLimit - 1));
        token.hasParameter = true;
        token.parameter = std::int32_t(signedValue);
    }
    if (p < end && *p == ' ')
        ++p;
    m_pos = p - m_data;

    // A prefix of three letters is a word of three letters.
    if (prefix == RtfControlWords::Table::prefixOf("bin")) [[unlikely]]
        return binary(token.hasParameter ? token.parameter : 0);
    token.word = RtfControlWords::lookup(prefix, token.name);
    return token;
}
