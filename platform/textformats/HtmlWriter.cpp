#include "platform/textformats/HtmlWriter.h"

#include "platform/text/AttributeNames.h"
#include "platform/text/AttributedString.h"
#include "platform/text/Color.h"
#include "platform/text/TextAttachment.h"

#include <QHash>
#include <QStringList>

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

QString number(double value)
{
    // Two decimals keep a twentieth of a point and read back exactly enough.
    const double rounded = std::round(value * 100.0) / 100.0;
    return QString::number(rounded == 0 ? 0.0 : rounded, 'g', 10);
}

QString cssColor(const Color& color)
{
    if (color.alpha >= 1.0)
        return QStringLiteral("#%1%2%3")
            .arg(Color::toByte(color.red), 2, 16, QChar(u'0'))
            .arg(Color::toByte(color.green), 2, 16, QChar(u'0'))
            .arg(Color::toByte(color.blue), 2, 16, QChar(u'0'));
    return QStringLiteral("rgba(%1, %2, %3, %4)")
        .arg(Color::toByte(color.red))
        .arg(Color::toByte(color.green))
        .arg(Color::toByte(color.blue))
        .arg(number(color.alpha));
}

void appendEscaped(QString& out, QStringView text, bool attribute = false)
{
    // Plain stretches go in whole; only the few characters HTML gives a meaning are replaced.
    qsizetype plain = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        if (c != u'&' && c != u'<' && c != u'>' && c != u'"' && c != kAttachmentCharacter)
            continue;
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
            out += attribute ? QLatin1String("&quot;") : QLatin1String("\"");
            break;
        default:
            // Attachments have no place in HTML; nothing stands for them.
            break;
        }
    }
    out.append(text.sliced(plain));
}

QString escaped(QStringView text, bool attribute = false)
{
    QString out;
    out.reserve(text.size() + text.size() / 8);
    appendEscaped(out, text, attribute);
    return out;
}

// The declarations of the few distinct dictionaries a script's runs share, most recent first:
// equal copies compare by pointer, so finding one is cheap.
class DeclarationCache {
public:
    struct Entry {
        AttributeDictionary attributes;
        QString partial;
        QString complete;
        // A paragraph's own declarations when these are its newline's attributes.
        QString paragraph;
    };
    const Entry& find(const AttributeDictionary& attributes);

private:
    std::vector<Entry> m_entries;
};

QString fontFamilyValue(const QString& family)
{
    QString name = family;
    name.remove(u'\'').remove(u'"').remove(u';').remove(u'{').remove(u'}').remove(u'<').remove(u'>');
    return u'\'' + name + u'\'';
}

template <class T> const T* valueOf(const AttributeDictionary& attributes, const QString& name)
{
    const AttributeValue* value = attributes.find(name);
    return value ? value->get<T>() : nullptr;
}

qint64 integerOf(const AttributeDictionary& attributes, const QString& name)
{
    const AttributeValue* value = attributes.find(name);
    return value ? value->integer() : 0;
}

// complete: every property is stated, absent ones as their reset value, so a run inside a
// paragraph that has a colour or a decoration does not take it over.
QString characterStyle(const AttributeDictionary& attributes, bool complete)
{
    QStringList parts;
    if (const Font* font = valueOf<Font>(attributes, kFontAttributeName)) {
        const QString family = font->familyName.isEmpty() ? font->fontName : font->familyName;
        if (!family.isEmpty())
            parts << QStringLiteral("font-family: ") + fontFamilyValue(family);
        parts << QStringLiteral("font-size: ") + number(font->pointSize) + QStringLiteral("pt");
        parts << (font->bold ? QStringLiteral("font-weight: bold") : QStringLiteral("font-weight: normal"));
        parts << (font->italic ? QStringLiteral("font-style: italic") : QStringLiteral("font-style: normal"));
    }
    if (const Color* color = valueOf<Color>(attributes, kForegroundColorAttributeName))
        parts << QStringLiteral("color: ") + cssColor(*color);
    else if (complete)
        parts << QStringLiteral("color: initial");
    if (const Color* color = valueOf<Color>(attributes, kBackgroundColorAttributeName))
        parts << QStringLiteral("background-color: ") + cssColor(*color);
    else if (complete)
        parts << QStringLiteral("background-color: transparent");
    const bool underline = integerOf(attributes, kUnderlineStyleAttributeName) != 0;
    const bool strike = integerOf(attributes, kStrikethroughStyleAttributeName) != 0;
    if (underline || strike)
        parts << QStringLiteral("text-decoration: ") +
                     QStringList{underline ? QStringLiteral("underline") : QString(),
                                 strike ? QStringLiteral("line-through") : QString()}
                         .join(u' ')
                         .trimmed();
    else if (complete)
        parts << QStringLiteral("text-decoration: none");
    const qint64 superscript = integerOf(attributes, kSuperscriptAttributeName);
    if (superscript != 0)
        parts << (superscript > 0 ? QStringLiteral("vertical-align: super")
                                  : QStringLiteral("vertical-align: sub"));
    else if (complete)
        parts << QStringLiteral("vertical-align: baseline");
    return parts.join(QStringLiteral("; "));
}

