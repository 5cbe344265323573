#include "platform/textformats/Docx.h"

#include "platform/text/AttributeNames.h"
#include "platform/text/MutableAttributedString.h"
#include "platform/textformats/OfficeText.h"
#include "platform/textformats/Zip.h"

#include <QRegularExpression>

using namespace OfficeText;

namespace {

const QString kPartOfDocument = QStringLiteral("word/document.xml");

bool onOff(const XmlScanner& xml)
{
    const QStringView value = xml.attribute(u"val");
    return !(value == u"0" || value == u"false" || value == u"off" || value == u"none");
}

std::optional<double> twips(const XmlScanner& xml, QStringView name)
{
    const QStringView value = xml.attribute(name);
    if (value.isEmpty())
        return std::nullopt;
    bool ok = false;
    const double number = value.toDouble(&ok);
    if (!ok)
        return std::nullopt;
    return clampPoints(number / 20.0);
}

std::optional<Color> highlightColor(QStringView name)
{
    static const QHash<QString, Color> colors{
        {QStringLiteral("yellow"), Color::fromRgb8(255, 255, 0)},
        {QStringLiteral("green"), Color::fromRgb8(0, 255, 0)},
        {QStringLiteral("cyan"), Color::fromRgb8(0, 255, 255)},
        {QStringLiteral("magenta"), Color::fromRgb8(255, 0, 255)},
        {QStringLiteral("blue"), Color::fromRgb8(0, 0, 255)},
        {QStringLiteral("red"), Color::fromRgb8(255, 0, 0)},
        {QStringLiteral("darkBlue"), Color::fromRgb8(0, 0, 128)},
        {QStringLiteral("darkCyan"), Color::fromRgb8(0, 128, 128)},
        {QStringLiteral("darkGreen"), Color::fromRgb8(0, 128, 0)},
        {QStringLiteral("darkMagenta"), Color::fromRgb8(128, 0, 128)},
        {QStringLiteral("darkRed"), Color::fromRgb8(128, 0, 0)},
        {QStringLiteral("darkYellow"), Color::fromRgb8(128, 128, 0)},
        {QStringLiteral("darkGray"), Color::fromRgb8(128, 128, 128)},
        {QStringLiteral("lightGray"), Color::fromRgb8(192, 192, 192)},
        {QStringLiteral("black"), Color::fromRgb8(0, 0, 0)},
        {QStringLiteral("white"), Color::fromRgb8(255, 255, 255)},
    };
    const auto it = colors.constFind(name.toString());
    return it == colors.constEnd() ? std::nullopt : std::optional<Color>(*it);
}

// One property element inside <w:rPr>.
void readCharacterProperty(const XmlScanner& xml, CharacterProperties& c)
{
    const QStringView name = xml.name();
    if (name == u"rFonts") {
        QStringView family = xml.attribute(u"ascii");
        if (family.isEmpty())
            family = xml.attribute(u"hAnsi");
        if (!family.isEmpty())
            c.family = family.left(256).toString();
    } else if (name == u"b") {
        c.bold = onOff(xml);
    } else if (name == u"i") {
        c.italic = onOff(xml);
    } else if (name == u"strike" || name == u"dstrike") {
        c.strikethrough = onOff(xml);
    } else if (name == u"u") {
        c.underline = onOff(xml);
    } else if (name == u"sz") {
        bool ok = false;
        const double halfPoints = xml.attribute(u"val").toDouble(&ok);
        if (ok && halfPoints > 0)
            c.size = std::clamp(halfPoints / 2.0, 1.0, 1638.0);
    } else if (name == u"color") {
        if (const auto color = hexColor(xml.attribute(u"val")))
            c.color = color;
    } else if (name == u"highlight") {
        if (const auto color = highlightColor(xml.attribute(u"val")))
            c.background = color;
    } else if (name == u"shd") {
        if (const auto color = hexColor(xml.attribute(u"fill")))
            c.background = color;
    } else if (name == u"vertAlign") {
        const QStringView value = xml.attribute(u"val");
        c.superscript = value == u"superscript" ? 1 : value == u"subscript" ? -1 : 0;
    }
}

void readParagraphProperty(const XmlScanner& xml, ParagraphProperties& p)
{
    const QStringView name = xml.name();
    if (name == u"jc") {
        const QStringView value = xml.attribute(u"val");
        if (value == u"left" || value == u"start")
            p.alignment = TextAlignment::Left;
        else if (value == u"right" || value == u"end")
            p.alignment = TextAlignment::Right;
        else if (value == u"center")
            p.alignment = TextAlignment::Center;
        else if (value == u"both" || value == u"distribute")
            p.alignment = TextAlignment::Justified;
    } else if (name == u"ind") {
        if (auto left = twips(xml, u"left"); left || (left = twips(xml, u"start")))
            p.leftIndent = left;
        if (auto right = twips(xml, u"right"); right || (right = twips(xml, u"end")))
            p.rightIndent = right;
        if (const auto first = twips(xml, u"firstLine"))
            p.firstLineIndent = first;
        if (const auto hanging = twips(xml, u"hanging"))
            p.firstLineIndent = -*hanging;
    } else if (name == u"spacing") {
        if (const auto before = twips(xml, u"before"))
            p.spacingBefore = before;
        if (const auto after = twips(xml, u"after"))
            p.spacingAfter = after;
        bool ok = false;
        const double line = xml.attribute(u"line").toDouble(&ok);
        if (ok && line > 0) {
            const QStringView rule = xml.attribute(u"lineRule");
            if (rule.isEmpty() || rule == u"auto")
                p.lineHeightMultiple = std::clamp(line / 240.0, 0.0, 10.0);
            else
                p.minimumLineHeight = clampPoints(line / 20.0);
        }
    }
}

// Reads the properties inside the current <w:rPr> or <w:pPr> up to its end.
bool readProperties(XmlScanner& xml, int& depth, Error* error, const QString& part,
                    StyleProperties& style)
{
    const int end = depth - 1;
    bool inRunProperties = xml.name() == u"rPr";
    int runPropertiesDepth = inRunProperties ? depth : -1;
    while (readNext(xml, depth, error, part)) {
        if (xml.isEndElement()) {
            if (depth == end)
                return true;
            if (depth < runPropertiesDepth)
                inRunProperties = false;
            continue;
        }
        if (!xml.isStartElement())
            continue;
        if (xml.name() == u"rPr") {
            inRunProperties = true;
            runPropertiesDepth = depth;
        } else if (inRunProperties) {
            readCharacterProperty(xml, style.character);
        } else {
            readParagraphProperty(xml, style.paragraph);
        }
    }
    return !xml.hasError() && (!error || error->isNull());
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
    StyleSheet sheet;
    StyleProperties defaults;
    QString defaultParagraphStyle;
};

bool readStyles(const QByteArray& data, const QString& part, Styles& styles, Error* error)
{
    XmlScanner xml(data);
    int depth = 0;
    QString id;
    QString parent;
    StyleProperties properties;
    bool inStyle = false;
    Error readError;
    while (readNext(xml, depth, &readError, part)) {
        if (xml.isEndElement() && xml.name() == u"style" && inStyle) {
            styles.sheet.insert(id, parent, properties);
            inStyle = false;
            continue;
        }
        if (!xml.isStartElement())
            continue;
        const QStringView name = xml.name();
        if (name == u"style") {
            inStyle = true;
            id = xml.attribute(u"styleId").toString();
            parent.clear();
            properties = {};
            if (xml.attribute(u"type") == u"paragraph" && xml.attribute(u"default") == u"1")
                styles.defaultParagraphStyle = id;
        } else if (name == u"basedOn" && inStyle) {
            parent = xml.attribute(u"val").toString();
        } else if (name == u"rPr" || name == u"pPr") {
            StyleProperties& target = inStyle ? properties : styles.defaults;
            StyleProperties read;
            if (!readProperties(xml, depth, &readError, part, read))
                break;
            // Direct properties win over those met before in the same element.
            read.inheritFrom(target);
            target = read;
        }
    }
    if (!readError.isNull()) {
        setError(error, readError);
        return false;
    }
    return true;
}

// The folder of a part, and a target relative to it, kept inside the package.
std::optional<QString> resolvedTarget(const QString& fromPart, const QString& target)
{
    QStringList parts =
        target.startsWith(u'/')
            ? QStringList()
            : fromPart.section(u'/', 0, -2, QString::SectionSkipEmpty).split(u'/', Qt::SkipEmptyParts);
    for (const QString& piece : target.split(u'/', Qt::SkipEmptyParts)) {
        if (piece == u".")
            continue;
        if (piece == u"..") {
            if (parts.isEmpty())
                return std::nullopt;
            parts.removeLast();
            continue;
        }
        parts.push_back(piece);
    }
    const QString path = parts.join(u'/');
    if (!ZipReader::isUsableName(path))
        return std::nullopt;
    return path;
}

// The internal targets of relationships of a given kind; external ones are never followed.
QString relationshipTarget(ZipReader& zip, const QString& relsPart, const QString& sourcePart,
                           QStringView typeSuffix)
{
    if (!zip.contains(relsPart))
        return {};
    Error ignored;
    const auto data = zip.read(relsPart, &ignored);
    if (!data)
        return {};
    XmlScanner xml(*data);
    int depth = 0;
    while (readNext(xml, depth, &ignored, relsPart)) {
        if (!xml.isStartElement() || xml.name() != u"Relationship")
            continue;
        if (!xml.attribute(u"Type").endsWith(typeSuffix) || xml.attribute(u"TargetMode") == u"External")
            continue;
        const QString target = xml.attribute(u"Target").toString();
        if (target.contains(u':'))
            continue;
        if (const auto path = resolvedTarget(sourcePart, target); path && zip.contains(*path))
            return *path;
    }
    return {};
}

void readCoreProperties(ZipReader& zip, DocumentAttributes& attributes)
{
    const auto read = [&](const QString& part, const std::function<void(QStringView, const QString&)>& take) {
        if (!zip.contains(part))
            return;
        Error ignored;
        const auto data = zip.read(part, &ignored);
        if (!data)
            return;
        XmlScanner xml(*data);
        int depth = 0;
        while (readNext(xml, depth, &ignored, part)) {
            if (xml.isStartElement() && depth == 2) {
                const QString name = xml.name().toString();
                const QString value = xml.readElementText(XmlScanner::SkipChildElements).left(100000);
                --depth;
                take(name, value);
            }
        }
    };
    read(QStringLiteral("docProps/core.xml"), [&](QStringView name, const QString& value) {
        if (value.isEmpty())
            return;
        if (name == u"title")
            attributes.insert(NSTitleDocumentAttribute, value);
        else if (name == u"subject")
            attributes.insert(NSSubjectDocumentAttribute, value);
        else if (name == u"creator")
            attributes.insert(NSAuthorDocumentAttribute, value);
        else if (name == u"description")
            attributes.insert(NSCommentDocumentAttribute, value);
        else if (name == u"lastModifiedBy")
            attributes.insert(NSEditorDocumentAttribute, QStringList{value});
        else if (name == u"keywords") {
            QStringList words;
            for (const QString& word :
                 value.split(QRegularExpression(QStringLiteral("[,;]")), Qt::SkipEmptyParts))
                if (!word.trimmed().isEmpty())
                    words << word.trimmed();
            attributes.insert(NSKeywordsDocumentAttribute, words);
        } else if (name == u"created") {
            if (const auto time = isoTime(value))
                attributes.insert(NSCreationTimeDocumentAttribute, *time);
        } else if (name == u"modified") {
            if (const auto time = isoTime(value))
                attributes.insert(NSModificationTimeDocumentAttribute, *time);
        }
    });
    read(QStringLiteral("docProps/app.xml"), [&](QStringView name, const QString& value) {
        if (name == u"Company" && !value.isEmpty())
            attributes.insert(NSCompanyDocumentAttribute, value);
    });
}

class DocumentReader {
public:
    DocumentReader(const Styles& styles) : m_styles(styles) {}

