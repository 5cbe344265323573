#include "platform/text/RtfWriter.h"

#include "platform/foundation/FileWrapper.h"
#include "platform/text/AttributedString.h"
#include "platform/text/TextAttachment.h"

#include <QDateTime>
#include <QHash>
#include <QSizeF>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <map>
#include <string>
#include <tuple>
#include <unordered_map>

namespace {

// The character the platform's reader expects after an attachment group: 0xAC in Windows 1252,
// written as a hex escape so the output stays 7-bit like the rest.
constexpr const char* kAttachmentMark = "\\'ac";

struct CharState {
    int font = -1;
    int fontSize = -1;
    bool bold = false;
    bool italic = false;
    bool shadow = false;
    int underline = 0;
    int strikethrough = 0;
    int superscript = 0;
    int foreground = 0;
    int background = 0;
    long baseline = 0; // half points
    long kern = 0;     // twips
    long shadowX = 0, shadowY = 0, shadowRadius = 0;
    int shadowColor = 0;
    int underlineColor = 0;
    int strikethroughColor = 0;
};

long twips(double points)
{
    if (!std::isfinite(points))
        return 0;
    return std::lround(std::clamp(points, -1.0e6, 1.0e6) * 20.0);
}

long colorComponent(double value)
{
    return std::lround(std::clamp(std::isfinite(value) ? value : 0.0, 0.0, 1.0) * 100000.0);
}

QString sanitizedFileName(const QString& name)
{
    QString safe;
    for (const QChar c : name) {
        if (c == u'/' || c == u'\\' || c.unicode() < 0x20 || c == u'{' || c == u'}')
            safe.append(u'_');
        else
            safe.append(c);
    }
    safe = safe.trimmed();
    while (safe.startsWith(u'.'))
        safe.replace(0, 1, u'_');
    if (safe.isEmpty())
        safe = QStringLiteral("Attachment");
    // Long names fail on most file systems; keep the extension.
    if (safe.toUtf8().size() > 200) {
        const qsizetype dot = safe.lastIndexOf(u'.');
        const QString extension = dot > 0 && safe.size() - dot <= 16 ? safe.mid(dot) : QString();
        safe = safe.left(100) + extension;
    }
    return safe;
}

class Writer {
public:
    Writer(const AttributedString& text, const DocumentAttributes& documentAttributes, FileWrapper* directory)
        : m_text(text), m_documentAttributes(documentAttributes), m_directory(directory)
    {
    }

    QByteArray run();

private:
    void writeBody();
    void writeSegment(QStringView text, const AttributeDictionary& attributes);
    void writeParagraphStyle(const ParagraphStyle& style);
    void writeStateChange(const CharState& to);
    void writeText(QStringView text, std::string& out);
    void writeAttachment(const AttributeDictionary& attributes);
    CharState stateFor(const AttributeDictionary& attributes);
    int fontIndex(const Font& font);
    int colorIndex(const Color& color);
    QByteArray header();
    void writeInfo(std::string& out);
    void writeDocumentFormat(std::string& out);

    void word(std::string& out, const char* name) { out += '\\', out += name; }
    void word(std::string& out, const char* name, long value)
    {
        out += '\\';
        out += name;
        char digits[24];
        const auto result = std::to_chars(digits, digits + sizeof digits, value);
        out.append(digits, result.ptr);
    }

    const AttributedString& m_text;
    const DocumentAttributes& m_documentAttributes;
    FileWrapper* m_directory;

    std::string m_body;
    CharState m_state;
    bool m_afterWord = false; // a control word was written and needs its delimiter before text
    bool m_unicodeSkipZero = false;

