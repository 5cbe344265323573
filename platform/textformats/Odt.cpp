#include "platform/textformats/Odt.h"

#include "platform/text/AttributeNames.h"
#include "platform/text/MutableAttributedString.h"
#include "platform/textformats/OfficeText.h"
#include "platform/textformats/Zip.h"


#include <functional>

using namespace OfficeText;

namespace {

QString unquoted(QStringView family)
{
    family = family.trimmed();
    if (family.size() >= 2 && (family.front() == u'\'' || family.front() == u'"') &&
        family.back() == family.front())
        family = family.sliced(1, family.size() - 2);
    return family.left(256).toString();
}

struct Fonts {
    // Font-face name to family.
    QHash<QString, QString> families;
};

void readTextProperties(const XmlScanner& xml, const Fonts& fonts, CharacterProperties& c)
{
    if (const QStringView name = xml.attribute(u"font-name"); !name.isEmpty())
        c.family = fonts.families.value(name.toString(), unquoted(name));
    if (const QStringView family = xml.attribute(u"font-family"); !family.isEmpty())
        c.family = unquoted(family.split(u',').front());
    if (const auto size = lengthInPoints(xml.attribute(u"font-size")); size && *size > 0)
        c.size = std::clamp(*size, 1.0, 1638.0);
    if (const QStringView weight = xml.attribute(u"font-weight"); !weight.isEmpty())
        c.bold = weight == u"bold" || weight.toInt() >= 600;
    if (const QStringView style = xml.attribute(u"font-style"); !style.isEmpty())
        c.italic = style == u"italic" || style == u"oblique";
    if (const QStringView underline = xml.attribute(u"text-underline-style"); !underline.isEmpty())
        c.underline = underline != u"none";
    if (const QStringView strike = xml.attribute(u"text-line-through-style"); !strike.isEmpty())
        c.strikethrough = strike != u"none";
    if (const auto color = hexColor(xml.attribute(u"color")))
        c.color = color;
    if (const QStringView background = xml.attribute(u"background-color"); !background.isEmpty()) {
        if (const auto color = hexColor(background))
            c.background = color;
        else if (background == u"transparent")
            c.background.reset();
    }
    if (const QStringView position = xml.attribute(u"text-position"); !position.isEmpty()) {
        const QStringView first = position.split(u' ').front();
        if (first == u"super")
            c.superscript = 1;
        else if (first == u"sub")
            c.superscript = -1;
        else if (first.endsWith(u'%')) {
            const double percent = first.chopped(1).toDouble();
            c.superscript = percent > 0 ? 1 : percent < 0 ? -1 : 0;
        }
    }
}

void readParagraphProperties(const XmlScanner& xml, ParagraphProperties& p)
{
    const QStringView align = xml.attribute(u"text-align");
    if (align == u"start" || align == u"left")
        p.alignment = TextAlignment::Left;
    else if (align == u"end" || align == u"right")
        p.alignment = TextAlignment::Right;
    else if (align == u"center")
        p.alignment = TextAlignment::Center;
    else if (align == u"justify")
        p.alignment = TextAlignment::Justified;
    if (const auto v = lengthInPoints(xml.attribute(u"margin-left")))
        p.leftIndent = v;
    if (const auto v = lengthInPoints(xml.attribute(u"margin-right")))
        p.rightIndent = v;
    if (const auto v = lengthInPoints(xml.attribute(u"text-indent")))
        p.firstLineIndent = v;
    if (const auto v = lengthInPoints(xml.attribute(u"margin-top")))
        p.spacingBefore = v;
    if (const auto v = lengthInPoints(xml.attribute(u"margin-bottom")))
        p.spacingAfter = v;
    const QStringView lineHeight = xml.attribute(u"line-height");
    if (lineHeight.endsWith(u'%')) {
        bool ok = false;
        const double percent = lineHeight.chopped(1).toDouble(&ok);
        if (ok)
            p.lineHeightMultiple = std::clamp(percent / 100.0, 0.0, 10.0);
    } else if (lineHeight == u"normal") {
        p.lineHeightMultiple = 1.0;
    } else if (const auto v = lengthInPoints(lineHeight)) {
        p.minimumLineHeight = v;
    }
    if (const auto v = lengthInPoints(xml.attribute(u"line-height-at-least")))
        p.minimumLineHeight = v;
}

QString styleKey(QStringView family, QStringView name)
{
    return family.toString() + u':' + name.toString();
}

bool skipElement(XmlScanner& xml, int& depth, Error* error, const QString& part)
{
    const int end = depth - 1;
    while (readNext(xml, depth, error, part))
        if (xml.isEndElement() && depth == end)
            return true;
    return false;
}

struct Styles {
    Fonts fonts;
    StyleSheet sheet;
    StyleProperties defaults;
};

// Reads font faces and styles from a part, up to the body if it has one. Styles under
// office:automatic-styles of the styles part serve page layouts only and are skipped there.
bool readStyles(XmlScanner& xml, int& depth, const QString& part, bool automaticStylesApply,
                Styles& styles, Error* error)
{
    QString key;
    QString parentKey;
    StyleProperties properties;
    bool inStyle = false;
    bool isDefault = false;
    while (readNext(xml, depth, error, part)) {
        if (xml.isEndElement()) {
            if ((xml.name() == u"style" || xml.name() == u"default-style") && inStyle) {
                if (isDefault) {
                    properties.inheritFrom(styles.defaults);
                    styles.defaults = properties;
                } else {
                    styles.sheet.insert(key, parentKey, properties);
                }
                inStyle = false;
            }
            continue;
        }
        if (!xml.isStartElement())
            continue;
        const QStringView name = xml.name();
        if (name == u"body")
            return true;
        if (name == u"automatic-styles" && !automaticStylesApply) {
            if (!skipElement(xml, depth, error, part))
                return false;
        } else if (name == u"master-styles") {
            if (!skipElement(xml, depth, error, part))
                return false;
        } else if (name == u"font-face") {
            const QString faceName = xml.attribute(u"name").toString();
            const QStringView family = xml.attribute(u"font-family");
            if (!faceName.isEmpty() && styles.fonts.families.size() < 10000)
                styles.fonts.families.insert(faceName, family.isEmpty() ? faceName : unquoted(family));
        } else if (name == u"style" || name == u"default-style") {
            const QStringView family = xml.attribute(u"family");
            inStyle = family == u"paragraph" || family == u"text";
            isDefault = name == u"default-style";
            if (isDefault && family != u"paragraph")
                inStyle = false;
            // Paragraph and text styles share one sheet: a text style may name a paragraph one as parent only
            // within its own family, so keys carry the family.
            key = styleKey(family, xml.attribute(u"name"));
            const QStringView parent = xml.attribute(u"parent-style-name");
            parentKey = parent.isEmpty() ? QString() : styleKey(family, parent);
            properties = {};
        } else if (name == u"text-properties" && inStyle) {
            readTextProperties(xml, styles.fonts, properties.character);
        } else if (name == u"paragraph-properties" && inStyle) {
            readParagraphProperties(xml, properties.paragraph);
        }
    }
    return !error || error->isNull();
}

class BodyReader {
public:
    explicit BodyReader(const Styles& styles) : m_styles(styles) {}

