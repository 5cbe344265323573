#include "platform/text/TextBuffer.h"

#include <algorithm>

namespace {

// Blocks grow to kMaxBlock units; rebuilt blocks aim at kTargetBlock so that the next few edits
// fit in place. Blocks that shrink below kMinBlock are merged with a neighbour.
constexpr qsizetype kMaxBlock = 4096;
constexpr qsizetype kTargetBlock = 2048;
constexpr qsizetype kMinBlock = 256;

bool isParagraphSeparator(char16_t c)
{
    return c == u'\n' || c == u'\r' || c == 0x2029;
}

std::vector<std::u16string> chunk(const char16_t* units, qsizetype size)
{
    std::vector<std::u16string> blocks;
    if (size <= 0)
        return blocks;
    qsizetype pieces = (size + kTargetBlock - 1) / kTargetBlock;
    qsizetype base = size / pieces;
    qsizetype extra = size % pieces;
    blocks.reserve(size_t(pieces));
    qsizetype position = 0;
    for (qsizetype i = 0; i < pieces; ++i) {
        qsizetype take = base + (i < extra ? 1 : 0);
        blocks.emplace_back(units + position, size_t(take));
        position += take;
    }
    return blocks;
}

} // namespace

char16_t TextBuffer::at(qsizetype index) const
{
    if (index < 0 || index >= m_length)
        return 0;
    qsizetype block = blockAt(index);
    return m_blocks[block][index - m_starts[block]];
}

qsizetype TextBuffer::blockAt(qsizetype index) const
{
    // The block whose span holds index; an index at the very end belongs to the last block.
    auto it = std::upper_bound(m_starts.begin(), m_starts.end(), index);
    qsizetype block = qsizetype(it - m_starts.begin()) - 1;
    return std::clamp<qsizetype>(block, 0, qsizetype(m_blocks.size()) - 1);
}

void TextBuffer::updateStartsFrom(qsizetype block)
{
    m_starts.resize(m_blocks.size());
    qsizetype position = block > 0 ? m_starts[block - 1] + qsizetype(m_blocks[block - 1].size()) : 0;
    for (qsizetype i = block; i < qsizetype(m_blocks.size()); ++i) {
        m_starts[i] = position;
        position += qsizetype(m_blocks[i].size());
    }
    m_length = position;
}

void TextBuffer::replace(qsizetype location, qsizetype count, const char16_t* units, qsizetype unitCount)
{
    if (m_blocks.empty()) {
        assign(units, unitCount);
        return;
    }
    qsizetype first = blockAt(location);
    qsizetype last = count > 0 ? blockAt(location + count - 1) : first;
    qsizetype delta = unitCount - count;

    if (first == last) {
        std::u16string& text = m_blocks[first];
        qsizetype newSize = qsizetype(text.size()) + delta;
        bool alone = m_blocks.size() == 1;
        if (newSize <= kMaxBlock && (newSize >= kMinBlock || alone) && newSize > 0) {
            text.replace(size_t(location - m_starts[first]), size_t(count), units, size_t(unitCount));
            for (qsizetype i = first + 1; i < qsizetype(m_starts.size()); ++i)
                m_starts[i] += delta;
            m_length += delta;
            return;
        }
    }

    // Rebuild the touched blocks, taking in a neighbour when what is left would be too small.
    std::u16string joined;
    for (qsizetype i = first; i <= last; ++i)
        joined += m_blocks[i];
    qsizetype offset = location - m_starts[first];
    joined.replace(size_t(offset), size_t(count), units, size_t(unitCount));
    if (qsizetype(joined.size()) < kMinBlock) {
        if (last + 1 < qsizetype(m_blocks.size())) {
            joined += m_blocks[++last];
        } else if (first > 0) {
            --first;
            joined.insert(0, m_blocks[first]);
        }
    }
    std::vector<std::u16string> rebuilt = chunk(joined.data(), qsizetype(joined.size()));
    m_blocks.erase(m_blocks.begin() + first, m_blocks.begin() + last + 1);
    m_blocks.insert(m_blocks.begin() + first, std::make_move_iterator(rebuilt.begin()),
                    std::make_move_iterator(rebuilt.end()));
    updateStartsFrom(first);
}

void TextBuffer::assign(const char16_t* units, qsizetype unitCount)
{
    m_blocks = chunk(units, unitCount);
    m_starts.clear();
    updateStartsFrom(0);
}

void TextBuffer::clear()
{
    m_blocks.clear();
    m_starts.clear();
    m_length = 0;
}

QString TextBuffer::mid(qsizetype location, qsizetype count) const
{
    QString result;
    result.reserve(count);
    forEachPiece(location, count, [&](const char16_t* units, qsizetype n, qsizetype) {
        result.append(reinterpret_cast<const QChar*>(units), n);
    });
    return result;
}

QString TextBuffer::toString() const
{
    return mid(0, m_length);
}

bool TextBuffer::equals(const TextBuffer& other) const
{
    if (m_length != other.m_length)
        return false;
    bool equal = true;
    forEachPiece(0, m_length, [&](const char16_t* units, qsizetype n, qsizetype location) {
        if (!equal)
            return;
        other.forEachPiece(location, n, [&](const char16_t* theirs, qsizetype m, qsizetype at) {
            if (equal && !std::equal(theirs, theirs + m, units + (at - location)))
                equal = false;
        });
    });
    return equal;
}

qsizetype TextBuffer::paragraphStart(qsizetype index) const
{
    index = std::clamp<qsizetype>(index, 0, m_length);
    // The "\n" of a "\r\n" belongs to the paragraph the "\r" ends.
    if (index > 0 && index < m_length && at(index) == u'\n' && at(index - 1) == u'\r')
        --index;
    if (index == 0 || m_blocks.empty())
        return 0;
    // Scan backwards, block by block, for the terminator of the previous paragraph.
    qsizetype block = blockAt(index - 1);
    qsizetype position = index - 1;
    while (block >= 0) {
        const std::u16string& text = m_blocks[block];
        for (qsizetype i = position - m_starts[block]; i >= 0; --i) {
            if (isParagraphSeparator(text[i]))
                return m_starts[block] + i + 1;
        }
        --block;
        if (block >= 0)
            position = m_starts[block] + qsizetype(m_blocks[block].size()) - 1;
    }
    return 0;
}

qsizetype TextBuffer::paragraphEnd(qsizetype index) const
{
    index = std::clamp<qsizetype>(index, 0, m_length);
    if (m_blocks.empty())
        return 0;
    for (qsizetype block = blockAt(index); block < qsizetype(m_blocks.size()); ++block) {
        const std::u16string& text = m_blocks[block];
        const char16_t* const units = text.data();
        for (qsizetype i = std::max<qsizetype>(index - m_starts[block], 0); i < qsizetype(text.size()); ++i) {
            // One comparison for almost every character: separators are \n, \r and U+2029 only.
            const char16_t c = units[i];
            if ((c > u'\r' && c != 0x2029) || !isParagraphSeparator(c))
                continue;
            qsizetype end = m_starts[block] + i + 1;
            if (c == u'\r' && at(end) == u'\n' && end < m_length)
                ++end;
            return end;
        }
    }
    return m_length;
}
