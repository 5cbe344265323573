#include "platform/foundation/PlistXml.h"

#include "platform/foundation/Clock.h"
#include "platform/foundation/HexDigit.h"
#include "platform/foundation/PlistCalendar.h"
#include "platform/foundation/PropertyListSerialization.h"
#include "platform/foundation/XmlReference.h"

#include <QHashFunctions>
#include <QStringDecoder>
#include <QXmlStreamReader>

#include <algorithm>
#include <charconv>
#include <clocale>
#include <cmath>
#include <cstdlib>
#include <unordered_map>
#include <unordered_set>
#include <limits>
#include <string_view>

namespace {

using namespace PlistCalendar;

const QString kUidKey = QStringLiteral("CF$UID");

// Strict UTF-8: no overlong forms, no surrogates, nothing above U+10FFFF.
bool isValidUtf8(const QByteArray& data)
{
    const auto* p = reinterpret_cast<const uchar*>(data.constData());
    const auto* end = p + data.size();
    while (p < end) {
        if (*p < 0x80) {
            ++p;
            continue;
        }
        int extra = 0;
        uint32_t codePoint = 0;
        uint32_t minimum = 0;
        if ((*p & 0xE0) == 0xC0) {
            extra = 1;
            codePoint = *p & 0x1F;
            minimum = 0x80;
        } else if ((*p & 0xF0) == 0xE0) {
            extra = 2;
            codePoint = *p & 0x0F;
            minimum = 0x800;
        } else if ((*p & 0xF8) == 0xF0) {
            extra = 3;
            codePoint = *p & 0x07;
            minimum = 0x10000;
        } else {
            return false;
        }
        if (end - p <= extra)
            return false;
        for (int i = 1; i <= extra; ++i) {
            if ((p[i] & 0xC0) != 0x80)
                return false;
            codePoint = (codePoint << 6) | (p[i] & 0x3F);
        }
        if (codePoint < minimum || codePoint > 0x10FFFF || (codePoint >= 0xD800 && codePoint <= 0xDFFF))
            return false;
        p += extra + 1;
    }
    return true;
}

// Only a document that declares another encoding is left to the XML reader to decode.
bool declaresUtf8(const QByteArray& data)
{
    const QByteArray prolog = data.left(200).toLower();
    if (!prolog.startsWith("<?xml") && !prolog.startsWith("\xef\xbb\xbf<?xml"))
        return true;
    const qsizetype end = prolog.indexOf("?>");
    const qsizetype encoding = prolog.indexOf("encoding");
    if (encoding < 0 || (end >= 0 && encoding > end))
        return true;
    const QByteArray rest = prolog.mid(encoding, 20);
    return rest.contains("utf-8") || rest.contains("utf8");
}

bool parseInteger(QStringView text, PlistValue* out)
{
    text = text.trimmed();
    bool negative = false;
    if (!text.isEmpty() && (text[0] == u'-' || text[0] == u'+')) {
        negative = text[0] == u'-';
        text = text.mid(1);
    }
    int base = 10;
    if (text.size() > 2 && text[0] == u'0' && (text[1] == u'x' || text[1] == u'X')) {
        base = 16;
        text = text.mid(2);
    }
    if (text.isEmpty())
        return false;
    quint64 magnitude = 0;
    for (QChar c : text) {
        const int digit = hexDigitValue(c);
        if (digit < 0 || digit >= base)
            return false;
        if (magnitude > (std::numeric_limits<quint64>::max() - quint64(digit)) / quint64(base))
            return false;
        magnitude = magnitude * quint64(base) + quint64(digit);
    }
    if (negative) {
        if (magnitude > quint64(std::numeric_limits<qint64>::max()) + 1)
            return false;
        *out = PlistValue(qint64(0 - magnitude));
        return true;
    }
    *out = PlistValue::unsignedInteger(magnitude);
    return true;
}

bool parseReal(QStringView text, double* out)
{
    const QByteArray latin = text.trimmed().toLatin1().toLower();
    if (latin.isEmpty())
        return false;
    const bool negative = latin.startsWith('-');
    const QByteArray unsignedText = latin.startsWith('-') || latin.startsWith('+') ? latin.mid(1) : latin;
    if (unsignedText == "nan") {
        *out = std::numeric_limits<double>::quiet_NaN();
        return true;
    }
    if (unsignedText == "inf" || unsignedText == "infinity") {
        *out = negative ? -std::numeric_limits<double>::infinity() : std::numeric_limits<double>::infinity();
        return true;
    }
    if (unsignedText.startsWith('-') || unsignedText.startsWith('+'))
        return false;
    const char* begin = unsignedText.constData();
    const char* end = begin + unsignedText.size();
    double value = 0;
    const auto [ptr, ec] = std::from_chars(begin, end, value);
    if (ptr != end || (ec != std::errc() && ec != std::errc::result_out_of_range))
        return false;
    // from_chars gives up on overflow and underflow; strtod answers infinity or zero, and reads
    // the C locale's decimal point whatever the application's locale is.
    if (ec == std::errc::result_out_of_range) {
        static const locale_t cLocale = newlocale(LC_ALL_MASK, "C", locale_t(nullptr));
        value = strtod_l(unsignedText.constData(), nullptr, cLocale);
    }
    *out = negative ? -value : value;
    return true;
}

int twoDigits(QStringView text, qsizetype at)
{
    const QChar a = text[at];
    const QChar b = text[at + 1];
    if (a < u'0' || a > u'9' || b < u'0' || b > u'9')
        return -1;
    return (a.unicode() - '0') * 10 + (b.unicode() - '0');
}

// "2001-01-01T00:00:00Z", the only layout the platform writes.
bool parseDate(QStringView text, PlistDate* out)
{
    text = text.trimmed();
    if (text.size() != 20 || text[4] != u'-' || text[7] != u'-' || text[10] != u'T' || text[13] != u':' ||
        text[16] != u':' || text[19] != u'Z')
        return false;
    const int century = twoDigits(text, 0);
    const int yearOfCentury = twoDigits(text, 2);
    const int month = twoDigits(text, 5);
    const int day = twoDigits(text, 8);
    const int hour = twoDigits(text, 11);
    const int minute = twoDigits(text, 14);
    const int second = twoDigits(text, 17);
    if (century < 0 || yearOfCentury < 0 || month < 1 || month > 12 || day < 1 || hour < 0 || hour > 23 ||
        minute < 0 || minute > 59 || second < 0 || second > 59)
        return false;
    const int year = century * 100 + yearOfCentury;
    if (day > daysInMonth(year, month))
        return false;
    const qint64 unixSeconds =
        daysFromCivil(year, month, day) * kSecondsPerDay + hour * 3600 + minute * 60 + second;
    out->secondsSinceReferenceDate = double(unixSeconds) - kReferenceDateUnixOffset;
    return true;
}

class XmlReader {
public:
    XmlReader(const QByteArray& data, QString* failureReason)
        : m_data(data), m_failureReason(failureReason), m_xml(data)
    {
    }

