#include "platform/textformats/HtmlReader.h"

#include "platform/text/AttributeNames.h"
#include "platform/text/AttributeRuns.h"
#include "platform/text/AttributedString.h"
#include "platform/text/MutableAttributedString.h"
#include "platform/text/TextAttachment.h"
#include "platform/textformats/HtmlCss.h"
#include "platform/textformats/HtmlTokenizer.h"

#include <QDateTime>
#include <QSet>

#include <array>
#include <cmath>

namespace {

// Elements nested deeper than this add no styling of their own; their text is still read.
constexpr int kMaximumDepth = 256;
// Pictures one document may bring in.
constexpr int kMaximumImages = 10000;
// Only the start of a document is searched for its declared encoding, as browsers do.
constexpr qsizetype kEncodingPrescan = 4096;
// The default face and size of a document that names none.
constexpr double kDefaultSize = 12;
// Styles remembered for reuse; a hostile document with endless distinct elements works them out
// each time past this.
constexpr qsizetype kMaximumCachedStyles = 4096;
// The number of a style past that bound: its attributes are made afresh each time.
constexpr int kUnnumberedStyle = -2;
// Longer keys than this are not remembered: no element a person wrote styles itself at such length.
constexpr qsizetype kMaximumStyleKeyLength = 4096;

// Longer values than this of a presentational attribute or a class list are no values a person
// wrote; they are ignored rather than copied.
constexpr qsizetype kMaximumShortAttribute = 1024;

QString shortAttribute(const HtmlTokenizer::Token& token, QStringView name)
{
    return token.rawAttribute(name).size() > kMaximumShortAttribute ? QString() : token.attribute(name);
}

// The attributes an element's style is made of; the reader looks at no other but a list's start,
// a picture's source and a meta element's name and content.
const std::array<QStringView, 8>& styleAttributeNames()
{
    static const std::array<QStringView, 8> names{u"align", u"bgcolor", u"class", u"color",
                                                  u"face",  u"size",    u"style", u"text"};
    return names;
}

struct Style {
    Font font;
    std::optional<Color> foreground;
    std::optional<Color> background;
    bool underline = false;
    bool strikethrough = false;
    int superscript = 0;
    bool preserveSpace = false;
    ParagraphStyle paragraph;
};

struct Element {
    QString name;
    Style style;
    // The style's number among those worked out, which keys the attributes made for it.
    int styleId = 0;
    bool isBlock = false;
    // Inside a list: its kind and the number of the next item.
    bool orderedList = false;
    int nextItem = 1;
};

const QSet<QString>& blockElements()
{
    static const QSet<QString> names{
        "p",          "div",        "h1",      "h2",      "h3",    "h4",       "h5",
        "h6",         "li",         "ul",      "ol",      "dl",    "dt",       "dd",
        "pre",        "blockquote", "address", "center",  "table", "tr",       "section",
        "article",    "header",     "footer",  "nav",     "aside", "main",     "figure",
        "figcaption", "hr",         "body",    "html",    "form",  "fieldset", "caption",
        "listing",    "plaintext",  "details", "summary", "thead", "tbody",    "tfoot",
    };
    return names;
}

const QSet<QString>& voidElements()
{
    static const QSet<QString> names{"br",  "img",   "hr",    "meta",   "link",  "input", "area",  "base",
                                     "col", "embed", "param", "source", "track", "wbr",   "keygen"};
    return names;
}

// Elements whose contents are not text of the document.
const QSet<QString>& hiddenElements()
{
    static const QSet<QString> names{"head",   "script", "style",    "template", "noscript",
                                     "select", "option", "object",   "iframe",   "svg",
                                     "math",   "button", "textarea", "audio",    "video",
                                     "canvas", "map",    "datalist", "noembed",  "noframes"};
    return names;
}

double headingSize(int level)
{
    static const double kSizes[] = {24, 18, 14, 12, 10, 8};
    return kSizes[std::clamp(level, 1, 6) - 1];
}

double fontElementSize(const QString& value, double current)
{
    static const double kSizes[] = {7.5, 10, 12, 13.5, 18, 24, 36};
    bool ok = false;
    int size = value.trimmed().toInt(&ok);
    if (!ok)
        return current;
    if (value.trimmed().startsWith(u'+') || value.trimmed().startsWith(u'-'))
        size += 3;
    return kSizes[std::clamp(size, 1, 7) - 1];
}

std::optional<double> fontSizeValue(const QString& value, double parent)
{
    static const QHash<QString, double> kKeywords{{"xx-small", 7},  {"x-small", 7.5}, {"small", 10},
                                                  {"medium", 12},   {"large", 13.5},  {"x-large", 18},
                                                  {"xx-large", 24}, {"xxx-large", 36}};
    const QString lower = value.trimmed().toLower();
    if (const auto it = kKeywords.constFind(lower); it != kKeywords.constEnd())
        return *it;
    if (lower == u"larger")
        return parent * 1.2;
    if (lower == u"smaller")
        return parent / 1.2;
    const auto size = HtmlCss::length(lower, parent);
    if (!size || *size <= 0)
        return std::nullopt;
    return std::clamp(*size, 1.0, 1638.0);
}

std::optional<TextAlignment> alignmentValue(const QString& value)
{
    const QString lower = value.trimmed().toLower();
    if (lower == u"left" || lower == u"start")
        return TextAlignment::Left;
    if (lower == u"right" || lower == u"end")
        return TextAlignment::Right;
    if (lower == u"center" || lower == u"middle" || lower == u"-webkit-center")
        return TextAlignment::Center;
    if (lower == u"justify")
        return TextAlignment::Justified;
    return std::nullopt;
}

void applyMargins(Style& style, const QString& value, double fontSize)
{
    const QStringList parts = value.simplified().split(u' ');
    std::optional<double> sides[4];
    for (qsizetype i = 0; i < parts.size() && i < 4; ++i)
        sides[i] = parts[i] == u"auto" ? std::optional<double>(0) : HtmlCss::length(parts[i], fontSize);
    // top, right, bottom, left as CSS repeats them.
    const qsizetype n = std::min<qsizetype>(parts.size(), 4);
    if (n == 0)
        return;
    const auto top = sides[0];
    const auto right = n > 1 ? sides[1] : sides[0];
    const auto bottom = n > 2 ? sides[2] : sides[0];
    const auto left = n > 3 ? sides[3] : (n > 1 ? sides[1] : sides[0]);
    ParagraphStyle& p = style.paragraph;
    if (top)
        p.paragraphSpacingBefore = std::max(0.0, *top);
    if (bottom)
        p.paragraphSpacing = std::max(0.0, *bottom);
    if (left) {
        const double firstLineOffset = p.firstLineHeadIndent - p.headIndent;
        p.headIndent = std::max(0.0, *left);
        p.firstLineHeadIndent = std::max(0.0, p.headIndent + firstLineOffset);
    }
    if (right)
        p.tailIndent = -std::max(0.0, *right);
}

void applyDeclaration(Style& style, const QString& name, const QString& value, const Style& parent)
{
    const double size = style.font.pointSize;
    const QString lower = value.toLower();
    if (name == u"font-family") {
        const QString family = HtmlCss::fontFamily(value);
        if (!family.isEmpty()) {
            style.font.familyName = family;
            style.font.fontName = family;
        }
    } else if (name == u"font-size") {
        if (const auto points = fontSizeValue(value, parent.font.pointSize))
            style.font.pointSize = *points;
    } else if (name == u"font-weight") {
        bool ok = false;
        const int weight = lower.toInt(&ok);
        if (ok)
            style.font.bold = weight >= 600;
        else if (lower == u"bold" || lower == u"bolder")
            style.font.bold = true;
        else if (lower == u"normal" || lower == u"lighter")
            style.font.bold = false;
    } else if (name == u"font-style") {
        style.font.italic = lower.startsWith(u"italic") || lower.startsWith(u"oblique");
    } else if (name == u"color") {
        if (lower == u"initial")
            style.foreground.reset();
        else if (const auto c = HtmlCss::color(value))
            style.foreground = *c;
    } else if (name == u"background-color" || name == u"background") {
        if (lower == u"transparent" || lower == u"none")
            style.background.reset();
        else
            for (const QString& part : value.simplified().split(u' '))
                if (const auto c = HtmlCss::color(part)) {
                    style.background = *c;
                    break;
                }
    } else if (name == u"text-align") {
        if (const auto alignment = alignmentValue(value))
            style.paragraph.alignment = *alignment;
    } else if (name == u"text-decoration" || name == u"text-decoration-line") {
        if (lower.contains(u"none")) {
            style.underline = false;
            style.strikethrough = false;
        }
        if (lower.contains(u"underline"))
            style.underline = true;
        if (lower.contains(u"line-through"))
            style.strikethrough = true;
    } else if (name == u"vertical-align") {
        style.superscript = lower == u"super"      ? 1
                            : lower == u"sub"      ? -1
                            : lower == u"baseline" ? 0
                                                   : style.superscript;
    } else if (name == u"white-space") {
        style.preserveSpace = lower.startsWith(u"pre") || lower == u"break-spaces";
    } else if (name == u"margin") {
        applyMargins(style, value, size);
    } else if (name == u"margin-top") {
        if (const auto v = HtmlCss::length(value, size))
            style.paragraph.paragraphSpacingBefore = std::max(0.0, *v);
    } else if (name == u"margin-bottom") {
        if (const auto v = HtmlCss::length(value, size))
            style.paragraph.paragraphSpacing = std::max(0.0, *v);
    } else if (name == u"margin-left" || name == u"padding-left") {
        if (const auto v = HtmlCss::length(value, size)) {
            ParagraphStyle& p = style.paragraph;
            const double firstLineOffset = p.firstLineHeadIndent - p.headIndent;
            p.headIndent = std::max(0.0, *v);
            p.firstLineHeadIndent = std::max(0.0, p.headIndent + firstLineOffset);
        }
    } else if (name == u"margin-right") {
        if (const auto v = HtmlCss::length(value, size))
            style.paragraph.tailIndent = -std::max(0.0, *v);
    } else if (name == u"text-indent") {
        if (const auto v = HtmlCss::length(value, size))
            style.paragraph.firstLineHeadIndent = std::max(0.0, style.paragraph.headIndent + *v);
    } else if (name == u"line-height") {
        bool ok = false;
        const double multiple = lower.toDouble(&ok);
        if (lower == u"normal")
            style.paragraph.lineHeightMultiple = 0;
        else if (ok && std::isfinite(multiple) && multiple >= 0 && multiple <= 100)
            style.paragraph.lineHeightMultiple = multiple;
        else if (lower.endsWith(u'%')) {
            const auto v = HtmlCss::length(lower, 1.0);
            if (v && *v >= 0 && *v <= 100)
                style.paragraph.lineHeightMultiple = *v;
        }
    }
}

class Builder {
public:
    explicit Builder(DocumentAttributes* attributes, const HtmlReader::ImageSource* images = nullptr)
        : m_documentAttributes(attributes), m_images(images)
    {
        Element root;
        root.name = QStringLiteral("#root");
        root.style.font.familyName = QStringLiteral("Times");
        root.style.font.fontName = QStringLiteral("Times-Roman");
        root.style.font.pointSize = kDefaultSize;
        root.isBlock = true;
        m_styles.push_back(root.style);
        m_dictionaries.emplace_back();
        m_stack.push_back(std::move(root));
    }

