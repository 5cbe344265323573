#include "platform/foundation/PlistXml.h"

#include "platform/foundation/Clock.h"
#include "platform/foundation/PlistCalendar.h"
#include "platform/foundation/PropertyListSerialization.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>

namespace {

using namespace PlistCalendar;

constexpr char kHeader[] = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                           "<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\" "
                           "\"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">\n"
                           "<plist version=\"1.0\">\n";
constexpr char kFooter[] = "</plist>\n";

class XmlWriter {
public:
    explicit XmlWriter(QString* failureReason) : m_failureReason(failureReason) {}

    std::optional<QByteArray> write(const PlistValue& value)
    {
        m_out.append(kHeader);
        if (!writeValue(value, 0))
            return std::nullopt;
        m_out.append(kFooter);
        return m_out;
    }

private:
    bool fail(const QString& reason)
    {
        if (m_failureReason)
            *m_failureReason = reason;
        return false;
    }

    void indent(int depth) { m_out.append(depth, '\t'); }

    void element(int depth, const char* name, const QByteArray& text)
    {
        indent(depth);
        m_out.append('<').append(name).append('>');
        m_out.append(text);
        m_out.append("</").append(name).append(">\n");
    }

    // XML 1.0 cannot carry most control characters even as references, nor unpaired surrogates;
    // writing them would give a file no reader accepts, so they are refused here.
    bool appendEscaped(const QString& text)
    {
        const char16_t* units = reinterpret_cast<const char16_t*>(text.constData());
        const qsizetype size = text.size();
        for (qsizetype i = 0; i < size; ++i) {
            const char16_t unit = units[i];
            if (unit < 0x20 && unit != u'\t' && unit != u'\n' && unit != u'\r')
                return fail(QStringLiteral("string holds control character U+%1, which XML cannot hold")
                                .arg(int(unit), 4, 16, QChar('0')));
            if (unit == 0xFFFE || unit == 0xFFFF)
                return fail(QStringLiteral("string holds a non-character XML cannot hold"));
            if (QChar::isHighSurrogate(unit) && i + 1 < size && QChar::isLowSurrogate(units[i + 1])) {
                ++i;
                continue;
            }
            if (QChar::isSurrogate(unit))
                return fail(QStringLiteral("string holds an unpaired surrogate"));
        }
        const QByteArray utf8 = text.toUtf8();
        const char* p = utf8.constData();
        const char* end = p + utf8.size();
        const char* run = p;
        for (; p < end; ++p) {
            const char* replacement = nullptr;
            switch (*p) {
            case '&':
                replacement = "&amp;";
                break;
            case '<':
                replacement = "&lt;";
                break;
            case '>':
                replacement = "&gt;";
                break;
            case '\r':
                // A raw carriage return would be read back as a line feed.
                replacement = "&#13;";
                break;
            default:
                continue;
            }
            m_out.append(run, p - run);
            m_out.append(replacement);
            run = p + 1;
        }
        m_out.append(run, end - run);
        return true;
    }

    bool textElement(int depth, const char* name, const QString& text)
    {
        indent(depth);
        m_out.append('<').append(name).append('>');
        if (!appendEscaped(text))
            return false;
        m_out.append("</").append(name).append(">\n");
        return true;
    }

    bool writeValue(const PlistValue& value, int depth)
    {
        if (depth > kPropertyListMaximumDepth)
            return fail(QStringLiteral("property list nests deeper than %1").arg(kPropertyListMaximumDepth));
        switch (value.type()) {
        case PlistValue::Type::Null:
            return fail(QStringLiteral("property list holds a null value"));
        case PlistValue::Type::Dictionary:
            return writeDictionary(value.dictionary(), depth);
        case PlistValue::Type::Array:
            return writeArray(value.array(), depth);
        case PlistValue::Type::String:
            return textElement(depth, "string", value.string());
        case PlistValue::Type::Integer:
            element(depth, "integer", integerText(value));
            return true;
        case PlistValue::Type::Real:
            element(depth, "real", realText(value.real()));
            return true;
        case PlistValue::Type::Boolean:
            indent(depth);
            m_out.append(value.boolean() ? "<true/>\n" : "<false/>\n");
            return true;
        case PlistValue::Type::Date:
            return writeDate(value.date(), depth);
        case PlistValue::Type::Data:
            writeData(value.data(), depth);
            return true;
        case PlistValue::Type::Uid:
            indent(depth);
            m_out.append("<dict>\n");
            indent(depth + 1);
            m_out.append("<key>CF$UID</key>\n");
            element(depth + 1, "integer", QByteArray::number(value.uid().value));
            indent(depth);
            m_out.append("</dict>\n");
            return true;
        }
        return false;
    }