    bool run(const QByteArray& data, const QString& part, Error* error)
    {
        XmlScanner xml(data);
        int depth = 0;
        Error readError;
        while (readNext(xml, depth, &readError, part)) {
            if (xml.isStartElement()) {
                const QStringView name = xml.name();
                if (name == u"p") {
                    if (m_inParagraph)
                        endParagraph();
                    beginParagraph(depth);
                } else if (name == u"pPr" && m_inParagraph) {
                    StyleProperties direct;
                    QString styleName;
                    // The paragraph's style is inside pPr: read it with the rest.
                    if (!readParagraphProperties(xml, depth, &readError, part, direct, styleName))
                        break;
                    applyParagraphProperties(direct, styleName);
                } else if (name == u"r") {
                    m_run = {};
                    m_runStyle.clear();
                } else if (name == u"rPr") {
                    StyleProperties direct;
                    if (!readRunProperties(xml, depth, &readError, part, direct))
                        break;
                    if (m_inParagraph)
                        m_run = direct.character;
                } else if (name == u"t" && m_inParagraph) {
                    const QString characters = xml.readElementText(XmlScanner::IncludeChildElements);
                    --depth;
                    if (xml.hasError())
                        break;
                    append(characters);
                } else if (name == u"tab" && m_inParagraph && depth > m_paragraphDepth + 1) {
                    append(QStringLiteral("\t"));
                } else if ((name == u"br" || name == u"cr") && m_inParagraph) {
                    append(QString(QChar(0x2028)));
                } else if (name == u"noBreakHyphen" && m_inParagraph) {
                    append(QStringLiteral("-"));
                } else if (name == u"del" || name == u"moveFrom" || name == u"drawing" || name == u"pict" ||
                           name == u"object" || name == u"AlternateContent" || name == u"instrText" ||
                           name == u"delText" || name == u"sectPr") {
                    // Deleted text, field codes and drawings (with their own text boxes) are not the script.
                    if (!skipElement(xml, depth, &readError, part))
                        break;
                }
            } else if (xml.isEndElement()) {
                if (m_inParagraph && depth < m_paragraphDepth)
                    endParagraph();
            }
        }
        if (!readError.isNull() || xml.hasError()) {
            if (readError.isNull())
                readError = Error::cocoa(kFileReadCorruptFileError, {},
                                         QStringLiteral("The part \"%1\" is not well-formed XML.").arg(part));
            setError(error, readError);
            return false;
        }
        if (m_inParagraph)
            endParagraph();
        return true;
    }