    std::optional<PlistValue> read()
    {
        if (declaresUtf8(m_data) && !isValidUtf8(m_data)) {
            fail(QStringLiteral("XML property list is not valid UTF-8"));
            return std::nullopt;
        }
        m_xml.setNamespaceProcessing(false);
        if (!nextStartElement()) {
            fail(QStringLiteral("XML property list holds no value"));
            return std::nullopt;
        }
        std::optional<PlistValue> value;
        // The platform also reads a bare value without the <plist> element around it.
        if (m_xml.name() == u"plist") {
            if (!nextStartElement()) {
                fail(QStringLiteral("XML property list holds no value"));
                return std::nullopt;
            }
            value = readValue(0);
            if (value && nextStartElement()) {
                fail(QStringLiteral("XML property list holds more than one value"));
                return std::nullopt;
            }
            if (m_failed)
                return std::nullopt;
        } else {
            value = readValue(0);
        }
        if (!value)
            return std::nullopt;
        while (!m_xml.atEnd() && !m_xml.hasError()) {
            const QXmlStreamReader::TokenType token = m_xml.readNext();
            if (token == QXmlStreamReader::StartElement ||
                (token == QXmlStreamReader::Characters && !m_xml.isWhitespace())) {
                fail(QStringLiteral("XML property list has content after its value"));
                return std::nullopt;
            }
        }
        if (m_xml.hasError()) {
            failWithXmlError();
            return std::nullopt;
        }
        return value;
    }

private:
    void fail(const QString& reason)
    {
        if (m_failureReason && m_failureReason->isEmpty())
            *m_failureReason = reason;
    }

