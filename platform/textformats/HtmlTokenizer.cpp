#include "platform/textformats/HtmlTokenizer.h"

#include <QHash>

#include <algorithm>

namespace {

// Attributes beyond this many on one tag are skipped: no document needs them, and a hostile tag
// must not make every later look-up slow.
constexpr size_t kMaximumAttributes = 64;
// The longest entity name in the table, with room to spare.
constexpr qsizetype kMaximumEntityName = 32;

bool isSpace(QChar c)
{
    return c == u' ' || c == u'\t' || c == u'\n' || c == u'\r' || c == u'\f';
}

bool isNameStart(QChar c)
{
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z');
}

const QHash<QString, char32_t>& namedEntities()
{
    static const QHash<QString, char32_t> table = [] {
        QHash<QString, char32_t> t{
            {"amp", 0x26},      {"lt", 0x3C},       {"gt", 0x3E},       {"quot", 0x22},
            {"apos", 0x27},     {"nbsp", 0xA0},     {"ensp", 0x2002},   {"emsp", 0x2003},
            {"thinsp", 0x2009}, {"zwnj", 0x200C},   {"zwj", 0x200D},    {"lrm", 0x200E},
            {"rlm", 0x200F},    {"ndash", 0x2013},  {"mdash", 0x2014},  {"lsquo", 0x2018},
            {"rsquo", 0x2019},  {"sbquo", 0x201A},  {"ldquo", 0x201C},  {"rdquo", 0x201D},
            {"bdquo", 0x201E},  {"dagger", 0x2020}, {"Dagger", 0x2021}, {"bull", 0x2022},
            {"hellip", 0x2026}, {"permil", 0x2030}, {"prime", 0x2032},  {"Prime", 0x2033},
            {"lsaquo", 0x2039}, {"rsaquo", 0x203A}, {"euro", 0x20AC},   {"trade", 0x2122},
            {"larr", 0x2190},   {"uarr", 0x2191},   {"rarr", 0x2192},   {"darr", 0x2193},
            {"harr", 0x2194},   {"minus", 0x2212},  {"times", 0xD7},    {"divide", 0xF7},
            {"OElig", 0x152},   {"oelig", 0x153},   {"Scaron", 0x160},  {"scaron", 0x161},
            {"Yuml", 0x178},    {"fnof", 0x192},    {"circ", 0x2C6},    {"tilde", 0x2DC},
            {"Alpha", 0x391},   {"alpha", 0x3B1},   {"beta", 0x3B2},    {"gamma", 0x3B3},
            {"delta", 0x3B4},   {"pi", 0x3C0},      {"mu", 0x3BC},      {"infin", 0x221E},
            {"ne", 0x2260},     {"le", 0x2264},     {"ge", 0x2265},     {"asymp", 0x2248},
            {"loz", 0x25CA},    {"spades", 0x2660}, {"clubs", 0x2663},  {"hearts", 0x2665},
            {"diams", 0x2666},
        };
        // Latin 1's upper half, 160 to 255, in the order of its code points.
        static const char* const kLatin1[] = {
            "nbsp",   "iexcl",  "cent",   "pound",  "curren", "yen",    "brvbar", "sect",   "uml",
            "copy",   "ordf",   "laquo",  "not",    "shy",    "reg",    "macr",   "deg",    "plusmn",
            "sup2",   "sup3",   "acute",  "micro",  "para",   "middot", "cedil",  "sup1",   "ordm",
            "raquo",  "frac14", "frac12", "frac34", "iquest", "Agrave", "Aacute", "Acirc",  "Atilde",
            "Auml",   "Aring",  "AElig",  "Ccedil", "Egrave", "Eacute", "Ecirc",  "Euml",   "Igrave",
            "Iacute", "Icirc",  "Iuml",   "ETH",    "Ntilde", "Ograve", "Oacute", "Ocirc",  "Otilde",
            "Ouml",   "times",  "Oslash", "Ugrave", "Uacute", "Ucirc",  "Uuml",   "Yacute", "THORN",
            "szlig",  "agrave", "aacute", "acirc",  "atilde", "auml",   "aring",  "aelig",  "ccedil",
            "egrave", "eacute", "ecirc",  "euml",   "igrave", "iacute", "icirc",  "iuml",   "eth",
            "ntilde", "ograve", "oacute", "ocirc",  "otilde", "ouml",   "divide", "oslash", "ugrave",
            "uacute", "ucirc",  "uuml",   "yacute", "thorn",  "yuml"};
        for (int i = 0; i < 96; ++i)
            t.insert(QString::fromLatin1(kLatin1[i]), char32_t(0xA0 + i));
        return t;
    }();
    return table;
}

// The characters the numbers 128 to 159 stand for in Windows Latin 1, which documents that name
// them by number mean.
char32_t windowsLatin1Number(char32_t number)
{
    static const char16_t kHigh[32] = {0x20AC, 0xFFFD, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                       0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0xFFFD, 0x017D, 0xFFFD,
                                       0xFFFD, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                       0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0xFFFD, 0x017E, 0x0178};
    return number >= 0x80 && number <= 0x9F ? char32_t(kHigh[number - 0x80]) : number;
}

void appendCodePoint(QString& out, char32_t c)
{
    if (c == 0 || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF))
        c = 0xFFFD;
    out.append(QStringView(QString::fromUcs4(&c, 1)));
}