    bool run(XmlScanner& xml, int& depth, const QString& part, Error* error)
    {
        while (readNext(xml, depth, error, part)) {
            if (xml.isStartElement()) {
                const QStringView name = xml.name();
                const QStringView ns = xml.namespaceUri();
                if ((name == u"p" || name == u"h") && ns.endsWith(u":text:1.0")) {
                    if (m_paragraphDepth > 0)
                        endParagraph();
                    beginParagraph(depth, xml.attribute(u"style-name"));
                } else if (m_paragraphDepth > 0 && name == u"span") {
                    pushSpan(depth, xml.attribute(u"style-name"));
                } else if (m_paragraphDepth > 0 && name == u"s") {
                    bool ok = false;
                    const int count = xml.attribute(u"c").toInt(&ok);
                    append(QString(ok ? std::clamp(count, 1, 1000) : 1, u' '));
                } else if (m_paragraphDepth > 0 && name == u"tab") {
                    append(QStringLiteral("\t"));
                } else if (m_paragraphDepth > 0 && name == u"line-break") {
                    append(QString(QChar(0x2028)));
                } else if (name == u"note" || name == u"annotation" || name == u"tracked-changes" ||
                           name == u"frame" || name == u"sequence-decls" || name == u"variable-decls" ||
                           name == u"user-field-decls" || name == u"custom-shape" || name == u"ruby-text") {
                    if (!skipElement(xml, depth, error, part))
                        return false;
                }
            } else if (xml.isEndElement()) {
                while (!m_spans.empty() && depth < m_spans.back().first)
                    m_spans.pop_back();
                if (m_paragraphDepth > 0 && depth < m_paragraphDepth)
                    endParagraph();
            } else if (xml.isCharacters() && m_paragraphDepth > 0) {
                appendCollapsed(xml.text());
            }
        }
        if (error && !error->isNull())
            return false;
        if (m_paragraphDepth > 0)
            endParagraph();
        return true;
    }

