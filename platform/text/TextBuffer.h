#pragma once

#include <QString>

#include <string>
#include <vector>

// The characters of an attributed string in UTF-16 units, kept in blocks of a few thousand units so
// that an edit anywhere in a long script moves one block, not the whole text.
class TextBuffer {
public:
    qsizetype length() const { return m_length; }
    char16_t at(qsizetype index) const;

    // Replaces count units at location by the given units; location and count must lie in the text.
    void replace(qsizetype location, qsizetype count, const char16_t* units, qsizetype unitCount);
    // Replaces the whole text, cutting it into blocks in one pass.
    void assign(const char16_t* units, qsizetype unitCount);
    void clear();

    QString mid(qsizetype location, qsizetype count) const;
    QString toString() const;
    bool equals(const TextBuffer& other) const;

    // Index of the first unit of the paragraph holding index (paragraphs end after "\n", "\r", "\r\n"
    // or U+2029).
    qsizetype paragraphStart(qsizetype index) const;
    // Index just past the terminator of the paragraph holding index, or the length for the last one.
    qsizetype paragraphEnd(qsizetype index) const;

    // Calls visit(units, count, offset) for each stored piece of [location, location + count).
    template <class Visit> void forEachPiece(qsizetype location, qsizetype count, Visit&& visit) const
    {
        if (count <= 0)
            return;
        qsizetype block = blockAt(location);
        qsizetype offset = location - m_starts[block];
        while (count > 0 && block < qsizetype(m_blocks.size())) {
            const std::u16string& text = m_blocks[block];
            qsizetype take = std::min<qsizetype>(count, qsizetype(text.size()) - offset);
            visit(text.data() + offset, take, location);
            location += take;
            count -= take;
            offset = 0;
            ++block;
        }
    }

private:
    qsizetype blockAt(qsizetype index) const;
    void updateStartsFrom(qsizetype block);

    std::vector<std::u16string> m_blocks;
    std::vector<qsizetype> m_starts;
    qsizetype m_length = 0;
};
