#pragma once

#include "platform/foundation/Rect.h"
#include "platform/text/TextStorage.h"
#include "platform/textlayout/LayoutView.h"
#include "platform/textlayout/LineFragment.h"
#include "platform/textlayout/RulerMarker.h"
#include "platform/textlayout/TextContainer.h"

#include <QColor>
#include <QFont>
#include <QTextLayout>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

class QPainter;
class TextAttachment;

// Temporary attribute names the base layout manager draws (any other name is kept for subclasses).
inline const QString kTemporaryBackgroundColorAttributeName = kBackgroundColorAttributeName;
inline const QString kTemporaryForegroundColorAttributeName = kForegroundColorAttributeName;
inline const QString kTemporaryUnderlineStyleAttributeName = kUnderlineStyleAttributeName;
inline const QString kTemporaryUnderlineColorAttributeName = kUnderlineColorAttributeName;
// Set by the spelling checker: 1 for a misspelled word (red), 2 for bad grammar (green); drawn as a
// dotted underline.
inline const QString kSpellingStateAttributeName = QStringLiteral("NSSpellingState");
inline constexpr qint64 kSpellingStateSpellingFlag = 1;
inline constexpr qint64 kSpellingStateGrammarFlag = 2;

// Lays out a text storage into one text container, paragraph by paragraph, on Qt's QTextLayout, in
// the container's flipped coordinates (y down from its top), and draws it. Glyphs are counted as
// characters: glyph index i is UTF-16 unit i, which is what callers expect of ranges they convert back
// and forth.
//
// Only paragraphs an edit touched are laid out again: the paragraph layout cache keeps each
// paragraph's line metrics and the most recently used QTextLayouts, so a long script costs little more
// memory than its lines; the layout renderer draws from it.
//
// Several layout managers may observe one storage, and several views may draw one layout manager.
class LayoutManager {
public:
    using LineFragment = ::LineFragment;

    explicit LayoutManager(std::shared_ptr<TextStorage> storage = {});
    LayoutManager(const LayoutManager&) = delete;
    LayoutManager& operator=(const LayoutManager&) = delete;
    virtual ~LayoutManager();

    const std::shared_ptr<TextStorage>& textStorage() const;
    // Moves to another storage; temporary attributes are dropped since they described the old text.
    void replaceTextStorage(std::shared_ptr<TextStorage> storage);

    const TextContainer& textContainer() const;
    void setTextContainerSize(const Size& size);
    void setLineFragmentPadding(double padding);
    void setTextContainerWidthTracksTextView(bool flag);

    // Font for text that carries none, and for the extra line fragment of an empty text.
    const QFont& defaultFont() const;
    void setDefaultFont(const QFont& font);
    // QFont of a model font, with sizes in points mapped one to one onto layout units.
    static QFont qtFont(const Font& font);
    double defaultLineHeightForFont(const QFont& font) const;

    // Layout control. Text is laid out from its start as far as anything asks (a view drawing its
    // visible lines, a query about a character or a point), so that lines once shown never move for
    // layout of what comes after them; the rest is laid out in short slices while the event loop is
    // idle (background layout). Until then the text's height is an estimate that each slice corrects,
    // and observers hear of each slice as a change from its first paragraph to the end.
    void invalidateLayoutForCharacterRange(const Range& range);
    // The magnification of the view that shows this layout (a zoomed prompter's scale); attachment
    // cells that keep their on-screen size are laid out for it. A change lays the text out again.
    double attachmentScale() const;
    void setAttachmentScale(double scale);
    void invalidateDisplayForCharacterRange(const Range& range);
    void ensureLayoutForCharacterRange(const Range& range);
    void ensureLayoutForTextContainer();
    // How many paragraphs' shaped layouts are kept for drawing (a few dozen by default): raised for a
    // text that is laid out whole and then drawn whole, so that drawing does not shape it again.
    qsizetype layoutCacheLimit() const;
    void setLayoutCacheLimit(qsizetype paragraphs);
    // Whether the whole text is laid out and observers have heard of it.
    bool isLayoutComplete() const;
    // Every character before this one is laid out.
    qsizetype firstUnlaidCharacterIndex() const;
    // Where the paragraph holding index starts, laying out nothing: estimated past the laid-out text.
    double paragraphTopForCharacterIndex(qsizetype index) const;
    // While observers hear of layout that moved text (heightChanged), how far what stood at y (container
    // coordinates as they were) moved; 0 at any other time. Lines far past the laid-out text are laid
    // out where the estimates place them when a view shows them first, and move when layout from the
    // start reaches them: the view showing them scrolls as far, so that nothing it shows moves.
    double reportedMoveAt(double y) const;
    // Tells observers now of layout not yet reported, which they would otherwise hear of when the event
    // loop is next idle: a view about to scroll to a place measured on that layout must not then take
    // the move it reports a second time.
    void reportPendingLayout();
    // On by default; a window that is hidden turns it off so that it leaves the idle time to others.
    bool backgroundLayoutEnabled() const;
    void setBackgroundLayoutEnabled(bool flag);
    // One slice of background layout, for about seconds (at least one paragraph); what the idle
    // timer runs, and what programs without an event loop may call. Returns whether any is left.
    bool layOutInBackground(double seconds);