// Reads a character reference at text[i] == '&'; answers the number of characters it spans, or 0
// when it is none (the ampersand then stands for itself).
qsizetype readReference(QStringView text, qsizetype i, QString& out)
{
    const qsizetype size = text.size();
    qsizetype j = i + 1;
    if (j < size && text[j] == u'#') {
        ++j;
        const bool hex = j < size && (text[j] == u'x' || text[j] == u'X');
        if (hex)
            ++j;
        const qsizetype digitsStart = j;
        // Saturates instead of overflowing: any number past Unicode is equally out of range.
        quint64 value = 0;
        for (; j < size; ++j) {
            const char16_t c = text[j].unicode();
            int digit = -1;
            if (c >= u'0' && c <= u'9')
                digit = c - u'0';
            else if (hex && c >= u'a' && c <= u'f')
                digit = c - u'a' + 10;
            else if (hex && c >= u'A' && c <= u'F')
                digit = c - u'A' + 10;
            if (digit < 0)
                break;
            value = std::min<quint64>(value * (hex ? 16 : 10) + quint64(digit), 0x110000);
        }
        if (j == digitsStart)
            return 0;
        if (j < size && text[j] == u';')
            ++j;
        appendCodePoint(out, windowsLatin1Number(char32_t(value)));
        return j - i;
    }
    while (j < size && j - i <= kMaximumEntityName && text[j].isLetterOrNumber() && text[j].unicode() < 128)
        ++j;
    if (j == i + 1)
        return 0;
    const auto& table = namedEntities();
    const auto it = table.constFind(text.mid(i + 1, j - i - 1).toString());
    if (it == table.constEnd())
        return 0;
    if (j < size && text[j] == u';')
        ++j;
    appendCodePoint(out, it.value());
    return j - i;
}

} // namespace

QString HtmlTokenizer::Token::attribute(QStringView attributeName) const
{
    for (const Attribute& attribute : attributes)
        if (attribute.name.compare(attributeName, Qt::CaseInsensitive) == 0)
            return expandEntities(attribute.value);
    return {};
}

QStringView HtmlTokenizer::Token::rawAttribute(QStringView attributeName) const
{
    for (const Attribute& attribute : attributes)
        if (attribute.name.compare(attributeName, Qt::CaseInsensitive) == 0)
            return attribute.value;
    return {};
}

QString HtmlTokenizer::expandEntities(QStringView text)
{
    const qsizetype first = text.indexOf(u'&');
    if (first < 0)
        return text.toString();
    QString out;
    out.reserve(text.size());
    out.append(text.first(first));
    for (qsizetype i = first; i < text.size();) {
        if (text[i] == u'&') {
            if (const qsizetype used = readReference(text, i, out)) {
                i += used;
                continue;
            }
        }
        out.append(text[i]);
        ++i;
    }
    return out;
}

void HtmlTokenizer::setText(Token& token, QStringView raw, bool expand)
{
    if (expand && raw.contains(u'&')) {
        token.expanded = expandEntities(raw);
        token.text = token.expanded;
    } else {
        token.text = raw;
    }
}

void HtmlTokenizer::skipPast(QStringView terminator)
{
    const qsizetype end = m_html.indexOf(terminator, m_position);
    m_position = end < 0 ? m_html.size() : end + terminator.size();
}

HtmlTokenizer::Token HtmlTokenizer::rawText(const QString& endTag)
{
    Token token;
    token.kind = Token::Kind::Text;
    const qsizetype start = m_position;
    qsizetype end = start;
    // The end tag, any case, followed by a character that ends a tag name.
    for (;;) {
        end = m_html.indexOf(QStringView(u"</"), end);
        if (end < 0) {
            end = m_html.size();
            break;
        }
        const qsizetype nameEnd = end + 2 + endTag.size();
        if (nameEnd <= m_html.size() &&
            m_html.sliced(end + 2, endTag.size()).compare(endTag, Qt::CaseInsensitive) == 0 &&
            (nameEnd == m_html.size() || isSpace(m_html[nameEnd]) || m_html[nameEnd] == u'>' ||
             m_html[nameEnd] == u'/'))
            break;
        end += 2;
    }
    const QStringView raw = m_html.sliced(start, end - start);
    setText(token, raw, m_rawTextExpands);
    m_position = end;
    m_rawTextEnd.clear();
    return token;
}