    AttributedString result() { return m_builder.result(); }

private:
    void beginParagraph(int depth, QStringView styleName)
    {
        m_paragraphDepth = depth;
        m_spans.clear();
        m_atParagraphStart = true;
        StyleProperties style = m_styles.sheet.resolved(styleKey(u"paragraph", styleName));
        style.inheritFrom(m_styles.defaults);
        m_paragraphCharacters = style.character;
        m_cache.setParagraph(style.paragraph.toParagraphStyle());
    }

    void pushSpan(int depth, QStringView styleName)
    {
        CharacterProperties properties = m_styles.sheet.resolved(styleKey(u"text", styleName)).character;
        properties.inheritFrom(current());
        m_spans.emplace_back(depth, properties);
    }

    CharacterProperties current() const
    {
        return m_spans.empty() ? m_paragraphCharacters : m_spans.back().second;
    }

    const AttributeDictionary& attributes(const CharacterProperties& properties)
    {
        return m_cache.attributes(properties);
    }

    // Runs of white space in the XML are one space, and none at a paragraph's start: spaces that count
    // are written as elements.
    void appendCollapsed(QStringView characters)
    {
        QString collapsed;
        collapsed.reserve(characters.size());
        for (const QChar c : characters) {
            const bool space = c == u' ' || c == u'\t' || c == u'\n' || c == u'\r';
            if (space) {
                if (m_atParagraphStart || m_lastWasSpace)
                    continue;
                collapsed.append(u' ');
                m_lastWasSpace = true;
            } else {
                collapsed.append(c);
                m_lastWasSpace = false;
            }
            m_atParagraphStart = false;
        }
        m_builder.append(collapsed, attributes(current()));
        if (!collapsed.isEmpty())
            m_last = current();
    }

    void append(const QString& characters)
    {
        m_builder.append(characters, attributes(current()));
        m_last = current();
        m_atParagraphStart = false;
        m_lastWasSpace = false;
    }

    void endParagraph()
    {
        // OpenDocument has no paragraph mark of its own: the newline looks like the text before it.
        m_builder.append(u"\n", attributes(m_last ? *m_last : m_paragraphCharacters));
        m_last.reset();
        m_paragraphDepth = 0;
        m_spans.clear();
        m_lastWasSpace = false;
    }

