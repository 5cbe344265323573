#include "platform/text/RtfTokenizer.h"

namespace {

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

} // namespace

RtfTokenizer::RtfTokenizer(QByteArrayView input) : m_data(input.data()), m_size(input.size()) {}

RtfTokenizer::Token RtfTokenizer::binary(std::int32_t length)
{
    const qsizetype left = m_size - m_pos;
    const qsizetype wanted = length > 0 ? qsizetype(length) : 0;
    const qsizetype taken = wanted < left ? wanted : left;
    Token data = of(Kind::Binary);
    data.name = std::string_view(m_data + m_pos, size_t(taken));
    m_pos += taken;
    return data;
}

RtfTokenizer::Token RtfTokenizer::controlSymbol()
{
    const char c = m_data[m_pos++];
    if (c == '\'') {
        if (m_pos + 2 > m_size) {
            m_pos = m_size;
            return of(Kind::End);
        }
        const int high = hexValue(m_data[m_pos]);
        const int low = hexValue(m_data[m_pos + 1]);
        if (high < 0 || low < 0) {
            // Not an escape after all: drop the two characters, as they cannot be decoded.
            m_pos += 2;
            return of(Kind::Text);
        }
        m_pos += 2;
        Token token = of(Kind::HexByte);
        token.byte = static_cast<unsigned char>(high * 16 + low);
        return token;
    }
    Token token = of(Kind::ControlSymbol);
    token.name = std::string_view(m_data + m_pos - 1, 1);
    return token;
}