    void run(QStringView html)
    {
        HtmlTokenizer tokenizer(html);
        for (;;) {
            HtmlTokenizer::Token token = tokenizer.next();
            switch (token.kind) {
            case HtmlTokenizer::Token::Kind::End:
                endParagraph(false);
                return;
            case HtmlTokenizer::Token::Kind::Text:
                text(token.text);
                break;
            case HtmlTokenizer::Token::Kind::StartTag:
                startTag(token);
                break;
            case HtmlTokenizer::Token::Kind::EndTag:
                endTag(token.name);
                break;
            }
        }
    }

    AttributedString result() { return AttributedString::withRuns(std::move(m_text), std::move(m_runs)); }

private:
    const Style& style() const { return m_stack.back().style; }

    void startTag(const HtmlTokenizer::Token& token)
    {
        const QString& name = token.name;
        if (!token.selfClosing &&
            (name == u"title" || name == u"style" || name == u"script" || name == u"textarea" ||
             name == u"xmp" || name == u"noembed" || name == u"noframes")) {
            m_rawTextOf = name;
            return;
        }
        if (name == u"meta") {
            meta(token);
            return;
        }
        if (name == u"br") {
            lineBreak();
            return;
        }
        if (name == u"img" && m_images && *m_images && m_hidden == 0 && m_imageCount < kMaximumImages) {
            if (auto file = (*m_images)(token.attribute(QStringLiteral("src")))) {
                ++m_imageCount;
                appendAttachment(std::make_shared<TextAttachment>(std::move(file)));
            }
            return;
        }
        if (name == u"img" || voidElements().contains(name)) {
            if (name == u"hr")
                endParagraph(false);
            return;
        }
        if (name == u"body")
            closeOpen(QStringLiteral("head"), {});
        if (name == u"p" && !m_stack.empty() && m_stack.back().name == u"p")
            endTag(name);
        if (name == u"li")
            closeOpen(QStringLiteral("li"), {"ul", "ol"});
        if (name == u"td" || name == u"th") {
            if (m_paragraphOpen)
                append(QStringLiteral("\t"));
        }
        const bool block = blockElements().contains(name);
        if (block)
            endParagraph(false);
        if (int(m_stack.size()) > kMaximumDepth || (m_hidden > 0 && token.selfClosing))
            return;
        if (token.selfClosing && !block)
            return;
        Element element;
        element.name = name;
        element.isBlock = block;
        if (hiddenElements().contains(name))
            ++m_hidden;
        if (name == u"ul" || name == u"ol") {
            element.orderedList = name == u"ol";
            bool ok = false;
            const int start = shortAttribute(token, u"start").toInt(&ok);
            element.nextItem = ok ? std::clamp(start, -1000000, 1000000) : 1;
        }
        // A long document repeats a few kinds of element with the same attributes under the same
        // parent: their style is worked out once. Only the attributes a style is made of make the
        // key, and a key longer than any real element gives is not kept, so no attribute is copied
        // for it beyond a bound.
        QString key;
        if (name != u"body" && m_stack.back().styleId != kUnnumberedStyle) {
            key = QString::number(m_stack.back().styleId) + u'\x1f' + name;
            for (const QStringView attribute : styleAttributeNames()) {
                const QStringView value = token.rawAttribute(attribute);
                if (value.isNull())
                    continue;
                if (key.size() + value.size() > kMaximumStyleKeyLength) {
                    key.clear();
                    break;
                }
                key += u'\x1f';
                key += attribute;
                key += u'=';
                key += value;
            }
            if (const auto it = m_styleCache.constFind(key);
                !key.isEmpty() && it != m_styleCache.constEnd()) {
                element.styleId = *it;
                element.style = m_styles[size_t(*it)];
                pushOrListItem(std::move(element));
                return;
            }
        }
        element.style = style();
        if (block) {
            // Spacing belongs to the block that sets it, not to the blocks inside it.
            element.style.paragraph.paragraphSpacing = 0;
            element.style.paragraph.paragraphSpacingBefore = 0;
        }
        defaultStyle(element, token);
        presentationalAttributes(element, token);
        const Style& parent = style();
        for (const auto& [property, value] : m_sheet.declarationsFor(name, classesOf(token)))
            applyDeclaration(element.style, property, value, parent);
        const QString inlineStyle = token.attribute(QStringLiteral("style"));
        if (!inlineStyle.isEmpty())
            for (const auto& [property, value] : HtmlCss::parseDeclarations(inlineStyle))
                applyDeclaration(element.style, property, value, parent);
        if (name == u"body") {
            if (element.style.background && m_documentAttributes)
                m_documentAttributes->insert(NSBackgroundColorDocumentAttribute,
                                             QVariant::fromValue(*element.style.background));
            // The page's background is the document's, not a highlight behind each character.
            element.style.background.reset();
        }
        if (qsizetype(m_styles.size()) < kMaximumCachedStyles) {
            element.styleId = int(m_styles.size());
            m_styles.push_back(element.style);
            m_dictionaries.emplace_back();
            if (!key.isEmpty())
                m_styleCache.insert(key, element.styleId);
        } else {
            element.styleId = kUnnumberedStyle;
        }
        pushOrListItem(std::move(element));
    }