    AttributedString result() { return m_builder.result(); }

private:
    bool readParagraphProperties(XmlScanner& xml, int& depth, Error* error, const QString& part,
                                 StyleProperties& direct, QString& styleName)
    {
        const int end = depth - 1;
        int runDepth = -1;
        QString markStyle;
        const auto done = [&] {
            if (!markStyle.isEmpty())
                direct.character.inheritFrom(m_styles.sheet.resolved(markStyle).character);
            return true;
        };
        while (readNext(xml, depth, error, part)) {
            if (xml.isEndElement()) {
                if (depth == end)
                    return done();
                if (depth < runDepth)
                    runDepth = -1;
                continue;
            }
            if (!xml.isStartElement())
                continue;
            const QStringView name = xml.name();
            if (name == u"pStyle")
                styleName = xml.attribute(u"val").toString();
            else if (name == u"rPr")
                runDepth = depth;
            else if (runDepth >= 0 && name == u"rStyle")
                markStyle = xml.attribute(u"val").toString();
            else if (runDepth >= 0)
                readCharacterProperty(xml, direct.character);
            else if (name == u"sectPr" || name == u"pPrChange") {
                if (!skipElement(xml, depth, error, part))
                    return false;
            } else
                readParagraphProperty(xml, direct.paragraph);
        }
        return !xml.hasError() && (!error || error->isNull());
    }

