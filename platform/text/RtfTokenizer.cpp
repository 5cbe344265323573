#include "platform/text/RtfTokenizer.h"

#include <algorithm>
#include <array>
#include <limits>

namespace {

// Longer control words are not RTF; the rest of the letters is read as text.
constexpr qsizetype kMaxControlWordLength = 32;

// Byte classes, looked up once per byte: text runs and control words are most of a file.
enum ByteClass : unsigned char { kOther = 0, kLetter = 1, kEndsText = 2 };

constexpr std::array<unsigned char, 256> makeByteClasses()
{
    std::array<unsigned char, 256> classes{};
    for (int c = 'a'; c <= 'z'; ++c)
        classes[size_t(c)] = kLetter;
    for (int c = 'A'; c <= 'Z'; ++c)
        classes[size_t(c)] = kLetter;
    for (const char c : {'{', '}', '\\', '\r', '\n'})
        classes[size_t(static_cast<unsigned char>(c))] = kEndsText;
    return classes;
}

constexpr std::array<unsigned char, 256> kByteClasses = makeByteClasses();

bool isLetter(char c)
{
    return kByteClasses[static_cast<unsigned char>(c)] == kLetter;
}

bool endsText(char c)
{
    return kByteClasses[static_cast<unsigned char>(c)] == kEndsText;
}

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

int hexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

RtfTokenizer::Token tokenOf(RtfTokenizer::Kind kind)
{
    RtfTokenizer::Token token;
    token.kind = kind;
    return token;
}

} // namespace

RtfTokenizer::RtfTokenizer(QByteArrayView input) : m_data(input.data()), m_size(input.size()) {}

RtfTokenizer::Token RtfTokenizer::next()
{
    while (m_pos < m_size) {
        const char c = m_data[m_pos];
        switch (c) {
        case '{':
            ++m_pos;
            return tokenOf(Kind::GroupStart);
        case '}':
            ++m_pos;
            return tokenOf(Kind::GroupEnd);
        case '\\':
            ++m_pos;
            if (m_pos >= m_size)
                return tokenOf(Kind::End);
            if (isLetter(m_data[m_pos]))
                return controlWord();
            return controlSymbol();
        case '\r':
        case '\n':
            ++m_pos;
            continue;
        default: {
            const qsizetype start = m_pos;
            while (m_pos < m_size && !endsText(m_data[m_pos]))
                ++m_pos;
            Token token = tokenOf(Kind::Text);
            token.name = std::string_view(m_data + start, size_t(m_pos - start));
            return token;
        }
        }
    }
    return tokenOf(Kind::End);
}

RtfTokenizer::Token RtfTokenizer::controlWord()
{
    // Local pointers: a script has a control word every few characters, and this is its loop.
    const char* const begin = m_data + m_pos;
    const char* const end = m_data + m_size;
    const char* const wordLimit = end - begin > kMaxControlWordLength ? begin + kMaxControlWordLength : end;
    const char* p = begin;
    while (p < wordLimit && isLetter(*p))
        ++p;
    Token token = tokenOf(Kind::ControlWord);
    token.name = std::string_view(begin, size_t(p - begin));

    bool negative = false;
    if (end - p > 1 && *p == '-' && isDigit(p[1])) {
        negative = true;
        ++p;
    }
    if (p < end && isDigit(*p)) {
        // Saturate rather than wrap: an overflowing number must not turn into a small or negative one.
        std::int64_t value = 0;
        constexpr std::int64_t kLimit = std::int64_t(std::numeric_limits<std::int32_t>::max()) + 1;
        for (; p < end && isDigit(*p); ++p) {
            if (value < kLimit)
                value = value * 10 + (*p - '0');
        }
        if (negative)
            value = -value;
        token.hasParameter = true;
        token.parameter = std::int32_t(std::clamp<std::int64_t>(
            value, std::numeric_limits<std::int32_t>::min(), std::numeric_limits<std::int32_t>::max()));
    }
    if (p < end && *p == ' ')
        ++p;
    m_pos = p - m_data;

    if (token.name == "bin") {
        const qsizetype left = m_size - m_pos;
        const qsizetype wanted = token.hasParameter && token.parameter > 0 ? qsizetype(token.parameter) : 0;
        const qsizetype length = wanted < left ? wanted : left;
        Token data = tokenOf(Kind::Binary);
        data.name = std::string_view(m_data + m_pos, size_t(length));
        m_pos += length;
        return data;
    }
    return token;
}

RtfTokenizer::Token RtfTokenizer::controlSymbol()
{
    const char c = m_data[m_pos++];
    if (c == '\'') {
        if (m_pos + 2 > m_size) {
            m_pos = m_size;
            return tokenOf(Kind::End);
        }
        const int high = hexValue(m_data[m_pos]);
        const int low = hexValue(m_data[m_pos + 1]);
        if (high < 0 || low < 0) {
            // Not an escape after all: drop the two characters, as they cannot be decoded.
            m_pos += 2;
            return tokenOf(Kind::Text);
        }
        m_pos += 2;
        Token token = tokenOf(Kind::HexByte);
        token.byte = static_cast<unsigned char>(high * 16 + low);
        return token;
    }
    Token token = tokenOf(Kind::ControlSymbol);
    token.name = std::string_view(m_data + m_pos - 1, 1);
    return token;
}