    struct FontEntry {
        QString name;
        bool fixedPitch = false;
    };
    std::vector<FontEntry> m_fonts;
    QHash<QString, int> m_fontIndexes;
    std::vector<Color> m_colors;
    std::map<std::tuple<int, double, double, double, double>, int> m_colorIndexes;
    QHash<QByteArray, QString> m_writtenFiles; // contents to name, so equal files are stored once
};

QByteArray Writer::run()
{
    m_body.reserve(size_t(m_text.length()) + size_t(m_text.length() / 4) + 256);
    writeBody();
    QByteArray out = header();
    out.append(m_body.data(), qsizetype(m_body.size()));
    out.append('}');
    return out;
}

QByteArray Writer::header()
{
    // Each group of the header sets its own \uc0 before its first \u: groups do not share it.
    m_afterWord = false;
    m_unicodeSkipZero = false;
    std::string out =
        "{\\rtf1\\ansi\\ansicpg1252\\cocoartf2761\n\\cocoatextscaling0\\cocoaplatform0{\\fonttbl";
    if (m_fonts.empty())
        m_fonts.push_back({QStringLiteral("Helvetica"), false});
    for (size_t i = 0; i < m_fonts.size(); ++i) {
        word(out, "f", long(i));
        out += m_fonts[i].fixedPitch ? "\\fmodern" : "\\fswiss";
        out += "\\fcharset0 ";
        m_afterWord = false;
        writeText(m_fonts[i].name, out);
        out += ';';
    }
    out += "\n}\n{\\colortbl;\\red255\\green255\\blue255;";
    for (const Color& color : m_colors) {
        word(out, "red", Color::toByte(color.red));
        word(out, "green", Color::toByte(color.green));
        word(out, "blue", Color::toByte(color.blue));
        out += ';';
    }
    out += "}\n{\\*\\expandedcolortbl;;";
    for (const Color& color : m_colors) {
        if (color.isGray()) {
            out += "\\csgray";
            word(out, "c", colorComponent(color.white()));
        } else {
            out += "\\cssrgb";
            word(out, "c", colorComponent(color.red));
            word(out, "c", colorComponent(color.green));
            word(out, "c", colorComponent(color.blue));
        }
        if (color.alpha != 1.0)
            word(out, "c", colorComponent(color.alpha));
        out += ';';
    }
    out += "}\n";
    writeInfo(out);
    writeDocumentFormat(out);
    return QByteArray(out.data(), qsizetype(out.size()));
}

void Writer::writeInfo(std::string& out)
{
    static const std::pair<const QString*, const char*> kFields[] = {
        {&NSTitleDocumentAttribute, "title"},
        {&NSAuthorDocumentAttribute, "author"},
        {&NSEditorDocumentAttribute, "operator"},
        {&NSCompanyDocumentAttribute, "*\\company"},
        {&NSCopyrightDocumentAttribute, "*\\copyright"},
        {&NSSubjectDocumentAttribute, "subject"},
        {&NSKeywordsDocumentAttribute, "keywords"},
        {&NSCommentDocumentAttribute, "doccomm"},
    };
    std::string info;
    for (const auto& [key, name] : kFields) {
        const auto it = m_documentAttributes.constFind(*key);
        if (it == m_documentAttributes.constEnd())
            continue;
        const QString value = key == &NSKeywordsDocumentAttribute
                                  ? it->toStringList().join(QStringLiteral(", "))
                                  : it->toString();
        info += "\n{\\";
        info += name;
        info += ' ';
        m_afterWord = false;
        m_unicodeSkipZero = false;
        writeText(value, info);
        info += '}';
    }
    for (const auto& [key, name] : {std::pair{&NSCreationTimeDocumentAttribute, "creatim"},
                                    std::pair{&NSModificationTimeDocumentAttribute, "revtim"}}) {
        const QDateTime stamp = m_documentAttributes.value(*key).toDateTime().toLocalTime();
        if (!stamp.isValid())
            continue;
        info += "\n{\\";
        info += name;
        word(info, "yr", stamp.date().year());
        word(info, "mo", stamp.date().month());
        word(info, "dy", stamp.date().day());
        word(info, "hr", stamp.time().hour());
        word(info, "min", stamp.time().minute());
        word(info, "sec", stamp.time().second());
        info += '}';
    }
    if (info.empty())
        return;
    out += "{\\info";
    out += info;
    out += "}";
}

void Writer::writeDocumentFormat(std::string& out)
{
    const auto& attributes = m_documentAttributes;
    const auto has = [&](const QString& key) { return attributes.contains(key); };
    if (has(NSPaperSizeDocumentAttribute)) {
        const QSizeF size = attributes.value(NSPaperSizeDocumentAttribute).toSizeF();
        word(out, "paperw", twips(size.width()));
        word(out, "paperh", twips(size.height()));
    }
    static const std::pair<const QString*, const char*> kMargins[] = {
        {&NSLeftMarginDocumentAttribute, "margl"},
        {&NSRightMarginDocumentAttribute, "margr"},
        {&NSTopMarginDocumentAttribute, "margt"},
        {&NSBottomMarginDocumentAttribute, "margb"},
    };
    for (const auto& [key, name] : kMargins) {
        if (has(*key))
            word(out, name, twips(attributes.value(*key).toDouble()));
    }
    if (has(NSViewSizeDocumentAttribute)) {
        const QSizeF size = attributes.value(NSViewSizeDocumentAttribute).toSizeF();
        word(out, "vieww", twips(size.width()));
        word(out, "viewh", twips(size.height()));
    }
    if (has(NSViewModeDocumentAttribute))
        word(out, "viewkind", attributes.value(NSViewModeDocumentAttribute).toInt());
    if (has(NSViewZoomDocumentAttribute))
        word(out, "viewscale", std::lround(attributes.value(NSViewZoomDocumentAttribute).toDouble()));
    const QVariant background = attributes.value(NSBackgroundColorDocumentAttribute);
    if (background.metaType() == QMetaType::fromType<Color>()) {
        const Color color = background.value<Color>();
        const long fill = Color::toByte(color.red) | (Color::toByte(color.green) << 8) |
                          (long(Color::toByte(color.blue)) << 16);
        out += "\n{\\*\\background {\\shp{\\*\\shpinst\\shpleft0\\shptop0\\shpright0\\shpbottom0\\shpfhdr0"
               "\\shpbxmargin\\shpbymargin\\shpwr0\\shpwrk0\\shpfblwtxt1\\shplid1025{\\sp{\\sn "
               "shapeType}{\\sv 1}}"
               "{\\sp{\\sn fFlipH}{\\sv 0}}{\\sp{\\sn fFlipV}{\\sv 0}}{\\sp{\\sn fillColor}{\\sv ";
        out += std::to_string(fill);
        out += "}}{\\sp{\\sn fFilled}{\\sv 1}}{\\sp{\\sn lineWidth}{\\sv 0}}{\\sp{\\sn fLine}{\\sv 0}}"
               "{\\sp{\\sn bWMode}{\\sv 9}}{\\sp{\\sn fBackground}{\\sv 1}}}}}";
    }
    out += '\n';
}

void Writer::writeBody()
{
    const QString& string = m_text.string();
    std::optional<ParagraphStyle> current;
    m_text.enumerateAttributes(
        Range{0, m_text.length()}, 0, [&](const AttributeDictionary& attributes, const Range& range, bool&) {
            qsizetype position = range.location;
            const qsizetype end = range.location + range.length;
            while (position < end) {
                if (position == 0 || string[position - 1] == u'\n' || string[position - 1] == QChar(0x2029)) {
                    const AttributeValue* value = attributes.find(kParagraphStyleAttributeName);
                    const ParagraphStyle style =
                        value && value->paragraphStyle() ? *value->paragraphStyle() : ParagraphStyle();
                    if (!current || !(*current == style)) {
                        writeParagraphStyle(style);
                        current = style;
                    }
                }
                qsizetype next = position;
                while (next < end && string[next] != u'\n' && string[next] != QChar(0x2029))
                    ++next;
                if (next < end)
                    ++next;
                writeSegment(QStringView(string).sliced(position, next - position), attributes);
                position = next;
            }
        });
}

void Writer::writeParagraphStyle(const ParagraphStyle& style)
{
    std::string& out = m_body;
    out += "\\pard";
    for (const TextTab& tab : style.tabStops) {
        switch (tab.type) {
        case TextTabType::Right:
            out += "\\tqr";
            break;
        case TextTabType::Center:
            out += "\\tqc";
            break;
        case TextTabType::Decimal:
            out += "\\tqdec";
            break;
        case TextTabType::Left:
            break;
        }
        word(out, "tx", twips(tab.location));
    }
    if (style.defaultTabInterval > 0)
        word(out, "pardeftab", twips(style.defaultTabInterval));
    if (style.headIndent != 0)
        word(out, "li", twips(style.headIndent));
    if (style.firstLineHeadIndent != style.headIndent)
        word(out, "fi", twips(style.firstLineHeadIndent) - twips(style.headIndent));
    if (style.tailIndent < 0)
        word(out, "ri", twips(-style.tailIndent));
    if (style.lineSpacing > 0)
        word(out, "slleading", twips(style.lineSpacing));
    if (style.lineHeightMultiple > 0) {
        word(out, "sl", std::lround(style.lineHeightMultiple * 240.0));
        out += "\\slmult1";
    }
    if (style.minimumLineHeight > 0)
        word(out, "slminimum", twips(style.minimumLineHeight));
    if (style.maximumLineHeight > 0)
        word(out, "slmaximum", twips(style.maximumLineHeight));
    if (style.paragraphSpacingBefore > 0)
        word(out, "sb", twips(style.paragraphSpacingBefore));
    if (style.paragraphSpacing > 0)
        word(out, "sa", twips(style.paragraphSpacing));
    switch (style.baseWritingDirection) {
    case WritingDirection::Natural:
        out += "\\pardirnatural";
        break;
    case WritingDirection::LeftToRight:
        out += "\\ltrpar";
        break;
    case WritingDirection::RightToLeft:
        out += "\\rtlpar";
        break;
    }
    switch (style.alignment) {
    case TextAlignment::Left:
        out += "\\ql";
        break;
    case TextAlignment::Right:
        out += "\\qr";
        break;
    case TextAlignment::Center:
        out += "\\qc";
        break;
    case TextAlignment::Justified:
        out += "\\qj";
        break;
    case TextAlignment::Natural:
        break;
    }
    out += "\\partightenfactor0\n\n";
    m_afterWord = false;
}

CharState Writer::stateFor(const AttributeDictionary& attributes)
{
    CharState state;
    const AttributeValue* fontValue = attributes.find(kFontAttributeName);
    const Font font = fontValue && fontValue->font()
                          ? *fontValue->font()
                          : Font{QStringLiteral("Helvetica"), QStringLiteral("Helvetica")};
    state.font = fontIndex(font);
    state.fontSize =
        std::isfinite(font.pointSize) ? int(std::clamp(std::lround(font.pointSize * 2.0), 1L, 32767L)) : 24;
    state.bold = font.bold;
    state.italic = font.italic;
    if (const AttributeValue* value = attributes.find(kForegroundColorAttributeName); value && value->color())
        state.foreground = colorIndex(*value->color());
    if (const AttributeValue* value = attributes.find(kBackgroundColorAttributeName); value && value->color())
        state.background = colorIndex(*value->color());
    if (const AttributeValue* value = attributes.find(kUnderlineStyleAttributeName))
        state.underline = int(value->integer());
    if (const AttributeValue* value = attributes.find(kStrikethroughStyleAttributeName))
        state.strikethrough = int(value->integer());
    if (const AttributeValue* value = attributes.find(kUnderlineColorAttributeName); value && value->color())
        state.underlineColor = colorIndex(*value->color());
    if (const AttributeValue* value = attributes.find(kStrikethroughColorAttributeName);
        value && value->color())
        state.strikethroughColor = colorIndex(*value->color());
    if (const AttributeValue* value = attributes.find(kSuperscriptAttributeName))
        state.superscript = value->integer() > 0 ? 1 : value->integer() < 0 ? -1 : 0;
    if (const AttributeValue* value = attributes.find(kBaselineOffsetAttributeName))
        state.baseline = std::lround(value->number().value_or(0) * 2.0);
    if (const AttributeValue* value = attributes.find(kKernAttributeName))
        state.kern = twips(value->number().value_or(0));
    if (const AttributeValue* value = attributes.find(kShadowAttributeName); value && value->shadow()) {
        const Shadow& shadow = *value->shadow();
        state.shadow = true;
        state.shadowX = twips(shadow.offsetWidth);
        state.shadowY = -twips(shadow.offsetHeight);
        state.shadowRadius = twips(shadow.blurRadius);
        state.shadowColor = shadow.color ? colorIndex(*shadow.color) : 0;
    }
    return state;
}

int Writer::fontIndex(const Font& font)
{
    const QString name = !font.fontName.isEmpty()     ? font.fontName
                         : !font.familyName.isEmpty() ? font.familyName
                                                      : QStringLiteral("Helvetica");
    const auto it = m_fontIndexes.constFind(name);
    if (it != m_fontIndexes.constEnd())
        return it.value();
    const int index = int(m_fonts.size());
    m_fonts.push_back({name, font.fixedPitch});
    m_fontIndexes.insert(name, index);
    return index;
}

int Writer::colorIndex(const Color& given)
{
    // Components that are not numbers would break the ordering of the index; write them as 0.
    Color color = given;
    for (double* component : {&color.red, &color.green, &color.blue, &color.alpha}) {
        if (!std::isfinite(*component))
            *component = 0;
    }
    const auto key = std::make_tuple(int(color.space), color.red, color.green, color.blue, color.alpha);
    const auto it = m_colorIndexes.find(key);
    if (it != m_colorIndexes.end())
        return it->second;
    // Index 1 is the platform's fixed white entry; colours of the text start at 2.
    const int index = int(m_colors.size()) + 2;
    m_colors.push_back(color);
    m_colorIndexes.emplace(key, index);
    return index;
}

void Writer::writeStateChange(const CharState& to)
{
    std::string& out = m_body;
    const size_t before = out.size();
    CharState& from = m_state;
    if (to.font != from.font)
        word(out, "f", to.font);
    if (to.bold != from.bold)
        out += to.bold ? "\\b" : "\\b0";
    if (to.italic != from.italic)
        out += to.italic ? "\\i" : "\\i0";
    if (to.fontSize != from.fontSize)
        word(out, "fs", to.fontSize);
    if (to.foreground != from.foreground)
        word(out, "cf", to.foreground);
    if (to.background != from.background) {
        // The platform reads \cb; LibreOffice and Word ignore it and take the character shading.
        word(out, "cb", to.background);
        word(out, "chcbpat", to.background);
    }
    if (to.underline != from.underline) {
        switch (to.underline) {
        case 0:
            out += "\\ulnone";
            break;
        case 2:
            out += "\\ulth";
            break;
        case 9:
            out += "\\uldb";
            break;
        default:
            out += "\\ul";
            break;
        }
    }
    if (to.underlineColor != from.underlineColor)
        word(out, "ulc", to.underlineColor);
    if (to.strikethroughColor != from.strikethroughColor)
        word(out, "strikec", to.strikethroughColor);
    if (to.strikethrough != from.strikethrough)
        out += to.strikethrough == 0 ? "\\strike0" : to.strikethrough == 9 ? "\\striked1" : "\\strike";
    if (to.superscript != from.superscript)
        out += to.superscript > 0 ? "\\super" : to.superscript < 0 ? "\\sub" : "\\nosupersub";
    if (to.baseline != from.baseline) {
        if (to.baseline >= 0)
            word(out, "up", to.baseline);
        else
            word(out, "dn", -to.baseline);
    }
    if (to.kern != from.kern) {
        word(out, "expnd", to.kern / 5);
        word(out, "expndtw", to.kern);
    }
    if (to.shadow != from.shadow || to.shadowX != from.shadowX || to.shadowY != from.shadowY ||
        to.shadowRadius != from.shadowRadius || to.shadowColor != from.shadowColor) {
        if (to.shadow) {
            out += "\\shad";
            word(out, "shadx", to.shadowX);
            word(out, "shady", to.shadowY);
            word(out, "shadr", to.shadowRadius);
            word(out, "shadc", to.shadowColor);
        } else {
            out += "\\shad0";
        }
    }
    from = to;
    if (out.size() != before)
        m_afterWord = true;
}

void Writer::writeSegment(QStringView text, const AttributeDictionary& attributes)
{
    const CharState state = stateFor(attributes);
    writeStateChange(state);
    if (text.size() == 1 && text.front() == QChar(kAttachmentCharacter) &&
        attributes.contains(kAttachmentAttributeName)) {
        writeAttachment(attributes);
        return;
    }
    const AttributeValue* link = attributes.find(kLinkAttributeName);
    const QString address = link ? link->url().toString() : QString();
    if (address.isEmpty()) {
        writeText(text, m_body);
        return;
    }
    // A link is a field whose result is the text; the paragraph mark stays outside it.
    QStringView body = text;
    QStringView mark;
    if (body.endsWith(u'\n') || body.endsWith(QChar(0x2029))) {
        mark = body.last(1);
        body.chop(1);
    }
    if (!body.isEmpty()) {
        const bool skipZero = m_unicodeSkipZero;
        m_body += "{\\field{\\*\\fldinst{HYPERLINK \"";
        m_afterWord = false;
        writeText(address, m_body);
        m_body += "\"}}{\\fldrslt ";
        m_afterWord = false;
        writeText(body, m_body);
        m_body += "}}";
        m_afterWord = false;
        m_unicodeSkipZero = skipZero;
    }
    writeText(mark, m_body);
}

void Writer::writeAttachment(const AttributeDictionary& attributes)
{
    const auto attachment = attributes.find(kAttachmentAttributeName)->attachment();
    if (!m_directory || !attachment || !attachment->fileWrapper())
        return;
    const FileWrapper& wrapper = *attachment->fileWrapper();
    QString name = wrapper.preferredFilename().isEmpty() ? wrapper.filename() : wrapper.preferredFilename();
    name = sanitizedFileName(name);
    QString key;
    if (wrapper.isRegularFile()) {
        key = m_writtenFiles.value(wrapper.regularFileContents());
        if (key.isEmpty()) {
            key = m_directory->addRegularFile(wrapper.regularFileContents(), name);
            if (!key.isEmpty())
                m_writtenFiles.insert(wrapper.regularFileContents(), key);
        }
    } else {
        key = m_directory->addFileWrapper(attachment->fileWrapper());
    }
    if (key.isEmpty())
        return;
    std::string& out = m_body;
    const bool skipZero = m_unicodeSkipZero;
    out += "{{\\NeXTGraphic ";
    m_afterWord = false;
    writeText(key, out);
    out += ' ';
    const QRectF bounds = attachment->bounds();
    if (!bounds.isEmpty()) {
        word(out, "width", twips(bounds.width()));
        out += ' ';
        word(out, "height", twips(bounds.height()));
        out += ' ';
    }
    out += "\\appleattachmentpadding0 \\appleembedtype0 \\appleaqc\n}";
    out += kAttachmentMark;
    out += '}';
    m_afterWord = false;
    m_unicodeSkipZero = skipZero;
}

// Characters RTF takes as they are.
bool isPlain(char16_t c)
{
    return c >= 0x20 && c < 0x7F && c != u'\\' && c != u'{' && c != u'}';
}

void Writer::writeText(QStringView text, std::string& out)
{
    const char16_t* at = text.utf16();
    const char16_t* const end = at + text.size();
    while (at != end) {
        const char16_t c = *at;
        if (isPlain(c)) {
            if (m_afterWord) {
                out += ' ';
                m_afterWord = false;
            }
            // A script is mostly plain characters: each stretch of them is copied at once.
            const char16_t* stretchEnd = at + 1;
            while (stretchEnd != end && isPlain(*stretchEnd))
                ++stretchEnd;
            const size_t written = out.size();
            out.resize(written + size_t(stretchEnd - at));
            std::copy(at, stretchEnd, out.data() + written);
            at = stretchEnd;
            continue;
        }
        ++at;
        switch (c) {
        case u'\\':
        case u'{':
        case u'}':
            out += '\\';
            out += char(c);
            m_afterWord = false;
            continue;
        case u'\n':
        case 0x2029:
            out += "\\\n";
            m_afterWord = false;
            continue;
        case u'\t':
            out += "\\tab";
            m_afterWord = true;
            continue;
        case 0x2028:
            out += "\\line";
            m_afterWord = true;
            continue;
        default:
            break;
        }
        if (!m_unicodeSkipZero) {
            out += "\\uc0";
            m_unicodeSkipZero = true;
        }
        word(out, "u", long(c));
        m_afterWord = true;
    }
}

} // namespace

QByteArray RtfWriter::write(const AttributedString& text, const DocumentAttributes& documentAttributes)
{
    return Writer(text, documentAttributes, nullptr).run();
}

QByteArray RtfWriter::write(const AttributedString& text, const DocumentAttributes& documentAttributes,
                            FileWrapper& directory)
{
    return Writer(text, documentAttributes, &directory).run();
}
