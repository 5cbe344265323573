#include "platform/text/RtfReader.h"

#include "platform/foundation/FileWrapper.h"
#include "platform/text/AttributeNames.h"
#include "platform/text/CodePages.h"
#include "platform/text/MutableAttributedString.h"
#include "platform/text/RtfControlWords.h"
#include "platform/text/RtfTokenizer.h"
#include "platform/text/TextAttachment.h"

#include <QDateTime>
#include <QSizeF>
#include <QTimeZone>

#include <algorithm>
#include <cmath>
#include <limits>
#include <string_view>
#include <unordered_map>

namespace {

using Kind = RtfTokenizer::Kind;
using Token = RtfTokenizer::Token;
using RtfControlWords::id;

// Groups nested deeper than this are read as part of their ancestor at this depth: the state stack
// stays small however deep a hostile file nests.
constexpr qsizetype kMaxGroupDepth = 256;
constexpr int kDefaultFontSize = 24; // half points
constexpr int kDefaultCodePage = 1252;

enum class Destination : quint8 {
    Text,
    Skip,
    FontTable,
    ColorTable,
    ExpandedColorTable,
    Info,
    InfoField,
    InfoTime,
    Picture,
    NeXTGraphic,
    Background,
    ShapePropertyName,
    ShapePropertyValue,
    FieldInstruction,
};

struct CharFormat {
    int font = -1;
    int fontSize = kDefaultFontSize;
    bool bold = false;
    bool italic = false;
    bool shadow = false;
    qint8 underline = 0;
    qint8 strikethrough = 0;
    qint8 superscript = 0;
    int foreground = 0; // colour-table index; 0 is the default colour
    int background = 0;
    int baseline = 0; // half points, upward
    int kern = 0;     // twips
    int shadowX = 0;  // twips
    int shadowY = 0;
    int shadowRadius = 0;
    int shadowColor = 0;
    int underlineColor = 0;
    int strikethroughColor = 0;
    int link = -1; // index into the links found in fields

    bool operator==(const CharFormat&) const = default;
};

struct ParaFormat {
    ParagraphStyle style;
    int leftIndent = 0; // twips
    int firstIndent = 0;
    int rightIndent = 0;
    int lineSpacingRule = 0; // \sl
    bool lineSpacingMultiple = false;
    bool tabsGiven = false; // the first stop given replaces the default stops
    TextTabType nextTabType = TextTabType::Left;

    ParagraphStyle resolved() const
    {
        ParagraphStyle result = style;
        result.headIndent = leftIndent / 20.0;
        result.firstLineHeadIndent = (qint64(leftIndent) + firstIndent) / 20.0;
        result.tailIndent = rightIndent ? -rightIndent / 20.0 : 0.0;
        if (lineSpacingRule > 0 && lineSpacingMultiple)
            result.lineHeightMultiple = lineSpacingRule / 240.0;
        else if (lineSpacingRule > 0)
            result.minimumLineHeight = lineSpacingRule / 20.0;
        else if (lineSpacingRule < 0 && lineSpacingRule != std::numeric_limits<int>::min())
            result.minimumLineHeight = result.maximumLineHeight = -lineSpacingRule / 20.0;
        return result;
    }
};

enum class InfoKey : quint8 {
    None,
    Title,
    Author,
    Editor,
    Company,
    Copyright,
    Subject,
    Keywords,
    Comment,
    Created,
    Revised
};

struct GroupState {
    CharFormat chars;
    ParaFormat para;
    Destination destination = Destination::Text;
    InfoKey infoKey = InfoKey::None;
    // True in the group that started its destination (not in groups nested inside it).
    bool ownsDestination = false;
    int unicodeSkip = 1;
};

struct FontEntry {
    QString name;
    int codePage = 0;
    bool fixedPitch = false;
};

struct ColorEntry {
    bool isDefault = true;
    int red = 0;
    int green = 0;
    int blue = 0;
};

struct CharFormatHash {
    size_t operator()(const CharFormat& f) const noexcept
    {
        size_t h = 0;
        for (const long long v :
             {(long long)f.font, (long long)f.fontSize, (long long)f.bold, (long long)f.italic,
              (long long)f.shadow, (long long)f.underline, (long long)f.strikethrough,
              (long long)f.superscript, (long long)f.foreground, (long long)f.background,
              (long long)f.baseline, (long long)f.kern, (long long)f.shadowX, (long long)f.shadowY,
              (long long)f.shadowRadius, (long long)f.shadowColor, (long long)f.link,
              (long long)f.underlineColor, (long long)f.strikethroughColor})
            h = h * 1000003u ^ std::hash<long long>()(v);
        return h;
    }
};

struct ParagraphStyleHash {
    size_t operator()(const ParagraphStyle& s) const noexcept
    {
        size_t h = std::hash<int>()(int(s.alignment)) ^ size_t(s.baseWritingDirection) << 8 ^
                   size_t(s.lineBreakMode) << 16;
        for (const double v : {s.firstLineHeadIndent, s.headIndent, s.tailIndent, s.lineSpacing,
                               s.paragraphSpacing, s.paragraphSpacingBefore, s.lineHeightMultiple,
                               s.minimumLineHeight, s.maximumLineHeight, s.defaultTabInterval})
            h = h * 1000003u ^ std::hash<double>()(v);
        for (const TextTab& tab : s.tabStops)
            h = h * 1000003u ^ std::hash<double>()(tab.location) ^ size_t(tab.type);
        return h;
    }
};

struct CharRun {
    qsizetype start = 0;
    int format = 0; // index into the distinct formats met so far
    int attachment = -1;
};

struct ParagraphRun {
    qsizetype start = 0;
    ParagraphStyle style;
};

struct PendingTime {
    int year = 0, month = 1, day = 1, hour = 0, minute = 0, second = 0;
};

QString fontFamily(const QString& fontName)
{
    // Font tables of the platform hold PostScript names ("Helvetica-Bold"); the family is the part
    // before the style suffix.
    const qsizetype dash = fontName.indexOf(u'-');
    return dash > 0 ? fontName.left(dash) : fontName;
}

class Parser {
public:
    Parser(QByteArrayView input, const FileWrapper* directory) : m_tokenizer(input), m_directory(directory)
    {
        // The text never holds more units than the data has bytes: it is allocated once, and what
        // it leaves unused is given back when reading ends.
        m_text.reserve(input.size());
    }

    RtfReader::Result run();

private:
    GroupState& state() { return m_stack.back(); }

    void handle(const Token& token);
    void groupStart();
    void groupEnd();
    void finishDestination(const GroupState& closing);
    // Control words come as their numbers in RtfControlWords.
    void controlWord(int word, bool hasParameter, int parameter);
    bool destinationWord(int word);
    bool characterWord(int word, bool hasParameter, int parameter);
    bool paragraphWord(int word, bool hasParameter, int parameter);
    bool documentWord(int word, int parameter);
    void controlSymbol(char symbol);