    void failWithXmlError()
    {
        fail(QStringLiteral("XML property list is malformed at line %1: %2")
                 .arg(m_xml.lineNumber())
                 .arg(m_xml.errorString()));
    }

    // Moves to the next start element of the current container; false at its end, at the end of
    // the document or on an error (which then is already reported).
    bool nextStartElement()
    {
        while (!m_xml.atEnd()) {
            switch (m_xml.readNext()) {
            case QXmlStreamReader::StartElement:
                return true;
            case QXmlStreamReader::EndElement:
                return false;
            case QXmlStreamReader::Characters:
                if (!m_xml.isWhitespace()) {
                    fail(QStringLiteral("XML property list has stray text at line %1")
                             .arg(m_xml.lineNumber()));
                    m_failed = true;
                    return false;
                }
                break;
            case QXmlStreamReader::Invalid:
                failWithXmlError();
                m_failed = true;
                return false;
            default:
                break;
            }
        }
        return false;
    }

    // The text of the current element up to its end; another element inside is an error. Most
    // elements hold a single run of characters, which is then taken without copying it twice.
    std::optional<QString> elementText(bool shareEqualTexts = false)
    {
        QString text;
        while (!m_xml.atEnd()) {
            switch (m_xml.readNext()) {
            case QXmlStreamReader::Characters:
            case QXmlStreamReader::EntityReference:
                if (text.isEmpty())
                    text = shareEqualTexts ? shared(m_xml.text()) : m_xml.text().toString();
                else
                    text.append(m_xml.text());
                break;
            case QXmlStreamReader::EndElement:
                return text;
            case QXmlStreamReader::StartElement:
                invalid(QStringLiteral("element <%1> inside text").arg(m_xml.name().toString()));
                return std::nullopt;
            case QXmlStreamReader::Invalid:
                failWithXmlError();
                return std::nullopt;
            default:
                break;
            }
        }
        failWithXmlError();
        return std::nullopt;
    }

    // Dictionary keys repeat throughout a file; each distinct key is allocated once and shared.
    QString shared(QStringView text)
    {
        const QString probe = QString::fromRawData(reinterpret_cast<const QChar*>(text.data()), text.size());
        const auto it = m_keys.find(probe);
        if (it != m_keys.end())
            return *it;
        const QString copy = text.toString();
        m_keys.insert(copy);
        return copy;
    }

    std::optional<PlistValue> invalid(const QString& what)
    {
        fail(QStringLiteral("XML property list has an invalid %1 at line %2")
                 .arg(what)
                 .arg(m_xml.lineNumber()));
        return std::nullopt;
    }

