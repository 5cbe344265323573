#include "platform/text/RtfTokenizer.h"

#include <limits>

namespace {

// Longer control words are not RTF; the rest of the letters is read as text.
constexpr qsizetype kMaxControlWordLength = 32;

bool isLetter(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
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
            while (m_pos < m_size) {
                const char d = m_data[m_pos];
                if (d == '{' || d == '}' || d == '\\' || d == '\r' || d == '\n')
                    break;
                ++m_pos;
            }
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
    const qsizetype start = m_pos;
    while (m_pos < m_size && isLetter(m_data[m_pos]) && m_pos - start < kMaxControlWordLength)
        ++m_pos;
    Token token = tokenOf(Kind::ControlWord);
    token.name = std::string_view(m_data + start, size_t(m_pos - start));

    bool negative = false;
    if (m_pos + 1 < m_size && m_data[m_pos] == '-' && isDigit(m_data[m_pos + 1])) {
        negative = true;
        ++m_pos;
    }
    if (m_pos < m_size && isDigit(m_data[m_pos])) {
        // Saturate rather than wrap: an overflowing number must not turn into a small or negative one.
        std::int64_t value = 0;
        constexpr std::int64_t kLimit = std::int64_t(std::numeric_limits<std::int32_t>::max()) + 1;
        while (m_pos < m_size && isDigit(m_data[m_pos])) {
            if (value < kLimit)
                value = value * 10 + (m_data[m_pos] - '0');
            ++m_pos;
        }
        if (negative)
            value = -value;
        if (value > std::numeric_limits<std::int32_t>::max())
            value = std::numeric_limits<std::int32_t>::max();
        if (value < std::numeric_limits<std::int32_t>::min())
            value = std::numeric_limits<std::int32_t>::min();
        token.hasParameter = true;
        token.parameter = std::int32_t(value);
    }
    if (m_pos < m_size && m_data[m_pos] == ' ')
        ++m_pos;

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