    void startDestination(Destination destination, InfoKey key = InfoKey::None);
    void textBytes(std::string_view bytes);
    void flushPendingBytes();
    void appendText(QStringView text);
    void appendToDocument(QStringView text);
    void startRunIfFormatChanged();
    void appendCharacter(char16_t c);
    void endParagraph();
    void addAttachment(std::shared_ptr<TextAttachment> attachment);
    void commitFontEntry();
    void commitColorEntry();
    void commitExpandedColorEntry();
    void finishPicture();
    void finishNeXTGraphic();
    int currentCodePage();
    int formatId(const CharFormat& format);

    // The attribute runs of the text read, from its character and paragraph runs.
    std::vector<RtfReader::Run> attributeRuns(qsizetype length);
    AttributeDictionary attributesFor(const CharFormat& format, int attachment);
    std::optional<Color> colorAt(int index) const;

    RtfTokenizer m_tokenizer;
    const FileWrapper* m_directory;
    std::vector<GroupState> m_stack;
    qsizetype m_skipNesting = 0;     // groups open inside a skipped destination
    qsizetype m_overflowNesting = 0; // groups open beyond the depth limit
    bool m_groupJustOpened = false;
    bool m_ignorableNext = false;
    int m_unicodeSkipLeft = 0;
    bool m_done = false;

    int m_codePage = kDefaultCodePage;
    int m_defaultFont = -1;
    int m_codePageFont = -1; // the font whose code page m_fontCodePage holds (0: none of its own)
    int m_fontCodePage = 0;
    std::string m_pendingBytes;
    int m_pendingCodePage = 0;

    QString m_text;
    QString m_scratch; // reused for decoding, so plain text costs no allocation per token
    std::vector<CharRun> m_runs;
    std::vector<CharFormat> m_formats;
    std::unordered_map<CharFormat, int, CharFormatHash> m_formatIds;
    std::vector<ParagraphRun> m_paragraphs;
    qsizetype m_paragraphStart = 0;
    bool m_swallowAttachmentMark = false;
    // Set wherever the character format can change (a formatting word, a group's end), so that
    // text between two changes is not compared with the last run's format piece by piece.
    bool m_formatMayHaveChanged = true;

    std::unordered_map<int, FontEntry> m_fonts;
    int m_fontNumber = -1;
    int m_fontCharset = -1;
    bool m_fontFixedPitch = false;
    bool m_fontOpen = false;

    std::vector<ColorEntry> m_colors;
    ColorEntry m_colorEntry;
    std::vector<std::optional<Color>> m_expandedColors;
    std::vector<int> m_expandedComponents;
    bool m_expandedGray = false;

    // Text of the destination being read (font name, info field, file name, field instruction).
    QString m_destinationText;
    PendingTime m_time;

    QByteArray m_pictureData;
    bool m_pictureHighNibble = true;
    QString m_pictureType;
    int m_pictureWidthGoal = 0, m_pictureHeightGoal = 0, m_pictureWidth = 0, m_pictureHeight = 0;
    int m_pictureScaleX = 100, m_pictureScaleY = 100;
    int m_graphicWidth = 0, m_graphicHeight = 0;
    std::vector<std::shared_ptr<TextAttachment>> m_attachments;

    QString m_shapePropertyName;
    std::optional<Color> m_backgroundColor;

    QStringList m_links;
    int m_pendingLink = -1;

