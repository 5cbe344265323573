#include "platform/textformats/OfficeText.h"

#include "platform/text/AttributeNames.h"

#include <QDateTime>
#include <QSet>

#include <cmath>

namespace OfficeText {

namespace {

template <class T> void inherit(std::optional<T>& value, const std::optional<T>& parent)
{
    if (!value && parent)
        value = parent;
}

} // namespace

void CharacterProperties::inheritFrom(const CharacterProperties& parent)
{
    inherit(family, parent.family);
    inherit(size, parent.size);
    inherit(bold, parent.bold);
    inherit(italic, parent.italic);
    inherit(underline, parent.underline);
    inherit(strikethrough, parent.strikethrough);
    inherit(color, parent.color);
    inherit(background, parent.background);
    inherit(superscript, parent.superscript);
}

void ParagraphProperties::inheritFrom(const ParagraphProperties& parent)
{
    inherit(alignment, parent.alignment);
    inherit(leftIndent, parent.leftIndent);
    inherit(rightIndent, parent.rightIndent);
    inherit(firstLineIndent, parent.firstLineIndent);
    inherit(spacingBefore, parent.spacingBefore);
    inherit(spacingAfter, parent.spacingAfter);
    inherit(lineHeightMultiple, parent.lineHeightMultiple);
    inherit(minimumLineHeight, parent.minimumLineHeight);
}

ParagraphStyle ParagraphProperties::toParagraphStyle() const
{
    ParagraphStyle style;
    style.alignment = alignment.value_or(TextAlignment::Natural);
    style.headIndent = std::max(0.0, leftIndent.value_or(0));
    style.firstLineHeadIndent = std::max(0.0, style.headIndent + firstLineIndent.value_or(0));
    // Our tail indent counts from the line's end when it is not positive.
    style.tailIndent = -std::max(0.0, rightIndent.value_or(0));
    style.paragraphSpacingBefore = std::max(0.0, spacingBefore.value_or(0));
    style.paragraphSpacing = std::max(0.0, spacingAfter.value_or(0));
    const double multiple = lineHeightMultiple.value_or(0);
    style.lineHeightMultiple = multiple == 1.0 ? 0.0 : std::clamp(multiple, 0.0, 10.0);
    style.minimumLineHeight = std::max(0.0, minimumLineHeight.value_or(0));
    return style;
}

ParagraphProperties ParagraphProperties::fromParagraphStyle(const ParagraphStyle& style)
{
    ParagraphProperties p;
    p.alignment = style.alignment;
    p.leftIndent = style.headIndent;
    p.firstLineIndent = style.firstLineHeadIndent - style.headIndent;
    p.rightIndent = style.tailIndent < 0 ? -style.tailIndent : 0.0;
    p.spacingBefore = style.paragraphSpacingBefore;
    p.spacingAfter = style.paragraphSpacing;
    p.lineHeightMultiple = style.lineHeightMultiple > 0 ? style.lineHeightMultiple : 1.0;
    p.minimumLineHeight = style.minimumLineHeight;
    return p;
}

void StyleSheet::insert(const QString& name, const QString& parent, const StyleProperties& properties)
{
    if (m_styles.size() >= kMaximumStyles)
        return;
    m_styles.insert(name, Entry{parent, properties});
    m_resolved.clear();
}

StyleProperties StyleSheet::resolved(const QString& name) const
{
    if (const auto it = m_resolved.constFind(name); it != m_resolved.constEnd())
        return *it;
    StyleProperties result;
    QSet<QString> seen;
    QString current = name;
    for (int step = 0; step < kMaximumChain && !current.isEmpty() && !seen.contains(current); ++step) {
        const auto it = m_styles.constFind(current);
        if (it == m_styles.constEnd())
            break;
        seen.insert(current);
        result.inheritFrom(it->properties);
        current = it->parent;
    }
    if (m_resolved.size() < kMaximumStyles)
        m_resolved.insert(name, result);
    return result;
}

bool readNext(XmlScanner& xml, int& depth, Error* error, const QString& part)
{
    const auto fail = [&](const QString& why) {
        setError(error, Error::cocoa(kFileReadCorruptFileError, {}, why));
        return false;
    };
    if (xml.atEnd())
        return false;
    switch (xml.readNext()) {
    case XmlScanner::StartElement:
        if (++depth > kMaximumXmlDepth)
            return fail(QStringLiteral("The part \"%1\" is nested too deeply.").arg(part));
        return true;
    case XmlScanner::EndElement:
        --depth;
        return true;
    case XmlScanner::Invalid:
        switch (xml.error()) {
        case XmlScanner::DocumentType:
            return fail(
                QStringLiteral("The part \"%1\" declares a document type, which documents never do.").arg(part));
        case XmlScanner::UndeclaredEntity:
            return fail(QStringLiteral("The part \"%1\" refers to an undeclared entity.").arg(part));
        case XmlScanner::TooDeep:
            return fail(QStringLiteral("The part \"%1\" is nested too deeply.").arg(part));
        default:
            return fail(
                QStringLiteral("The part \"%1\" is not well-formed XML (%2).").arg(part, xml.errorString()));
        }
    case XmlScanner::EndDocument:
        return false;
    default:
        return true;
    }
}

void TextBuilder::append(QStringView characters, const AttributeDictionary& attributes)
{
    if (characters.isEmpty())
        return;
    if (!m_runs.empty() && m_runs.back().attributes == attributes)
        m_runs.back().length += characters.size();
    else
        m_runs.push_back(AttributeRun{characters.size(), attributes});
    m_text.append(characters);
}

AttributedString TextBuilder::result()
{
    return AttributedString::withRuns(std::move(m_text), std::move(m_runs));
}

void AttributeCache::setParagraph(const ParagraphStyle& style)
{
    if (m_current < m_paragraphs.size() && m_paragraphs[m_current].style == style)
        return;
    for (size_t i = 0; i < m_paragraphs.size(); ++i) {
        if (m_paragraphs[i].style == style) {
            m_current = i;
            return;
        }
    }
    // A hostile file's endless variety costs a fresh start, not memory.
    if (m_paragraphs.size() >= 64)
        m_paragraphs.clear();
    m_paragraphs.push_back(Paragraph{style, {}});
    m_current = m_paragraphs.size() - 1;
}

const AttributeDictionary& AttributeCache::attributes(const CharacterProperties& run)
{
    if (m_paragraphs.empty())
        setParagraph(ParagraphStyle());
    auto& runs = m_paragraphs[m_current].runs;
    for (auto& [key, value] : runs)
        if (key == run)
            return value;
    if (runs.size() >= 64)
        runs.clear();
    runs.emplace_back(run, attributesFor(run, m_paragraphs[m_current].style));
    return runs.back().second;
}

AttributeDictionary attributesFor(const CharacterProperties& c, const ParagraphStyle& paragraph)
{
    Font font;
    font.familyName = c.family.value_or(QStringLiteral("Helvetica"));
    font.fontName = font.familyName;
    font.pointSize = std::clamp(c.size.value_or(12.0), 1.0, 1638.0);
    font.bold = c.bold.value_or(false);
    font.italic = c.italic.value_or(false);
    AttributeDictionary attributes{{kFontAttributeName, font}, {kParagraphStyleAttributeName, paragraph}};
    if (c.color)
        attributes.insert(kForegroundColorAttributeName, *c.color);
    if (c.background)
        attributes.insert(kBackgroundColorAttributeName, *c.background);
    if (c.underline.value_or(false))
        attributes.insert(kUnderlineStyleAttributeName, kUnderlineStyleSingle);
    if (c.strikethrough.value_or(false))
        attributes.insert(kStrikethroughStyleAttributeName, kUnderlineStyleSingle);
    if (c.superscript.value_or(0) != 0)
        attributes.insert(kSuperscriptAttributeName, qint64(*c.superscript));
    return attributes;
}

CharacterProperties characterPropertiesOf(const AttributeDictionary& attributes)
{
    CharacterProperties c;
    Font font;
    if (const AttributeValue* value = attributes.find(kFontAttributeName); value && value->font())
        font = *value->font();
    else
        font.familyName = QStringLiteral("Helvetica");
    c.family = font.familyName.isEmpty() ? font.fontName : font.familyName;
    c.size = font.pointSize;
    c.bold = font.bold;
    c.italic = font.italic;
    const auto integer = [&](const QString& name) {
        const AttributeValue* value = attributes.find(name);
        return value ? value->integer() : 0;
    };
    c.underline = integer(kUnderlineStyleAttributeName) != 0;
    c.strikethrough = integer(kStrikethroughStyleAttributeName) != 0;
    const qint64 superscript = integer(kSuperscriptAttributeName);
    c.superscript = superscript > 0 ? 1 : superscript < 0 ? -1 : 0;
    if (const AttributeValue* value = attributes.find(kForegroundColorAttributeName); value && value->color())
        c.color = *value->color();
    if (const AttributeValue* value = attributes.find(kBackgroundColorAttributeName); value && value->color())
        c.background = *value->color();
    return c;
}

std::optional<Color> hexColor(QStringView text)
{
    if (text.startsWith(u'#'))
        text = text.sliced(1);
    if (text.size() != 6)
        return std::nullopt;
    bool ok = false;
    const uint value = text.toUInt(&ok, 16);
    if (!ok)
        return std::nullopt;
    return Color::fromRgb8(int(value >> 16) & 0xFF, int(value >> 8) & 0xFF, int(value) & 0xFF);
}

QString hexString(const Color& color)
{
    return QStringLiteral("%1%2%3")
        .arg(Color::toByte(color.red), 2, 16, QChar(u'0'))
        .arg(Color::toByte(color.green), 2, 16, QChar(u'0'))
        .arg(Color::toByte(color.blue), 2, 16, QChar(u'0'))
        .toUpper();
}

double clampPoints(double value)
{
    if (!std::isfinite(value))
        return 0;
    return std::clamp(value, -10000.0, 10000.0);
}

std::optional<double> lengthInPoints(QStringView text)
{
    text = text.trimmed();
    qsizetype unitStart = text.size();
    while (unitStart > 0 && text[unitStart - 1].isLetter())
        --unitStart;
    const QStringView unit = text.sliced(unitStart);
    bool ok = false;
    const double value = text.first(unitStart).toDouble(&ok);
    if (!ok || !std::isfinite(value))
        return std::nullopt;
    double factor = 0;
    if (unit == u"pt")
        factor = 1;
    else if (unit == u"cm")
        factor = 72.0 / 2.54;
    else if (unit == u"mm")
        factor = 72.0 / 25.4;
    else if (unit == u"in" || unit == u"inch")
        factor = 72;
    else if (unit == u"pc")
        factor = 12;
    else if (unit == u"px")
        factor = 0.75;
    else
        return std::nullopt;
    return clampPoints(value * factor);
}

QString number(double value)
{
    // Values are clamped far below where 'g' would turn to exponents.
    const double rounded = std::round(clampPoints(value) * 10000.0) / 10000.0;
    return QString::number(rounded == 0 ? 0.0 : rounded, 'g', 12);
}

void appendEscaped(QString& out, QStringView text)
{
    qsizetype plain = 0;
    const qsizetype size = text.size();
    for (qsizetype i = 0; i < size; ++i) {
        const char16_t c = text[i].unicode();
        // Letters, the bulk of a script, pass on one comparison.
        if (c > u'>' && c < 0xD800)
            continue;
        const bool special = c == u'&' || c == u'<' || c == u'>' || c == u'"' ||
                             (c < 0x20 && c != u'\t' && c != u'\n') || c == kAttachmentCharacter ||
                             c == 0xFFFE || c == 0xFFFF || QChar::isSurrogate(c);
        if (!special)
            continue;
        if (QChar::isHighSurrogate(c) && i + 1 < size && QChar::isLowSurrogate(text[i + 1].unicode())) {
            ++i;
            continue;
        }
        out.append(text.sliced(plain, i - plain));
        plain = i + 1;
        switch (c) {
        case u'&':
            out += QLatin1String("&amp;");
            break;
        case u'<':
            out += QLatin1String("&lt;");
            break;
        case u'>':
            out += QLatin1String("&gt;");
            break;
        case u'"':
            out += QLatin1String("&quot;");
            break;
        default:
            break;
        }
    }
    out.append(text.sliced(plain));
}

QString escaped(QStringView text)
{
    QString out;
    appendEscaped(out, text);
    return out;
}

std::optional<QDateTime> isoTime(const QString& text)
{
    QDateTime time = QDateTime::fromString(text.trimmed(), Qt::ISODateWithMs);
    if (!time.isValid())
        time = QDateTime::fromString(text.trimmed(), Qt::ISODate);
    if (!time.isValid())
        return std::nullopt;
    return time.toUTC();
}

QString isoString(const QDateTime& time)
{
    return time.toUTC().toString(Qt::ISODate);
}

} // namespace OfficeText