    bool readRunProperties(XmlScanner& xml, int& depth, Error* error, const QString& part,
                           StyleProperties& direct)
    {
        const int end = depth - 1;
        while (readNext(xml, depth, error, part)) {
            if (xml.isEndElement()) {
                if (depth == end)
                    break;
                continue;
            }
            if (!xml.isStartElement())
                continue;
            if (xml.name() == u"rStyle")
                m_runStyle = xml.attribute(u"val").toString();
            else if (xml.name() == u"rPrChange") {
                if (!skipElement(xml, depth, error, part))
                    return false;
            } else
                readCharacterProperty(xml, direct.character);
        }
        if (xml.hasError() || (error && !error->isNull()))
            return false;
        if (!m_runStyle.isEmpty())
            direct.character.inheritFrom(m_styles.sheet.resolved(m_runStyle).character);
        return true;
    }

    void beginParagraph(int depth)
    {
        m_inParagraph = true;
        m_paragraphDepth = depth;
        m_run = {};
        applyParagraphProperties({}, QString());
    }

    void applyParagraphProperties(StyleProperties direct, const QString& styleName)
    {
        const QString& name = styleName.isEmpty() ? m_styles.defaultParagraphStyle : styleName;
        // Character properties inside pPr belong to the paragraph mark alone, not to the runs.
        CharacterProperties mark = direct.character;
        direct.character = {};
        direct.inheritFrom(m_styles.sheet.resolved(name));
        direct.inheritFrom(m_styles.defaults);
        m_paragraphCharacters = direct.character;
        mark.inheritFrom(m_paragraphCharacters);
        m_markCharacters = mark;
        m_cache.setParagraph(direct.paragraph.toParagraphStyle());
    }

    const AttributeDictionary& attributesFor(CharacterProperties run)
    {
        run.inheritFrom(m_paragraphCharacters);
        return m_cache.attributes(run);
    }

    void append(const QString& characters) { m_builder.append(characters, attributesFor(m_run)); }

    void endParagraph()
    {
        m_builder.append(u"\n", attributesFor(m_markCharacters));
        m_inParagraph = false;
    }

