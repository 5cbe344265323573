#include "platform/textformats/XmlScanner.h"

#include "platform/foundation/XmlReference.h"

#include <QStringDecoder>

#include <cstring>
#include <string_view>

namespace {

bool isSpace(char c)
{
    return c == ' ' || c == '\n' || c == '\t' || c == '\r';
}

bool isNameStart(unsigned char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' || c == ':' || c >= 0x80;
}

bool isNameByte(unsigned char c)
{
    return isNameStart(c) || (c >= '0' && c <= '9') || c == '-' || c == '.';
}

bool startsWith(const char* bytes, qsizetype size, qsizetype position, std::string_view prefix)
{
    return size - position >= qsizetype(prefix.size()) &&
           std::memcmp(bytes + position, prefix.data(), prefix.size()) == 0;
}

// The encoding a leading XML declaration names; empty when there is none.
QByteArray declaredEncoding(const QByteArray& data, qsizetype start)
{
    const std::string_view text(data.constData() + start, size_t(std::min<qsizetype>(data.size() - start, 1024)));
    if (!text.starts_with("<?xml"))
        return {};
    const size_t end = text.find("?>");
    if (end == std::string_view::npos)
        return {};
    const std::string_view declaration = text.substr(0, end);
    size_t at = declaration.find("encoding");
    if (at == std::string_view::npos)
        return {};
    at += 8;
    while (at < declaration.size() && (isSpace(declaration[at]) || declaration[at] == '='))
        ++at;
    if (at >= declaration.size() || (declaration[at] != '"' && declaration[at] != '\''))
        return {};
    const size_t close = declaration.find(declaration[at], at + 1);
    if (close == std::string_view::npos)
        return {};
    return QByteArray(declaration.data() + at + 1, qsizetype(close - at - 1));
}

} // namespace

XmlScanner::XmlScanner(const QByteArray& data, int maximumDepth) : m_data(data), m_maximumDepth(maximumDepth)
{
    prepareInput();
}

// Everything is read as UTF-8: other encodings are converted once, up front.
void XmlScanner::prepareInput()
{
    const auto bytes = [&](std::string_view prefix) {
        return startsWith(m_data.constData(), m_data.size(), 0, prefix);
    };
    std::optional<QStringDecoder::Encoding> encoding;
    qsizetype skip = 0;
    if (bytes("\xEF\xBB\xBF")) {
        m_position = 3;
    } else if (bytes("\xFF\xFE")) {
        encoding = QStringDecoder::Utf16LE;
        skip = 2;
    } else if (bytes("\xFE\xFF")) {
        encoding = QStringDecoder::Utf16BE;
        skip = 2;
    } else if (bytes(std::string_view("<\0?\0", 4))) {
        encoding = QStringDecoder::Utf16LE;
    } else if (bytes(std::string_view("\0<\0?", 4))) {
        encoding = QStringDecoder::Utf16BE;
    }
    QString converted;
    bool failed = false;
    bool convert = encoding.has_value();
    if (encoding) {
        QStringDecoder decoder(*encoding, QStringDecoder::Flag::Stateless);
        converted = decoder.decode(QByteArrayView(m_data).sliced(skip));
        failed = decoder.hasError();
    } else {
        const QByteArray name = declaredEncoding(m_data, m_position).toLower();
        if (!name.isEmpty() && name != "utf-8" && name != "utf8") {
            QStringDecoder decoder(name.constData(), QStringDecoder::Flag::Stateless);
            if (!decoder.isValid()) {
                fail(NotWellFormed, QStringLiteral("The encoding \"%1\" is not supported.")
                                        .arg(QString::fromLatin1(name.left(64))));
            } else {
                converted = decoder.decode(m_data);
                failed = decoder.hasError();
                convert = true;
            }
        }
    }
    if (failed)
        fail(NotWellFormed, QStringLiteral("Encountered incorrectly encoded content."));
    else if (convert) {
        m_data = converted.toUtf8();
        m_position = 0;
    }
    m_bytes = m_data.constData();
    m_size = m_data.size();
}