    const Styles& m_styles;
    TextBuilder m_builder;
    int m_paragraphDepth = 0;
    bool m_atParagraphStart = false;
    bool m_lastWasSpace = false;
    std::vector<std::pair<int, CharacterProperties>> m_spans;
    std::optional<CharacterProperties> m_last;
    CharacterProperties m_paragraphCharacters;
    AttributeCache m_cache;
};

void readMeta(const QByteArray& data, DocumentAttributes& attributes)
{
    XmlScanner xml(data);
    int depth = 0;
    Error ignored;
    QStringList keywords;
    while (readNext(xml, depth, &ignored, QStringLiteral("meta.xml"))) {
        if (!xml.isStartElement() || depth != 3)
            continue;
        const QString name = xml.name().toString();
        const QString value = xml.readElementText(XmlScanner::SkipChildElements).left(100000);
        --depth;
        if (value.isEmpty())
            continue;
        if (name == u"title")
            attributes.insert(NSTitleDocumentAttribute, value);
        else if (name == u"subject")
            attributes.insert(NSSubjectDocumentAttribute, value);
        else if (name == u"description")
            attributes.insert(NSCommentDocumentAttribute, value);
        else if (name == u"initial-creator")
            attributes.insert(NSAuthorDocumentAttribute, value);
        else if (name == u"creator")
            attributes.insert(NSEditorDocumentAttribute, QStringList{value});
        else if (name == u"keyword" && keywords.size() < 1000)
            keywords << value;
        else if (name == u"creation-date") {
            if (const auto time = isoTime(value))
                attributes.insert(NSCreationTimeDocumentAttribute, *time);
        } else if (name == u"date") {
            if (const auto time = isoTime(value))
                attributes.insert(NSModificationTimeDocumentAttribute, *time);
        }
    }
    if (!keywords.isEmpty())
        attributes.insert(NSKeywordsDocumentAttribute, keywords);
}

// --- Writing -----------------------------------------------------------------------------------

const char* const kNamespaces = " xmlns:office=\"urn:oasis:names:tc:opendocument:xmlns:office:1.0\""
                                " xmlns:style=\"urn:oasis:names:tc:opendocument:xmlns:style:1.0\""
                                " xmlns:text=\"urn:oasis:names:tc:opendocument:xmlns:text:1.0\""
                                " xmlns:fo=\"urn:oasis:names:tc:opendocument:xmlns:xsl-fo-compatible:1.0\""
                                " xmlns:svg=\"urn:oasis:names:tc:opendocument:xmlns:svg-compatible:1.0\""
                                " xmlns:meta=\"urn:oasis:names:tc:opendocument:xmlns:meta:1.0\""
                                " xmlns:dc=\"http://purl.org/dc/elements/1.1/\" office:version=\"1.2\"";

QString textProperties(const CharacterProperties& c)
{
    QString out = QStringLiteral("<style:text-properties");
    if (c.family)
        out += QStringLiteral(" style:font-name=\"%1\"").arg(escaped(*c.family));
    out += QStringLiteral(" fo:font-size=\"%1pt\"").arg(number(c.size.value_or(12)));
    out += c.bold.value_or(false) ? QStringLiteral(" fo:font-weight=\"bold\"")
                                  : QStringLiteral(" fo:font-weight=\"normal\"");
    out += c.italic.value_or(false) ? QStringLiteral(" fo:font-style=\"italic\"")
                                    : QStringLiteral(" fo:font-style=\"normal\"");
    out +=
        QStringLiteral(" fo:color=\"#%1\"").arg(hexString(c.color.value_or(Color::rgb(0, 0, 0))).toLower());
    out += c.background
               ? QStringLiteral(" fo:background-color=\"#%1\"").arg(hexString(*c.background).toLower())
               : QStringLiteral(" fo:background-color=\"transparent\"");
    out += c.underline.value_or(false)
               ? QStringLiteral(" style:text-underline-style=\"solid\" style:text-underline-width=\"auto\" "
                                "style:text-underline-color=\"font-color\"")
               : QStringLiteral(" style:text-underline-style=\"none\"");
    out += c.strikethrough.value_or(false) ? QStringLiteral(" style:text-line-through-style=\"solid\"")
                                           : QStringLiteral(" style:text-line-through-style=\"none\"");
    const int superscript = c.superscript.value_or(0);
    out += superscript > 0   ? QStringLiteral(" style:text-position=\"super 58%\"")
           : superscript < 0 ? QStringLiteral(" style:text-position=\"sub 58%\"")
                             : QStringLiteral(" style:text-position=\"0% 100%\"");
    out += QStringLiteral("/>");
    return out;
}

QString paragraphPropertiesXml(const ParagraphStyle& style)
{
    QString out = QStringLiteral("<style:paragraph-properties");
    switch (style.alignment) {
    case TextAlignment::Left:
        out += QStringLiteral(" fo:text-align=\"start\"");
        break;
    case TextAlignment::Right:
        out += QStringLiteral(" fo:text-align=\"end\"");
        break;
    case TextAlignment::Center:
        out += QStringLiteral(" fo:text-align=\"center\"");
        break;
    case TextAlignment::Justified:
        out += QStringLiteral(" fo:text-align=\"justify\"");
        break;
    case TextAlignment::Natural:
        break;
    }
    out += QStringLiteral(" fo:margin-left=\"%1pt\" fo:margin-right=\"%2pt\" fo:text-indent=\"%3pt\""
                          " fo:margin-top=\"%4pt\" fo:margin-bottom=\"%5pt\"")
               .arg(number(style.headIndent), number(style.tailIndent < 0 ? -style.tailIndent : 0),
                    number(style.firstLineHeadIndent - style.headIndent),
                    number(style.paragraphSpacingBefore), number(style.paragraphSpacing));
    if (style.minimumLineHeight > 0)
        out += QStringLiteral(" style:line-height-at-least=\"%1pt\"").arg(number(style.minimumLineHeight));
    else
        out += QStringLiteral(" fo:line-height=\"%1%\"")
                   .arg(number((style.lineHeightMultiple > 0 ? style.lineHeightMultiple : 1.0) * 100));
    out += QStringLiteral("/>");
    return out;
}

// Distinct declarations get one automatic style each, numbered in order of first use.
class AutomaticStyles {
public:
    explicit AutomaticStyles(QString prefix) : m_prefix(std::move(prefix)) {}
    QString nameFor(const QString& declarations)
    {
        const auto it = m_names.constFind(declarations);
        if (it != m_names.constEnd())
            return *it;
        const QString name = m_prefix + QString::number(m_order.size() + 1);
        m_names.insert(declarations, name);
        m_order.push_back(declarations);
        return name;
    }
    void append(QString& out, const QString& family) const
    {
        for (size_t i = 0; i < m_order.size(); ++i)
            out += QStringLiteral("<style:style style:name=\"%1%2\" style:family=\"%3\"%4>%5</style:style>")
                       .arg(m_prefix, QString::number(i + 1), family,
                            family == u"paragraph" ? QStringLiteral(" style:parent-style-name=\"Standard\"")
                                                   : QString(),
                            m_order[i]);
    }

private:
    QString m_prefix;
    QHash<QString, QString> m_names;
    std::vector<QString> m_order;
};

// Text in a paragraph. Plain white space in the XML collapses to one space and none at the start,
// so a space that would collapse (leading, or after another) is an element, as are tabs and line
// separators. collapses carries that state from run to run.
void appendParagraphText(QString& out, QStringView piece, bool& collapses)
{
    qsizetype i = 0;
    qsizetype plain = 0;
    const auto flush = [&](qsizetype end) {
        if (end > plain)
            appendEscaped(out, piece.sliced(plain, end - plain));
    };
    const auto spaces = [&](qsizetype count) {
        out +=
            count == 1 ? QStringLiteral("<text:s/>") : QStringLiteral("<text:s text:c=\"%1\"/>").arg(count);
    };
    while (i < piece.size()) {
        const char16_t c = piece[i].unicode();
        if (c == u' ') {
            qsizetype j = i;
            while (j < piece.size() && piece[j] == u' ')
                ++j;
            const qsizetype count = j - i;
            if (!collapses) {
                if (count == 1) {
                    i = j;
                    collapses = true;
                    continue;
                }
                flush(i + 1);
                spaces(count - 1);
            } else {
                flush(i);
                spaces(count);
            }
            plain = i = j;
            collapses = false;
            continue;
        }
        if (c == u'\t' || c == 0x2028 || c == u'\r') {
            flush(i);
            out += c == u'\t' ? QStringLiteral("<text:tab/>") : QStringLiteral("<text:line-break/>");
            plain = i + 1;
            collapses = false;
            ++i;
            continue;
        }
        collapses = false;
        ++i;
    }
    flush(piece.size());
}

} // namespace