    bool writeDictionary(const PlistDictionary& dictionary, int depth)
    {
        indent(depth);
        if (dictionary.isEmpty()) {
            m_out.append("<dict/>\n");
            return true;
        }
        m_out.append("<dict>\n");
        for (const auto& [key, value] : dictionary) {
            if (!textElement(depth + 1, "key", key) || !writeValue(value, depth + 1))
                return false;
        }
        indent(depth);
        m_out.append("</dict>\n");
        return true;
    }

    bool writeArray(const PlistArray& array, int depth)
    {
        indent(depth);
        if (array.empty()) {
            m_out.append("<array/>\n");
            return true;
        }
        m_out.append("<array>\n");
        for (const PlistValue& element : array) {
            if (!writeValue(element, depth + 1))
                return false;
        }
        indent(depth);
        m_out.append("</array>\n");
        return true;
    }

    static QByteArray integerText(const PlistValue& value)
    {
        return value.isUnsignedInteger() ? QByteArray::number(value.unsignedValue())
                                         : QByteArray::number(value.integer());
    }

    // The shortest text that reads back as the same double.
    static QByteArray realText(double value)
    {
        if (std::isnan(value))
            return "nan";
        if (std::isinf(value))
            return value > 0 ? "+infinity" : "-infinity";
        char buffer[32];
        const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
        return QByteArray(buffer, result.ptr - buffer);
    }

    bool writeDate(PlistDate date, int depth)
    {
        // Whole seconds, as the platform writes them; years outside 1-9999 have no such text.
        const double unixSeconds = std::floor(date.secondsSinceReferenceDate + kReferenceDateUnixOffset);
        constexpr double kEarliest = -62135596800.0; // 0001-01-01T00:00:00Z
        constexpr double kLatest = 253402300799.0;   // 9999-12-31T23:59:59Z
        if (!(unixSeconds >= kEarliest && unixSeconds <= kLatest))
            return fail(QStringLiteral("date lies outside the years 1 to 9999"));
        const qint64 seconds = qint64(unixSeconds);
        const qint64 days =
            seconds >= 0 ? seconds / kSecondsPerDay : (seconds - kSecondsPerDay + 1) / kSecondsPerDay;
        const qint64 secondOfDay = seconds - days * kSecondsPerDay;
        int year = 0;
        int month = 0;
        int day = 0;
        civilFromDays(days, &year, &month, &day);
        char buffer[32];
        std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02dT%02d:%02d:%02dZ", year, month, day,
                      int(secondOfDay / 3600), int(secondOfDay / 60 % 60), int(secondOfDay % 60));
        element(depth, "date", QByteArray(buffer));
        return true;
    }

    // Base64 in lines that narrow as the nesting deepens, so lines stay within 76 columns when
    // a tab counts for eight.
    void writeData(const QByteArray& data, int depth)
    {
        indent(depth);
        m_out.append("<data>\n");
        const QByteArray encoded = data.toBase64();
        const qsizetype lineLength = std::max(16, 76 - 8 * depth);
        for (qsizetype at = 0; at < encoded.size(); at += lineLength) {
            indent(depth);
            m_out.append(encoded.constData() + at, std::min(lineLength, encoded.size() - at));
            m_out.append('\n');
        }
        indent(depth);
        m_out.append("</data>\n");
    }

    QString* m_failureReason;
    QByteArray m_out;
};

} // namespace

std::optional<QByteArray> PlistXml::write(const PlistValue& value, QString* failureReason)
{
    return XmlWriter(failureReason).write(value);
}