XmlScanner::TokenType XmlScanner::fail(ErrorKind kind, const QString& why)
{
    if (m_error == NoError) {
        m_error = kind;
        m_errorString = why;
    }
    m_token = Invalid;
    return Invalid;
}

XmlScanner::TokenType XmlScanner::readNext()
{
    if (m_error != NoError)
        return m_token = Invalid;
    if (m_token == EndDocument)
        return EndDocument;
    if (m_popAfterEnd) {
        m_namespaces.resize(m_open.back().namespaceCount);
        m_open.pop_back();
        m_popAfterEnd = false;
    }
    if (m_pendingEnd) {
        m_pendingEnd = false;
        const OpenElement& element = m_open.back();
        m_names.truncate(0);
        m_attributes.clear();
        appendName(m_name, element.nameStart, element.nameStart + element.nameLength, true);
        m_popAfterEnd = true;
        return m_token = EndElement;
    }
    for (;;) {
        if (m_position >= m_size) {
            if (!m_open.empty() || !m_rootSeen)
                return premature();
            return m_token = EndDocument;
        }
        const char c = m_bytes[m_position];
        if (c != '<') {
            if (!m_open.empty())
                return readText();
            // Outside the document element only white space may stand.
            if (isSpace(c)) {
                ++m_position;
                continue;
            }
            return fail(NotWellFormed, m_rootSeen ? QStringLiteral("Extra content at end of document.")
                                                  : QStringLiteral("Start tag expected."));
        }
        if (m_position + 1 >= m_size)
            return premature();
        const char next = m_bytes[m_position + 1];
        if (next == '?') {
            m_position += 2;
            if (!skipPast("?>", 2))
                return premature();
            continue;
        }
        if (next == '!') {
            if (startsWith(m_bytes, m_size, m_position, "<!--")) {
                m_position += 4;
                if (!skipPast("-->", 3))
                    return premature();
                continue;
            }
            if (startsWith(m_bytes, m_size, m_position, "<![CDATA[")) {
                if (m_open.empty())
                    return fail(NotWellFormed, QStringLiteral("Character data outside the document element."));
                m_position += 9;
                return readCdata();
            }
            if (startsWith(m_bytes, m_size, m_position, "<!DOCTYPE"))
                return fail(DocumentType, QStringLiteral("A document type declaration is not accepted."));
            if (m_size - m_position < 9)
                return premature();
            return fail(NotWellFormed, QStringLiteral("Unexpected markup."));
        }
        if (next == '/')
            return readEndTag();
        return readStartTag();
    }
}

bool XmlScanner::skipPast(const char* terminator, qsizetype length)
{
    const std::string_view rest(m_bytes + m_position, size_t(m_size - m_position));
    const size_t at = rest.find(std::string_view(terminator, size_t(length)));
    if (at == std::string_view::npos)
        return false;
    m_position += qsizetype(at) + length;
    return true;
}

qsizetype XmlScanner::nameEnd(qsizetype from) const
{
    if (from >= m_size || !isNameStart(static_cast<unsigned char>(m_bytes[from])))
        return from;
    qsizetype end = from + 1;
    while (end < m_size && isNameByte(static_cast<unsigned char>(m_bytes[end])))
        ++end;
    return end;
}

bool XmlScanner::skipSpace()
{
    const qsizetype start = m_position;
    while (m_position < m_size && isSpace(m_bytes[m_position]))
        ++m_position;
    return m_position > start;
}

bool XmlScanner::appendName(Span& span, qsizetype from, qsizetype to, bool localOnly)
{
    qsizetype start = from;
    if (localOnly) {
        const std::string_view name(m_bytes + from, size_t(to - from));
        const size_t colon = name.rfind(':');
        if (colon != std::string_view::npos) {
            m_prefix.start = m_names.size();
            if (!appendDecoded(m_names, from, from + qsizetype(colon), Decoding::Text))
                return false;
            m_prefix.length = m_names.size() - m_prefix.start;
            start = from + qsizetype(colon) + 1;
        } else {
            m_prefix = {};
        }
    }
    span.start = m_names.size();
    if (!appendDecoded(m_names, start, to, Decoding::Text))
        return false;
    span.length = m_names.size() - span.start;
    return true;
}