    void pushOrListItem(Element element)
    {
        const QString& name = element.name;
        if (name == u"li") {
            // By index: pushing may move the open elements.
            qsizetype list = -1;
            for (qsizetype i = qsizetype(m_stack.size()) - 1; i >= 0 && list < 0; --i)
                if (m_stack[size_t(i)].name == u"ul" || m_stack[size_t(i)].name == u"ol")
                    list = i;
            push(std::move(element));
            Element* owner = list >= 0 ? &m_stack[size_t(list)] : nullptr;
            const QString marker = owner && owner->orderedList ? QString::number(owner->nextItem++) + u'.'
                                                               : QString(QChar(0x2022));
            append(u'\t' + marker + u'\t');
            return;
        }
        push(std::move(element));
    }

    static QStringList classesOf(const HtmlTokenizer::Token& token)
    {
        // A handful of classes is all any element has; a hostile list must not multiply the work.
        constexpr qsizetype kMaximumClasses = 16;
        QStringList classes = shortAttribute(token, u"class").simplified().split(u' ', Qt::SkipEmptyParts);
        classes.removeDuplicates();
        return classes.mid(0, kMaximumClasses);
    }

    void push(Element element) { m_stack.push_back(std::move(element)); }

    void defaultStyle(Element& element, const HtmlTokenizer::Token&)
    {
        const QString& name = element.name;
        Style& s = element.style;
        if (name == u"b" || name == u"strong" || name == u"th" || name == u"dt" || name == u"summary")
            s.font.bold = true;
        else if (name == u"i" || name == u"em" || name == u"cite" || name == u"var" || name == u"dfn" ||
                 name == u"address")
            s.font.italic = true;
        else if (name == u"u" || name == u"ins")
            s.underline = true;
        else if (name == u"s" || name == u"strike" || name == u"del")
            s.strikethrough = true;
        else if (name == u"sup")
            s.superscript = 1;
        else if (name == u"sub")
            s.superscript = -1;
        else if (name == u"center")
            s.paragraph.alignment = TextAlignment::Center;
        else if (name == u"code" || name == u"tt" || name == u"kbd" || name == u"samp" || name == u"pre" ||
                 name == u"listing" || name == u"plaintext") {
            s.font.familyName = QStringLiteral("Courier");
            s.font.fontName = QStringLiteral("Courier");
            if (name == u"pre" || name == u"listing" || name == u"plaintext")
                s.preserveSpace = true;
        } else if (name.size() == 2 && name[0] == u'h' && name[1] >= u'1' && name[1] <= u'6') {
            s.font.bold = true;
            s.font.pointSize = headingSize(name[1].unicode() - u'0');
        } else if (name == u"blockquote") {
            s.paragraph.headIndent += 40 * 0.75;
            s.paragraph.firstLineHeadIndent += 40 * 0.75;
        } else if (name == u"ul" || name == u"ol") {
            s.paragraph.headIndent += 36;
            s.paragraph.firstLineHeadIndent = s.paragraph.headIndent;
        } else if (name == u"a") {
            // Addresses are kept as names only: nothing is followed.
        }
    }

