#pragma once

#include "platform/foundation/Range.h"
#include "platform/text/AttributeDictionary.h"

#include <vector>

// One stretch of characters sharing one attribute dictionary.
struct AttributeRun {
    qsizetype length = 0;
    AttributeDictionary attributes;
};

// The attribute runs of an attributed string, in blocks of a few dozen runs with their start
// offsets, so that finding the run at an index is a binary search and an edit rebuilds one block.
// Adjacent runs are never equal: every change merges them, which makes each run the longest
// effective range of its dictionary.
class AttributeRuns {
public:
    qsizetype length() const { return m_length; }
    qsizetype runCount() const;

    // The dictionary of the run holding index (0 <= index < length) and that run's range.
    const AttributeDictionary& at(qsizetype index, Range* runRange = nullptr) const;
    // The runs overlapping range, cut at its ends.
    std::vector<AttributeRun> slice(const Range& range) const;
    // Calls visit(attributes, runStart, runLength) for each run overlapping range, uncut, in order,
    // until it returns false: a walk over a whole script without copying its runs.
    template <class Visit> void forEachRun(const Range& range, Visit&& visit) const
    {
        if (range.length <= 0 || m_blocks.empty())
            return;
        for (qsizetype block = blockAt(range.location); block < qsizetype(m_blocks.size()); ++block) {
            qsizetype position = m_starts[block];
            for (const AttributeRun& run : m_blocks[block].runs) {
                if (position >= range.end())
                    return;
                if (position + run.length > range.location && !visit(run.attributes, position, run.length))
                    return;
                position += run.length;
            }
        }
    }
    // Replaces the characters of range (within 0...length) by runs, merging equal neighbours.
    void replace(const Range& range, std::vector<AttributeRun> runs);
    // Replaces every run at once, merging equal neighbours: linear in the number of runs, for
    // building a whole string.
    void assign(std::vector<AttributeRun> runs);
    // The same for runs whose neighbours are known to differ (a reader that merged them itself),
    // without comparing every run's attributes with the last's again.
    void assignDistinct(std::vector<AttributeRun> runs);
    void clear();

    bool operator==(const AttributeRuns& other) const;

private:
    struct Block {
        std::vector<AttributeRun> runs;
        qsizetype length = 0;
    };

    // Cuts merged runs into blocks of about the target size.
    static std::vector<Block> makeBlocks(std::vector<AttributeRun> runs);
    qsizetype blockAt(qsizetype index) const;
    // The common edit: characters typed or deleted inside one run that keeps its attributes.
    bool resizeRunInPlace(const Range& range, const std::vector<AttributeRun>& runs);
    void updateStartsFrom(qsizetype block);

    std::vector<Block> m_blocks;
    std::vector<qsizetype> m_starts;
    qsizetype m_length = 0;
};
