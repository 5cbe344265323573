#include "platform/text/RtfReader.h"

#include "platform/text/RtfParser.h"

#include "platform/foundation/FileWrapper.h"
#include "platform/text/AttributeNames.h"
#include "platform/text/CodePages.h"
#include "platform/text/MutableAttributedString.h"
#include "platform/text/RtfControlWords.h"
#include "platform/text/RtfTokenizer.h"
#include "platform/text/TextAttachment.h"

#include <QSizeF>

#include <algorithm>
#include <cmath>
#include <limits>
#include <string_view>
#include <unordered_map>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#if defined(__linux__)
#include <sys/mman.h>
#endif

namespace RtfParsing {

namespace {

// Asks for the text buffer of a long script in large pages. The text is written once, front to
// back, into fresh memory, and taking that memory a 4 KiB page at a time cost a megabyte-sized
// script as much processor time as the parse itself. Only whole large pages inside the buffer are
// advised, and at most the one the text ends in is taken beyond what the text uses.
void adviseLargePages(void* data, qsizetype bytes)
{
#if defined(__linux__) && defined(MADV_HUGEPAGE)
    constexpr quintptr kLargePage = quintptr(2) << 20;
    if (bytes < qsizetype(2 * kLargePage))
        return;
    const auto begin = (quintptr(data) + kLargePage - 1) & ~(kLargePage - 1);
    const auto end = (quintptr(data) + quintptr(bytes)) & ~(kLargePage - 1);
    if (end > begin)
        madvise(reinterpret_cast<void*>(begin), size_t(end - begin), MADV_HUGEPAGE);
#else
    Q_UNUSED(data);
    Q_UNUSED(bytes);
#endif
}

// Widens count bytes into out, eight at a time where the processor has SSE2, and says whether
// they were all ASCII; what it wrote is of no use otherwise. With readable bytes from in and as
// many units of room in out, it works sixteen at a time and writes past count, rather than end
// each piece of text, a few letters long in a script, with a loop per byte.
bool widenAscii(const char* in, qsizetype count, char16_t* out, qsizetype readable = 0)
{
    qsizetype i = 0;
    unsigned high = 0;
#if defined(__SSE2__)
    const __m128i zero = _mm_setzero_si128();
    if (readable >= ((count + 15) & ~qsizetype(15))) {
        for (; i < count; i += 16) {
            const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + i));
            const qsizetype left = count - i;
            const unsigned wanted = left >= 16 ? 0xFFFFu : (1u << left) - 1;
            high |= unsigned(_mm_movemask_epi8(bytes)) & wanted;
            _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), _mm_unpacklo_epi8(bytes, zero));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i + 8), _mm_unpackhi_epi8(bytes, zero));
        }
        return high == 0;
    }
    for (; i + 8 <= count; i += 8) {
        const __m128i bytes = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(in + i));
        high |= unsigned(_mm_movemask_epi8(bytes));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), _mm_unpacklo_epi8(bytes, zero));
    }
#else
    Q_UNUSED(readable);
#endif
    for (; i < count; ++i) {
        const auto byte = static_cast<unsigned char>(in[i]);
        high |= byte & 0x80u;
        out[i] = byte;
    }
    return high == 0;
}

QString fontFamily(const QString& fontName)
{
    // Font tables of the platform hold PostScript names ("Helvetica-Bold"); the family is the part
    // before the style suffix.
    const qsizetype dash = fontName.indexOf(u'-');
    return dash > 0 ? fontName.left(dash) : fontName;
}

} // namespace

bool Parser::readPlainText(std::string_view bytes)
{
    if (bytes.empty() || !m_pendingBytes.empty() || m_swallowAttachmentMark ||
        state().destination != Destination::Text)
        return false;
    // The font's page as currentCodePage() finds it, without the call while the font stays.
    const int font = state().chars.font;
    const int codePage = font >= 0 && font == m_codePageFont
                             ? (m_fontCodePage != 0 ? m_fontCodePage : m_codePage)
                             : currentCodePage();
    if (!m_knownSingleByte || codePage != m_singleBytePage) {
        if (CodePages::isDoubleByte(codePage))
            return false;
        m_knownSingleByte = true;
        m_singleBytePage = codePage;
    }
    // The piece comes straight from the input, which can be read on to its end; the text keeps
    // room for the sixteen units the widening may write past the piece.
    const qsizetype count = qsizetype(bytes.size());
    if (m_textCapacity - m_textLength < count + 16)
        reserveText(m_textLength + count + 16);
    const qsizetype readable = std::min<qsizetype>(m_tokenizer.end() - bytes.data(), m_textCapacity - m_textLength);
    if (!widenAscii(bytes.data(), count, m_units + m_textLength, readable))
        return false;
    startRunIfFormatChanged();
    m_textLength += count;
    return true;
}