bool Odt::read(QByteArrayView data, MutableAttributedString& text, DocumentAttributes* documentAttributes,
               Error* error)
{
    auto zip = ZipReader::open(data.toByteArray(), error);
    if (!zip)
        return false;
    const QString contentPart = QStringLiteral("content.xml");
    if (zip->contains(QStringLiteral("mimetype"))) {
        const auto mimetype = zip->read(QStringLiteral("mimetype"), error);
        if (!mimetype)
            return false;
        if (!mimetype->trimmed().startsWith("application/vnd.oasis.opendocument.text")) {
            setError(error, Error::cocoa(kFileReadCorruptFileError, {},
                                         QStringLiteral(
                                             "The file is an OpenDocument file, but not a text document.")));
            return false;
        }
    }
    if (!zip->contains(contentPart)) {
        setError(error, Error::cocoa(
                            kFileReadCorruptFileError, {},
                            QStringLiteral("The file is not an OpenDocument text: it has no content part.")));
        return false;
    }
    Styles styles;
    if (zip->contains(QStringLiteral("styles.xml"))) {
        const auto stylesData = zip->read(QStringLiteral("styles.xml"), error);
        if (!stylesData)
            return false;
        XmlScanner xml(*stylesData);
        int depth = 0;
        Error readError;
        if (!readStyles(xml, depth, QStringLiteral("styles.xml"), false, styles, &readError) ||
            xml.hasError()) {
            setError(error,
                     readError.isNull()
                         ? Error::cocoa(kFileReadCorruptFileError, {},
                                        QStringLiteral("The part \"styles.xml\" is not well-formed XML."))
                         : readError);
            return false;
        }
    }
    const auto content = zip->read(contentPart, error);
    if (!content)
        return false;
    XmlScanner xml(*content);
    int depth = 0;
    Error readError;
    BodyReader body(styles);
    if (!readStyles(xml, depth, contentPart, true, styles, &readError) ||
        !body.run(xml, depth, contentPart, &readError) || xml.hasError()) {
        setError(error, readError.isNull()
                            ? Error::cocoa(kFileReadCorruptFileError, {},
                                           QStringLiteral("The part \"content.xml\" is not well-formed XML."))
                            : readError);
        return false;
    }
    DocumentAttributes attributes;
    attributes.insert(NSDocumentTypeDocumentAttribute, NSOpenDocumentTextDocumentType);
    if (zip->contains(QStringLiteral("meta.xml"))) {
        Error ignored;
        if (const auto meta = zip->read(QStringLiteral("meta.xml"), &ignored))
            readMeta(*meta, attributes);
    }
    text.setAttributedString(body.result());
    if (documentAttributes)
        *documentAttributes = std::move(attributes);
    return true;
}