XmlScanner::TokenType XmlScanner::readStartTag()
{
    const qsizetype nameStart = m_position + 1;
    const qsizetype nameStop = nameEnd(nameStart);
    if (nameStop == nameStart)
        return nameStart >= m_size ? premature() : fail(NotWellFormed, QStringLiteral("Invalid start tag."));
    if (nameStop >= m_size)
        return premature();
    if (m_open.empty() && m_rootSeen)
        return fail(NotWellFormed, QStringLiteral("Extra content at end of document."));
    if (int(m_open.size()) >= m_maximumDepth)
        return fail(TooDeep, QStringLiteral("Elements are nested too deeply."));
    m_names.truncate(0);
    m_attributes.clear();
    if (!appendName(m_name, nameStart, nameStop, true))
        return Invalid;
    const size_t namespacesBefore = m_namespaces.size();
    m_position = nameStop;
    bool selfClosing = false;
    for (;;) {
        const bool spaced = skipSpace();
        if (m_position >= m_size)
            return premature();
        const char c = m_bytes[m_position];
        if (c == '>') {
            ++m_position;
            break;
        }
        if (c == '/') {
            if (m_position + 1 >= m_size)
                return premature();
            if (m_bytes[m_position + 1] != '>')
                return fail(NotWellFormed, QStringLiteral("Expected '>' after '/'."));
            m_position += 2;
            selfClosing = true;
            break;
        }
        const qsizetype attributeStart = m_position;
        const qsizetype attributeStop = nameEnd(attributeStart);
        if (!spaced || attributeStop == attributeStart)
            return fail(NotWellFormed, QStringLiteral("Invalid attribute in a start tag."));
        m_position = attributeStop;
        skipSpace();
        if (m_position >= m_size)
            return premature();
        if (m_bytes[m_position] != '=')
            return fail(NotWellFormed, QStringLiteral("Expected '=' after an attribute name."));
        ++m_position;
        skipSpace();
        if (m_position >= m_size)
            return premature();
        const char quote = m_bytes[m_position];
        if (quote != '"' && quote != '\'')
            return fail(NotWellFormed, QStringLiteral("Expected a quoted attribute value."));
        const qsizetype valueStart = m_position + 1;
        const void* close = std::memchr(m_bytes + valueStart, quote, size_t(m_size - valueStart));
        if (!close)
            return premature();
        const qsizetype valueStop = static_cast<const char*>(close) - m_bytes;
        m_position = valueStop + 1;

        const std::string_view qualified(m_bytes + attributeStart, size_t(attributeStop - attributeStart));
        if (qualified == "xmlns" || qualified.starts_with("xmlns:")) {
            // Declarations are scope, not attributes.
            Namespace declaration;
            if (qualified.size() > 6)
                declaration.prefix = QString::fromUtf8(qualified.substr(6));
            if (!appendDecoded(declaration.uri, valueStart, valueStop, Decoding::AttributeValue))
                return Invalid;
            m_namespaces.push_back(std::move(declaration));
            continue;
        }
        Attribute attribute;
        const Span elementPrefix = m_prefix;
        if (!appendName(attribute.localName, attributeStart, attributeStop, true))
            return Invalid;
        m_prefix = elementPrefix;
        attribute.value.start = m_names.size();
        if (!appendDecoded(m_names, valueStart, valueStop, Decoding::AttributeValue))
            return Invalid;
        attribute.value.length = m_names.size() - attribute.value.start;
        m_attributes.push_back(attribute);
    }
    m_open.push_back(OpenElement{nameStart, nameStop - nameStart, namespacesBefore});
    m_rootSeen = true;
    m_pendingEnd = selfClosing;
    return m_token = StartElement;
}