    // The current token is the value's start element.
    std::optional<PlistValue> readValue(int depth)
    {
        if (depth > kPropertyListMaximumDepth) {
            fail(QStringLiteral("XML property list nests deeper than %1").arg(kPropertyListMaximumDepth));
            return std::nullopt;
        }
        const QStringView name = m_xml.name();
        if (name == u"dict")
            return readDictionary(depth);
        if (name == u"array")
            return readArray(depth);
        if (name == u"true" || name == u"false") {
            const bool value = name == u"true";
            const std::optional<QString> text = elementText();
            if (!text)
                return std::nullopt;
            if (!text->trimmed().isEmpty())
                return invalid(QStringLiteral("boolean"));
            return PlistValue(value);
        }
        enum Kind { String, Integer, Real, Date, Data, Unknown };
        const Kind kind = name == u"string"    ? String
                          : name == u"integer" ? Integer
                          : name == u"real"    ? Real
                          : name == u"date"    ? Date
                          : name == u"data"    ? Data
                                               : Unknown;
        if (kind == Unknown)
            return invalid(QStringLiteral("element <%1>").arg(name.toString()));
        std::optional<QString> text = elementText();
        if (!text)
            return std::nullopt;
        switch (kind) {
        case String:
            return PlistValue(std::move(*text));
        case Integer: {
            PlistValue value;
            if (!parseInteger(*text, &value))
                return invalid(QStringLiteral("integer"));
            return value;
        }
        case Real: {
            double value = 0;
            if (!parseReal(*text, &value))
                return invalid(QStringLiteral("real"));
            return PlistValue(value);
        }
        case Date: {
            PlistDate value;
            if (!parseDate(*text, &value))
                return invalid(QStringLiteral("date"));
            return PlistValue(value);
        }
        case Data:
            return readData(*text);
        case Unknown:
            break;
        }
        return std::nullopt;
    }

    std::optional<PlistValue> readData(const QString& text)
    {
        QByteArray compact;
        compact.reserve(text.size());
        for (QChar c : text) {
            if (c == u' ' || c == u'\t' || c == u'\n' || c == u'\r')
                continue;
            if (c.unicode() >= 0x80)
                return invalid(QStringLiteral("data"));
            compact.append(char(c.unicode()));
        }
        QByteArray::FromBase64Result decoded =
            QByteArray::fromBase64Encoding(compact, QByteArray::AbortOnBase64DecodingErrors);
        if (!decoded)
            return invalid(QStringLiteral("data"));
        return PlistValue(std::move(decoded.decoded));
    }

    std::optional<PlistValue> readArray(int depth)
    {
        PlistArray array;
        while (nextStartElement()) {
            std::optional<PlistValue> element = readValue(depth + 1);
            if (!element)
                return std::nullopt;
            array.push_back(std::move(*element));
        }
        if (m_failed)
            return std::nullopt;
        return PlistValue(std::move(array));
    }

    std::optional<PlistValue> readDictionary(int depth)
    {
        PlistDictionary dictionary;
        while (nextStartElement()) {
            if (m_xml.name() != u"key")
                return invalid(
                    QStringLiteral("dictionary: <%1> where a key belongs").arg(m_xml.name().toString()));
            std::optional<QString> key = elementText(true);
            if (!key)
                return std::nullopt;
            if (!nextStartElement()) {
                if (!m_failed)
                    invalid(QStringLiteral("dictionary: key \"%1\" has no value").arg(*key));
                return std::nullopt;
            }
            std::optional<PlistValue> value = readValue(depth + 1);
            if (!value)
                return std::nullopt;
            dictionary.insert(*key, std::move(*value));
        }
        if (m_failed)
            return std::nullopt;
        // The platform writes archive UIDs as this one-entry dictionary.
        if (dictionary.size() == 1 && dictionary.entries()[0].first == kUidKey) {
            const PlistValue& uid = dictionary.entries()[0].second;
            if (uid.isInteger() && (uid.isUnsignedInteger() || uid.integer() >= 0))
                return PlistValue(PlistUid{uid.unsignedValue()});
        }
        return PlistValue(std::move(dictionary));
    }