    const Styles& m_styles;
    TextBuilder m_builder;
    bool m_inParagraph = false;
    int m_paragraphDepth = 0;
    CharacterProperties m_run;
    QString m_runStyle;
    CharacterProperties m_paragraphCharacters;
    CharacterProperties m_markCharacters;
    AttributeCache m_cache;
};

// --- Writing -----------------------------------------------------------------------------------

QString twipsString(double points)
{
    return QString::number(qint64(std::llround(clampPoints(points) * 20.0)));
}

// The run properties of a character style.
QString runProperties(const AttributeDictionary& attributes)
{
    const CharacterProperties c = characterPropertiesOf(attributes);
    QString out;
    const QString family = escaped(c.family.value_or(QString()));
    if (!family.isEmpty())
        out += QStringLiteral("<w:rFonts w:ascii=\"%1\" w:hAnsi=\"%1\" w:cs=\"%1\" w:eastAsia=\"%1\"/>")
                   .arg(family);
    if (c.bold.value_or(false))
        out += QStringLiteral("<w:b/><w:bCs/>");
    if (c.italic.value_or(false))
        out += QStringLiteral("<w:i/><w:iCs/>");
    if (c.strikethrough.value_or(false))
        out += QStringLiteral("<w:strike/>");
    if (c.color)
        out += QStringLiteral("<w:color w:val=\"%1\"/>").arg(hexString(*c.color));
    const QString halfPoints = QString::number(std::max<qint64>(2, std::llround(c.size.value_or(12) * 2)));
    out += QStringLiteral("<w:sz w:val=\"%1\"/><w:szCs w:val=\"%1\"/>").arg(halfPoints);
    if (c.underline.value_or(false))
        out += QStringLiteral("<w:u w:val=\"single\"/>");
    if (c.background)
        out += QStringLiteral("<w:shd w:val=\"clear\" w:color=\"auto\" w:fill=\"%1\"/>")
                   .arg(hexString(*c.background));
    if (c.superscript.value_or(0) != 0)
        out += *c.superscript > 0 ? QStringLiteral("<w:vertAlign w:val=\"superscript\"/>")
                                  : QStringLiteral("<w:vertAlign w:val=\"subscript\"/>");
    return out;
}

// The paragraph properties of a paragraph style: spacing, indents, alignment.
QString paragraphProperties(const ParagraphStyle& style)
{
    QString out;
    QString spacing =
        QStringLiteral("<w:spacing w:before=\"%1\" w:after=\"%2\"")
            .arg(twipsString(style.paragraphSpacingBefore), twipsString(style.paragraphSpacing));
    if (style.minimumLineHeight > 0)
        spacing +=
            QStringLiteral(" w:line=\"%1\" w:lineRule=\"atLeast\"").arg(twipsString(style.minimumLineHeight));
    else
        spacing +=
            QStringLiteral(" w:line=\"%1\" w:lineRule=\"auto\"")
                .arg(std::llround((style.lineHeightMultiple > 0 ? style.lineHeightMultiple : 1.0) * 240));
    out += spacing + QStringLiteral("/>");
    const double first = style.firstLineHeadIndent - style.headIndent;
    out += QStringLiteral("<w:ind w:left=\"%1\" w:right=\"%2\" %3/>")
               .arg(twipsString(style.headIndent), twipsString(style.tailIndent < 0 ? -style.tailIndent : 0),
                    first < 0 ? QStringLiteral("w:hanging=\"%1\"").arg(twipsString(-first))
                              : QStringLiteral("w:firstLine=\"%1\"").arg(twipsString(first)));
    switch (style.alignment) {
    case TextAlignment::Right:
        out += QStringLiteral("<w:jc w:val=\"right\"/>");
        break;
    case TextAlignment::Center:
        out += QStringLiteral("<w:jc w:val=\"center\"/>");
        break;
    case TextAlignment::Justified:
        out += QStringLiteral("<w:jc w:val=\"both\"/>");
        break;
    case TextAlignment::Left:
        out += QStringLiteral("<w:jc w:val=\"left\"/>");
        break;
    case TextAlignment::Natural:
        break;
    }
    return out;
}

// Run text: tabs and line separators are elements of their own.
void appendRunText(QString& out, QStringView piece, const QString& styleId)
{
    out += QStringLiteral("<w:r><w:rPr><w:rStyle w:val=\"") + styleId + QStringLiteral("\"/></w:rPr>");
    qsizetype start = 0;
    const auto flush = [&](qsizetype end) {
        if (end > start) {
            out += QStringLiteral("<w:t xml:space=\"preserve\">");
            appendEscaped(out, piece.sliced(start, end - start));
            out += QStringLiteral("</w:t>");
        }
    };
    for (qsizetype i = 0; i < piece.size(); ++i) {
        const char16_t c = piece[i].unicode();
        if (c == u'\t' || c == 0x2028 || c == u'\r') {
            flush(i);
            out += c == u'\t' ? QStringLiteral("<w:tab/>") : QStringLiteral("<w:br/>");
            start = i + 1;
        }
    }
    flush(piece.size());
    out += QStringLiteral("</w:r>");
}

// Distinct property sets, one style each, numbered in order of first use.
class StyleIds {
public:
    explicit StyleIds(QString prefix) : m_prefix(std::move(prefix)) {}
    QString idFor(const QString& properties)
    {
        const auto it = m_ids.constFind(properties);
        if (it != m_ids.constEnd())
            return *it;
        const QString id = m_prefix + QString::number(m_order.size() + 1);
        m_ids.insert(properties, id);
        m_order.push_back(properties);
        return id;
    }
    QString xml(const QString& type) const
    {
        QString out;
        const bool paragraph = type == u"paragraph";
        for (size_t i = 0; i < m_order.size(); ++i) {
            const QString id = m_prefix + QString::number(i + 1);
            out += QStringLiteral("<w:style w:type=\"") + type +
                   QStringLiteral("\" w:customStyle=\"1\" w:styleId=\"") + id +
                   QStringLiteral("\"><w:name w:val=\"") + id + QStringLiteral("\"/>") +
                   (paragraph ? QStringLiteral("<w:basedOn w:val=\"Normal\"/><w:pPr>")
                              : QStringLiteral("<w:rPr>")) +
                   m_order[i] + (paragraph ? QStringLiteral("</w:pPr>") : QStringLiteral("</w:rPr>")) +
                   QStringLiteral("</w:style>");
        }
        return out;
    }

private:
    QString m_prefix;
    QHash<QString, QString> m_ids;
    std::vector<QString> m_order;
};

const char* const kXmlHeader = "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n";

QByteArray corePropertiesPart(const DocumentAttributes& attributes)
{
    QString out = QString::fromLatin1(kXmlHeader);
    out += QStringLiteral(
        "<cp:coreProperties "
        "xmlns:cp=\"http://schemas.openxmlformats.org/package/2006/metadata/core-properties\" "
        "xmlns:dc=\"http://purl.org/dc/elements/1.1/\" xmlns:dcterms=\"http://purl.org/dc/terms/\" "
        "xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\">");
    const auto element = [&](const QString& tag, const QString& value) {
        if (!value.isEmpty())
            out += u'<' + tag + u'>' + escaped(value) + QStringLiteral("</") + tag + u'>';
    };
    element(QStringLiteral("dc:title"), attributes.value(NSTitleDocumentAttribute).toString());
    element(QStringLiteral("dc:subject"), attributes.value(NSSubjectDocumentAttribute).toString());
    element(QStringLiteral("dc:creator"), attributes.value(NSAuthorDocumentAttribute).toString());
    element(QStringLiteral("cp:keywords"),
            attributes.value(NSKeywordsDocumentAttribute).toStringList().join(QStringLiteral(", ")));
    element(QStringLiteral("dc:description"), attributes.value(NSCommentDocumentAttribute).toString());
    element(QStringLiteral("cp:lastModifiedBy"),
            attributes.value(NSEditorDocumentAttribute).toStringList().value(0));
    const auto time = [&](const QString& tag, const QString& key) {
        const QDateTime value = attributes.value(key).toDateTime();
        if (value.isValid())
            out += u'<' + tag + QStringLiteral(" xsi:type=\"dcterms:W3CDTF\">") + isoString(value) +
                   QStringLiteral("</") + tag + u'>';
    };
    time(QStringLiteral("dcterms:created"), NSCreationTimeDocumentAttribute);
    time(QStringLiteral("dcterms:modified"), NSModificationTimeDocumentAttribute);
    out += QStringLiteral("</cp:coreProperties>");
    return out.toUtf8();
}

} // namespace