XmlScanner::TokenType XmlScanner::readEndTag()
{
    const qsizetype nameStart = m_position + 2;
    const qsizetype nameStop = nameEnd(nameStart);
    if (nameStop == nameStart)
        return nameStart >= m_size ? premature() : fail(NotWellFormed, QStringLiteral("Invalid end tag."));
    m_position = nameStop;
    skipSpace();
    if (m_position >= m_size)
        return premature();
    if (m_bytes[m_position] != '>')
        return fail(NotWellFormed, QStringLiteral("Expected '>' to end a tag."));
    ++m_position;
    if (m_open.empty())
        return fail(NotWellFormed, QStringLiteral("Unexpected end tag."));
    const OpenElement& open = m_open.back();
    if (open.nameLength != nameStop - nameStart ||
        std::memcmp(m_bytes + open.nameStart, m_bytes + nameStart, size_t(open.nameLength)) != 0)
        return fail(NotWellFormed, QStringLiteral("Opening and ending tag mismatch."));
    m_names.truncate(0);
    m_attributes.clear();
    if (!appendName(m_name, nameStart, nameStop, true))
        return Invalid;
    m_popAfterEnd = true;
    return m_token = EndElement;
}

XmlScanner::TokenType XmlScanner::readText()
{
    const void* found = std::memchr(m_bytes + m_position, '<', size_t(m_size - m_position));
    const qsizetype stop = found ? static_cast<const char*>(found) - m_bytes : m_size;
    m_text.truncate(0);
    if (!appendDecoded(m_text, m_position, stop, Decoding::Text))
        return Invalid;
    m_position = stop;
    return m_token = Characters;
}

XmlScanner::TokenType XmlScanner::readCdata()
{
    const std::string_view rest(m_bytes + m_position, size_t(m_size - m_position));
    const size_t at = rest.find("]]>");
    if (at == std::string_view::npos)
        return premature();
    const qsizetype stop = m_position + qsizetype(at);
    m_text.truncate(0);
    if (!appendDecoded(m_text, m_position, stop, Decoding::Raw))
        return Invalid;
    m_position = stop + 3;
    return m_token = Characters;
}