QString paragraphStyle(const ParagraphStyle& style)
{
    QStringList parts;
    switch (style.alignment) {
    case TextAlignment::Left:
        parts << QStringLiteral("text-align: left");
        break;
    case TextAlignment::Right:
        parts << QStringLiteral("text-align: right");
        break;
    case TextAlignment::Center:
        parts << QStringLiteral("text-align: center");
        break;
    case TextAlignment::Justified:
        parts << QStringLiteral("text-align: justify");
        break;
    case TextAlignment::Natural:
        break;
    }
    // A tail indent counted from the line's start has no CSS form; one from its end is a margin.
    const double right = style.tailIndent < 0 ? -style.tailIndent : 0;
    parts << QStringLiteral("margin: %1pt %2pt %3pt %4pt")
                 .arg(number(style.paragraphSpacingBefore), number(right), number(style.paragraphSpacing),
                      number(style.headIndent));
    if (style.firstLineHeadIndent != style.headIndent)
        parts << QStringLiteral("text-indent: ") + number(style.firstLineHeadIndent - style.headIndent) +
                     QStringLiteral("pt");
    if (style.lineHeightMultiple > 0)
        parts << QStringLiteral("line-height: ") + number(style.lineHeightMultiple);
    return parts.join(QStringLiteral("; "));
}

const DeclarationCache::Entry& DeclarationCache::find(const AttributeDictionary& attributes)
{
    constexpr size_t kKept = 32;
    for (size_t i = 0; i < m_entries.size(); ++i) {
        if (m_entries[i].attributes == attributes) {
            if (i > 0)
                std::swap(m_entries[i], m_entries[i - 1]);
            return m_entries[i > 0 ? i - 1 : 0];
        }
    }
    if (m_entries.size() >= kKept)
        m_entries.pop_back();
    const AttributeValue* style = attributes.find(kParagraphStyleAttributeName);
    const ParagraphStyle* paragraph = style ? style->paragraphStyle() : nullptr;
    const QString partial = characterStyle(attributes, false);
    m_entries.insert(m_entries.begin(),
                     Entry{attributes, partial, characterStyle(attributes, true),
                           paragraphStyle(paragraph ? *paragraph : ParagraphStyle()) +
                               (partial.isEmpty() ? QString() : QStringLiteral("; ") + partial)});
    return m_entries.front();
}

// Distinct values get one class each, numbered in order of first use.
class ClassTable {
public:
    explicit ClassTable(QString prefix) : m_prefix(std::move(prefix)) {}
    QString classFor(const QString& declarations)
    {
        const auto it = m_classes.constFind(declarations);
        if (it != m_classes.constEnd())
            return *it;
        const QString name = m_prefix + QString::number(m_order.size() + 1);
        m_classes.insert(declarations, name);
        m_order.push_back(declarations);
        return name;
    }
    void appendRules(QString& out, const QString& element) const
    {
        for (size_t i = 0; i < m_order.size(); ++i)
            out += element + u'.' + m_prefix + QString::number(i + 1) + QStringLiteral(" { ") + m_order[i] +
                   QStringLiteral(" }\n");
    }

private:
    QString m_prefix;
    QHash<QString, QString> m_classes;
    std::vector<QString> m_order;
};

void appendMeta(QString& out, const QString& name, const QString& content)
{
    if (!content.isEmpty())
        out += QStringLiteral("<meta name=\"") + name + QStringLiteral("\" content=\"") +
               escaped(content, true) + QStringLiteral("\">\n");
}

} // namespace

QByteArray HtmlWriter::write(const AttributedString& text, const DocumentAttributes& documentAttributes)
{
    return write(text, documentAttributes, ImageNamer());
}