    const QByteArray& m_data;
    QString* m_failureReason;
    QXmlStreamReader m_xml;
    std::unordered_set<QString> m_keys;
    bool m_failed = false;
};

// UTF-8 bytes of element text as a string. QString::fromUtf8 drops a byte-order mark at the start,
// which in element text is a character like any other.
QString textFromUtf8(const char* begin, const char* end)
{
    if (end - begin >= 3 && std::string_view(begin, 3) == "\xef\xbb\xbf") {
        QStringDecoder decoder(QStringDecoder::Utf8,
                               QStringDecoder::Flag::Stateless | QStringDecoder::Flag::ConvertInitialBom);
        return decoder.decode(QByteArrayView(begin, end - begin));
    }
    return QString::fromUtf8(begin, end - begin);
}

// Reads the plain XML that property-list writers produce (the usual prolog, elements without
// attributes, text with the predefined entities and character references) straight from its UTF-8
// bytes, several times faster than a general XML reader. It declines everything else (comments,
// CDATA, other declarations, line ends to normalise, values that do not parse) by answering
// nothing, and the general reader then reads the document as before, with its diagnostics.
class PlainXmlReader {
public:
    explicit PlainXmlReader(const QByteArray& data)
        : m_p(data.constData()), m_end(data.constData() + data.size())
    {
    }

    std::optional<PlistValue> read()
    {
        // The declaration may only come first; anything before it is for the general reader to refuse.
        skip("\xef\xbb\xbf");
        if (atText("<?xml") && !skipDeclaration())
            return std::nullopt;
        skipWhitespace();
        if (atText("<!DOCTYPE") && !skipDoctype())
            return std::nullopt;
        skipWhitespace();
        if (!skip("<plist version=\"1.0\">") && !skip("<plist>"))
            return std::nullopt;
        Tag tag;
        if (!nextTag(&tag) || tag.kind == Tag::Close)
            return std::nullopt;
        std::optional<PlistValue> value = readValue(tag, 0);
        if (!value || !nextTag(&tag) || tag.kind != Tag::Close || tag.name != Name::Plist)
            return std::nullopt;
        skipWhitespace();
        if (m_p != m_end)
            return std::nullopt;
        return value;
    }

private:
    enum class Name { Plist, Dict, Array, Key, String, Integer, Real, Date, Data, True, False };
    struct Tag {
        enum Kind { Open, Close, Empty } kind = Open;
        Name name = Name::Plist;
    };
    // A stretch of element text, with what decoding it needs.
    struct Text {
        const char* begin = nullptr;
        const char* end = nullptr;
        bool hasEntities = false;
        bool ascii = true;
    };

    bool atText(std::string_view text) const
    {
        return m_end - m_p >= qsizetype(text.size()) && std::string_view(m_p, text.size()) == text;
    }

    bool skip(std::string_view text)
    {
        if (!atText(text))
            return false;
        m_p += text.size();
        return true;
    }

    // Carriage returns are left to the general reader, which normalises them.
    void skipWhitespace()
    {
        while (m_p < m_end && (*m_p == ' ' || *m_p == '\t' || *m_p == '\n'))
            ++m_p;
    }

    bool skipDeclaration()
    {
        if (!skip("<?xml version=\"1.0\""))
            return false;
        skipWhitespace();
        if (!skip("encoding=\"UTF-8\""))
            skip("encoding=\"utf-8\"");
        skipWhitespace();
        return skip("?>");
    }