    // Queries. The used rect's height is estimated until layout is complete; every other answer is
    // exact (what it needs is laid out first).
    Rect usedRectForTextContainer() const;
    qsizetype numberOfLines() const;
    qsizetype numberOfGlyphs() const;
    Range glyphRangeForCharacterRange(const Range& characterRange,
                                      Range* actualCharacterRange = nullptr) const;
    Range characterRangeForGlyphRange(const Range& glyphRange, Range* actualGlyphRange = nullptr) const;
    // The fragment holding the glyph; the extra line fragment for the text's length.
    Rect lineFragmentRectForGlyphAtIndex(qsizetype glyphIndex, Range* effectiveGlyphRange = nullptr) const;
    Rect lineFragmentUsedRectForGlyphAtIndex(qsizetype glyphIndex,
                                             Range* effectiveGlyphRange = nullptr) const;
    std::optional<LineFragment> lineFragmentForGlyphAtIndex(qsizetype glyphIndex) const;
    // The same fragment without laying out the text far above it: its paragraph, and those within
    // below of its top, are laid out where the estimates place them (as the lines a view shows far
    // down are) and move when layout from the start reaches them (reportedMoveAt). Observers hear of
    // the layout before it answers, so it is for placing a view, not for a view's drawing.
    std::optional<LineFragment> lineFragmentWhereEstimated(qsizetype glyphIndex, double below) const;
    // Every fragment whose rect meets rect, in order.
    std::vector<LineFragment> lineFragmentsInRect(const Rect& rect) const;
    // Empty when the text ends in a terminator or is empty: where the caret goes after it.
    Rect extraLineFragmentRect() const;
    Rect extraLineFragmentUsedRect() const;
    // Rects covering the characters of range, one per line (to the fragment's end when the range goes
    // on past the line); what selection and highlights are filled with.
    std::vector<Rect> rectsForCharacterRange(const Range& range) const;
    Rect boundingRectForGlyphRange(const Range& glyphRange) const;
    // The glyph under point (nearest one when between lines), and how far across it point lies.
    qsizetype glyphIndexForPoint(const Point& point, double* fraction = nullptr) const;
    qsizetype characterIndexForPoint(const Point& point, double* fraction = nullptr) const
    {
        return glyphIndexForPoint(point, fraction);
    }
    // The caret position nearest point: between characters, never inside a cluster or surrogate pair.
    qsizetype insertionIndexForPoint(const Point& point) const;
    // The glyphs of every fragment meeting rect; with onlyWhole, only fragments wholly inside.
    Range glyphRangeForBoundingRect(const Rect& rect, bool onlyWhole = false) const;
    Range characterRangeForBounds(const Rect& rect) const { return glyphRangeForBoundingRect(rect); }
    // Where the caret stands before character index (its height is the line's).
    Rect insertionPointRectForCharacterIndex(qsizetype index) const;
    // Location of a glyph relative to its line fragment's origin (x) and baseline (y from its top).
    Point locationForGlyphAtIndex(qsizetype glyphIndex) const;