    void presentationalAttributes(Element& element, const HtmlTokenizer::Token& token)
    {
        Style& s = element.style;
        if (const QString align = shortAttribute(token, u"align"); !align.isEmpty() && element.isBlock)
            if (const auto alignment = alignmentValue(align))
                s.paragraph.alignment = *alignment;
        if (element.name == u"font") {
            const QString face = shortAttribute(token, u"face");
            if (!face.isEmpty()) {
                s.font.familyName = HtmlCss::fontFamily(face);
                s.font.fontName = s.font.familyName;
            }
            const QString size = shortAttribute(token, u"size");
            if (!size.isEmpty())
                s.font.pointSize = fontElementSize(size, s.font.pointSize);
            if (const auto c = HtmlCss::color(shortAttribute(token, u"color")))
                s.foreground = *c;
        }
        if (element.name == u"body") {
            if (const auto c = HtmlCss::color(shortAttribute(token, u"bgcolor")))
                s.background = *c;
            if (const auto c = HtmlCss::color(shortAttribute(token, u"text")))
                s.foreground = *c;
        }
    }

    // Closes the innermost open name when it is open below the nearest of the stoppers.
    void closeOpen(const QString& name, const QStringList& stoppers)
    {
        for (auto it = m_stack.rbegin(); it != m_stack.rend(); ++it) {
            if (it->name == name) {
                endTag(name);
                return;
            }
            if (stoppers.contains(it->name))
                return;
        }
    }