std::optional<QByteArray> Odt::write(const AttributedString& text,
                                     const DocumentAttributes& documentAttributes, Error* error)
{
    const QString& string = text.string();
    AutomaticStyles paragraphStyles(QStringLiteral("P"));
    AutomaticStyles textStyles(QStringLiteral("T"));
    QStringList families;
    std::vector<std::pair<AttributeDictionary, QString>> textCache;
    const auto textXml = [&](const AttributeDictionary& attributes) -> const QString& {
        for (auto& [key, xml] : textCache)
            if (key == attributes)
                return xml;
        if (textCache.size() > 64)
            textCache.clear();
        const CharacterProperties c = characterPropertiesOf(attributes);
        if (c.family && !families.contains(*c.family))
            families << *c.family;
        textCache.emplace_back(attributes, textProperties(c));
        return textCache.back().second;
    };
    QString body;
    body.reserve(string.size() * 2);
    const qsizetype length = string.size();
    qsizetype start = 0;
    while (start < length) {
        qsizetype end = string.indexOf(u'\n', start);
        if (end < 0)
            end = length;
        const AttributeDictionary markAttributes = text.attributesAtIndex(std::min(end, length - 1));
        const AttributeValue* styleValue = markAttributes.find(kParagraphStyleAttributeName);
        const ParagraphStyle style =
            styleValue && styleValue->paragraphStyle() ? *styleValue->paragraphStyle() : ParagraphStyle();
        const QString markText = textXml(markAttributes);
        body += QStringLiteral("<text:p text:style-name=\"%1\">")
                    .arg(paragraphStyles.nameFor(paragraphPropertiesXml(style) + markText));
        bool collapses = true;
        qsizetype index = start;
        while (index < end) {
            Range run;
            const AttributeDictionary attributes = text.attributesAtIndex(index, &run);
            const qsizetype runEnd = std::min(run.end(), end);
            const QStringView piece = QStringView(string).sliced(index, runEnd - index);
            if (piece.count(QChar(kAttachmentCharacter)) != piece.size()) {
                const QString& runText = textXml(attributes);
                if (runText == markText) {
                    appendParagraphText(body, piece, collapses);
                } else {
                    body +=
                        QStringLiteral("<text:span text:style-name=\"%1\">").arg(textStyles.nameFor(runText));
                    appendParagraphText(body, piece, collapses);
                    body += QStringLiteral("</text:span>");
                }
            }
            index = runEnd;
        }
        body += QStringLiteral("</text:p>");
        start = end + 1;
    }

    // A text ending in a newline ends with an empty paragraph, so the newline every reader adds comes
    // off again without taking the text's own.
    if (length > 0 && string.back() == u'\n') {
        const AttributeDictionary last = text.attributesAtIndex(length - 1);
        const AttributeValue* styleValue = last.find(kParagraphStyleAttributeName);
        const ParagraphStyle style =
            styleValue && styleValue->paragraphStyle() ? *styleValue->paragraphStyle() : ParagraphStyle();
        body += QStringLiteral("<text:p text:style-name=\"%1\"/>")
                    .arg(paragraphStyles.nameFor(paragraphPropertiesXml(style) + textXml(last)));
    }
    const QString header = QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n");
    QString fontDecls = QStringLiteral("<office:font-face-decls>");
    if (!families.contains(QStringLiteral("Helvetica")))
        families.prepend(QStringLiteral("Helvetica"));
    for (const QString& family : families)
        fontDecls += QStringLiteral("<style:font-face style:name=\"%1\" svg:font-family=\"'%2'\"/>")
                         .arg(escaped(family), escaped(QString(family).remove(u'\'')));
    fontDecls += QStringLiteral("</office:font-face-decls>");

    QString content = header + QStringLiteral("<office:document-content") + QLatin1String(kNamespaces) +
                      u'>' + fontDecls + QStringLiteral("<office:automatic-styles>");
    paragraphStyles.append(content, QStringLiteral("paragraph"));
    textStyles.append(content, QStringLiteral("text"));
    content += QStringLiteral("</office:automatic-styles><office:body><office:text>") + body +
               QStringLiteral("</office:text></office:body></office:document-content>");

    const QString styles =
        header + QStringLiteral("<office:document-styles") + QLatin1String(kNamespaces) + u'>' + fontDecls +
        QStringLiteral("<office:styles><style:default-style style:family=\"paragraph\">"
                       "<style:paragraph-properties fo:margin-top=\"0pt\" fo:margin-bottom=\"0pt\"/>"
                       "<style:text-properties style:font-name=\"Helvetica\" fo:font-size=\"12pt\"/>"
                       "</style:default-style>"
                       "<style:style style:name=\"Standard\" style:family=\"paragraph\"/></office:styles>"
                       "</office:document-styles>");

    QString meta = header + QStringLiteral("<office:document-meta") + QLatin1String(kNamespaces) +
                   QStringLiteral("><office:meta><meta:generator>Orvane</meta:generator>");
    const auto element = [&](const QString& tag, const QString& value) {
        if (!value.isEmpty())
            meta += u'<' + tag + u'>' + escaped(value) + QStringLiteral("</") + tag + u'>';
    };
    element(QStringLiteral("dc:title"), documentAttributes.value(NSTitleDocumentAttribute).toString());
    element(QStringLiteral("dc:subject"), documentAttributes.value(NSSubjectDocumentAttribute).toString());
    element(QStringLiteral("dc:description"),
            documentAttributes.value(NSCommentDocumentAttribute).toString());
    element(QStringLiteral("meta:initial-creator"),
            documentAttributes.value(NSAuthorDocumentAttribute).toString());
    element(QStringLiteral("dc:creator"),
            documentAttributes.value(NSEditorDocumentAttribute).toStringList().value(0));
    for (const QString& keyword : documentAttributes.value(NSKeywordsDocumentAttribute).toStringList())
        element(QStringLiteral("meta:keyword"), keyword);
    if (const QDateTime created = documentAttributes.value(NSCreationTimeDocumentAttribute).toDateTime();
        created.isValid())
        element(QStringLiteral("meta:creation-date"), isoString(created));
    if (const QDateTime modified = documentAttributes.value(NSModificationTimeDocumentAttribute).toDateTime();
        modified.isValid())
        element(QStringLiteral("dc:date"), isoString(modified));
    meta += QStringLiteral("</office:meta></office:document-meta>");

    const QByteArray manifest =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        "<manifest:manifest xmlns:manifest=\"urn:oasis:names:tc:opendocument:xmlns:manifest:1.0\" "
        "manifest:version=\"1.2\">"
        "<manifest:file-entry manifest:full-path=\"/\" manifest:version=\"1.2\" "
        "manifest:media-type=\"application/vnd.oasis.opendocument.text\"/>"
        "<manifest:file-entry manifest:full-path=\"content.xml\" manifest:media-type=\"text/xml\"/>"
        "<manifest:file-entry manifest:full-path=\"styles.xml\" manifest:media-type=\"text/xml\"/>"
        "<manifest:file-entry manifest:full-path=\"meta.xml\" manifest:media-type=\"text/xml\"/>"
        "</manifest:manifest>";

    ZipWriter zip;
    // Readers find the type in the first bytes: the member comes first, stored, with no extra field.
    zip.add(QStringLiteral("mimetype"), QByteArray(kMimeType), false);
    zip.add(QStringLiteral("content.xml"), content.toUtf8());
    zip.add(QStringLiteral("styles.xml"), styles.toUtf8());
    zip.add(QStringLiteral("meta.xml"), meta.toUtf8());
    zip.add(QStringLiteral("META-INF/manifest.xml"), manifest);
    return zip.finish(error);
}