bool Docx::read(QByteArrayView data, MutableAttributedString& text, DocumentAttributes* documentAttributes,
                Error* error)
{
    auto zip = ZipReader::open(data.toByteArray(), error);
    if (!zip)
        return false;
    QString documentPart =
        relationshipTarget(*zip, QStringLiteral("_rels/.rels"), QString(), u"/officeDocument");
    if (documentPart.isEmpty())
        documentPart = kPartOfDocument;
    if (!zip->contains(documentPart)) {
        setError(error,
                 Error::cocoa(kFileReadCorruptFileError, {},
                              QStringLiteral("The file is not a Word document: it has no document part.")));
        return false;
    }
    const QString folder = documentPart.section(u'/', 0, -2);
    const QString relsPart = (folder.isEmpty() ? QString() : folder + u'/') + QStringLiteral("_rels/") +
                             documentPart.section(u'/', -1) + QStringLiteral(".rels");
    Styles styles;
    QString stylesPart = relationshipTarget(*zip, relsPart, documentPart, u"/styles");
    if (!stylesPart.isEmpty()) {
        const auto stylesData = zip->read(stylesPart, error);
        if (!stylesData || !readStyles(*stylesData, stylesPart, styles, error))
            return false;
    }
    const auto body = zip->read(documentPart, error);
    if (!body)
        return false;
    DocumentReader reader(styles);
    if (!reader.run(*body, documentPart, error))
        return false;
    DocumentAttributes attributes;
    attributes.insert(NSDocumentTypeDocumentAttribute, NSOfficeOpenXMLTextDocumentType);
    readCoreProperties(*zip, attributes);
    text.setAttributedString(reader.result());
    if (documentAttributes)
        *documentAttributes = std::move(attributes);
    return true;
}