    void endTag(const QString& name)
    {
        if (!m_rawTextOf.isEmpty()) {
            m_rawTextOf.clear();
            return;
        }
        if (name == u"br") {
            lineBreak();
            return;
        }
        // The innermost open element of that name closes, with everything opened inside it; an end
        // tag with nothing open to close is ignored.
        qsizetype index = -1;
        for (qsizetype i = qsizetype(m_stack.size()) - 1; i > 0; --i)
            if (m_stack[size_t(i)].name == name) {
                index = i;
                break;
            }
        if (index < 0) {
            if (name == u"p") {
                // "</p>" without a "<p>" is an empty paragraph, as browsers read it.
                endParagraph(false);
            }
            return;
        }
        bool block = false;
        for (qsizetype i = qsizetype(m_stack.size()) - 1; i >= index; --i) {
            const Element& element = m_stack[size_t(i)];
            block = block || element.isBlock;
            if (hiddenElements().contains(element.name))
                --m_hidden;
            // The paragraph ends with the style of the block it was in.
            if (element.isBlock && m_paragraphOpen)
                endParagraph(false);
            m_stack.pop_back();
        }
        if (block)
            endParagraph(false);
    }

    void meta(const HtmlTokenizer::Token& token)
    {
        if (!m_documentAttributes)
            return;
        static const QHash<QString, QString> kNames{
            {"author", NSAuthorDocumentAttribute},    {"copyright", NSCopyrightDocumentAttribute},
            {"subject", NSSubjectDocumentAttribute},  {"description", NSCommentDocumentAttribute},
            {"company", NSCompanyDocumentAttribute},  {"keywords", NSKeywordsDocumentAttribute},
            {"generator", NSEditorDocumentAttribute},
        };
        const QString name = shortAttribute(token, u"name").toLower();
        const auto it = kNames.constFind(name);
        if (it == kNames.constEnd())
            return;
        const QString content = token.attribute(QStringLiteral("content"));
        if (*it == NSKeywordsDocumentAttribute) {
            QStringList keywords;
            for (const QString& keyword : content.split(u','))
                if (!keyword.trimmed().isEmpty())
                    keywords << keyword.trimmed();
            m_documentAttributes->insert(*it, keywords);
        } else if (*it != NSEditorDocumentAttribute) {
            m_documentAttributes->insert(*it, content);
        }
    }

