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
//
// Layout runs from the start of the text and only as far as it is asked for: a query lays out the
// paragraphs it touches and every one before them, so that nothing above a line once shown ever moves.
// The rest is laid out in slices (layOutSlice) while the owner's event loop is idle. Until then a
// paragraph's height is estimated from its length and the lines already laid out, so the text's
// height is known from the start and comes closer to the real one with every slice.
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
        // The line begins a run of lines shaped together, apart from the lines before it: an edit
        // lays out again only the lines it touched (see relayoutWithinParagraph).
        bool startsSegment = false;
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
        bool laidOut = false; // until then lines is empty and height an estimate
        // Where it stood when observers last heard, while the cache remembers tops (reportedMoveAt).
        double topBeforeMove = 0;
    };
    // How a paragraph's text is shaped: the layout manager's formats, which subclasses may refine.
    using FormatProvider = std::function<QList<QTextLayout::FormatRange>(const Range& paragraphRange)>;
    using LayoutChanged = std::function<void(const Range& range, bool heightChanged)>;
    // Called when there is layout for idle time: paragraphs not laid out yet, or layout done by
    // queries that has not been reported.
    using IdleWorkWanted = std::function<void()>;

    // How many paragraph layouts are kept for drawing and hit tests, unless the owner asks for more.
    static constexpr int kLayoutCacheSize = 64;
    // An edit inside the laid-out text is laid out at once up to this many characters; a longer one
    // (a whole text replaced) is left to the slices and to the queries that reach it.
    static constexpr qsizetype kLargestEditLaidOutAtOnce = 1 << 16;
    // A query that reaches this many characters past the laid-out text lays out only the paragraphs
    // it touches, where the estimates place them, instead of everything before them: a long script
    // opened far down shows its first frame as soon as one opened at the top.
    static constexpr qsizetype kLongestGapLaidOutInOrder = 1 << 16;

    // The container is the layout manager's and outlives the cache.
    ParagraphLayoutCache(const TextContainer& container, FormatProvider formats, LayoutChanged changed,
                         IdleWorkWanted idleWorkWanted = {});
    ~ParagraphLayoutCache();

    // Lays out storage from scratch; the storage must outlive the cache or the next call.
    void setStorage(const TextStorage& storage);
    const QFont& defaultFont() const { return m_defaultFont; }
    // Sets the font without laying out again; call relayoutAll after.
    void setDefaultFont(const QFont& font) { m_defaultFont = font; }

    // How many paragraph layouts are kept: a text about to be laid out and drawn whole, as its pages
    // are, keeps every layout until it is drawn rather than shape each paragraph twice.
    qsizetype layoutCacheLimit() const { return m_layoutCacheLimit; }
    void setLayoutCacheLimit(qsizetype paragraphs);

    void relayoutAll();
    // The container's line width changed: paragraph ranges do not depend on it, so every paragraph
    // keeps its range and identity and only its lines are dropped, to be laid out again as needed.
    void relayoutLines();
    void invalidateLayoutForCharacterRange(const Range& range);
    void storageEdited(const TextStorageEdit& edit);

    // Layout ahead of need.
    bool isLayoutComplete() const { return m_firstUnlaid >= qsizetype(m_paragraphs.size()); }
    // Every character before this one is laid out.
    qsizetype firstUnlaidCharacterIndex() const;
    // Lays out the next paragraphs for about the given time (at least one) and reports them; returns
    // whether any are left.
    bool layOutSlice(double seconds);
    void ensureLayoutForCharacterIndex(qsizetype index) const;
    void ensureLayoutThroughY(double y) const;
    // The lines between the two heights: laid out in order from the laid-out text when it is near,
    // else on their own where the estimates place them (see kLongestGapLaidOutInOrder).
    void ensureLayoutForYRange(double minY, double maxY) const;
    void ensureLayoutForAll() const;
    // Layout done by queries is reported later, here: queries run while views draw, when a view must
    // not be resized under its painter.
    bool hasUnreportedLayout() const { return m_unreported.location != kNotFound; }
    void reportLayout();
    // While observers hear of layout that moved paragraphs (reportLayout): how far the text that stood
    // at y before it moved. Paragraphs laid out on their own are placed from estimates, which layout
    // reaching them from above corrects; a view showing them keeps them still by scrolling as far.
    double reportedMoveAt(double y) const;
    // Where the paragraph holding index starts, laying out nothing: estimated past the laid-out text.
    double paragraphTopForCharacterIndex(qsizetype index) const;

    const TextStorage& storage() const { return *m_storage; }
    // The magnification of the view the text is shown in, which attachment cells may answer.
    double attachmentScale() const { return m_attachmentScale; }
    void setAttachmentScale(double scale) { m_attachmentScale = scale; }
    const TextContainer& container() const { return m_container; }
    const std::vector<Paragraph>& paragraphs() const { return m_paragraphs; }
    qsizetype length() const { return m_length; }
    // The shaped line behind a laid-out line: a paragraph's lines may come from several layouts, each
    // of a text beginning offset characters into the paragraph.
    struct LineLayout {
        QTextLayout* layout = nullptr;
        int lineNumber = 0;
        qsizetype offset = 0;
        QTextLine line() const { return layout->lineAt(lineNumber); }
    };
    LineLayout lineLayout(const Paragraph& paragraph, qsizetype lineIndex) const;
    qsizetype paragraphIndexForCharacter(qsizetype index) const;
    LineFragment fragmentFor(const Paragraph& paragraph, const Line& line) const;
    QFont fontAt(qsizetype index) const;
    double defaultLineHeightForFont(const QFont& font) const;

    // Geometry, in container coordinates; the layout manager's queries of the same names. Lines not
    // laid out yet are laid out first; the used rect alone is estimated.
    Rect usedRectForTextContainer() const;
    qsizetype numberOfLines() const;
    Range glyphRangeForCharacterRange(const Range& characterRange, Range* actualCharacterRange) const;
    Range characterRangeForGlyphRange(const Range& glyphRange, Range* actualGlyphRange) const;
    Rect lineFragmentRectForGlyphAtIndex(qsizetype glyphIndex, Range* effectiveGlyphRange) const;
    Rect lineFragmentUsedRectForGlyphAtIndex(qsizetype glyphIndex, Range* effectiveGlyphRange) const;
    std::optional<LineFragment> lineFragmentForGlyphAtIndex(qsizetype glyphIndex) const;
    // The same fragment, with its paragraph and those within below of its top laid out; far past the
    // laid-out text they are laid out on their own where the estimates place them, as a far y-range
    // query lays them out, so that a view can show them at once (see reportedMoveAt).
    std::optional<LineFragment> lineFragmentWhereEstimated(qsizetype glyphIndex, double below) const;
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
    // A line fragment's rectangle, or its used part, and the extra fragment's after the text.
    Rect fragmentRectForGlyphAtIndex(qsizetype glyphIndex, Range* effectiveGlyphRange, bool used) const;
    struct Inline {
        qsizetype position;
        double ascent;
        double descent;
    };
    // A paragraph ready to be shaped: what the storage says about it.
    struct LayoutJob {
        std::unique_ptr<QTextLayout> layout;
        ParagraphStyle style;
        bool rightToLeft = false;
        std::vector<Inline> inlines;
        // Stretches [first, second) of the layout's text without a break opportunity, too long for
        // Qt to break at a word boundary in good time (see breakLinesFrom).
        std::vector<std::pair<qsizetype, qsizetype>> unbreakableRuns;
    };
    // A paragraph's layout is kept with what breaking it into lines needs, so that a new width breaks
    // it again without reading its text, style and formats from the storage again.
    // Lines [firstLine, the next segment's firstLine) of a paragraph are the job's lines from
    // firstLineNumber on; its text starts offset characters into the paragraph.
    struct Segment {
        std::shared_ptr<LayoutJob> job;
        qsizetype offset = 0;
        qsizetype firstLine = 0;
        int firstLineNumber = 0;
    };
    struct CachedLayout {
        std::vector<Segment> segments;
        std::list<quint64>::iterator lru;
    };
    // What the laid-out paragraphs tell about the ones still to come.
    struct EstimateSums {
        double paragraphs = 0;
        double lines = 0;
        double lineHeights = 0;
        double spacing = 0;           // paragraph height beyond its lines
        double wrappedCharacters = 0; // of paragraphs that wrapped
        double wrappedLines = 0;      // their full lines
    };

    // Where an edit fell, in the text before it: from location on, replaced characters gave way to
    // inserted ones.
    struct EditSpan {
        qsizetype location = kNotFound;
        qsizetype replaced = 0;
        qsizetype inserted = 0;
    };
    // Lays out paragraphs [first, last) again from the text, replacing them by the ones found there.
    void relayoutParagraphs(qsizetype first, qsizetype last, qsizetype newEnd, const EditSpan& edit);
    // An edit inside one laid-out paragraph: only its lines from the one before the edit are broken
    // again, until a line ends where one ended before; the lines before and after keep their shaping.
    // Returns false, having changed nothing, where the paragraph must be laid out whole.
    bool relayoutWithinParagraph(const Paragraph& old, Paragraph& fresh, const EditSpan& edit);
    std::vector<Paragraph> splitParagraphs(qsizetype from, qsizetype to);
    // keep: the QTextLayout is kept for drawing (not when laid out ahead of need).
    void layOutParagraph(Paragraph& paragraph, bool keep = true);
    // Lays out the paragraphs not laid out yet up to paragraph last, or while they start at or above y.
    void extendLayout(qsizetype last, double y);
    // Lays out paragraphs from first that are not laid out yet, up to paragraph last or while they start
    // at or above y, where they stand now, leaving the estimates before them as they are.
    void layOutApart(qsizetype first, qsizetype last, double y);
    void noteUnreported(qsizetype first, qsizetype last);
    // Keeps every paragraph's top before layout moves them, for reportedMoveAt.
    void rememberTops();
    void noteLaidOut(qsizetype first, qsizetype last);
    void addToEstimates(const Paragraph& paragraph);
    void resetEstimates();
    // Turns what the laid-out paragraphs taught into the starting estimates for a new line width.
    void carryEstimatesToLineWidth(double lineWidth);
    double lineWidth() const;
    // Gives every paragraph from index on that is not laid out its estimated height.
    void estimateFrom(qsizetype index);
    void advanceFirstUnlaid();
    void wantIdleWork() const;
    LayoutJob buildLayout(const Paragraph& paragraph, std::vector<Line>* lines, double* height,
                          double* usedWidth) const;
    const CachedLayout& keepLayout(quint64 id, LayoutJob job) const;
    const CachedLayout& keepSegments(quint64 id, std::vector<Segment> segments) const;
    void trimCachedLayouts() const;
    const CachedLayout& cachedLayoutFor(const Paragraph& paragraph) const;
    // The paragraph's text from offset on, shaped as the whole paragraph would be.
    LayoutJob prepareLayout(const Paragraph& paragraph, qsizetype offset = 0) const;
    void runLayout(LayoutJob& job, std::vector<Line>* lines, double* height, double* usedWidth) const;
    void breakLines(LayoutJob& job, std::vector<Line>* lines, double* height, double* usedWidth) const;
    // Breaks lines of a job whose text starts offset characters into its paragraph, the first at y,
    // until the text ends, maxLines are made, or stop answers true for the line just made.
    void breakLinesFrom(LayoutJob& job, qsizetype offset, double y, qsizetype maxLines,
                        const std::function<bool(const Line&)>& stop, std::vector<Line>* lines) const;
    void dropCachedLayout(quint64 id) const;
    void restackFrom(qsizetype paragraphIndex);
    static void placeSegmentLines(const std::vector<Segment>& segments, qsizetype lineCount);
    // Stacks paragraphs [first, last) on the one before them, leaving the rest where they are.
    void restackRange(qsizetype first, qsizetype last);
    qsizetype paragraphIndexForY(double y) const;
    QString paragraphLayoutText(const Paragraph& paragraph) const;

    const TextStorage* m_storage = nullptr;
    double m_attachmentScale = 1;
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
    qsizetype m_layoutCacheLimit = kLayoutCacheSize;
    IdleWorkWanted m_idleWorkWanted;
    qsizetype m_firstUnlaid = 0;
    Range m_unreported{kNotFound, 0};
    // Every paragraph's topBeforeMove holds its top before the unreported layout moved it; off when
    // nothing moved or an edit came since.
    bool m_remembersTops = false;
    EstimateSums m_sums;
    // Before anything is laid out: the first paragraph's font across the container.
    double m_initialLineHeight = 15;
    double m_initialCharactersPerLine = 80;
    double m_initialSpacing = 0;
    // The container's line width the estimates were learned at.
    double m_estimatedLineWidth = 0;
    mutable QFont m_lineHeightFont;
    mutable double m_lineHeight = -1;
};
