#include "importer/OVJsonText.h"

#include <QJsonArray>
#include <QString>

#include <cctype>

namespace {

constexpr int kMaxDepth = 4;

class Checker {
public:
    explicit Checker(QByteArrayView text) : m_text(text) {}

    bool value(int depth)
    {
        if (m_pos >= m_text.size())
            return false;
        const char c = m_text[m_pos];
        if (c == '"')
            return string();
        if (c == '[')
            return depth < kMaxDepth && array(depth + 1);
        if (c == '-' || (c >= '0' && c <= '9'))
            return number();
        return false;
    }

    bool atEnd() const { return m_pos == m_text.size(); }

private:
    bool string()
    {
        ++m_pos;
        const qsizetype start = m_pos;
        while (m_pos < m_text.size()) {
            const unsigned char c = static_cast<unsigned char>(m_text[m_pos]);
            if (c == '"') {
                const bool valid = QUtf8StringView(m_text.sliced(start, m_pos - start)).isValidUtf8();
                ++m_pos;
                return valid;
            }
            if (c < 0x20)
                return false;
            if (c == '\\' && !escape())
                return false;
            if (c != '\\')
                ++m_pos;
        }
        return false;
    }

    bool escape()
    {
        if (m_pos + 1 >= m_text.size())
            return false;
        const char kind = m_text[m_pos + 1];
        if (QByteArrayView("\"\\/bfnrt").contains(kind)) {
            m_pos += 2;
            return true;
        }
        if (kind != 'u' || m_pos + 6 > m_text.size())
            return false;
        for (qsizetype i = m_pos + 2; i < m_pos + 6; ++i) {
            if (!std::isxdigit(static_cast<unsigned char>(m_text[i])))
                return false;
        }
        m_pos += 6;
        return true;
    }

    bool number()
    {
        if (m_text[m_pos] == '-')
            ++m_pos;
        const qsizetype digits = m_pos;
        while (m_pos < m_text.size() && m_text[m_pos] >= '0' && m_text[m_pos] <= '9')
            ++m_pos;
        return m_pos > digits;
    }

    bool array(int depth)
    {
        ++m_pos;
        if (m_pos < m_text.size() && m_text[m_pos] == ']') {
            ++m_pos;
            return true;
        }
        while (value(depth)) {
            if (m_pos >= m_text.size())
                return false;
            if (m_text[m_pos] == ']') {
                ++m_pos;
                return true;
            }
            if (m_text[m_pos] != ',')
                return false;
            ++m_pos;
        }
        return false;
    }

    QByteArrayView m_text;
    qsizetype m_pos = 0;
};

} // namespace

QByteArray OVJsonText::quoted(const QString& string)
{
    static const char kHex[] = "0123456789abcdef";
    const QByteArray utf8 = string.toUtf8();
    QByteArray out;
    out.reserve(utf8.size() + utf8.size() / 16 + 2);
    out.append('"');
    for (const char c : utf8) {
        const unsigned char byte = static_cast<unsigned char>(c);
        if (byte == '"' || byte == '\\') {
            out.append('\\');
            out.append(c);
        } else if (byte == '\n') {
            out.append("\\n", 2);
        } else if (byte < 0x20) {
            const char escaped[] = {'\\', 'u', '0', '0', kHex[byte >> 4], kHex[byte & 0xF]};
            out.append(escaped, sizeof escaped);
        } else {
            out.append(c);
        }
    }
    out.append('"');
    return out;
}

QByteArray OVJsonText::write(const QJsonValue& value)
{
    switch (value.type()) {
    case QJsonValue::String:
        return quoted(value.toString());
    case QJsonValue::Double:
        return QByteArray::number(value.toInteger());
    case QJsonValue::Array: {
        QByteArray out("[");
        const QJsonArray array = value.toArray();
        for (qsizetype i = 0; i < array.size(); ++i) {
            if (i > 0)
                out.append(',');
            out.append(write(array.at(i)));
        }
        out.append(']');
        return out;
    }
    default:
        return QByteArrayLiteral("null");
    }
}

bool OVJsonText::isValue(QByteArrayView text)
{
    Checker checker(text);
    return checker.value(0) && checker.atEnd();
}