    void text(QStringView characters)
    {
        if (!m_rawTextOf.isEmpty()) {
            if (m_rawTextOf == u"style") {
                m_sheet.addRules(characters);
            } else if (m_rawTextOf == u"title" && m_documentAttributes) {
                const QString title = characters.toString().simplified();
                if (!title.isEmpty())
                    m_documentAttributes->insert(NSTitleDocumentAttribute, title);
            }
            return;
        }
        if (m_hidden > 0)
            return;
        if (style().preserveSpace) {
            qsizetype start = 0;
            for (qsizetype i = 0; i < characters.size(); ++i) {
                const QChar c = characters[i];
                if (c == u'\n' || c == u'\r') {
                    append(QStringView(characters).sliced(start, i - start));
                    if (c == u'\r' && i + 1 < characters.size() && characters[i + 1] == u'\n')
                        ++i;
                    lineBreak();
                    start = i + 1;
                }
            }
            append(QStringView(characters).sliced(start));
            return;
        }
        // Collapsed straight into the text, so a long run is not copied once more on its way.
        qsizetype start = -1;
        for (const QChar c : characters) {
            const bool space = c == u' ' || c == u'\n' || c == u'\t' || c == u'\r' || c == u'\f';
            if (space) {
                m_pendingSpace = m_paragraphOpen || start >= 0;
                continue;
            }
            const bool keepSpace = m_pendingSpace && (m_paragraphOpen || start >= 0);
            if (start < 0) {
                if (!m_paragraphOpen)
                    openParagraph();
                start = m_text.size();
                if (characters.size() > m_text.capacity() - m_text.size())
                    m_text.reserve(m_text.size() + characters.size() + m_text.size() / 2);
            }
            if (keepSpace)
                m_text.append(u' ');
            m_pendingSpace = false;
            m_text.append(c);
        }
        if (start >= 0)
            addRun(m_text.size() - start);
    }

    void lineBreak()
    {
        if (m_hidden > 0)
            return;
        if (!m_paragraphOpen)
            openParagraph();
        endParagraph(true);
    }

