#include "platform/foundation/GeometryStrings.h"

#include <charconv>
#include <cmath>
#include <optional>
#include <string>

namespace {

// Exponents past this overflow or underflow a double whatever the digits before them (no text has
// this many), so larger ones need not be exact; the clamp keeps the arithmetic from overflowing.
constexpr qint64 kExponentClamp = 1'000'000'000'000;

bool isDigit(QChar c)
{
    return c >= u'0' && c <= u'9';
}

// Hands out the numbers of a text one by one; anything that cannot start a number is skipped.
class NumberScanner {
public:
    explicit NumberScanner(QStringView text) : m_text(text) {}

    std::optional<double> nextDouble()
    {
        if (!scanToken())
            return std::nullopt;
        return tokenAsDouble();
    }

    std::optional<qsizetype> nextInteger()
    {
        if (!scanToken())
            return std::nullopt;
        if (m_hasFraction || m_hasExponent)
            return truncated(tokenAsDouble());
        return tokenAsInteger();
    }

private:
    QChar at(qsizetype index) const { return index < m_text.size() ? m_text[index] : QChar(); }

    bool startsNumber(qsizetype index) const
    {
        QChar c = at(index);
        if (c == u'+' || c == u'-')
            c = at(++index);
        return isDigit(c) || (c == u'.' && isDigit(at(index + 1)));
    }

    qsizetype skipDigits(qsizetype index) const
    {
        while (isDigit(at(index)))
            ++index;
        return index;
    }

    // Finds the next token of the form [sign] digits [. digits] [e [sign] digits] and remembers its parts.
    bool scanToken()
    {
        qsizetype index = m_position;
        while (index < m_text.size() && !startsNumber(index))
            ++index;
        if (index >= m_text.size())
            return false;

        m_negative = at(index) == u'-';
        if (at(index) == u'+' || at(index) == u'-')
            ++index;
        m_integerBegin = index;
        index = skipDigits(index);
        m_integerEnd = index;
        m_hasFraction = at(index) == u'.';
        m_fractionBegin = m_fractionEnd = index;
        if (m_hasFraction) {
            m_fractionBegin = index + 1;
            m_fractionEnd = index = skipDigits(index + 1);
        }
        m_hasExponent = false;
        m_exponent = 0;
        if (at(index) == u'e' || at(index) == u'E') {
            qsizetype exponentIndex = index + 1;
            const bool negativeExponent = at(exponentIndex) == u'-';
            if (at(exponentIndex) == u'+' || at(exponentIndex) == u'-')
                ++exponentIndex;
            if (isDigit(at(exponentIndex))) {
                m_hasExponent = true;
                index = skipDigits(exponentIndex);
                for (qsizetype i = exponentIndex; i < index; ++i)
                    m_exponent = std::min(kExponentClamp, m_exponent * 10 + (m_text[i].unicode() - u'0'));
                if (negativeExponent)
                    m_exponent = -m_exponent;
            }
        }
        m_position = index;
        return true;
    }

    qsizetype tokenAsInteger() const
    {
        constexpr qsizetype kMax = std::numeric_limits<qsizetype>::max();
        qsizetype value = 0;
        for (qsizetype i = m_integerBegin; i < m_integerEnd; ++i) {
            const int digit = m_text[i].unicode() - u'0';
            if (value > (kMax - digit) / 10)
                return m_negative ? std::numeric_limits<qsizetype>::min() : kMax;
            value = value * 10 + digit;
        }
        return m_negative ? -value : value;
    }

    double tokenAsDouble() const
    {
        std::string digits;
        digits.reserve(m_integerEnd - m_integerBegin + m_fractionEnd - m_fractionBegin + 32);
        appendLatin1(digits, m_integerBegin, m_integerEnd);
        if (m_integerBegin == m_integerEnd)
            digits += '0';
        if (m_fractionEnd > m_fractionBegin) {
            digits += '.';
            appendLatin1(digits, m_fractionBegin, m_fractionEnd);
        }
        if (m_hasExponent)
            digits += 'e' + std::to_string(m_exponent);

        double value = 0;
        const auto result = std::from_chars(digits.data(), digits.data() + digits.size(), value);
        if (result.ec == std::errc::result_out_of_range)
            value = overflows() ? HUGE_VAL : 0.0;
        else if (result.ec != std::errc())
            value = 0;
        return m_negative ? -value : value;
    }

