#include "platform/text/AttributeRuns.h"

#include <algorithm>

namespace {

// Rebuilt blocks hold about kTargetRuns runs; smaller leftovers join a neighbour.
constexpr qsizetype kTargetRuns = 32;
constexpr qsizetype kMinRuns = 8;

void appendMerging(std::vector<AttributeRun>& runs, AttributeRun run)
{
    if (run.length <= 0)
        return;
    if (!runs.empty() && runs.back().attributes == run.attributes) {
        runs.back().length += run.length;
        return;
    }
    runs.push_back(std::move(run));
}

qsizetype totalLength(const std::vector<AttributeRun>& runs)
{
    qsizetype length = 0;
    for (const AttributeRun& run : runs)
        length += run.length;
    return length;
}

} // namespace

qsizetype AttributeRuns::runCount() const
{
    qsizetype count = 0;
    for (const Block& block : m_blocks)
        count += qsizetype(block.runs.size());
    return count;
}

qsizetype AttributeRuns::blockAt(qsizetype index) const
{
    auto it = std::upper_bound(m_starts.begin(), m_starts.end(), index);
    qsizetype block = qsizetype(it - m_starts.begin()) - 1;
    return std::clamp<qsizetype>(block, 0, qsizetype(m_blocks.size()) - 1);
}

void AttributeRuns::updateStartsFrom(qsizetype block)
{
    m_starts.resize(m_blocks.size());
    qsizetype position = block > 0 ? m_starts[block - 1] + m_blocks[block - 1].length : 0;
    for (qsizetype i = block; i < qsizetype(m_blocks.size()); ++i) {
        m_starts[i] = position;
        position += m_blocks[i].length;
    }
    m_length = position;
}

const AttributeDictionary& AttributeRuns::at(qsizetype index, Range* runRange) const
{
    static const AttributeDictionary none;
    if (index < 0 || index >= m_length) {
        if (runRange)
            *runRange = Range{std::clamp<qsizetype>(index, 0, m_length), 0};
        return none;
    }
    qsizetype block = blockAt(index);
    qsizetype position = m_starts[block];
    for (const AttributeRun& run : m_blocks[block].runs) {
        if (index < position + run.length) {
            if (runRange)
                *runRange = Range{position, run.length};
            return run.attributes;
        }
        position += run.length;
    }
    return none;
}

std::vector<AttributeRun> AttributeRuns::slice(const Range& range) const
{
    std::vector<AttributeRun> result;
    if (range.length <= 0 || m_blocks.empty())
        return result;
    qsizetype end = range.end();
    for (qsizetype block = blockAt(range.location); block < qsizetype(m_blocks.size()); ++block) {
        qsizetype position = m_starts[block];
        if (position >= end)
            break;
        for (const AttributeRun& run : m_blocks[block].runs) {
            qsizetype runEnd = position + run.length;
            qsizetype from = std::max(position, range.location);
            qsizetype to = std::min(runEnd, end);
            if (from < to)
                result.push_back(AttributeRun{to - from, run.attributes});
            position = runEnd;
            if (position >= end)
                break;
        }
    }
    return result;
}

bool AttributeRuns::resizeRunInPlace(const Range& range, const std::vector<AttributeRun>& runs)
{
    if (runs.size() > 1 || m_blocks.empty())
        return false;
    const AttributeDictionary* attributes = runs.empty() ? nullptr : &runs.front().attributes;
    qsizetype delta = (runs.empty() ? 0 : runs.front().length) - range.length;
    // An insertion at a run boundary may extend the run before it as well as the one after.
    for (qsizetype index : {range.location, range.length == 0 ? range.location - 1 : qsizetype(-1)}) {
        if (index < 0 || index >= m_length)
            continue;
        qsizetype block = blockAt(index);
        qsizetype position = m_starts[block];
        for (AttributeRun& run : m_blocks[block].runs) {
            if (index >= position + run.length) {
                position += run.length;
                continue;
            }
            bool inside = range.location >= position && range.end() <= position + run.length;
            if (!inside || run.length + delta <= 0 || (attributes && !(*attributes == run.attributes)))
                break;
            run.length += delta;
            m_blocks[block].length += delta;
            for (qsizetype i = block + 1; i < qsizetype(m_starts.size()); ++i)
                m_starts[i] += delta;
            m_length += delta;
            return true;
        }
    }
    return false;
}