    void openParagraph()
    {
        m_paragraphOpen = true;
        m_paragraphStyle = style().paragraph;
        ++m_paragraphGeneration;
    }

    void endParagraph(bool always)
    {
        m_pendingSpace = false;
        if (!m_paragraphOpen && !always)
            return;
        if (!m_paragraphOpen)
            openParagraph();
        appendRaw(QStringLiteral("\n"));
        m_paragraphOpen = false;
    }

    void append(QStringView characters)
    {
        if (characters.isEmpty())
            return;
        if (!m_paragraphOpen)
            openParagraph();
        appendRaw(characters);
    }

    void appendAttachment(std::shared_ptr<TextAttachment> attachment)
    {
        if (m_pendingSpace && m_paragraphOpen)
            appendRaw(u" ");
        if (!m_paragraphOpen)
            openParagraph();
        AttributeDictionary attributes = currentAttributes();
        attributes.insert(kAttachmentAttributeName, std::move(attachment));
        m_runs.push_back(AttributeRun{1, std::move(attributes)});
        m_text.append(QChar(kAttachmentCharacter));
        m_pendingSpace = false;
    }

    void appendRaw(QStringView characters)
    {
        addRun(characters.size());
        m_text.append(characters);
    }

    // Gives the current attributes to the next length characters of the text.
    void addRun(qsizetype length)
    {
        const AttributeDictionary attributes = currentAttributes();
        if (!m_runs.empty() && m_runs.back().attributes == attributes)
            m_runs.back().length += length;
        else
            m_runs.push_back(AttributeRun{length, attributes});
    }

    AttributeDictionary currentAttributes()
    {
        const Element& element = m_stack.back();
        if (element.styleId >= 0 && m_cachedStyleId == element.styleId &&
            m_cachedParagraphGeneration == m_paragraphGeneration)
            return m_cached;
        std::optional<std::pair<ParagraphStyle, AttributeDictionary>> unnumbered;
        auto& slot = element.styleId >= 0 ? m_dictionaries[size_t(element.styleId)] : unnumbered;
        if (!slot || slot->first != m_paragraphStyle) {
            const Style& s = element.style;
            AttributeDictionary attributes{{kFontAttributeName, s.font},
                                           {kParagraphStyleAttributeName, m_paragraphStyle}};
            if (s.foreground)
                attributes.insert(kForegroundColorAttributeName, *s.foreground);
            if (s.background)
                attributes.insert(kBackgroundColorAttributeName, *s.background);
            if (s.underline)
                attributes.insert(kUnderlineStyleAttributeName, kUnderlineStyleSingle);
            if (s.strikethrough)
                attributes.insert(kStrikethroughStyleAttributeName, kUnderlineStyleSingle);
            if (s.superscript != 0)
                attributes.insert(kSuperscriptAttributeName, s.superscript);
            // Equal dictionaries share one copy, so neighbouring runs compare by pointer.
            if (!m_runs.empty() && m_runs.back().attributes == attributes)
                attributes = m_runs.back().attributes;
            slot.emplace(m_paragraphStyle, std::move(attributes));
        }
        m_cached = slot->second;
        m_cachedStyleId = element.styleId;
        m_cachedParagraphGeneration = m_paragraphGeneration;
        return m_cached;
    }

    DocumentAttributes* m_documentAttributes;
    const HtmlReader::ImageSource* m_images = nullptr;
    int m_imageCount = 0;
    std::vector<Element> m_stack;
    HtmlCss::StyleSheet m_sheet;
    QString m_text;
    std::vector<AttributeRun> m_runs;
    QString m_rawTextOf;
    int m_hidden = 0;
    bool m_paragraphOpen = false;
    bool m_pendingSpace = false;
    ParagraphStyle m_paragraphStyle;
    AttributeDictionary m_cached;
    // Every style worked out, by number, and the attributes last made for each with the paragraph
    // style they were made for.
    std::vector<Style> m_styles;
    std::vector<std::optional<std::pair<ParagraphStyle, AttributeDictionary>>> m_dictionaries;
    QHash<QString, int> m_styleCache;
    int m_cachedStyleId = -1;
    quint64 m_paragraphGeneration = 0;
    quint64 m_cachedParagraphGeneration = 0;
};

} // namespace

