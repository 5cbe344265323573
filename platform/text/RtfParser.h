#pragma once

// The RTF reader's own parser: its state, one group per stack entry, and the steps that turn tokens
// into text, runs and document attributes. Only the reader's sources include it; its control-word
// handlers live in RtfParserWords.cpp, the ends of the header's tables, information fields and
// pictures in RtfParserDestinations.cpp, the rest in RtfReader.cpp.

#include "platform/foundation/FileWrapper.h"
#include "platform/text/AttributeNames.h"
#include "platform/text/CodePages.h"
#include "platform/text/RtfReader.h"
#include "platform/text/RtfTokenizer.h"
#include "platform/text/TextAttachment.h"

#include <QStringList>

#include <bit>
#include <utility>

#include <limits>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace RtfParsing {

using Kind = RtfTokenizer::Kind;
using Token = RtfTokenizer::Token;

// Groups nested deeper than this are read as part of their ancestor at this depth: the state stack
// stays small however deep a hostile file nests.
inline constexpr qsizetype kMaxGroupDepth = 256;
inline constexpr int kDefaultFontSize = 24; // half points
inline constexpr int kDefaultCodePage = 1252;

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
    // Every field, mixed: a file that varies only a field scripts never touch (a kern for every
    // letter) must not pile its formats onto one hash, where finding each would compare it with
    // all the others. Fields go in pairs through multiplications that do not wait for each other,
    // as a script asks for a format's number at every change of font or colour.
    size_t operator()(const CharFormat& f) const noexcept
    {
        const auto pair = [](int low, int high) { return quint64(quint32(low)) | quint64(quint32(high)) << 32; };
        const quint64 flags = quint64(f.bold) | quint64(f.italic) << 1 | quint64(f.shadow) << 2 |
                              quint64(quint8(f.underline)) << 8 | quint64(quint8(f.strikethrough)) << 16 |
                              quint64(quint8(f.superscript)) << 24;
        const quint64 h = pair(f.font, f.fontSize) * 0x9E3779B97F4A7C15ull ^
                          pair(f.foreground, f.background) * 0xC2B2AE3D27D4EB4Full ^
                          pair(f.baseline, f.kern) * 0x165667B19E3779F9ull ^
                          pair(f.shadowX, f.shadowY) * 0xD6E8FEB86659FD93ull ^
                          pair(f.shadowRadius, f.shadowColor) * 0xFF51AFD7ED558CCDull ^
                          pair(f.underlineColor, f.strikethroughColor) * 0xC4CEB9FE1A85EC53ull ^
                          (pair(f.link, 0) | flags << 32) * 0x27D4EB2F165667C5ull;
        return size_t(h ^ h >> 31);
    }
};

// Numbers for the distinct values a caller keeps in a vector of its own, found by their hash:
// open addressing over a power of two, so that a look-up costs a multiply and a compare or two
// rather than the division by a prime of the standard unordered containers, which the reader
// paid once per run of a script.
class IndexTable {
public:
    // The number of the value with this hash that equal(number) accepts, or, with added set, the
    // next number, count, which the caller gives to the value it adds to its vector.
    template <class Equal> int find(quint64 hash, int count, Equal&& equal, bool& added)
    {
        if ((size_t(count) + 1) * 2 > m_slots.size())
            grow();
        const size_t mask = m_slots.size() - 1;
        for (size_t slot = slotOf(hash);; slot = (slot + 1) & mask) {
            Slot& candidate = m_slots[slot];
            if (candidate.number < 0) {
                candidate = {hash, count};
                added = true;
                return count;
            }
            if (candidate.hash == hash && equal(candidate.number)) {
                added = false;
                return candidate.number;
            }
        }
    }

private:
    struct Slot {
        quint64 hash = 0;
        int number = -1;
    };

    size_t slotOf(quint64 hash) const { return size_t((hash * 0x9E3779B97F4A7C15ull) >> (64 - m_bits)); }
    void grow()
    {
        std::vector<Slot> old = std::exchange(m_slots, std::vector<Slot>(m_slots.empty() ? 64 : m_slots.size() * 2));
        m_bits = std::countr_zero(m_slots.size());
        const size_t mask = m_slots.size() - 1;
        for (const Slot& s : old) {
            if (s.number < 0)
                continue;
            size_t slot = slotOf(s.hash);
            while (m_slots[slot].number >= 0)
                slot = (slot + 1) & mask;
            m_slots[slot] = s;
        }
    }