bool Parser::readCommonWord(int word, bool hasParameter, int parameter)
{
    using RtfControlWords::id;
    switch (word) {
    case id("uc"): {
        state().unicodeSkip = std::clamp(parameter, 0, 16);
        // The platform writes each character beyond ASCII as \uc0\uN: the \u is read here rather
        // than on another trip through the reader's loop.
        if (!m_tokenizer.atWord('u'))
            return true;
        const Token next = m_tokenizer.next();
        if (!readCommonWord(next.word, next.hasParameter, next.parameter))
            controlWord(next.word, next.hasParameter, next.parameter);
        return true;
    }
    case id("u"):
        if (parameter > 0xFFFF && parameter <= 0x10FFFF)
            return false;
        appendCharacter(char16_t(parameter < 0 ? parameter + 65536 : parameter));
        m_unicodeSkipLeft = state().unicodeSkip;
        return true;
    case id("f"):
    case id("fs"):
    case id("cf"): {
        if (state().destination != Destination::Text)
            return false;
        m_formatMayHaveChanged = true;
        CharFormat& f = state().chars;
        if (word == id("f"))
            f.font = parameter;
        else if (word == id("fs"))
            f.fontSize = hasParameter && parameter > 0 ? std::min(parameter, 32767) : kDefaultFontSize;
        else
            f.foreground = std::max(parameter, 0);
        return true;
    }
    default:
        return false;
    }
}