    DocumentAttributes m_documentAttributes;
};

RtfReader::Result Parser::run()
{
    m_stack.reserve(64);
    for (Token token = m_tokenizer.next(); token.kind != Kind::End && !m_done; token = m_tokenizer.next())
        handle(token);
    flushPendingBytes();
    // Data cut short leaves groups open: finish what they were reading, as their ends would have.
    m_skipNesting = 0;
    m_overflowNesting = 0;
    while (m_stack.size() > 1) {
        const GroupState closing = std::move(m_stack.back());
        m_stack.pop_back();
        m_formatMayHaveChanged = true;
        if (closing.ownsDestination)
            finishDestination(closing);
    }
    if (m_paragraphStart < m_text.size()) {
        // The last paragraph has no paragraph mark of its own.
        const ParagraphStyle style = m_stack.empty() ? ParagraphStyle() : state().para.resolved();
        if (m_paragraphs.empty() || !(m_paragraphs.back().style == style))
            m_paragraphs.push_back({m_paragraphStart, style});
    }

    RtfReader::Result result;
    m_text.squeeze();
    result.text = std::move(m_text);
    result.runs = attributeRuns(result.text.size());

    if (m_backgroundColor)
        m_documentAttributes.insert(NSBackgroundColorDocumentAttribute,
                                    QVariant::fromValue(*m_backgroundColor));
    m_documentAttributes.insert(NSDocumentTypeDocumentAttribute, NSRTFTextDocumentType);
    result.documentAttributes = std::move(m_documentAttributes);
    return result;
}

std::vector<RtfReader::Run> Parser::attributeRuns(qsizetype length)
{
    // One dictionary per distinct character format, and one per distinct pair of format and
    // paragraph style, shared by every run that has it: runs stay cheap to hold, compare and merge.
    std::vector<AttributeDictionary> formats;
    formats.reserve(m_formats.size());
    for (const CharFormat& format : m_formats)
        formats.push_back(attributesFor(format, -1));
    std::vector<int> formatIds;
    formatIds.reserve(m_runs.size());
    for (const CharRun& run : m_runs) {
        if (run.attachment >= 0) {
            formatIds.push_back(int(formats.size()));
            formats.push_back(attributesFor(m_formats[size_t(run.format)], run.attachment));
        } else {
            formatIds.push_back(run.format);
        }
    }
    std::vector<int> styleIds;
    {
        std::unordered_map<ParagraphStyle, int, ParagraphStyleHash> ids;
        styleIds.reserve(m_paragraphs.size());
        for (const ParagraphRun& run : m_paragraphs)
            styleIds.push_back(ids.try_emplace(run.style, int(ids.size())).first->second);
    }
    std::unordered_map<quint64, AttributeDictionary> combined;
    std::vector<RtfReader::Run> runs;
    runs.reserve(m_runs.size() + m_paragraphs.size());
    size_t c = 0;
    size_t p = 0;
    qsizetype position = 0;
    while (position < length) {
        while (c + 1 < m_runs.size() && m_runs[c + 1].start <= position)
            ++c;
        while (p + 1 < m_paragraphs.size() && m_paragraphs[p + 1].start <= position)
            ++p;
        const int formatId = c < formatIds.size() ? formatIds[c] : -1;
        const int styleId = p < styleIds.size() ? styleIds[p] : -1;
        const quint64 key = quint64(quint32(formatId + 1)) << 32 | quint32(styleId + 1);
        auto cached = combined.find(key);
        if (cached == combined.end()) {
            AttributeDictionary attributes =
                formatId >= 0 ? formats[size_t(formatId)] : AttributeDictionary();
            if (p < m_paragraphs.size())
                attributes.insert(kParagraphStyleAttributeName, m_paragraphs[p].style);
            cached = combined.emplace(key, std::move(attributes)).first;
        }
        const AttributeDictionary& attributes = cached->second;
        if (runs.empty() || !(runs.back().attributes == attributes))
            runs.push_back({position, attributes});
        qsizetype next = length;
        if (c + 1 < m_runs.size())
            next = std::min(next, m_runs[c + 1].start);
        if (p + 1 < m_paragraphs.size())
            next = std::min(next, m_paragraphs[p + 1].start);
        position = std::max(next, position + 1);
    }
    return runs;
}

void Parser::handle(const Token& token)
{
    if (token.kind != Kind::Text && token.kind != Kind::HexByte)
        flushPendingBytes();

    if (m_skipNesting > 0 || (!m_stack.empty() && state().destination == Destination::Skip)) {
        if (token.kind == Kind::GroupStart)
            ++m_skipNesting;
        else if (token.kind == Kind::GroupEnd)
            m_skipNesting > 0 ? void(--m_skipNesting) : groupEnd();
        return;
    }

    if (token.kind == Kind::GroupStart) {
        groupStart();
        return;
    }
    if (token.kind == Kind::GroupEnd) {
        groupEnd();
        return;
    }
    if (m_stack.empty()) {
        // Text outside the outermost group is not part of the document.
        return;
    }

    const bool wasJustOpened = m_groupJustOpened;
    m_groupJustOpened = false;

    if (m_unicodeSkipLeft > 0) {
        // Characters that stand in for a \u character for readers that do not know it.
        if (token.kind == Kind::Text) {
            const size_t skipped = std::min(token.name.size(), size_t(m_unicodeSkipLeft));
            m_unicodeSkipLeft -= int(skipped);
            if (skipped < token.name.size())
                textBytes(token.name.substr(skipped));
            return;
        }
        if (token.kind == Kind::HexByte || token.kind == Kind::Binary || token.kind == Kind::ControlSymbol) {
            --m_unicodeSkipLeft;
            return;
        }
        if (token.kind == Kind::ControlWord && token.name != "u") {
            --m_unicodeSkipLeft;
            return;
        }
        m_unicodeSkipLeft = 0;
    }

    switch (token.kind) {
    case Kind::Text:
        textBytes(token.name);
        break;
    case Kind::HexByte: {
        const char byte = char(token.byte);
        textBytes(std::string_view(&byte, 1));
        break;
    }
    case Kind::Binary:
        if (state().destination == Destination::Picture)
            m_pictureData.append(token.name.data(), qsizetype(token.name.size()));
        break;
    case Kind::ControlSymbol:
        if (token.name[0] == '*') {
            m_ignorableNext = true;
            m_groupJustOpened = wasJustOpened;
            return;
        }
        controlSymbol(token.name[0]);
        break;
    case Kind::ControlWord: {
        const int word = RtfControlWords::lookup(token.name);
        if (wasJustOpened && destinationWord(word)) {
            m_ignorableNext = false;
            return;
        }
        if (m_ignorableNext && wasJustOpened && state().destination != Destination::Background) {
            // An ignorable destination we do not know: skip it whole.
            startDestination(Destination::Skip);
            m_ignorableNext = false;
            return;
        }
        m_ignorableNext = false;
        controlWord(word, token.hasParameter, token.parameter);
        break;
    }
    default:
        break;
    }
}

void Parser::groupStart()
{
    m_unicodeSkipLeft = 0;
    m_ignorableNext = false;
    if (m_stack.size() >= size_t(kMaxGroupDepth)) {
        ++m_overflowNesting;
        return;
    }
    if (m_stack.empty()) {
        m_stack.emplace_back();
    } else {
        GroupState inner = state();
        inner.ownsDestination = false;
        m_stack.push_back(std::move(inner));
    }
    m_groupJustOpened = true;
}

void Parser::groupEnd()
{
    m_unicodeSkipLeft = 0;
    m_ignorableNext = false;
    m_groupJustOpened = false;
    if (m_overflowNesting > 0) {
        --m_overflowNesting;
        return;
    }
    if (m_stack.empty()) {
        m_done = true;
        return;
    }
    if (m_stack.size() == 1) {
        // The document's own group closes: whatever follows is not part of it.
        m_done = true;
        return;
    }
    const GroupState closing = std::move(m_stack.back());
    m_stack.pop_back();
    m_formatMayHaveChanged = true;
    if (closing.ownsDestination)
        finishDestination(closing);
}

void Parser::startDestination(Destination destination, InfoKey key)
{
    state().destination = destination;
    state().infoKey = key;
    state().ownsDestination = true;
    // Skipped groups may sit inside a font name ({\*\falt ...}): only readers of text start afresh.
    if (destination != Destination::Skip)
        m_destinationText.clear();
}

void Parser::finishDestination(const GroupState& closing)
{
    switch (closing.destination) {
    case Destination::FontTable:
        commitFontEntry();
        break;
    case Destination::InfoField: {
        const QString value = m_destinationText.trimmed();
        m_destinationText.clear();
        static const std::pair<InfoKey, const QString*> kKeys[] = {
            {InfoKey::Title, &NSTitleDocumentAttribute},
            {InfoKey::Author, &NSAuthorDocumentAttribute},
            {InfoKey::Editor, &NSEditorDocumentAttribute},
            {InfoKey::Company, &NSCompanyDocumentAttribute},
            {InfoKey::Copyright, &NSCopyrightDocumentAttribute},
            {InfoKey::Subject, &NSSubjectDocumentAttribute},
            {InfoKey::Comment, &NSCommentDocumentAttribute},
        };
        if (closing.infoKey == InfoKey::Keywords) {
            QStringList keywords;
            for (const QString& part : value.split(u',', Qt::SkipEmptyParts)) {
                if (!part.trimmed().isEmpty())
                    keywords.append(part.trimmed());
            }
            m_documentAttributes.insert(NSKeywordsDocumentAttribute, keywords);
            break;
        }
        for (const auto& [key, name] : kKeys) {
            if (key == closing.infoKey)
                m_documentAttributes.insert(*name, value);
        }
        break;
    }
    case Destination::InfoTime: {
        const QDate date(m_time.year, m_time.month, m_time.day);
        const QTime time(m_time.hour, m_time.minute, m_time.second);
        if (date.isValid()) {
            const QDateTime stamp(date, time.isValid() ? time : QTime(0, 0));
            m_documentAttributes.insert(closing.infoKey == InfoKey::Created
                                            ? NSCreationTimeDocumentAttribute
                                            : NSModificationTimeDocumentAttribute,
                                        stamp.toUTC());
        }
        break;
    }
    case Destination::Picture:
        finishPicture();
        break;
    case Destination::NeXTGraphic:
        finishNeXTGraphic();
        break;
    case Destination::ShapePropertyName:
        m_shapePropertyName = m_destinationText.trimmed();
        m_destinationText.clear();
        break;
    case Destination::ShapePropertyValue:
        if (m_shapePropertyName == u"fillColor") {
            bool ok = false;
            const qint64 value = m_destinationText.trimmed().toLongLong(&ok);
            if (ok && value >= 0 && value <= 0xFFFFFF)
                m_backgroundColor =
                    Color::fromRgb8(int(value & 0xFF), int((value >> 8) & 0xFF), int(value >> 16));
        }
        m_destinationText.clear();
        break;
    case Destination::FieldInstruction: {
        // HYPERLINK "address" with switches; the address is the first quoted or bare word after it.
        const QString instruction = m_destinationText.trimmed();
        m_destinationText.clear();
        if (!instruction.startsWith(u"HYPERLINK", Qt::CaseInsensitive))
            break;
        QString rest = instruction.mid(9).trimmed();
        while (rest.startsWith(u'\\')) {
            const qsizetype space = rest.indexOf(u' ');
            rest = space < 0 ? QString() : rest.mid(space + 1).trimmed();
        }
        QString address;
        if (rest.startsWith(u'"')) {
            const qsizetype close = rest.indexOf(u'"', 1);
            address = rest.mid(1, close < 0 ? -1 : close - 1);
        } else {
            address = rest.section(u' ', 0, 0);
        }
        if (!address.isEmpty()) {
            m_links.append(address);
            m_pendingLink = int(m_links.size() - 1);
        }
        break;
    }
    default:
        break;
    }
}

bool Parser::destinationWord(int word)
{
    const Destination current = state().destination;
    if (current == Destination::Info) {
        switch (word) {
        case id("title"):
            startDestination(Destination::InfoField, InfoKey::Title);
            break;
        case id("author"):
            startDestination(Destination::InfoField, InfoKey::Author);
            break;
        case id("operator"):
            startDestination(Destination::InfoField, InfoKey::Editor);
            break;
        case id("company"):
            startDestination(Destination::InfoField, InfoKey::Company);
            break;
        case id("copyright"):
            startDestination(Destination::InfoField, InfoKey::Copyright);
            break;
        case id("subject"):
            startDestination(Destination::InfoField, InfoKey::Subject);
            break;
        case id("keywords"):
            startDestination(Destination::InfoField, InfoKey::Keywords);
            break;
        case id("doccomm"):
            startDestination(Destination::InfoField, InfoKey::Comment);
            break;
        case id("creatim"):
        case id("revtim"):
            startDestination(Destination::InfoTime,
                             word == id("creatim") ? InfoKey::Created : InfoKey::Revised);
            m_time = {};
            break;
        default:
            startDestination(Destination::Skip);
            break;
        }
        return true;
    }
    if (current == Destination::Background) {
        if (word == id("sn")) {
            startDestination(Destination::ShapePropertyName);
            return true;
        }
        if (word == id("sv")) {
            startDestination(Destination::ShapePropertyValue);
            return true;
        }
        return false;
    }
    switch (word) {
    case id("fonttbl"):
        startDestination(Destination::FontTable);
        m_fontOpen = false;
        return true;
    case id("colortbl"):
        startDestination(Destination::ColorTable);
        m_colors.clear();
        m_colorEntry = {};
        return true;
    case id("expandedcolortbl"):
        startDestination(Destination::ExpandedColorTable);
        m_expandedColors.clear();
        m_expandedComponents.clear();
        m_expandedGray = false;
        return true;
    case id("info"):
        startDestination(Destination::Info);
        return true;
    case id("pict"):
        startDestination(Destination::Picture);
        m_pictureData.clear();
        m_pictureHighNibble = true;
        m_pictureType.clear();
        m_pictureWidthGoal = m_pictureHeightGoal = m_pictureWidth = m_pictureHeight = 0;
        m_pictureScaleX = m_pictureScaleY = 100;
        return true;
    case id("NeXTGraphic"):
        startDestination(Destination::NeXTGraphic);
        m_graphicWidth = m_graphicHeight = 0;
        return true;
    case id("background"):
        startDestination(Destination::Background);
        m_shapePropertyName.clear();
        return true;
    case id("fldinst"):
        startDestination(Destination::FieldInstruction);
        return true;
    case id("fldrslt"):
        state().chars.link = m_pendingLink;
        m_formatMayHaveChanged = true;
        m_pendingLink = -1;
        return true;
    case id("field"):
        // A container whose content is read as it stands.
        m_pendingLink = -1;
        return true;
    case id("shppict"):
        return true;
    case id("stylesheet"):
    case id("header"):
    case id("headerl"):
    case id("headerr"):
    case id("headerf"):
    case id("footer"):
    case id("footerl"):
    case id("footerr"):
    case id("footerf"):
    case id("footnote"):
    case id("annotation"):
    case id("nonshppict"):
    case id("pn"):
    case id("listtable"):
    case id("listoverridetable"):
    case id("revtbl"):
    case id("rsidtbl"):
    case id("generator"):
    case id("xmlnstbl"):
    case id("themedata"):
    case id("colorschememapping"):
    case id("latentstyles"):
    case id("datastore"):
    case id("pgdsctbl"):
    case id("object"):
    case id("private"):
    case id("template"):
    case id("xe"):
    case id("tc"):
    case id("txe"):
    case id("atnid"):
    case id("atnauthor"):
    case id("bkmkstart"):
    case id("bkmkend"):
    case id("fldtype"):
    case id("mmathPr"):
    case id("ftnsep"):
    case id("ftnsepc"):
    case id("aftnsep"):
    case id("aftnsepc"):
    case id("objdata"):
    case id("blipuid"):
    case id("picprop"):
    case id("userprops"):
    case id("docvar"):
    case id("shpinst"):
    case id("shp"):
        startDestination(Destination::Skip);
        return true;
    default:
        return false;
    }
}

void Parser::controlWord(int word, bool hasParameter, int parameter)
{
    if (word == id("u")) {
        if (parameter > 0xFFFF && parameter <= 0x10FFFF) {
            const char32_t c = char32_t(parameter);
            flushPendingBytes();
            appendText(QString::fromUcs4(&c, 1));
        } else {
            appendCharacter(char16_t(parameter < 0 ? parameter + 65536 : parameter));
        }
        m_unicodeSkipLeft = state().unicodeSkip;
        return;
    }
    if (word == id("uc")) {
        state().unicodeSkip = std::clamp(parameter, 0, 16);
        return;
    }
    if (word == 0)
        return;
    const Destination destination = state().destination;
    switch (destination) {
    case Destination::FontTable:
        switch (word) {
        case id("f"):
            commitFontEntry();
            m_fontNumber = parameter;
            m_fontCharset = -1;
            m_fontFixedPitch = false;
            m_fontOpen = true;
            break;
        case id("fcharset"):
            m_fontCharset = parameter;
            break;
        case id("fmodern"):
            m_fontFixedPitch = true;
            break;
        }
        return;
    case Destination::ColorTable:
        switch (word) {
        case id("red"):
            m_colorEntry.red = std::clamp(parameter, 0, 255), m_colorEntry.isDefault = false;
            break;
        case id("green"):
            m_colorEntry.green = std::clamp(parameter, 0, 255), m_colorEntry.isDefault = false;
            break;
        case id("blue"):
            m_colorEntry.blue = std::clamp(parameter, 0, 255), m_colorEntry.isDefault = false;
            break;
        }
        return;
    case Destination::ExpandedColorTable:
        switch (word) {
        case id("csgray"):
            m_expandedGray = true;
            break;
        case id("cssrgb"):
        case id("csgenericrgb"):
        case id("csdevicergb"):
            m_expandedGray = false;
            break;
        case id("c"):
            if (m_expandedComponents.size() < 8)
                m_expandedComponents.push_back(std::clamp(parameter, 0, 100000));
            break;
        }
        return;
    case Destination::InfoTime:
        switch (word) {
        case id("yr"):
            m_time.year = std::clamp(parameter, 0, 9999);
            break;
        case id("mo"):
            m_time.month = std::clamp(parameter, 1, 12);
            break;
        case id("dy"):
            m_time.day = std::clamp(parameter, 1, 31);
            break;
        case id("hr"):
            m_time.hour = std::clamp(parameter, 0, 23);
            break;
        case id("min"):
            m_time.minute = std::clamp(parameter, 0, 59);
            break;
        case id("sec"):
            m_time.second = std::clamp(parameter, 0, 59);
            break;
        }
        return;
    case Destination::Picture:
        switch (word) {
        case id("pngblip"):
            m_pictureType = QStringLiteral("png");
            break;
        case id("jpegblip"):
            m_pictureType = QStringLiteral("jpeg");
            break;
        case id("picwgoal"):
            m_pictureWidthGoal = parameter;
            break;
        case id("pichgoal"):
            m_pictureHeightGoal = parameter;
            break;
        case id("picw"):
            m_pictureWidth = parameter;
            break;
        case id("pich"):
            m_pictureHeight = parameter;
            break;
        case id("picscalex"):
            m_pictureScaleX = parameter;
            break;
        case id("picscaley"):
            m_pictureScaleY = parameter;
            break;
        }
        return;
    case Destination::NeXTGraphic:
        if (word == id("width"))
            m_graphicWidth = parameter;
        else if (word == id("height"))
            m_graphicHeight = parameter;
        return;
    default:
        break;
    }

    if (characterWord(word, hasParameter, parameter) || paragraphWord(word, hasParameter, parameter) ||
        documentWord(word, parameter))
        return;

    char16_t c = 0;
    switch (word) {
    case id("par"):
    case id("sect"):
    case id("row"):
        c = u'\n';
        break;
    case id("line"):
        c = 0x2028;
        break;
    case id("tab"):
    case id("cell"):
        c = u'\t';
        break;
    case id("page"):
        c = 0x000C;
        break;
    case id("emdash"):
        c = 0x2014;
        break;
    case id("endash"):
        c = 0x2013;
        break;
    case id("lquote"):
        c = 0x2018;
        break;
    case id("rquote"):
        c = 0x2019;
        break;
    case id("ldblquote"):
        c = 0x201C;
        break;
    case id("rdblquote"):
        c = 0x201D;
        break;
    case id("bullet"):
        c = 0x2022;
        break;
    case id("emspace"):
        c = 0x2003;
        break;
    case id("enspace"):
        c = 0x2002;
        break;
    case id("qmspace"):
        c = 0x2005;
        break;
    case id("zwj"):
        c = 0x200D;
        break;
    case id("zwnj"):
        c = 0x200C;
        break;
    case id("ltrmark"):
        c = 0x200E;
        break;
    case id("rtlmark"):
        c = 0x200F;
        break;
    default:
        return;
    }
    if (c == u'\n' && state().destination == Destination::Text)
        endParagraph();
    else
        appendCharacter(c);
}

bool Parser::characterWord(int word, bool hasParameter, int parameter)
{
    m_formatMayHaveChanged = true;
    CharFormat& f = state().chars;
    const bool on = !hasParameter || parameter != 0;
    switch (word) {
    case id("plain"): {
        const int link = f.link;
        f = CharFormat();
        f.font = m_defaultFont;
        f.link = link;
        break;
    }
    case id("f"):
        f.font = parameter;
        break;
    case id("fs"):
        f.fontSize = hasParameter && parameter > 0 ? std::min(parameter, 32767) : kDefaultFontSize;
        break;
    case id("b"):
        f.bold = on;
        break;
    case id("i"):
        f.italic = on;
        break;
    case id("ul"):
    case id("ulw"):
    case id("uld"):
    case id("uldash"):
    case id("uldashd"):
    case id("ulwave"):
    case id("ulhair"):
        f.underline = on ? qint8(kUnderlineStyleSingle) : qint8(0);
        break;
    case id("uldb"):
        f.underline = on ? qint8(kUnderlineStyleDouble) : qint8(0);
        break;
    case id("ulth"):
        f.underline = on ? qint8(kUnderlineStyleThick) : qint8(0);
        break;
    case id("ulnone"):
        f.underline = 0;
        break;
    case id("strike"):
        f.strikethrough = on ? qint8(kUnderlineStyleSingle) : qint8(0);
        break;
    case id("striked"):
        f.strikethrough = on ? qint8(kUnderlineStyleDouble) : qint8(0);
        break;
    case id("cf"):
        f.foreground = std::max(parameter, 0);
        break;
    case id("cb"):
    case id("highlight"):
    case id("chcbpat"):
        f.background = std::max(parameter, 0);
        break;
    case id("super"):
        f.superscript = on ? 1 : 0;
        break;
    case id("sub"):
        f.superscript = on ? -1 : 0;
        break;
    case id("nosupersub"):
        f.superscript = 0;
        break;
    case id("up"):
        f.baseline = hasParameter ? std::clamp(parameter, -32767, 32767) : 6;
        break;
    case id("dn"):
        f.baseline = -(hasParameter ? std::clamp(parameter, -32767, 32767) : 6);
        break;
    case id("expnd"):
        f.kern = std::clamp(parameter, -32767, 32767) * 5; // quarter points to twips
        break;
    case id("expndtw"):
        f.kern = std::clamp(parameter, -32767, 32767);
        break;
    case id("shad"):
        f.shadow = on;
        break;
    case id("shadx"):
        f.shadowX = std::clamp(parameter, -32767, 32767);
        break;
    case id("shady"):
        f.shadowY = std::clamp(parameter, -32767, 32767);
        break;
    case id("shadr"):
        f.shadowRadius = std::clamp(parameter, 0, 32767);
        break;
    case id("shadc"):
        f.shadowColor = std::max(parameter, 0);
        break;
    case id("ulc"):
        f.underlineColor = std::max(parameter, 0);
        break;
    case id("strikec"):
        f.strikethroughColor = std::max(parameter, 0);
        break;
    case id("kerning"):
    case id("outl"):
    case id("caps"):
    case id("scaps"):
    case id("v"):
        // Known, without an attribute of ours.
        break;
    default:
        return false;
    }
    return true;
}

bool Parser::paragraphWord(int word, bool hasParameter, int parameter)
{
    ParaFormat& p = state().para;
    const auto points = [&] { return std::clamp(parameter, -1000000, 1000000); };
    switch (word) {
    case id("pard"):
        p = ParaFormat();
        break;
    case id("ql"):
        p.style.alignment = TextAlignment::Left;
        break;
    case id("qr"):
        p.style.alignment = TextAlignment::Right;
        break;
    case id("qc"):
        p.style.alignment = TextAlignment::Center;
        break;
    case id("qj"):
        p.style.alignment = TextAlignment::Justified;
        break;
    case id("qnatural"):
        p.style.alignment = TextAlignment::Natural;
        break;
    case id("fi"):
        p.firstIndent = points();
        break;
    case id("li"):
        p.leftIndent = points();
        break;
    case id("ri"):
        p.rightIndent = points();
        break;
    case id("sb"):
        p.style.paragraphSpacingBefore = std::max(parameter, 0) / 20.0;
        break;
    case id("sa"):
        p.style.paragraphSpacing = std::max(parameter, 0) / 20.0;
        break;
    case id("sl"):
        p.lineSpacingRule = hasParameter ? points() : 0;
        break;
    case id("slmult"):
        p.lineSpacingMultiple = hasParameter && parameter != 0;
        break;
    case id("slleading"):
        p.style.lineSpacing = std::max(parameter, 0) / 20.0;
        break;
    case id("slminimum"):
        p.style.minimumLineHeight = std::max(parameter, 0) / 20.0;
        break;
    case id("slmaximum"):
        p.style.maximumLineHeight = std::max(parameter, 0) / 20.0;
        break;
    case id("tql"):
        p.nextTabType = TextTabType::Left;
        break;
    case id("tqr"):
        p.nextTabType = TextTabType::Right;
        break;
    case id("tqc"):
        p.nextTabType = TextTabType::Center;
        break;
    case id("tqdec"):
        p.nextTabType = TextTabType::Decimal;
        break;
    case id("tx"):
    case id("tb"):
        if (!p.tabsGiven) {
            p.style.tabStops.clear();
            p.tabsGiven = true;
        }
        // A hostile file could list millions of stops; no paragraph needs more than a few hundred.
        if (p.style.tabStops.size() < 256)
            p.style.tabStops.append(TextTab{p.nextTabType, std::max(parameter, 0) / 20.0});
        p.nextTabType = TextTabType::Left;
        break;
    case id("pardeftab"):
        p.style.defaultTabInterval = std::max(parameter, 0) / 20.0;
        break;
    case id("pardirnatural"):
        p.style.baseWritingDirection = WritingDirection::Natural;
        break;
    case id("ltrpar"):
        p.style.baseWritingDirection = WritingDirection::LeftToRight;
        break;
    case id("rtlpar"):
        p.style.baseWritingDirection = WritingDirection::RightToLeft;
        break;
    case id("partightenfactor"):
        // The platform's writer marks every paragraph with it; nothing of ours depends on it.
        break;
    default:
        return false;
    }
    return true;
}

bool Parser::documentWord(int word, int parameter)
{
    const auto twipsToPoints = [](int twips) { return std::max(twips, 0) / 20.0; };
    switch (word) {
    case id("ansicpg"):
        m_codePage = parameter;
        break;
    case id("mac"):
        m_codePage = CodePages::kMacRoman;
        break;
    case id("ansi"):
        m_codePage = kDefaultCodePage;
        break;
    case id("deff"):
        m_defaultFont = parameter;
        if (m_stack.size() == 1)
            state().chars.font = parameter;
        m_formatMayHaveChanged = true;
        break;
    case id("paperw"):
    case id("paperh"): {
        QSizeF size = m_documentAttributes.value(NSPaperSizeDocumentAttribute).toSizeF();
        (word == id("paperw") ? size.rwidth() : size.rheight()) = twipsToPoints(parameter);
        m_documentAttributes.insert(NSPaperSizeDocumentAttribute, size);
        break;
    }
    case id("vieww"):
    case id("viewh"): {
        QSizeF size = m_documentAttributes.value(NSViewSizeDocumentAttribute).toSizeF();
        (word == id("vieww") ? size.rwidth() : size.rheight()) = twipsToPoints(parameter);
        m_documentAttributes.insert(NSViewSizeDocumentAttribute, size);
        break;
    }
    case id("margl"):
        m_documentAttributes.insert(NSLeftMarginDocumentAttribute, twipsToPoints(parameter));
        break;
    case id("margr"):
        m_documentAttributes.insert(NSRightMarginDocumentAttribute, twipsToPoints(parameter));
        break;
    case id("margt"):
        m_documentAttributes.insert(NSTopMarginDocumentAttribute, twipsToPoints(parameter));
        break;
    case id("margb"):
        m_documentAttributes.insert(NSBottomMarginDocumentAttribute, twipsToPoints(parameter));
        break;
    case id("viewkind"):
        m_documentAttributes.insert(NSViewModeDocumentAttribute, std::clamp(parameter, 0, 5));
        break;
    case id("viewscale"):
        m_documentAttributes.insert(NSViewZoomDocumentAttribute, double(std::clamp(parameter, 1, 10000)));
        break;
    default:
        return false;
    }
    return true;
}

void Parser::controlSymbol(char symbol)
{
    switch (symbol) {
    case '\\':
    case '{':
    case '}':
        textBytes(std::string_view(&symbol, 1));
        break;
    case '~':
        appendCharacter(0x00A0);
        break;
    case '_':
        appendCharacter(0x2011);
        break;
    case '\n':
    case '\r':
        if (state().destination == Destination::Text)
            endParagraph();
        break;
    case '\t':
        appendCharacter(u'\t');
        break;
    default:
        // \- (optional hyphen), \| and \: (index marks) leave no character in the text.
        break;
    }
}

int Parser::currentCodePage()
{
    const int font = state().chars.font;
    if (font < 0 || state().destination != Destination::Text)
        return m_codePage;
    // Text comes in many small pieces in one font: the font is looked up once per change of font.
    if (font != m_codePageFont) {
        const auto it = m_fonts.find(font);
        m_fontCodePage = it != m_fonts.end() ? it->second.codePage : 0;
        m_codePageFont = font;
    }
    return m_fontCodePage != 0 ? m_fontCodePage : m_codePage;
}

void Parser::textBytes(std::string_view bytes)
{
    switch (state().destination) {
    case Destination::Picture:
        for (const char c : bytes) {
            int value;
            if (c >= '0' && c <= '9')
                value = c - '0';
            else if (c >= 'a' && c <= 'f')
                value = c - 'a' + 10;
            else if (c >= 'A' && c <= 'F')
                value = c - 'A' + 10;
            else
                continue;
            if (m_pictureHighNibble || m_pictureData.isEmpty()) {
                m_pictureData.append(char(value << 4));
                m_pictureHighNibble = false;
            } else {
                m_pictureData.back() = char(m_pictureData.back() | value);
                m_pictureHighNibble = true;
            }
        }
        return;
    case Destination::Skip:
    case Destination::Info:
    case Destination::InfoTime:
        return;
    default:
        break;
    }

    const int codePage = currentCodePage();
    if (CodePages::isDoubleByte(codePage)) {
        // The bytes of one character may come as separate \'hh escapes: decode them together.
        if (m_pendingCodePage != codePage)
            flushPendingBytes();
        m_pendingCodePage = codePage;
        m_pendingBytes.append(bytes);
        return;
    }
    flushPendingBytes();
    const bool ascii =
        std::all_of(bytes.begin(), bytes.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
    if (ascii && state().destination == Destination::Text && !m_swallowAttachmentMark && !bytes.empty()) {
        // Most of a script: plain letters straight into the text, without a decoded copy.
        startRunIfFormatChanged();
        m_text.append(QLatin1StringView(bytes.data(), qsizetype(bytes.size())));
        return;
    }
    // resize rather than clear: clear gives the buffer back, and text comes in many small pieces.
    m_scratch.resize(0);
    if (ascii)
        m_scratch.append(QLatin1StringView(bytes.data(), qsizetype(bytes.size())));
    else
        CodePages::appendDecoded(codePage, QByteArrayView(bytes.data(), qsizetype(bytes.size())), m_scratch);
    appendText(m_scratch);
}

void Parser::flushPendingBytes()
{
    if (m_pendingBytes.empty())
        return;
    QString decoded;
    CodePages::appendDecoded(
        m_pendingCodePage, QByteArrayView(m_pendingBytes.data(), qsizetype(m_pendingBytes.size())), decoded);
    m_pendingBytes.clear();
    appendText(decoded);
}

void Parser::appendCharacter(char16_t c)
{
    flushPendingBytes();
    appendText(QStringView(&c, 1));
}

void Parser::appendText(QStringView text)
{
    if (text.isEmpty() || m_stack.empty())
        return;
    switch (state().destination) {
    case Destination::Text:
        appendToDocument(text);
        return;
    case Destination::FontTable:
        for (const QChar c : text) {
            if (c == u';')
                commitFontEntry();
            else if (m_fontOpen && m_destinationText.size() < 256)
                m_destinationText.append(c);
        }
        return;
    case Destination::ColorTable:
        for (const QChar c : text) {
            if (c == u';')
                commitColorEntry();
        }
        return;
    case Destination::ExpandedColorTable:
        for (const QChar c : text) {
            if (c == u';')
                commitExpandedColorEntry();
        }
        return;
    case Destination::InfoField:
    case Destination::NeXTGraphic:
    case Destination::ShapePropertyName:
    case Destination::ShapePropertyValue:
    case Destination::FieldInstruction:
        // Metadata and names are short; a hostile file must not grow them without bound.
        if (m_destinationText.size() < 65536)
            m_destinationText.append(text.left(65536 - m_destinationText.size()));
        return;
    default:
        return;
    }
}

void Parser::appendToDocument(QStringView text)
{
    if (m_swallowAttachmentMark) {
        m_swallowAttachmentMark = false;
        if (text.front() == QChar(0x00AC))
            text = text.sliced(1);
        if (text.isEmpty())
            return;
    }
    startRunIfFormatChanged();
    m_text.append(text);
}

void Parser::startRunIfFormatChanged()
{
    if (!m_formatMayHaveChanged && !m_runs.empty() && m_runs.back().attachment < 0)
        return;
    m_formatMayHaveChanged = false;
    const CharFormat& format = state().chars;
    if (m_runs.empty() || m_runs.back().attachment >= 0 ||
        !(m_formats[size_t(m_runs.back().format)] == format))
        m_runs.push_back({m_text.size(), formatId(format), -1});
}

void Parser::endParagraph()
{
    flushPendingBytes();
    if (!m_stack.empty())
        appendToDocument(u"\n");
    const ParagraphStyle style = m_stack.empty() ? ParagraphStyle() : state().para.resolved();
    if (m_paragraphs.empty() || !(m_paragraphs.back().style == style))
        m_paragraphs.push_back({m_paragraphStart, style});
    m_paragraphStart = m_text.size();
}

void Parser::addAttachment(std::shared_ptr<TextAttachment> attachment)
{
    flushPendingBytes();
    m_attachments.push_back(std::move(attachment));
    m_runs.push_back({m_text.size(), formatId(state().chars), int(m_attachments.size() - 1)});
    m_text.append(QChar(kAttachmentCharacter));
}

void Parser::commitFontEntry()
{
    if (!m_fontOpen)
        return;
    m_fontOpen = false;
    FontEntry entry;
    entry.name = m_destinationText.trimmed();
    entry.codePage = CodePages::codePageForCharset(m_fontCharset);
    entry.fixedPitch = m_fontFixedPitch;
    m_destinationText.clear();
    // A hostile table could name millions of fonts; the number of a font is bounded by the input.
    m_fonts[m_fontNumber] = std::move(entry);
    m_codePageFont = -1;
}

void Parser::commitColorEntry()
{
    m_colors.push_back(m_colorEntry);
    m_colorEntry = {};
}

void Parser::commitExpandedColorEntry()
{
    std::optional<Color> color;
    const auto component = [&](size_t i) { return m_expandedComponents[i] / 100000.0; };
    if (m_expandedGray && !m_expandedComponents.empty()) {
        color = Color::gray(component(0), m_expandedComponents.size() > 1 ? component(1) : 1.0);
    } else if (!m_expandedGray && m_expandedComponents.size() >= 3) {
        color = Color::rgb(component(0), component(1), component(2),
                           m_expandedComponents.size() > 3 ? component(3) : 1.0);
    }
    m_expandedColors.push_back(color);
    m_expandedComponents.clear();
    m_expandedGray = false;
}

std::optional<Color> Parser::colorAt(int index) const
{
    if (index <= 0 || size_t(index) >= m_colors.size() || m_colors[size_t(index)].isDefault)
        return std::nullopt;
    const ColorEntry& entry = m_colors[size_t(index)];
    if (size_t(index) < m_expandedColors.size() && m_expandedColors[size_t(index)]) {
        Color color = *m_expandedColors[size_t(index)];
        // The expanded table is exact to five digits; a component that is an 8-bit value at that
        // precision is taken as that value, so colours given in 8-bit channels read back exactly.
        Q_UNUSED(entry);
        const auto snap = [](double& component) {
            const long byte = std::lround(component * 255.0);
            if (std::lround(byte / 255.0 * 100000.0) == std::lround(component * 100000.0))
                component = byte / 255.0;
        };
        snap(color.red);
        snap(color.alpha);
        if (color.isGray()) {
            color.green = color.blue = color.red;
        } else {
            snap(color.green);
            snap(color.blue);
        }
        return color;
    }
    return Color::fromRgb8(entry.red, entry.green, entry.blue);
}

void Parser::finishPicture()
{
    if (m_pictureType.isEmpty() || m_pictureData.isEmpty()) {
        m_pictureData.clear();
        return;
    }
    auto wrapper = FileWrapper::makeRegularFile(m_pictureData);
    wrapper->setPreferredFilename(m_pictureType == u"png" ? QStringLiteral("image.png")
                                                          : QStringLiteral("image.jpeg"));
    m_pictureData.clear();
    auto attachment = std::make_shared<TextAttachment>(wrapper);
    double width = m_pictureWidthGoal > 0 ? m_pictureWidthGoal / 20.0 : std::max(m_pictureWidth, 0);
    double height = m_pictureHeightGoal > 0 ? m_pictureHeightGoal / 20.0 : std::max(m_pictureHeight, 0);
    width *= std::clamp(m_pictureScaleX, 1, 10000) / 100.0;
    height *= std::clamp(m_pictureScaleY, 1, 10000) / 100.0;
    if (width > 0 && height > 0)
        attachment->setBounds(QRectF(0, 0, width, height));
    // The picture belongs to the text around its group, which is where the character goes.
    addAttachment(std::move(attachment));
}

void Parser::finishNeXTGraphic()
{
    const QString name = m_destinationText.trimmed();
    m_destinationText.clear();
    m_swallowAttachmentMark = true;
    if (!m_directory || name.isEmpty())
        return;
    // Only direct children can match: a name holding "/" or ".." never reaches another file.
    const auto& children = m_directory->fileWrappers();
    const auto it = children.find(name);
    if (it == children.end() || !it.value())
        return;
    auto attachment = std::make_shared<TextAttachment>(it.value());
    if (m_graphicWidth > 0 && m_graphicHeight > 0)
        attachment->setBounds(QRectF(0, 0, m_graphicWidth / 20.0, m_graphicHeight / 20.0));
    addAttachment(std::move(attachment));
}

int Parser::formatId(const CharFormat& format)
{
    // Runs hold an index instead of the format: a long script has tens of thousands of runs and only a
    // few distinct formats.
    const auto [it, inserted] = m_formatIds.try_emplace(format, int(m_formats.size()));
    if (inserted)
        m_formats.push_back(format);
    return it->second;
}

AttributeDictionary Parser::attributesFor(const CharFormat& f, int attachment)
{
    AttributeDictionary attributes;
    Font font;
    const auto it = m_fonts.find(f.font);
    if (it != m_fonts.end() && !it->second.name.isEmpty()) {
        font.fontName = it->second.name;
        font.fixedPitch = it->second.fixedPitch;
    } else {
        font.fontName = QStringLiteral("Helvetica");
    }
    font.familyName = fontFamily(font.fontName);
    font.pointSize = f.fontSize / 2.0;
    font.bold = f.bold;
    font.italic = f.italic;
    attributes.insert(kFontAttributeName, font);
    if (const auto color = colorAt(f.foreground))
        attributes.insert(kForegroundColorAttributeName, *color);
    if (const auto color = colorAt(f.background))
        attributes.insert(kBackgroundColorAttributeName, *color);
    if (f.underline)
        attributes.insert(kUnderlineStyleAttributeName, qint64(f.underline));
    if (f.strikethrough)
        attributes.insert(kStrikethroughStyleAttributeName, qint64(f.strikethrough));
    if (const auto color = colorAt(f.underlineColor))
        attributes.insert(kUnderlineColorAttributeName, *color);
    if (const auto color = colorAt(f.strikethroughColor))
        attributes.insert(kStrikethroughColorAttributeName, *color);
    if (f.superscript)
        attributes.insert(kSuperscriptAttributeName, qint64(f.superscript));
    if (f.baseline)
        attributes.insert(kBaselineOffsetAttributeName, f.baseline / 2.0);
    if (f.kern)
        attributes.insert(kKernAttributeName, f.kern / 20.0);
    if (f.shadow) {
        Shadow shadow;
        shadow.offsetWidth = f.shadowX / 20.0;
        shadow.offsetHeight = -f.shadowY / 20.0;
        shadow.blurRadius = f.shadowRadius / 20.0;
        shadow.color = colorAt(f.shadowColor);
        attributes.insert(kShadowAttributeName, shadow);
    }
    if (f.link >= 0 && f.link < m_links.size())
        attributes.insert(kLinkAttributeName, QUrl(m_links[f.link]));
    if (attachment >= 0)
        attributes.insert(kAttachmentAttributeName, m_attachments[size_t(attachment)]);
    return attributes;
}

bool looksLikeRtf(QByteArrayView data)
{
    // Some converters put a UTF-8 byte-order mark in front.
    qsizetype i = data.startsWith("\xEF\xBB\xBF") ? 3 : 0;
    while (i < data.size() && (data[i] == ' ' || data[i] == '\t' || data[i] == '\r' || data[i] == '\n'))
        ++i;
    return data.sliced(i).startsWith("{\\rtf");
}

} // namespace

std::optional<RtfReader::Result> RtfReader::parse(QByteArrayView rtf, const FileWrapper* directory,
                                                  Error* error)
{
    if (!looksLikeRtf(rtf)) {
        setError(error, Error::cocoa(kFileReadCorruptFileError, {}, QStringLiteral("The data is not RTF.")));
        return std::nullopt;
    }
    Parser parser(rtf, directory);
    return parser.run();
}

bool RtfReader::read(QByteArrayView rtf, MutableAttributedString& text,
                     DocumentAttributes* documentAttributes, Error* error, const FileWrapper* directory)
{
    auto result = parse(rtf, directory, error);
    if (!result)
        return false;
    std::vector<AttributeRun> runs;
    runs.reserve(result->runs.size());
    for (size_t i = 0; i < result->runs.size(); ++i) {
        const qsizetype end = i + 1 < result->runs.size() ? result->runs[i + 1].start : result->text.size();
        runs.push_back(AttributeRun{end - result->runs[i].start, std::move(result->runs[i].attributes)});
    }
    text.setAttributedString(AttributedString::withRuns(std::move(result->text), std::move(runs)));
    if (documentAttributes)
        *documentAttributes = std::move(result->documentAttributes);
    return true;
}