HtmlTokenizer::Token HtmlTokenizer::next()
{
    if (!m_rawTextEnd.isEmpty())
        return rawText(m_rawTextEnd);
    const qsizetype size = m_html.size();
    while (m_position < size) {
        if (m_html[m_position] != u'<') {
            qsizetype end = m_html.indexOf(u'<', m_position);
            if (end < 0)
                end = size;
            Token token;
            token.kind = Token::Kind::Text;
            setText(token, m_html.sliced(m_position, end - m_position), true);
            m_position = end;
            return token;
        }
        const qsizetype after = m_position + 1;
        if (after >= size) {
            ++m_position;
            Token token;
            token.kind = Token::Kind::Text;
            token.text = u"<";
            return token;
        }
        const QChar c = m_html[after];
        if (c == u'!') {
            if (m_html.sliced(after).startsWith(u"!--")) {
                m_position = after + 3;
                skipPast(u"-->");
            } else {
                skipPast(u">");
            }
            continue;
        }
        if (c == u'?') {
            skipPast(u">");
            continue;
        }
        if (isNameStart(c) || (c == u'/' && after + 1 < size && isNameStart(m_html[after + 1])))
            return readTag();
        if (c == u'/') {
            // "</>" and "</ junk>" are dropped as browsers drop them.
            skipPast(u">");
            continue;
        }
        Token token;
        token.kind = Token::Kind::Text;
        token.text = u"<";
        ++m_position;
        return token;
    }
    return {};
}

HtmlTokenizer::Token HtmlTokenizer::readTag()
{
    const qsizetype size = m_html.size();
    Token token;
    qsizetype i = m_position + 1;
    token.kind = Token::Kind::StartTag;
    if (m_html[i] == u'/') {
        token.kind = Token::Kind::EndTag;
        ++i;
    }
    const qsizetype nameStart = i;
    while (i < size && !isSpace(m_html[i]) && m_html[i] != u'>' && m_html[i] != u'/')
        ++i;
    token.name = m_html.sliced(nameStart, i - nameStart).toString().toLower();
    for (;;) {
        while (i < size && (isSpace(m_html[i]) || m_html[i] == u'/')) {
            if (m_html[i] == u'/' && i + 1 < size && m_html[i + 1] == u'>')
                token.selfClosing = true;
            ++i;
        }
        if (i >= size || m_html[i] == u'>')
            break;
        const qsizetype keyStart = i;
        while (i < size && !isSpace(m_html[i]) && m_html[i] != u'>' && m_html[i] != u'=' &&
               !(m_html[i] == u'/' && i > keyStart))
            ++i;
        if (i == keyStart)
            ++i; // a lone "=": skip it
        const QStringView key = m_html.sliced(keyStart, i - keyStart);
        QStringView value;
        while (i < size && isSpace(m_html[i]))
            ++i;
        if (i < size && m_html[i] == u'=') {
            ++i;
            while (i < size && isSpace(m_html[i]))
                ++i;
            if (i < size && (m_html[i] == u'"' || m_html[i] == u'\'')) {
                const QChar quote = m_html[i++];
                qsizetype end = m_html.indexOf(quote, i);
                if (end < 0)
                    end = size;
                value = m_html.sliced(i, end - i);
                i = std::min(end + 1, size);
            } else {
                const qsizetype valueStart = i;
                while (i < size && !isSpace(m_html[i]) && m_html[i] != u'>')
                    ++i;
                value = m_html.sliced(valueStart, i - valueStart);
            }
        }
        const bool repeated =
            std::any_of(token.attributes.begin(), token.attributes.end(), [&](const auto& attribute) {
                return attribute.name.compare(key, Qt::CaseInsensitive) == 0;
            });
        if (!key.isEmpty() && !repeated && token.attributes.size() < kMaximumAttributes)
            token.attributes.push_back({key, value});
    }
    m_position = std::min(i + 1, size);
    if (token.kind == Token::Kind::StartTag && !token.selfClosing) {
        if (token.name == u"script" || token.name == u"style" || token.name == u"xmp" ||
            token.name == u"noembed" || token.name == u"noframes") {
            m_rawTextEnd = token.name;
            m_rawTextExpands = false;
        } else if (token.name == u"title" || token.name == u"textarea") {
            m_rawTextEnd = token.name;
            m_rawTextExpands = true;
        }
    }
    return token;
}