std::optional<QByteArray> Docx::write(const AttributedString& text,
                                      const DocumentAttributes& documentAttributes, Error* error)
{
    const QString& string = text.string();
    QString body = QString::fromLatin1(kXmlHeader);
    body += QStringLiteral(
        "<w:document xmlns:w=\"http://schemas.openxmlformats.org/wordprocessingml/2006/main\" "
        "xmlns:r=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships\"><w:body>");
    body.reserve(string.size() * 3);
    // Each distinct look is a style of its own, so a long script's runs and paragraphs name one
    // instead of repeating their properties: paragraph styles hold spacing, indents and alignment,
    // character styles the rest.
    StyleIds paragraphStyles(QStringLiteral("P"));
    StyleIds characterStyles(QStringLiteral("C"));
    // Scripts reuse a handful of dictionaries: their style is found once.
    std::vector<std::pair<AttributeDictionary, QString>> runCache;
    const auto runStyle = [&](const AttributeDictionary& attributes) -> const QString& {
        for (auto& [key, id] : runCache)
            if (key == attributes)
                return id;
        if (runCache.size() > 64)
            runCache.clear();
        runCache.emplace_back(attributes, characterStyles.idFor(runProperties(attributes)));
        return runCache.back().second;
    };
    std::vector<std::pair<ParagraphStyle, QString>> paragraphCache;
    const auto paragraphStart = [&](const AttributeDictionary& markAttributes) {
        const AttributeValue* styleValue = markAttributes.find(kParagraphStyleAttributeName);
        const ParagraphStyle style =
            styleValue && styleValue->paragraphStyle() ? *styleValue->paragraphStyle() : ParagraphStyle();
        const QString* id = nullptr;
        for (auto& [key, value] : paragraphCache)
            if (key == style)
                id = &value;
        if (!id) {
            if (paragraphCache.size() > 64)
                paragraphCache.clear();
            paragraphCache.emplace_back(style, paragraphStyles.idFor(paragraphProperties(style)));
            id = &paragraphCache.back().second;
        }
        return QStringLiteral("<w:p><w:pPr><w:pStyle w:val=\"") + *id +
               QStringLiteral("\"/><w:rPr><w:rStyle w:val=\"") + runStyle(markAttributes) +
               QStringLiteral("\"/></w:rPr></w:pPr>");
    };
    const qsizetype length = string.size();
    qsizetype start = 0;
    while (start < length) {
        qsizetype end = string.indexOf(u'\n', start);
        if (end < 0)
            end = length;
        body += paragraphStart(text.attributesAtIndex(std::min(end, length - 1)));
        qsizetype index = start;
        while (index < end) {
            Range run;
            const AttributeDictionary attributes = text.attributesAtIndex(index, &run);
            const qsizetype runEnd = std::min(run.end(), end);
            const QStringView piece = QStringView(string).sliced(index, runEnd - index);
            if (piece.count(QChar(kAttachmentCharacter)) != piece.size())
                appendRunText(body, piece, runStyle(attributes));
            index = runEnd;
        }
        body += QStringLiteral("</w:p>");
        start = end + 1;
    }
    // A text ending in a newline ends with an empty paragraph, so the newline every reader adds comes
    // off again without taking the text's own.
    if (length > 0 && string.back() == u'\n')
        body += paragraphStart(text.attributesAtIndex(length - 1)) + QStringLiteral("</w:p>");
    // The section: US Letter with one-inch margins, as word processors start.
    body += QStringLiteral(
        "<w:sectPr><w:pgSz w:w=\"12240\" w:h=\"15840\"/><w:pgMar w:top=\"1440\" w:right=\"1440\" "
        "w:bottom=\"1440\" w:left=\"1440\" w:header=\"720\" w:footer=\"720\" w:gutter=\"0\"/>"
        "</w:sectPr></w:body></w:document>");

    const QString styles =
        QString::fromLatin1(kXmlHeader) +
        QStringLiteral(
            "<w:styles xmlns:w=\"http://schemas.openxmlformats.org/wordprocessingml/2006/main\">"
            "<w:docDefaults><w:rPrDefault><w:rPr><w:rFonts w:ascii=\"Helvetica\" w:hAnsi=\"Helvetica\"/>"
            "<w:sz w:val=\"24\"/><w:szCs w:val=\"24\"/></w:rPr></w:rPrDefault>"
            "<w:pPrDefault><w:pPr><w:spacing w:before=\"0\" w:after=\"0\" w:line=\"240\" "
            "w:lineRule=\"auto\"/></w:pPr></w:pPrDefault></w:docDefaults>"
            "<w:style w:type=\"paragraph\" w:default=\"1\" w:styleId=\"Normal\"><w:name w:val=\"Normal\"/>"
            "</w:style>") +
        paragraphStyles.xml(QStringLiteral("paragraph")) + characterStyles.xml(QStringLiteral("character")) +
        QStringLiteral("</w:styles>");
    QString app = QString::fromLatin1(kXmlHeader) +
                  QStringLiteral("<Properties xmlns=\"http://schemas.openxmlformats.org/officeDocument/2006/"
                                 "extended-properties\"><Application>Orvane</Application>");
    const QString company = documentAttributes.value(NSCompanyDocumentAttribute).toString();
    if (!company.isEmpty())
        app += QStringLiteral("<Company>") + escaped(company) + QStringLiteral("</Company>");
    app += QStringLiteral("</Properties>");

    ZipWriter zip;
    zip.add(QStringLiteral("[Content_Types].xml"),
            QByteArray(kXmlHeader) +
                "<Types xmlns=\"http://schemas.openxmlformats.org/package/2006/content-types\">"
                "<Default Extension=\"rels\" "
                "ContentType=\"application/vnd.openxmlformats-package.relationships+xml\"/>"
                "<Default Extension=\"xml\" ContentType=\"application/xml\"/>"
                "<Override PartName=\"/word/document.xml\" "
                "ContentType=\"application/"
                "vnd.openxmlformats-officedocument.wordprocessingml.document.main+xml\"/>"
                "<Override PartName=\"/word/styles.xml\" "
                "ContentType=\"application/vnd.openxmlformats-officedocument.wordprocessingml.styles+xml\"/>"
                "<Override PartName=\"/docProps/core.xml\" "
                "ContentType=\"application/vnd.openxmlformats-package.core-properties+xml\"/>"
                "<Override PartName=\"/docProps/app.xml\" "
                "ContentType=\"application/vnd.openxmlformats-officedocument.extended-properties+xml\"/>"
                "</Types>");
    zip.add(
        QStringLiteral("_rels/.rels"),
        QByteArray(kXmlHeader) +
            "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
            "<Relationship Id=\"rId1\" "
            "Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/officeDocument\" "
            "Target=\"word/document.xml\"/>"
            "<Relationship Id=\"rId2\" "
            "Type=\"http://schemas.openxmlformats.org/package/2006/relationships/metadata/core-properties\" "
            "Target=\"docProps/core.xml\"/>"
            "<Relationship Id=\"rId3\" "
            "Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/"
            "extended-properties\" "
            "Target=\"docProps/app.xml\"/>"
            "</Relationships>");
    zip.add(QStringLiteral("word/document.xml"), body.toUtf8());
    zip.add(QStringLiteral("word/styles.xml"), styles.toUtf8());
    zip.add(QStringLiteral("word/_rels/document.xml.rels"),
            QByteArray(kXmlHeader) +
                "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
                "<Relationship Id=\"rId1\" "
                "Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/styles\" "
                "Target=\"styles.xml\"/></Relationships>");
    zip.add(QStringLiteral("docProps/core.xml"), corePropertiesPart(documentAttributes));
    zip.add(QStringLiteral("docProps/app.xml"), app.toUtf8());
    return zip.finish(error);
}