QByteArray HtmlWriter::write(const AttributedString& text, const DocumentAttributes& documentAttributes,
                             const ImageNamer& imageName)
{
    const QString& string = text.string();
    ClassTable paragraphClasses(QStringLiteral("p"));
    ClassTable spanClasses(QStringLiteral("s"));
    DeclarationCache cache;
    QString body;
    body.reserve(string.size() + string.size() / 4);
    qsizetype start = 0;
    const qsizetype length = string.size();
    const bool endsWithNewline = length > 0 && string.back() == u'\n';
    while (start < length || (start == length && endsWithNewline && length > 0)) {
        qsizetype end = string.indexOf(u'\n', start);
        const bool hasNewline = end >= 0;
        if (!hasNewline)
            end = length;
        // The paragraph's own look is that of its newline, or of its last character.
        const qsizetype styleIndex = std::min(end, length - 1);
        const AttributeDictionary paragraphAttributes =
            styleIndex >= 0 ? text.attributesAtIndex(styleIndex) : AttributeDictionary();
        const DeclarationCache::Entry& paragraphEntry = cache.find(paragraphAttributes);
        const QString completeCharacters = paragraphEntry.complete;
        const QString paragraphDeclarations = paragraphEntry.paragraph;
        body += QStringLiteral("<p class=\"") + paragraphClasses.classFor(paragraphDeclarations) +
                QStringLiteral("\">");
        bool wroteText = false;
        qsizetype index = start;
        while (index < end) {
            Range run;
            const AttributeDictionary attributes = text.attributesAtIndex(index, &run);
            const qsizetype runEnd = std::min(run.end(), end);
            const QStringView piece = QStringView(string).sliced(index, runEnd - index);
            if (imageName && piece.contains(QChar(kAttachmentCharacter))) {
                const AttributeValue* value = attributes.find(kAttachmentAttributeName);
                const auto attachment = value ? value->attachment() : nullptr;
                const QString name = attachment ? imageName(*attachment) : QString();
                if (!name.isEmpty()) {
                    const QString& declarations = cache.find(attributes).complete;
                    const bool span = declarations != completeCharacters;
                    if (span)
                        body += QStringLiteral("<span class=\"") + spanClasses.classFor(declarations) +
                                QStringLiteral("\">");
                    for (const QChar c : piece) {
                        if (c == QChar(kAttachmentCharacter))
                            body +=
                                QStringLiteral("<img src=\"") + escaped(name, true) + QStringLiteral("\">");
                        else
                            appendEscaped(body, QStringView(&c, 1));
                    }
                    if (span)
                        body += QStringLiteral("</span>");
                    wroteText = true;
                    index = runEnd;
                    continue;
                }
            }
            const bool onlyAttachments = std::all_of(
                piece.begin(), piece.end(), [](QChar c) { return c == QChar(kAttachmentCharacter); });
            if (!onlyAttachments) {
                const QString& declarations = cache.find(attributes).complete;
                if (declarations == completeCharacters) {
                    appendEscaped(body, piece);
                } else {
                    body += QStringLiteral("<span class=\"") + spanClasses.classFor(declarations) +
                            QStringLiteral("\">");
                    appendEscaped(body, piece);
                    body += QStringLiteral("</span>");
                }
                wroteText = true;
            }
            index = runEnd;
        }
        if (!wroteText)
            body += QStringLiteral("<br>");
        body += QStringLiteral("</p>\n");
        if (!hasNewline)
            break;
        start = end + 1;
    }

    QString out = QStringLiteral("<!DOCTYPE html>\n<html>\n<head>\n<meta charset=\"UTF-8\">\n");
    const QString title = documentAttributes.value(NSTitleDocumentAttribute).toString();
    if (!title.isEmpty())
        out += QStringLiteral("<title>") + escaped(title) + QStringLiteral("</title>\n");
    appendMeta(out, QStringLiteral("author"), documentAttributes.value(NSAuthorDocumentAttribute).toString());
    appendMeta(out, QStringLiteral("company"),
               documentAttributes.value(NSCompanyDocumentAttribute).toString());
    appendMeta(out, QStringLiteral("copyright"),
               documentAttributes.value(NSCopyrightDocumentAttribute).toString());
    appendMeta(out, QStringLiteral("subject"),
               documentAttributes.value(NSSubjectDocumentAttribute).toString());
    appendMeta(out, QStringLiteral("description"),
               documentAttributes.value(NSCommentDocumentAttribute).toString());
    appendMeta(
        out, QStringLiteral("keywords"),
        documentAttributes.value(NSKeywordsDocumentAttribute).toStringList().join(QStringLiteral(", ")));
    out += QStringLiteral("<style>\n");
    const QVariant background = documentAttributes.value(NSBackgroundColorDocumentAttribute);
    if (background.metaType() == QMetaType::fromType<Color>())
        out += QStringLiteral("body { background-color: ") + cssColor(background.value<Color>()) +
               QStringLiteral(" }\n");
    // Spaces and tabs inside a paragraph are the script's own: they are kept as written.
    out += QStringLiteral("p { white-space: pre-wrap }\n");
    paragraphClasses.appendRules(out, QStringLiteral("p"));
    spanClasses.appendRules(out, QStringLiteral("span"));
    out += QStringLiteral("</style>\n</head>\n<body>\n");
    out += body;
    out += QStringLiteral("</body>\n</html>\n");
    return out.toUtf8();
}