    // Caret moves that respect clusters and surrogate pairs; word boundaries as Qt finds them.
    qsizetype nextCursorPosition(qsizetype index) const;
    qsizetype previousCursorPosition(qsizetype index) const;
    // The caret position one step to the left or right on screen: in right-to-left text that is the
    // logical opposite. At a paragraph's visual end it moves on logically into the neighbour.
    qsizetype visualCursorPosition(qsizetype index, bool toLeft) const;
    Range wordRangeAtIndex(qsizetype index) const;
    qsizetype nextWordBoundary(qsizetype index) const;
    qsizetype previousWordBoundary(qsizetype index) const;

    // Temporary attributes: drawn, never stored, shifted with edits; characters inserted inside a
    // temporary run do not take it.
    void setTemporaryAttributes(const AttributeDictionary& attributes, const Range& range);
    void addTemporaryAttribute(const QString& name, const AttributeValue& value, const Range& range);
    void addTemporaryAttributes(const AttributeDictionary& attributes, const Range& range);
    void removeTemporaryAttribute(const QString& name, const Range& range);
    AttributeDictionary temporaryAttributesAtCharacterIndex(qsizetype index,
                                                            Range* effectiveRange = nullptr) const;
    // The value of one temporary attribute with the longest range within limit over which it holds.
    AttributeValue temporaryAttribute(const QString& name, qsizetype index, Range* longestEffectiveRange,
                                      const Range& limit) const;
    // Visits the ranges of name's values (null where absent) in range, backwards with reverse.
    void enumerateTemporaryAttribute(
        const QString& name, const Range& range, bool reverse,
        const std::function<void(const AttributeValue&, const Range&, bool&)>& visit) const;

    // Drawing, in container coordinates placed at origin. A text view calls the background pass, then
    // the glyph pass, for the glyphs its dirty rect shows; subclasses draw extra things per pass.
    virtual void drawBackgroundForGlyphRange(QPainter& painter, const Range& glyphRange, const Point& origin);
    virtual void drawGlyphsForGlyphRange(QPainter& painter, const Range& glyphRange, const Point& origin);
    // Called for each line fragment after its glyphs are drawn (spelling underlines, custom marks).
    virtual void drawLineFragment(QPainter& painter, const LineFragment& fragment, const Point& origin);
    // Whether the glyph pass underlines the spelling state itself; a subclass that draws its own
    // underlines answers false while it does.
    virtual bool drawsSpellingStateUnderlines() const { return true; }
    // Draws an attachment into rect (container coordinates moved to origin already).
    virtual void drawAttachment(QPainter& painter, const TextAttachment& attachment, const QRectF& rect,
                                qsizetype characterIndex);
    // The handles a ruler shows for a paragraph of style in view: its tab stops, then its first-line,
    // head and tail indents (a tail indent of zero or less counts back from the container's end).
    // Subclasses may leave some out.
    virtual std::vector<RulerMarker> rulerMarkersForTextView(const LayoutView* view,
                                                             const ParagraphStyle& style) const;
    // Fills the rects of range with color, under the glyphs.
    void fillBackgroundRectsForCharacterRange(QPainter& painter, const Range& range, const QColor& color,
                                              const Point& origin) const;
    // The views showing this layout manager, in the order they attached; the first is the one a
    // subclass usually asks about (its colours, its selection).
    const std::vector<LayoutView*>& textViews() const;
    LayoutView* firstTextView() const;
    void addTextView(LayoutView* view);
    void removeTextView(LayoutView* view);
    // The text view being drawn right now (its selection is drawn in the background pass), else null.
    LayoutView* textViewForDrawing() const;
    void setTextViewForDrawing(LayoutView* view);

    // Called after layout changed: range (in the new text) was laid out again, heightChanged when
    // what follows it moved.
    using LayoutObserver = std::function<void(const Range& range, bool heightChanged)>;
    int addLayoutObserver(LayoutObserver observer);
    void removeLayoutObserver(int token);

protected:
    // How a paragraph's text is shaped; subclasses may add formats.
    virtual QList<QTextLayout::FormatRange> formatsForParagraph(const Range& paragraphRange) const;

private:
    struct Private;

    void storageEdited(const TextStorageEdit& edit);
    void notifyLayout(const Range& range, bool heightChanged);
    void scheduleIdleLayout();
    void idleLayout();

    std::unique_ptr<Private> d;
};