RtfReader::Result Parser::run()
{
    m_stack.reserve(64);
    while (!m_done) {
        const Token token = m_tokenizer.next();
        if (token.kind == Kind::End)
            break;
        // Text and control words outside any destination's start take the short way here, the
        // rest goes through handle(), which knows every case.
        if (token.kind == Kind::Text && readsTokensAsTheyCome()) {
            m_groupJustOpened = false;
            if (!readPlainText(token.name))
                textBytes(token.name);
        } else if (token.kind == Kind::ControlWord && readsTokensAsTheyCome() && !m_groupJustOpened &&
                   !m_ignorableNext) {
            if (!m_pendingBytes.empty())
                flushPendingBytes();
            if (!readCommonWord(token.word, token.hasParameter, token.parameter))
                controlWord(token.word, token.hasParameter, token.parameter);
        } else {
            handle(token);
        }
    }
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
    if (m_paragraphStart < m_textLength) {
        // The last paragraph has no paragraph mark of its own.
        const ParagraphStyle style = m_stack.empty() ? ParagraphStyle() : state().para.resolved();
        if (m_paragraphs.empty() || !(m_paragraphs.back().style == style))
            m_paragraphs.push_back({m_paragraphStart, style});
    }

    RtfReader::Result result;
    result.text = takeText();
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
    // Each distinct pair of format and style gets a dictionary and a number. Neighbouring runs of
    // different numbers can still have equal dictionaries (two colour-table entries of one colour):
    // whether two numbers' dictionaries are equal is found once, a script alternating between a
    // few formats comparing the same pairs thousands of times.
    IndexTable combinedIds;
    std::vector<quint64> combinedKeys;
    std::vector<AttributeDictionary> combined;
    IndexTable pairIds;
    std::vector<quint64> pairKeys;
    std::vector<bool> pairsEqual;
    int last = -1;
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
        bool added = false;
        const int id = combinedIds.find(
            key, int(combined.size()), [&](int candidate) { return combinedKeys[size_t(candidate)] == key; },
            added);
        if (added) {
            combinedKeys.push_back(key);
            AttributeDictionary attributes =
                formatId >= 0 ? formats[size_t(formatId)] : AttributeDictionary();
            if (p < m_paragraphs.size())
                attributes.insert(kParagraphStyleAttributeName, m_paragraphs[p].style);
            combined.push_back(std::move(attributes));
        }
        if (id != last) {
            bool equal = false;
            if (last >= 0) {
                const quint64 pair = quint64(quint32(std::min(id, last))) << 32 | quint32(std::max(id, last));
                bool asked = false;
                const int known = pairIds.find(
                    pair, int(pairKeys.size()), [&](int candidate) { return pairKeys[size_t(candidate)] == pair; },
                    asked);
                if (asked) {
                    pairKeys.push_back(pair);
                    pairsEqual.push_back(combined[size_t(id)] == combined[size_t(last)]);
                }
                equal = pairsEqual[size_t(known)];
            }
            if (!equal) {
                runs.push_back({position, combined[size_t(id)]});
                last = id;
            }
        }
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
        if (token.kind == Kind::ControlWord && token.word != RtfControlWords::id("u")) {
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
        const int word = token.word;
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

int Parser::currentCodePage()
{
    const int font = state().chars.font;
    if (font < 0 || state().destination != Destination::Text)
        return m_codePage;
    // Text comes in many small pieces in one font: the font is looked up once per change of font.
    if (font != m_codePageFont) {
        m_fontCodePage = fontCodePage(font);
        m_codePageFont = font;
    }
    return m_fontCodePage != 0 ? m_fontCodePage : m_codePage;
}

int Parser::fontCodePage(int font)
{
    // Scripts change font every few words among a handful of low numbers: those are answered from
    // a small table, filled as they are asked for, instead of a search of the font table each time.
    constexpr int kCached = 256;
    if (font >= kCached) {
        const auto it = m_fonts.find(font);
        return it != m_fonts.end() ? it->second.codePage : 0;
    }
    if (m_fontCodePages.empty())
        m_fontCodePages.assign(size_t(kCached), -1);
    int& page = m_fontCodePages[size_t(font)];
    if (page < 0) {
        const auto it = m_fonts.find(font);
        page = it != m_fonts.end() ? it->second.codePage : 0;
    }
    return page;
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
    if (state().destination == Destination::Text && !m_swallowAttachmentMark && !bytes.empty()) {
        // Most of a script: plain letters straight into the text, widened as they are tested, so
        // that ASCII costs one pass; anything else is decoded below over what this wrote.
        const qsizetype count = qsizetype(bytes.size());
        if (m_textCapacity - m_textLength < count)
            reserveText(m_textLength + count);
        if (widenAscii(bytes.data(), count, m_units + m_textLength)) {
            startRunIfFormatChanged();
            m_textLength += count;
            return;
        }
    }
    const bool ascii =
        std::all_of(bytes.begin(), bytes.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
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
    if (m_textCapacity - m_textLength < text.size())
        reserveText(m_textLength + text.size());
    std::copy(text.utf16(), text.utf16() + text.size(), m_units + m_textLength);
    m_textLength += text.size();
}

void Parser::reserveText(qsizetype units)
{
    if (units <= m_textCapacity)
        return;
    // Doubling, should a file ever hold more units than bytes: appends stay amortised constant.
    const qsizetype capacity = std::max(units, m_textCapacity * 2);
    m_text.resize(capacity);
    m_units = reinterpret_cast<char16_t*>(m_text.data());
    m_textCapacity = capacity;
    adviseLargePages(m_units, capacity * qsizetype(sizeof(char16_t)));
}

QString Parser::takeText()
{
    m_text.truncate(m_textLength);
    m_text.squeeze();
    m_units = nullptr;
    m_textLength = m_textCapacity = 0;
    return std::move(m_text);
}

void Parser::startRunForFormat()
{
    m_formatMayHaveChanged = false;
    const CharFormat& format = state().chars;
    if (m_runs.empty() || m_runs.back().attachment >= 0 ||
        !(m_formats[size_t(m_runs.back().format)] == format))
        m_runs.push_back({m_textLength, formatId(format), -1});
}

void Parser::endParagraph()
{
    flushPendingBytes();
    if (!m_stack.empty())
        appendToDocument(u"\n");
    const ParagraphStyle style = m_stack.empty() ? ParagraphStyle() : state().para.resolved();
    if (m_paragraphs.empty() || !(m_paragraphs.back().style == style))
        m_paragraphs.push_back({m_paragraphStart, style});
    m_paragraphStart = m_textLength;
}

void Parser::addAttachment(std::shared_ptr<TextAttachment> attachment)
{
    flushPendingBytes();
    m_attachments.push_back(std::move(attachment));
    m_runs.push_back({m_textLength, formatId(state().chars), int(m_attachments.size() - 1)});
    if (m_textLength == m_textCapacity)
        reserveText(m_textLength + 1);
    m_units[m_textLength++] = kAttachmentCharacter;
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

int Parser::formatId(const CharFormat& format)
{
    // Runs hold an index instead of the format: a long script has tens of thousands of runs and only a
    // few distinct formats.
    bool added = false;
    const int id = m_formatIds.find(
        CharFormatHash()(format), int(m_formats.size()),
        [&](int candidate) { return m_formats[size_t(candidate)] == format; }, added);
    if (added)
        m_formats.push_back(format);
    return id;
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

} // namespace RtfParsing

namespace {

using RtfParsing::Parser;

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
    // The parser gives runs whose neighbours differ: they need no second comparison.
    text.setAttributedString(AttributedString::withDistinctRuns(std::move(result->text), std::move(runs)));
    if (documentAttributes)
        *documentAttributes = std::move(result->documentAttributes);
    return true;
}