void AttributeRuns::replace(const Range& range, std::vector<AttributeRun> runs)
{
    std::erase_if(runs, [](const AttributeRun& run) { return run.length <= 0; });
    if (resizeRunInPlace(range, runs))
        return;
    if (m_blocks.empty()) {
        m_blocks.push_back(Block{});
        m_starts.assign(1, 0);
    }
    qsizetype first = blockAt(range.location);
    qsizetype last = range.length > 0 ? blockAt(range.end() - 1) : first;

    // Gather the touched blocks' runs, cut out the range and put the new runs in its place.
    std::vector<AttributeRun> old;
    for (qsizetype i = first; i <= last; ++i)
        for (AttributeRun& run : m_blocks[i].runs)
            old.push_back(std::move(run));
    qsizetype cutFrom = range.location - m_starts[first];
    qsizetype cutTo = cutFrom + range.length;

    std::vector<AttributeRun> rebuilt;
    rebuilt.reserve(old.size() + runs.size() + 1);
    qsizetype position = 0;
    std::vector<AttributeRun> tail;
    for (AttributeRun& run : old) {
        qsizetype runEnd = position + run.length;
        if (position < cutFrom)
            appendMerging(rebuilt, AttributeRun{std::min(runEnd, cutFrom) - position, run.attributes});
        if (runEnd > cutTo)
            tail.push_back(AttributeRun{runEnd - std::max(position, cutTo), std::move(run.attributes)});
        position = runEnd;
    }
    for (AttributeRun& run : runs)
        appendMerging(rebuilt, std::move(run));
    for (AttributeRun& run : tail)
        appendMerging(rebuilt, std::move(run));

    // Merge across block edges, and let a small remainder join a neighbour block.
    auto absorbPrevious = [&] {
        --first;
        std::vector<AttributeRun> joined = std::move(m_blocks[first].runs);
        for (AttributeRun& run : rebuilt)
            appendMerging(joined, std::move(run));
        rebuilt = std::move(joined);
    };
    auto absorbNext = [&] {
        ++last;
        for (AttributeRun& run : m_blocks[last].runs)
            appendMerging(rebuilt, std::move(run));
    };
    if (qsizetype(rebuilt.size()) < kMinRuns) {
        if (last + 1 < qsizetype(m_blocks.size()))
            absorbNext();
        else if (first > 0)
            absorbPrevious();
    }
    if (first > 0 && !rebuilt.empty() &&
        m_blocks[first - 1].runs.back().attributes == rebuilt.front().attributes)
        absorbPrevious();
    if (last + 1 < qsizetype(m_blocks.size()) && !rebuilt.empty() &&
        m_blocks[last + 1].runs.front().attributes == rebuilt.back().attributes)
        absorbNext();

    std::vector<Block> blocks = makeBlocks(std::move(rebuilt));
    // Reuse the replaced slots, so the blocks after them move only when the count changes.
    qsizetype replaced = last + 1 - first;
    qsizetype common = std::min(replaced, qsizetype(blocks.size()));
    std::move(blocks.begin(), blocks.begin() + common, m_blocks.begin() + first);
    if (replaced > common)
        m_blocks.erase(m_blocks.begin() + first + common, m_blocks.begin() + last + 1);
    else
        m_blocks.insert(m_blocks.begin() + first + common, std::make_move_iterator(blocks.begin() + common),
                        std::make_move_iterator(blocks.end()));
    updateStartsFrom(first);
}

std::vector<AttributeRuns::Block> AttributeRuns::makeBlocks(std::vector<AttributeRun> runs)
{
    std::vector<Block> blocks;
    qsizetype count = qsizetype(runs.size());
    if (count == 0)
        return blocks;
    qsizetype pieces = std::max<qsizetype>(1, count / kTargetRuns);
    qsizetype base = count / pieces;
    qsizetype extra = count % pieces;
    blocks.reserve(size_t(pieces));
    auto it = runs.begin();
    for (qsizetype i = 0; i < pieces; ++i) {
        qsizetype take = base + (i < extra ? 1 : 0);
        Block block;
        block.runs.assign(std::make_move_iterator(it), std::make_move_iterator(it + take));
        block.length = totalLength(block.runs);
        blocks.push_back(std::move(block));
        it += take;
    }
    return blocks;
}

void AttributeRuns::assign(std::vector<AttributeRun> runs)
{
    std::vector<AttributeRun> merged;
    merged.reserve(runs.size());
    for (AttributeRun& run : runs)
        appendMerging(merged, std::move(run));
    m_blocks = makeBlocks(std::move(merged));
    m_starts.clear();
    updateStartsFrom(0);
}

void AttributeRuns::assignDistinct(std::vector<AttributeRun> runs)
{
    std::erase_if(runs, [](const AttributeRun& run) { return run.length <= 0; });
    m_blocks = makeBlocks(std::move(runs));
    m_starts.clear();
    updateStartsFrom(0);
}

void AttributeRuns::clear()
{
    m_blocks.clear();
    m_starts.clear();
    m_length = 0;
}

bool AttributeRuns::operator==(const AttributeRuns& other) const
{
    if (m_length != other.m_length)
        return false;
    // Runs are always merged, so equal strings have equal run sequences.
    std::vector<AttributeRun> mine = slice(Range{0, m_length});
    std::vector<AttributeRun> theirs = other.slice(Range{0, m_length});
    return std::equal(mine.begin(), mine.end(), theirs.begin(), theirs.end(),
                      [](const AttributeRun& a, const AttributeRun& b) {
                          return a.length == b.length && a.attributes == b.attributes;
                      });
}