    // Tells an overflow from an underflow by the decimal exponent of the first significant digit.
    bool overflows() const
    {
        qsizetype firstSignificant = m_integerBegin;
        while (firstSignificant < m_integerEnd && m_text[firstSignificant] == u'0')
            ++firstSignificant;
        if (firstSignificant < m_integerEnd)
            return (m_integerEnd - firstSignificant - 1) + m_exponent >= 0;
        qsizetype zeros = 0;
        for (qsizetype i = m_fractionBegin; i < m_fractionEnd && m_text[i] == u'0'; ++i)
            ++zeros;
        return m_exponent - zeros - 1 >= 0;
    }

    void appendLatin1(std::string& out, qsizetype begin, qsizetype end) const
    {
        for (qsizetype i = begin; i < end; ++i)
            out += char(m_text[i].unicode());
    }

    static qsizetype truncated(double value)
    {
        if (std::isnan(value))
            return 0;
        // 2^63 is exactly representable; anything at or past it saturates.
        if (value >= 9223372036854775808.0)
            return std::numeric_limits<qsizetype>::max();
        if (value <= -9223372036854775808.0)
            return std::numeric_limits<qsizetype>::min();
        return qsizetype(value);
    }

    QStringView m_text;
    qsizetype m_position = 0;
    bool m_negative = false;
    qsizetype m_integerBegin = 0;
    qsizetype m_integerEnd = 0;
    bool m_hasFraction = false;
    qsizetype m_fractionBegin = 0;
    qsizetype m_fractionEnd = 0;
    bool m_hasExponent = false;
    qint64 m_exponent = 0;
};

QString formatNumber(double value)
{
    if (std::isnan(value))
        return QStringLiteral("nan");
    if (std::isinf(value))
        return value > 0 ? QStringLiteral("inf") : QStringLiteral("-inf");
    // Negative zero would print as "-0"; a frame edge at -0 is the same place as 0.
    if (value == 0)
        return QStringLiteral("0");
    // Plain digits where printf's %g would use them, exponent form outside; always the fewest digits
    // that read back as the same double.
    const double magnitude = std::fabs(value);
    const auto format =
        magnitude >= 1e-4 && magnitude < 1e17 ? std::chars_format::fixed : std::chars_format::scientific;
    char buffer[64];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value, format);
    return QString::fromLatin1(buffer, result.ptr - buffer);
}

QString pair(const QString& first, const QString& second)
{
    return QLatin1Char('{') + first + QLatin1String(", ") + second + QLatin1Char('}');
}

} // namespace

QString stringFromRange(const Range& range)
{
    return pair(QString::number(range.location), QString::number(range.length));
}

QString stringFromPoint(const Point& point)
{
    return pair(formatNumber(point.x), formatNumber(point.y));
}

QString stringFromSize(const Size& size)
{
    return pair(formatNumber(size.width), formatNumber(size.height));
}

QString stringFromRect(const Rect& rect)
{
    return pair(stringFromPoint(rect.origin), stringFromSize(rect.size));
}

Range rangeFromString(QStringView text)
{
    NumberScanner scanner(text);
    Range range;
    range.location = scanner.nextInteger().value_or(0);
    range.length = scanner.nextInteger().value_or(0);
    return range;
}

Point pointFromString(QStringView text)
{
    NumberScanner scanner(text);
    Point point;
    point.x = scanner.nextDouble().value_or(0);
    point.y = scanner.nextDouble().value_or(0);
    return point;
}

Size sizeFromString(QStringView text)
{
    const Point point = pointFromString(text);
    return {point.x, point.y};
}

Rect rectFromString(QStringView text)
{
    NumberScanner scanner(text);
    Rect rect;
    rect.origin.x = scanner.nextDouble().value_or(0);
    rect.origin.y = scanner.nextDouble().value_or(0);
    rect.size.width = scanner.nextDouble().value_or(0);
    rect.size.height = scanner.nextDouble().value_or(0);
    return rect;
}