    std::vector<Slot> m_slots;
    int m_bits = 0;
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

class Parser {
public:
    Parser(QByteArrayView input, const FileWrapper* directory) : m_tokenizer(input), m_directory(directory)
    {
        // The text hardly ever holds more units than the data has bytes: it is allocated once,
        // without filling, and what it leaves unused is given back when reading ends.
        reserveText(input.size());
        // Runs and paragraphs as a script has them at most (a change of format every few words, a
        // paragraph every line or so): growing by doubling would copy each and touch twice the
        // memory, and a page of memory first touched costs a long script's reading more than its
        // parse of that page. Room reserved but never used is never touched.
        m_runs.reserve(size_t(input.size() / 64));
        m_paragraphs.reserve(size_t(input.size() / 512));
    }

    RtfReader::Result run();

private:
    GroupState& state() { return m_stack.back(); }
    // Whether a token is read for what it is, with no group start just before it to make it a
    // destination, no \u fallback to skip and no skipped destination around it: most of a script.
    bool readsTokensAsTheyCome() const
    {
        return m_skipNesting == 0 && m_unicodeSkipLeft == 0 && !m_stack.empty() &&
               m_stack.back().destination != Destination::Skip;
    }

    void handle(const Token& token);
    // The body of a script in short: a run of plain text, and the words a script repeats every few
    // words (\uN and \ucN, font, size and colour). False leaves the token to the general steps.
    bool readPlainText(std::string_view bytes);
    bool readCommonWord(int word, bool hasParameter, int parameter);
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
    // The common cases inline, as they come once per character escape or piece of text.
    void startRunIfFormatChanged()
    {
        if (m_formatMayHaveChanged || m_runs.empty() || m_runs.back().attachment >= 0)
            startRunForFormat();
    }
    void startRunForFormat();
    void appendCharacter(char16_t c)
    {
        if (m_pendingBytes.empty() && !m_swallowAttachmentMark && !m_stack.empty() &&
            state().destination == Destination::Text) {
            startRunIfFormatChanged();
            if (m_textLength == m_textCapacity)
                reserveText(m_textLength + 1);
            m_units[m_textLength++] = c;
            return;
        }
        flushPendingBytes();
        appendText(QStringView(&c, 1));
    }
    // Room for at least units more units of text than it holds.
    void reserveText(qsizetype units);
    // The text read, as a string of its own length.
    QString takeText();
    void endParagraph();
    void addAttachment(std::shared_ptr<TextAttachment> attachment);
    void commitFontEntry();
    void commitColorEntry();
    void commitExpandedColorEntry();
    void finishPicture();
    void finishNeXTGraphic();
    int currentCodePage();
    // A font's own code page, 0 when it has none or is not in the font table.
    int fontCodePage(int font);
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
    // The last code page found to be of single bytes, so that plain text asks once per page.
    bool m_knownSingleByte = false;
    int m_singleBytePage = 0;

    // The script's text is written straight into m_text's buffer: appending through QString costs
    // a call and a capacity check per piece, and a script comes in pieces of a few letters.
    QString m_text;
    char16_t* m_units = nullptr;
    qsizetype m_textLength = 0;
    qsizetype m_textCapacity = 0;
    QString m_scratch; // reused for decoding, so plain text costs no allocation per token
    std::vector<CharRun> m_runs;
    std::vector<CharFormat> m_formats;
    IndexTable m_formatIds;
    std::vector<ParagraphRun> m_paragraphs;
    qsizetype m_paragraphStart = 0;
    bool m_swallowAttachmentMark = false;
    // Set wherever the character format can change (a formatting word, a group's end), so that
    // text between two changes is not compared with the last run's format piece by piece.
    bool m_formatMayHaveChanged = true;

    std::unordered_map<int, FontEntry> m_fonts;
    std::vector<int> m_fontCodePages; // by font number, -1 not yet looked up; emptied as fonts are added
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

} // namespace RtfParsing