    bool skipDoctype()
    {
        return skip("<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\" "
                    "\"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">") ||
               skip("<!DOCTYPE plist PUBLIC \"-//Apple Computer//DTD PLIST 1.0//EN\" "
                    "\"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">");
    }

    // The next tag, after nothing but whitespace.
    bool nextTag(Tag* tag)
    {
        skipWhitespace();
        if (m_p >= m_end || *m_p != '<')
            return false;
        ++m_p;
        tag->kind = Tag::Open;
        if (m_p < m_end && *m_p == '/') {
            tag->kind = Tag::Close;
            ++m_p;
        }
        const char* start = m_p;
        while (m_p < m_end && *m_p >= 'a' && *m_p <= 'z')
            ++m_p;
        const std::string_view name(start, size_t(m_p - start));
        static constexpr std::pair<std::string_view, Name> kNames[] = {
            {"key", Name::Key},   {"string", Name::String}, {"integer", Name::Integer},
            {"real", Name::Real}, {"dict", Name::Dict},     {"array", Name::Array},
            {"true", Name::True}, {"false", Name::False},   {"date", Name::Date},
            {"data", Name::Data}, {"plist", Name::Plist},
        };
        const auto it = std::find_if(std::begin(kNames), std::end(kNames),
                                     [&](const auto& entry) { return entry.first == name; });
        if (it == std::end(kNames))
            return false;
        tag->name = it->second;
        if (tag->kind == Tag::Open && skip("/>")) {
            tag->kind = Tag::Empty;
            return true;
        }
        return skip(">");
    }

    // The text up to the end tag of name, which it consumes; false for anything but plain text.
    bool readText(Name name, Text* text)
    {
        text->begin = m_p;
        for (; m_p < m_end && *m_p != '<'; ++m_p) {
            const auto byte = static_cast<unsigned char>(*m_p);
            if (byte == '&') {
                text->hasEntities = true;
            } else if (byte >= 0x80) {
                text->ascii = false;
                // U+FFFE and U+FFFF are not XML characters.
                if (byte == 0xEF && m_end - m_p >= 3 && static_cast<unsigned char>(m_p[1]) == 0xBF &&
                    (static_cast<unsigned char>(m_p[2]) & 0xFE) == 0xBE)
                    return false;
            } else if ((byte < 0x20 && byte != '\t' && byte != '\n') ||
                       (byte == '>' && m_p - text->begin >= 2 && m_p[-1] == ']' && m_p[-2] == ']')) {
                return false;
            }
        }
        text->end = m_p;
        Tag tag;
        return nextTag(&tag) && tag.kind == Tag::Close && tag.name == name;
    }

    // The text with its entities resolved; empty when one is not understood.
    static std::optional<QString> decode(const Text& text)
    {
        if (text.begin == text.end)
            return QString();
        if (!text.hasEntities)
            return textFromUtf8(text.begin, text.end);
        QString out;
        const char* p = text.begin;
        while (p < text.end) {
            const char* amp = std::find(p, text.end, '&');
            out.append(textFromUtf8(p, amp));
            if (amp == text.end)
                break;
            const char* semicolon = std::find(amp, text.end, ';');
            if (semicolon == text.end)
                return std::nullopt;
            if (!appendXmlReference(std::string_view(amp + 1, size_t(semicolon - amp - 1)), out))
                return std::nullopt;
            p = semicolon + 1;
        }
        return out;
    }

    // Keys repeat throughout a file; each distinct key is decoded once and shared.
    std::optional<QString> key(const Text& text)
    {
        if (text.hasEntities)
            return decode(text);
        const QByteArray bytes = QByteArray::fromRawData(text.begin, text.end - text.begin);
        if (const auto it = m_keys.find(bytes); it != m_keys.end())
            return it->second;
        const QString decoded = textFromUtf8(text.begin, text.end);
        m_keys.emplace(QByteArray(text.begin, text.end - text.begin), decoded);
        return decoded;
    }

    std::optional<PlistValue> readValue(const Tag& tag, int depth)
    {
        if (depth > kPropertyListMaximumDepth || tag.kind == Tag::Close)
            return std::nullopt;
        switch (tag.name) {
        case Name::Dict:
            return tag.kind == Tag::Empty ? PlistValue(PlistDictionary()) : readDictionary(depth);
        case Name::Array:
            return tag.kind == Tag::Empty ? PlistValue(PlistArray()) : readArray(depth);
        case Name::True:
        case Name::False: {
            Tag end;
            if (tag.kind == Tag::Open && (!nextTag(&end) || end.kind != Tag::Close || end.name != tag.name))
                return std::nullopt;
            return PlistValue(tag.name == Name::True);
        }
        case Name::Plist:
        case Name::Key:
            return std::nullopt;
        default:
            break;
        }
        Text text;
        if (tag.kind == Tag::Open && !readText(tag.name, &text))
            return std::nullopt;
        if (tag.name == Name::Data)
            return readData(text);
        std::optional<QString> decoded = decode(text);
        if (!decoded)
            return std::nullopt;
        PlistValue value;
        switch (tag.name) {
        case Name::String:
            return PlistValue(std::move(*decoded));
        case Name::Integer:
            if (!parseInteger(*decoded, &value))
                return std::nullopt;
            return value;
        case Name::Real: {
            double real = 0;
            if (!parseReal(*decoded, &real))
                return std::nullopt;
            return PlistValue(real);
        }
        case Name::Date: {
            PlistDate date;
            if (!parseDate(*decoded, &date))
                return std::nullopt;
            return PlistValue(date);
        }
        default:
            return std::nullopt;
        }
    }

    static std::optional<PlistValue> readData(const Text& text)
    {
        if (text.hasEntities || !text.ascii)
            return std::nullopt;
        QByteArray compact;
        compact.reserve(text.end - text.begin);
        for (const char* p = text.begin; p < text.end; ++p) {
            if (*p != ' ' && *p != '\t' && *p != '\n')
                compact.append(*p);
        }
        QByteArray::FromBase64Result decoded =
            QByteArray::fromBase64Encoding(compact, QByteArray::AbortOnBase64DecodingErrors);
        if (!decoded)
            return std::nullopt;
        return PlistValue(std::move(decoded.decoded));
    }

    std::optional<PlistValue> readArray(int depth)
    {
        PlistArray array;
        Tag tag;
        while (nextTag(&tag)) {
            if (tag.kind == Tag::Close)
                return tag.name == Name::Array ? std::optional<PlistValue>(std::move(array)) : std::nullopt;
            std::optional<PlistValue> element = readValue(tag, depth + 1);
            if (!element)
                return std::nullopt;
            array.push_back(std::move(*element));
        }
        return std::nullopt;
    }

    std::optional<PlistValue> readDictionary(int depth)
    {
        PlistDictionary dictionary;
        Tag tag;
        while (nextTag(&tag)) {
            if (tag.kind == Tag::Close) {
                if (tag.name != Name::Dict)
                    return std::nullopt;
                // The platform writes archive UIDs as this one-entry dictionary.
                if (dictionary.size() == 1 && dictionary.entries()[0].first == kUidKey) {
                    const PlistValue& uid = dictionary.entries()[0].second;
                    if (uid.isInteger() && (uid.isUnsignedInteger() || uid.integer() >= 0))
                        return PlistValue(PlistUid{uid.unsignedValue()});
                }
                return PlistValue(std::move(dictionary));
            }
            if (tag.name != Name::Key)
                return std::nullopt;
            Text text;
            if (tag.kind == Tag::Open && !readText(Name::Key, &text))
                return std::nullopt;
            std::optional<QString> name = key(text);
            if (!name || !nextTag(&tag))
                return std::nullopt;
            std::optional<PlistValue> value = readValue(tag, depth + 1);
            if (!value)
                return std::nullopt;
            dictionary.insert(*name, std::move(*value));
        }
        return std::nullopt;
    }

    const char* m_p;
    const char* m_end;
    std::unordered_map<QByteArray, QString> m_keys;
};

} // namespace

std::optional<PlistValue> PlistXml::read(const QByteArray& data, QString* failureReason)
{
    if (declaresUtf8(data) && isValidUtf8(data)) {
        if (std::optional<PlistValue> value = PlainXmlReader(data).read())
            return value;
    }
    return XmlReader(data, failureReason).read();
}
