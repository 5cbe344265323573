#pragma once

#include "platform/text/RtfControlWords.h"

#include <QByteArrayView>

#include <algorithm>
#include <array>
#include <bit>
#include <cstdint>
#include <cstring>
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
    // Whether the next token is the one-letter control word letter, with or without a parameter.
    bool atWord(char letter) const;
    // Just past the input's last byte.
    const char* end() const { return m_data + m_size; }

private:
    static Token of(Kind kind)
    {
        Token token;
        token.kind = kind;
        return token;
    }
    [[gnu::always_inline]] Token controlWord();
    // A control word's letters and parameter from begin on, into token and prefix (its first eight
    // letters packed); returns where they end.
    [[gnu::always_inline]] static const char* longControlWord(const char* begin, const char* end,
                                                              std::uint64_t& prefix, Token& token);
#if defined(__SSE2__)
    // The same for a word of fewer than sixteen letters with at most eight digits, read without a
    // loop per byte; nullptr leaves the word to longControlWord(). Needs kShortWordReach bytes.
    static constexpr qsizetype kShortWordReach = 40;
    [[gnu::always_inline]] static const char* shortControlWord(const char* begin, std::uint64_t& prefix,
                                                               Token& token);
#endif
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

inline bool RtfTokenizer::atWord(char letter) const
{
    return m_size - m_pos >= 3 && m_data[m_pos] == '\\' && m_data[m_pos + 1] == letter &&
           RtfTokenizerBytes::classOf(m_data[m_pos + 2]) != RtfTokenizerBytes::kLetter;
}

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
    const char* const begin = m_data + m_pos;
    const char* const end = m_data + m_size;
    // The token is filled in place and the rare \bin returned on its own: a token that an
    // out-of-line call writes lives in memory, and copying it back cost more than reading it.
    Token token = of(Kind::ControlWord);
    std::uint64_t prefix = 0;
    const char* p = nullptr;
#if defined(__SSE2__)
    if (end - begin >= kShortWordReach)
        p = shortControlWord(begin, prefix, token);
#endif
    if (!p)
        p = longControlWord(begin, end, prefix, token);
    if (p < end && *p == ' ')
        ++p;
    m_pos = p - m_data;

    // A prefix of three letters is a word of three letters.
    if (prefix == RtfControlWords::Table::prefixOf("bin")) [[unlikely]]
        return binary(token.hasParameter ? token.parameter : 0);
    token.word = RtfControlWords::lookup(prefix, token.name);
    return token;
}

inline const char* RtfTokenizer::longControlWord(const char* begin, const char* end, std::uint64_t& prefix,
                                                 Token& token)
{
    using namespace RtfTokenizerBytes;
    const char* const wordLimit = end - begin > kMaxControlWordLength ? begin + kMaxControlWordLength : end;
    // The first eight letters are packed as they are read, for the look-up of the word's number.
    prefix = std::uint8_t(*begin);
    unsigned shift = 8;
    const char* p = begin + 1;
    for (; p < wordLimit && classOf(*p) == kLetter; ++p, shift += 8) {
        if (shift < 64)
            prefix |= std::uint64_t(std::uint8_t(*p)) << shift;
    }
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
    return p;
}

#if defined(__SSE2__)
inline const char* RtfTokenizer::shortControlWord(const char* begin, std::uint64_t& prefix, Token& token)
{
    // The letters, and then the digits, are each found by one comparison of sixteen bytes and a
    // count of the bits set, and up to eight digits are read as one integer: a loop per byte ends
    // at a different place for every word and mispredicts once per word and once per number.
    // Longer words and numbers take longControlWord(). The caller leaves kShortWordReach bytes to
    // read, so that neither load passes the end of the input.
    const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(begin));
    const __m128i folded = _mm_or_si128(bytes, _mm_set1_epi8(0x20)); // 'A'-'Z' onto 'a'-'z'
    // Signed comparisons: bytes from 0x80 up are below every ASCII bound.
    const unsigned letters = unsigned(_mm_movemask_epi8(_mm_and_si128(
        _mm_cmpgt_epi8(folded, _mm_set1_epi8('a' - 1)), _mm_cmplt_epi8(folded, _mm_set1_epi8('z' + 1)))));
    const int length = std::countr_zero(~letters);
    if (length >= 16)
        return nullptr;
    const char* p = begin + length;
    const bool negative = *p == '-' && std::uint8_t(p[1] - '0') < 10;
    p += negative;
    const __m128i after = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    const unsigned digitMask = unsigned(_mm_movemask_epi8(_mm_and_si128(
        _mm_cmpgt_epi8(after, _mm_set1_epi8('0' - 1)), _mm_cmplt_epi8(after, _mm_set1_epi8('9' + 1)))));
    const int digits = std::countr_zero(~digitMask);
    if (digits > 8)
        return nullptr;

    std::memcpy(&prefix, begin, sizeof prefix);
    if (length < 8)
        prefix &= (std::uint64_t(1) << (8 * length)) - 1;
    token.name = std::string_view(begin, size_t(length));
    if (digits > 0) {
        // Eight digits, the first in the lowest byte, shifted up so that the number's last digit
        // is the eighth and what followed it falls off the top; then pairs, fours and eights are
        // combined by multiplication.
        std::uint64_t value;
        std::memcpy(&value, p, sizeof value);
        value = (value - 0x3030303030303030ull) << (8 * (8 - digits));
        value = value * 10 + (value >> 8);
        value = ((value & 0x000000FF000000FFull) * (100 + (1000000ull << 32)) +
                 ((value >> 16) & 0x000000FF000000FFull) * (1 + (10000ull << 32))) >>
                32;
        token.hasParameter = true;
        token.parameter = negative ? -std::int32_t(value) : std::int32_t(value);
        p += digits;
    }
    return p;
}
#endif