std::optional<TextEncoding> HtmlReader::encodingForCharsetName(const QString& name)
{
    const QString lower = name.trimmed().toLower();
    // As browsers do, the Latin 1 and ASCII labels mean Windows Latin 1.
    static const QHash<QString, TextEncoding> kNames{
        {"utf-8", TextEncoding::UTF8},
        {"utf8", TextEncoding::UTF8},
        {"unicode-1-1-utf-8", TextEncoding::UTF8},
        {"utf-16", TextEncoding::UTF16LittleEndian},
        {"utf-16le", TextEncoding::UTF16LittleEndian},
        {"utf-16be", TextEncoding::UTF16BigEndian},
        {"iso-8859-1", TextEncoding::WindowsLatin1},
        {"latin1", TextEncoding::WindowsLatin1},
        {"iso_8859-1", TextEncoding::WindowsLatin1},
        {"us-ascii", TextEncoding::WindowsLatin1},
        {"ascii", TextEncoding::WindowsLatin1},
        {"windows-1252", TextEncoding::WindowsLatin1},
        {"cp1252", TextEncoding::WindowsLatin1},
        {"windows-1250", TextEncoding::WindowsLatin2},
        {"windows-1251", TextEncoding::WindowsCyrillic},
        {"windows-1253", TextEncoding::WindowsGreek},
        {"windows-1254", TextEncoding::WindowsTurkish},
        {"macintosh", TextEncoding::MacRoman},
        {"x-mac-roman", TextEncoding::MacRoman},
    };
    const auto it = kNames.constFind(lower);
    return it == kNames.constEnd() ? std::nullopt : std::optional<TextEncoding>(*it);
}

std::optional<TextEncoding> HtmlReader::declaredEncoding(QByteArrayView data)
{
    const QByteArray head = data.first(std::min(data.size(), kEncodingPrescan)).toByteArray().toLower();
    qsizetype from = 0;
    for (;;) {
        const qsizetype meta = head.indexOf("<meta", from);
        if (meta < 0)
            return std::nullopt;
        const qsizetype end = head.indexOf('>', meta);
        const QByteArray tag = head.mid(meta, end < 0 ? -1 : end - meta);
        from = meta + 5;
        const qsizetype charset = tag.indexOf("charset=");
        if (charset < 0)
            continue;
        qsizetype i = charset + 8;
        while (i < tag.size() && (tag[i] == '"' || tag[i] == '\'' || tag[i] == ' '))
            ++i;
        qsizetype j = i;
        while (j < tag.size() && tag[j] != '"' && tag[j] != '\'' && tag[j] != ' ' && tag[j] != ';' &&
               tag[j] != '/')
            ++j;
        if (const auto encoding = encodingForCharsetName(QString::fromLatin1(tag.mid(i, j - i))))
            return encoding;
    }
}

bool HtmlReader::read(QByteArrayView data, MutableAttributedString& text,
                      DocumentAttributes* documentAttributes, Error* error,
                      std::optional<TextEncoding> encoding)
{
    // A byte-order mark outranks everything, then what the caller knows, then the document's word.
    std::optional<TextEncoding> used;
    if (data.startsWith("\xEF\xBB\xBF"))
        used = TextEncoding::UTF8;
    else if (data.startsWith("\xFF\xFE") || data.startsWith("\xFE\xFF"))
        used = TextEncoding::UTF16;
    else if (encoding)
        used = encoding;
    else if (const auto declared = declaredEncoding(data))
        used = declared;
    const QString html = used ? PlainTextCodec::decode(data, *used) : PlainTextCodec::decode(data);
    return readString(html, text, documentAttributes, error);
}

bool HtmlReader::readString(const QString& html, MutableAttributedString& text,
                            DocumentAttributes* documentAttributes, Error* error)
{
    return readString(html, text, documentAttributes, error, ImageSource());
}

bool HtmlReader::readString(const QString& html, MutableAttributedString& text,
                            DocumentAttributes* documentAttributes, Error*, const ImageSource& images)
{
    DocumentAttributes attributes;
    attributes.insert(NSDocumentTypeDocumentAttribute, NSHTMLTextDocumentType);
    Builder builder(&attributes, &images);
    builder.run(html);
    text.setAttributedString(builder.result());
    if (documentAttributes)
        *documentAttributes = std::move(attributes);
    return true;
}