bool XmlScanner::appendDecoded(QString& out, qsizetype from, qsizetype to, Decoding decoding)
{
    const qsizetype start = out.size();
    // Never more UTF-16 units than bytes: every sequence and reference is at least as long as its result.
    out.resize(start + (to - from));
    char16_t* write = reinterpret_cast<char16_t*>(out.data()) + start;
    const auto* bytes = reinterpret_cast<const unsigned char*>(m_bytes);
    const auto invalidCharacter = [&] {
        out.truncate(start);
        fail(NotWellFormed, QStringLiteral("Invalid XML character."));
        return false;
    };
    const auto badEncoding = [&] {
        out.truncate(start);
        fail(NotWellFormed, QStringLiteral("Encountered incorrectly encoded content."));
        return false;
    };
    qsizetype i = from;
    while (i < to) {
        const unsigned char b = bytes[i];
        if (b >= 0x20 && b < 0x80 && ((b != '&' && b != '<') || decoding == Decoding::Raw)) {
            *write++ = b;
            ++i;
            continue;
        }
        if (b == '&') {
            QString reference;
            qsizetype position = i;
            if (!appendReference(reference, position, to)) {
                out.truncate(start);
                return false;
            }
            for (const QChar c : std::as_const(reference))
                *write++ = c.unicode();
            i = position;
            continue;
        }
        if (b == '<') {
            out.truncate(start);
            fail(NotWellFormed, QStringLiteral("'<' in an attribute value."));
            return false;
        }
        if (b == '\r' || b == '\n' || b == '\t') {
            // Line ends read as one line feed; in attribute values all white space reads as a space.
            if (b == '\r' && i + 1 < to && bytes[i + 1] == '\n')
                ++i;
            *write++ = decoding == Decoding::AttributeValue ? u' ' : (b == '\t' ? u'\t' : u'\n');
            ++i;
            continue;
        }
        if (b < 0x20)
            return invalidCharacter();
        char32_t code;
        int extra;
        if (b >= 0xC2 && b <= 0xDF) {
            code = b & 0x1F;
            extra = 1;
        } else if (b >= 0xE0 && b <= 0xEF) {
            code = b & 0x0F;
            extra = 2;
        } else if (b >= 0xF0 && b <= 0xF4) {
            code = b & 0x07;
            extra = 3;
        } else {
            return badEncoding();
        }
        if (to - i <= extra)
            return badEncoding();
        for (int k = 1; k <= extra; ++k) {
            const unsigned char continuation = bytes[i + k];
            if ((continuation & 0xC0) != 0x80)
                return badEncoding();
            code = (code << 6) | (continuation & 0x3F);
        }
        // Overlong forms and surrogates are not UTF-8.
        if ((extra == 2 && (code < 0x800 || (code >= 0xD800 && code <= 0xDFFF))) ||
            (extra == 3 && (code < 0x10000 || code > 0x10FFFF)))
            return badEncoding();
        if (!isXmlCharacter(code))
            return invalidCharacter();
        if (code >= 0x10000) {
            *write++ = char16_t(0xD800 + ((code - 0x10000) >> 10));
            *write++ = char16_t(0xDC00 + ((code - 0x10000) & 0x3FF));
        } else {
            *write++ = char16_t(code);
        }
        i += extra + 1;
    }
    out.truncate(write - reinterpret_cast<const char16_t*>(out.constData()));
    return true;
}

bool XmlScanner::appendReference(QString& out, qsizetype& position, qsizetype to)
{
    // A reference is short: a long run without ';' is no reference, whatever follows.
    constexpr qsizetype kLongestReference = 40;
    const qsizetype limit = std::min(to, position + kLongestReference);
    const void* semicolon = std::memchr(m_bytes + position, ';', size_t(limit - position));
    if (!semicolon) {
        if (limit == m_size)
            premature();
        else
            fail(NotWellFormed, QStringLiteral("Unterminated entity reference."));
        return false;
    }
    const qsizetype end = static_cast<const char*>(semicolon) - m_bytes;
    const std::string_view name(m_bytes + position + 1, size_t(end - position - 1));
    position = end + 1;
    if (appendXmlReference(name, out))
        return true;
    if (name.starts_with('#'))
        fail(NotWellFormed, QStringLiteral("Invalid character reference."));
    else
        fail(UndeclaredEntity, QStringLiteral("Entity '%1' not declared.")
                                   .arg(QString::fromUtf8(name.substr(0, std::min<size_t>(name.size(), 32)))));
    return false;
}

QStringView XmlScanner::namespaceUri() const
{
    if (m_token != StartElement && m_token != EndElement)
        return {};
    const QStringView prefix = view(m_prefix);
    if (prefix == u"xml")
        return u"http://www.w3.org/XML/1998/namespace";
    for (auto it = m_namespaces.rbegin(); it != m_namespaces.rend(); ++it)
        if (it->prefix == prefix)
            return it->uri;
    return {};
}

QStringView XmlScanner::attribute(QStringView localName) const
{
    if (m_token != StartElement)
        return {};
    for (const Attribute& a : m_attributes)
        if (view(a.localName) == localName)
            return view(a.value);
    return {};
}

QString XmlScanner::readElementText(TextBehaviour behaviour)
{
    if (m_token != StartElement)
        return {};
    const int own = depth();
    QString result;
    for (;;) {
        switch (readNext()) {
        case Characters:
            if (behaviour == IncludeChildElements || depth() == own)
                result.append(m_text);
            break;
        case EndElement:
            if (depth() == own)
                return result;
            break;
        case StartElement:
            break;
        default:
            return result;
        }
    }
}
