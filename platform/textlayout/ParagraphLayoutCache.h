#pragma once

#include "platform/foundation/Range.h"
#include "platform/foundation/Rect.h"
#include "platform/text/ParagraphStyle.h"
#include "platform/textlayout/LineFragment.h"

#include <QFont>
#include <QList>
#include <QTextLayout>

#include <functional>
#include <list>
#include <memory>
#include <optional>
#include <unordered_map>
#include <vector>

class TextContainer;
class TextStorage;
struct TextStorageEdit;

// The paragraphs of a text storage laid out into one container: every paragraph keeps its line
// metrics, and the QTextLayouts of the most recently used ones are kept for drawing and hit tests (the
// others are shaped again on demand). Answers where text lies and how the caret moves through it.
//
// An edit lays out again only the paragraphs it touched; after each pass the cache reports the range
// laid out again and whether what follows it moved.
class ParagraphLayoutCache {
public:
    struct Line {
        qsizetype start = 0; // from the paragraph's start
        qsizetype length = 0;
        double top = 0; // from the paragraph's top
        double height = 0;
        double baseline = 0; // from the paragraph's top
        double x = 0;
        double width = 0;
        double usedX = 0;
        double usedWidth = 0;
    };
    struct Paragraph {
        quint64 id = 0;
        qsizetype start = 0;
        qsizetype length = 0;     // terminator included
        qsizetype textLength = 0; // terminator excluded
        double top = 0;
        double height = 0;
        double usedWidth = 0; // right end of the widest line
        std::vector<Line> lines;
    };
    // How a paragraph's text is shaped: the layout manager's formats, which subclasses may refine.
    using FormatProvider = std::function<QList<QTextLayout::FormatRange>(const Range& paragraphRange)>;
    using LayoutChanged = std::function<void(const Range& range, bool heightChanged)>;

    // How many paragraph layouts are kept for drawing and hit tests.
    static constexpr int kLayoutCacheSize = 64;
    // From this many paragraphs on, layout is spread over worker threads.
    static constexpr int kParallelLayoutThreshold = 64;

    // The container is the layout manager's and outlives the cache.
    ParagraphLayoutCache(const TextContainer& container, FormatProvider formats, LayoutChanged changed);
    ~ParagraphLayoutCache();

    // Lays out storage from scratch; the storage must outlive the cache or the next call.
    void setStorage(const TextStorage& storage);
    const QFont& defaultFont() const { return m_defaultFont; }
    // Sets the font without laying out again; call relayoutAll after.
    void setDefaultFont(const QFont& font) { m_defaultFont = font; }

    void relayoutAll();
    void invalidateLayoutForCharacterRange(const Range& range);
    void storageEdited(const TextStorageEdit& edit);

    const TextStorage& storage() const { return *m_storage; }
    const TextContainer& container() const { return m_container; }
    const std::vector<Paragraph>& paragraphs() const { return m_paragraphs; }
    qsizetype length() const { return m_length; }
    QTextLayout& layoutFor(const Paragraph& paragraph) const;
    qsizetype paragraphIndexForCharacter(qsizetype index) const;
    LineFragment fragmentFor(const Paragraph& paragraph, const Line& line) const;
    QFont fontAt(qsizetype index) const;
    double defaultLineHeightForFont(const QFont& font) const;

    // Geometry, in container coordinates; the layout manager's queries of the same names.
    Rect usedRectForTextContainer() const;
    qsizetype numberOfLines() const;
    Range glyphRangeForCharacterRange(const Range& characterRange, Range* actualCharacterRange) const;
    Range characterRangeForGlyphRange(const Range& glyphRange, Range* actualGlyphRange) const;
    Rect lineFragmentRectForGlyphAtIndex(qsizetype glyphIndex, Range* effectiveGlyphRange) const;
    Rect lineFragmentUsedRectForGlyphAtIndex(qsizetype glyphIndex, Range* effectiveGlyphRange) const;
    std::optional<LineFragment> lineFragmentForGlyphAtIndex(qsizetype glyphIndex) const;
    std::vector<LineFragment> lineFragmentsInRect(const Rect& rect) const;
    Rect extraLineFragmentRect() const;
    Rect extraLineFragmentUsedRect() const;
    std::vector<Rect> rectsForCharacterRange(const Range& range) const;
    Rect boundingRectForGlyphRange(const Range& glyphRange) const;
    qsizetype glyphIndexForPoint(const Point& point, double* fraction) const;
    qsizetype insertionIndexForPoint(const Point& point) const;
    Range glyphRangeForBoundingRect(const Rect& rect, bool onlyWhole) const;
    Rect insertionPointRectForCharacterIndex(qsizetype index) const;
    Point locationForGlyphAtIndex(qsizetype glyphIndex) const;

    // Caret moves.
    qsizetype nextCursorPosition(qsizetype index) const;
    qsizetype previousCursorPosition(qsizetype index) const;
    qsizetype visualCursorPosition(qsizetype index, bool toLeft) const;
    Range wordRangeAtIndex(qsizetype index) const;
    qsizetype nextWordBoundary(qsizetype index) const;
    qsizetype previousWordBoundary(qsizetype index) const;

private:
    struct Inline {
        qsizetype position;
        double ascent;
        double descent;
    };
    // A paragraph ready to be shaped: what the storage says about it, read on the owning thread.
    struct LayoutJob {
        std::unique_ptr<QTextLayout> layout;
        ParagraphStyle style;
        bool rightToLeft = false;
        std::vector<Inline> inlines;
    };
    struct CachedLayout {
        std::unique_ptr<QTextLayout> layout;
        std::list<quint64>::iterator lru;
    };

    // Lays out paragraphs [first, last) again from the text, replacing them by the ones found there.
    void relayoutParagraphs(qsizetype first, qsizetype last, qsizetype newEnd);
    std::vector<Paragraph> splitParagraphs(qsizetype from, qsizetype to);
    void layOutParagraph(Paragraph& paragraph);
    std::unique_ptr<QTextLayout> buildLayout(const Paragraph& paragraph, std::vector<Line>* lines,
                                             double* height, double* usedWidth) const;
    LayoutJob prepareLayout(const Paragraph& paragraph) const;
    void runLayout(LayoutJob& job, std::vector<Line>* lines, double* height, double* usedWidth) const;
    void breakLines(LayoutJob& job, std::vector<Line>* lines, double* height, double* usedWidth) const;
    // Lays out many paragraphs at once (a whole script being opened) on several threads.
    void layOutInParallel(std::vector<Paragraph>& paragraphs);
    void dropCachedLayout(quint64 id) const;
    void restackFrom(qsizetype paragraphIndex);
    qsizetype paragraphIndexForY(double y) const;
    QString paragraphLayoutText(const Paragraph& paragraph) const;

    const TextStorage* m_storage = nullptr;
    const TextContainer& m_container;
    FormatProvider m_formats;
    LayoutChanged m_changed;
    QFont m_defaultFont;
    std::vector<Paragraph> m_paragraphs;
    qsizetype m_length = 0;
    bool m_endsWithTerminator = true; // true for an empty text too
    double m_usedWidth = 0;
    quint64 m_nextParagraphId = 1;
    mutable std::unordered_map<quint64, CachedLayout> m_cache;
    mutable std::list<quint64> m_lru;
};
