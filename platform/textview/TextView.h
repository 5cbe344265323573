#pragma once

#include "platform/appkit/View.h"
#include "platform/text/TextStorage.h"
#include "platform/textlayout/LayoutManager.h"

#include <QColor>
#include <QImage>
#include <QPointer>
#include <QStringList>
#include <QVariant>

class QDialog;

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <vector>

class FindBar;
class Menu;
class Pasteboard;
class RulerView;
class TextAttachmentCell;
class QInputMethodEvent;
class SpellChecker;
class TextView;
class Timer;
class UndoManager;

// Posted on the shared notification centre with the text view as object, after the delegate heard.
inline const QString kTextDidChangeNotification = QStringLiteral("NSTextDidChangeNotification");
// userInfo "NSOldSelectedCharacterRange": the old first range as a QVariantList {location, length}.
inline const QString kTextViewDidChangeSelectionNotification =
    QStringLiteral("NSTextViewDidChangeSelectionNotification");
inline const QString kTextViewDidChangeTypingAttributesNotification =
    QStringLiteral("NSTextViewDidChangeTypingAttributesNotification");

// What a text view asks of, and tells, the object that controls it. Every answer has a default, so a
// delegate overrides only what it cares about.
class TextViewDelegate {
public:
    virtual ~TextViewDelegate() = default;
    // Whether the user's change of ranges (each replaced by the string at the same place; a null
    // string for an attribute-only change) may go ahead.
    virtual bool textViewShouldChangeTextInRanges(TextView&, const std::vector<Range>&, const QStringList&)
    {
        return true;
    }
    virtual void textDidChange(TextView&) {}
    // May adjust a selection change the user makes.
    virtual std::vector<Range> textViewWillChangeSelection(TextView&, const std::vector<Range>& /*oldRanges*/,
                                                           const std::vector<Range>& newRanges)
    {
        return newRanges;
    }
    virtual void textViewDidChangeSelection(TextView&, const std::vector<Range>& /*oldRanges*/) {}
    virtual void textViewDidChangeTypingAttributes(TextView&) {}
    // Answer true to take a command ("insertNewline:", "moveUp:", ...) over from the view.
    virtual bool textViewDoCommandBySelector(TextView&, const QString&) { return false; }
    // Undo manager for the view's edits; null means the view's own.
    virtual UndoManager* undoManagerForTextView(TextView&) { return nullptr; }
    // A click on an attachment; answer true when handled.
    virtual bool textViewClickedOnAttachment(TextView&, qsizetype /*characterIndex*/, int /*clickCount*/)
    {
        return false;
    }
    // Single clicks, double clicks and drags on the cell of an attachment that tracks the mouse
    // (cellFrame in the view's coordinates); answer true when handled, false to leave the event to the
    // text view.
    virtual bool textViewClickedOnCell(TextView&, TextAttachmentCell&, const Rect& /*cellFrame*/,
                                       qsizetype /*characterIndex*/)
    {
        return false;
    }
    virtual bool textViewDoubleClickedOnCell(TextView&, TextAttachmentCell&, const Rect& /*cellFrame*/,
                                             qsizetype /*characterIndex*/)
    {
        return false;
    }
    virtual bool textViewDraggedCell(TextView&, TextAttachmentCell&, const Rect& /*cellFrame*/, const Event&,
                                     qsizetype /*characterIndex*/)
    {
        return false;
    }
    // The menu a right click shows: the view's own (null when it has none), another one, or null for
    // none, when the click goes on along the responder chain.
    virtual Menu* textViewMenuForEvent(TextView&, Menu* menu, const Event&) { return menu; }
};

// An attachment cell that takes the mouse over from the text view while the pointer acts on it.
class MouseTrackingAttachmentCell {
public:
    virtual ~MouseTrackingAttachmentCell() = default;
    virtual bool wantsToTrackMouseForEvent(const Event& event, const Rect& cellFrame, TextView& view,
                                           qsizetype characterIndex) const = 0;
    // Answers true when the cell (or whom it asked) handled the event.
    virtual bool trackMouse(const Event& event, const Rect& cellFrame, TextView& view,
                            qsizetype characterIndex) = 0;
};

// An editable rich-text view, flipped, drawing the part of its layout manager's lines that is
// visible. The text sits at textContainerInset from the view's top-left corner. Programmatic changes
// (replaceCharactersInRange, setString) are neither checked with the delegate nor undoable; the user's
// changes (typing, deleting, pasting and insertText) are, and typed runs undo as one step. The setters
// and commands a subclass refines (colours, typing attributes, selection, changes, pasteboard) are
// virtual.
class TextView : public View, public LayoutView {
public:
    explicit TextView(const Rect& frame = {}, std::shared_ptr<LayoutManager> layoutManager = {});
    ~TextView() override;

    // The text system.
    TextStorage& textStorage() const { return *m_layoutManager->textStorage(); }
    // The oldest live view showing string as its text storage; none for a text no view shows.
    static TextView* primaryTextViewForString(const MutableAttributedString& string);
    const std::shared_ptr<LayoutManager>& layoutManager() const { return m_layoutManager; }
    // Draws another layout manager (shared with other views, or a subclass).
    void setLayoutManager(std::shared_ptr<LayoutManager> layoutManager);
    const TextContainer& textContainer() const { return m_layoutManager->textContainer(); }
    const Size& textContainerInset() const { return m_inset; }
    void setTextContainerInset(const Size& inset);
    // Where the container's origin lies in the view.
    Point textContainerOrigin() const { return {m_inset.width, m_inset.height}; }

    QString string() const { return textStorage().string(); }
    void setString(const QString& string);

    // Flags.
    bool isEditable() const { return m_editable; }
    void setEditable(bool flag);
    bool isSelectable() const { return m_selectable; }
    void setSelectable(bool flag);
    bool isRichText() const { return m_richText; }
    void setRichText(bool flag);
    bool allowsUndo() const { return m_allowsUndo; }
    void setAllowsUndo(bool flag) { m_allowsUndo = flag; }
    bool isVerticallyResizable() const { return m_verticallyResizable; }
    // The height the laid-out text needs, now; layout's observers otherwise hear of it when idle.
    void sizeToFit();
    void setVerticallyResizable(bool flag);
    Size minSize() const { return m_minSize; }
    void setMinSize(const Size& size);

    // Colours.
    const QColor& backgroundColor() const { return m_backgroundColor; }
    virtual void setBackgroundColor(const QColor& color);
    bool drawsBackground() const { return m_drawsBackground; }
    void setDrawsBackground(bool flag);
    const QColor& insertionPointColor() const { return m_insertionPointColor; }
    void setInsertionPointColor(const QColor& color);
    const QColor& selectedTextBackgroundColor() const { return m_selectionColor; }
    void setSelectedTextBackgroundColor(const QColor& color);
    const QColor& inactiveSelectionColor() const { return m_inactiveSelectionColor; }
    void setInactiveSelectionColor(const QColor& color);
    // The selection colour for the current state (active in the key window, or not).
    QColor selectionColorForDrawing() const override;
    // Whether the view is the first responder of the key window, so its caret blinks.
    bool isActive() const;
    // Lets tests and offscreen renders draw the active state without a key window.
    void setForcesActive(bool flag);

    // Selection. Ranges are cut to the text, sorted, joined where they touch; one range is always
    // there (an empty one is the caret). Ranges never split a surrogate pair.
    Range selectedRange() const { return m_selectedRanges.front(); }
    const std::vector<Range>& selectedRanges() const override { return m_selectedRanges; }
    void setSelectedRange(const Range& range);
    virtual void setSelectedRanges(std::vector<Range> ranges, bool stillSelecting = false);
    void selectAll();

    // Typing attributes: what typed text takes.
    const AttributeDictionary& typingAttributes() const { return m_typingAttributes; }
    virtual void setTypingAttributes(const AttributeDictionary& attributes);

    // Changes.
    // Types or inserts string as the user would, replacing the selection (or replacementRange), with
    // the delegate's consent and undo.
    void insertText(const QString& string, std::optional<Range> replacementRange = std::nullopt);
    virtual void insertText(const AttributedString& string,
                            std::optional<Range> replacementRange = std::nullopt);
    // Programmatic replacement, with the attributes of the replaced text.
    void replaceCharactersInRange(const Range& range, const QString& string);
    void replaceCharactersInRange(const Range& range, const AttributedString& string);
    // Asks the delegate about a user change and registers its undo; false when it must not happen.
    // A null string is an attribute change. Call didChangeText after the change.
    bool shouldChangeTextInRange(const Range& range, const QString& string);
    virtual bool shouldChangeTextInRanges(const std::vector<Range>& ranges, const QStringList& strings);
    virtual void didChangeText();
    // Ends the current typing run, so the next typed character starts a new undo step.
    void breakUndoCoalescing();
    UndoManager* undoManager();
    void setUndoManager(UndoManager* undoManager) { m_externalUndoManager = undoManager; }

    // Marked (pre-edit) text of an input method.
    bool hasMarkedText() const { return m_markedRange.length > 0; }
    Range markedRange() const { return hasMarkedText() ? m_markedRange : Range{kNotFound, 0}; }
    virtual void setMarkedText(const QString& string, const Range& selectedRange,
                               std::optional<Range> replacementRange = {});
    virtual void unmarkText();
    bool inputMethodEvent(QInputMethodEvent& event) override;
    // The caret rectangle is answered in window coordinates.
    QVariant inputMethodQuery(Qt::InputMethodQuery query) const override;

    // Commands by the platform's selector names ("moveWordLeft:", "deleteBackward:", "paste:").
    // Answers false for a command the view does not know.
    virtual bool doCommandBySelector(const QString& selector);
    virtual void copy();
    virtual void cut();
    virtual void paste();
    virtual void pasteAsPlainText();
    void undo();
    void redo();
    void deleteSelection();
    // The pasteboard cut, copy and paste use; the general one unless set.
    Pasteboard& pasteboard() const;
    void setPasteboard(Pasteboard* pasteboard) { m_pasteboard = pasteboard; }

    // Scrolls the enclosing clip view so range shows.
    virtual void scrollRangeToVisible(const Range& range);
    // The characters of the visible part.
    Range visibleCharacterRange() const;
    // The caret's rectangle in view coordinates.
    Rect insertionPointRect() const;
    bool insertionPointIsShown() const { return m_caretOn; }

    // The ruler above the view, in the enclosing scroll view: alignment, tab stops and indents of
    // the paragraph at the selection. Only a view that uses the ruler can show one.
    bool usesRuler() const { return m_usesRuler; }
    void setUsesRuler(bool flag);
    bool isRulerVisible() const;
    virtual void setRulerVisible(bool flag);
    // "toggleRuler:".
    virtual void toggleRuler();
    // Redraws the ruler for the selection now; nothing while no ruler shows.
    virtual void updateRuler();
    // The ruler in the enclosing scroll view when it is this view's; null otherwise.
    RulerView* rulerView() const;
    // What the ruler shows and does. The paragraph style is the typing attributes' one (that of
    // the selection's first paragraph), the markers those the layout manager gives for it. Each
    // change applies to every paragraph the selection touches and to the typing attributes, as one
    // undoable step, with the delegate's consent.
    ParagraphStyle rulerParagraphStyle() const;
    std::vector<RulerMarker> rulerMarkers() const;
    void rulerMoveMarker(const RulerMarker& marker, double location);
    void rulerRemoveMarker(const RulerMarker& marker);
    void rulerAddTab(double location);
    void rulerSetAlignment(TextAlignment alignment);
    void rulerSetLineHeightMultiple(double multiple);

    // Find bar: shown by Ctrl+F.
    bool usesFindBar() const { return m_usesFindBar; }
    void setUsesFindBar(bool flag) { m_usesFindBar = flag; }
    FindBar* findBar();
    bool isFindBarVisible() const;
    // Scrolls the enclosing clip view, within its limits, as Page Up/Down and the line keys do.
    void scrollDocumentByPages(int pages);
    void scrollDocumentByLines(int lines);
    void scrollDocumentBy(double distance);

    // Continuous spell checking; stays off when no dictionary is installed.
    bool isContinuousSpellCheckingEnabled() const { return m_spellChecking; }
    void setContinuousSpellCheckingEnabled(bool flag);
    void checkSpellingInRange(const Range& range);

    // Draws attention to range for a moment, as a find does to what it found; an empty range takes
    // the indicator away at once.
    void showFindIndicatorForRange(const Range& range) { showFindIndicatorForRanges({range}); }
    void showFindIndicatorForRanges(const std::vector<Range>& ranges);
    const std::vector<Range>& findIndicatorRanges() const { return m_findIndicatorRanges; }
    // How long the indicator stays, in seconds.
    static constexpr double kFindIndicatorDuration = 1.0;

    void setDelegate(TextViewDelegate* delegate) { m_delegate = delegate; }
    TextViewDelegate* delegate() const { return m_delegate; }

    // Responder and view overrides.
    bool isFlipped() const override { return true; }
    bool acceptsFirstResponder() const override { return m_selectable; }
    bool becomeFirstResponder() override;
    bool resignFirstResponder() override;
    void keyDown(Event& event) override;
    void mouseDown(Event& event) override;
    void mouseDragged(Event& event) override;
    void mouseUp(Event& event) override;
    // Shows the menu for the click (menuForEvent, then the delegate's say) where it was made.
    void rightMouseDown(Event& event) override;
    // The desktop's text menu: Undo and Redo, Cut, Copy, Paste, Delete and Select All, each
    // validated as the Edit menu's are; none when the view is not selectable. The view keeps it.
    virtual Menu* menuForEvent(const Event& event);
    void drawRect(QPainter& painter, const Rect& dirtyRect) override;
    bool isOpaque() const override { return m_drawsBackground && m_backgroundColor.alpha() == 255; }
    // A page ends above the first line it would cut, unless that line begins at the page's top (a line
    // taller than the page is cut where it must be).
    double adjustPageHeight(double top, double proposedBottom, double limit) const override;

    // Seconds the caret stays on and off.
    static constexpr double kInsertionPointBlinkInterval = 0.5;
    static constexpr double kInsertionPointBlinkTimeout = 10.0;

    // Responsive scrolling: the part of the text kept ready ahead of the scrolling, so that a frame
    // only draws. After a frame is drawn, the next pass of the event loop proposes the visible
    // rectangle grown by one visible height each way; a subclass may choose another rectangle and
    // passes it on here. Preparing spends at most kContentPreparationBudget seconds a pass.
    static constexpr double kContentPreparationBudget = 0.004;
    virtual void prepareContentInRect(const Rect& rect);
    Rect proposedContentPreparationRect() const;
    // The rectangle last prepared (view coordinates), within the bounds.
    const Rect& preparedContentRect() const { return m_preparedContentRect; }
    // Whether each frame is followed by preparing; off by default, on for views that scroll on
    // their own (the prompter's).
    bool preparesContent() const { return m_preparesContent; }
    void setPreparesContent(bool flag);

    // Bands: while on, what is prepared is also drawn into images 256 points tall and as wide as the
    // view, at the window's pixel ratio, and a frame is composed from them; parts without a band are
    // drawn as usual. The images of all views together stay within the limit: preparing drops the bands
    // farthest from view first and draws no band that would have to push out a nearer one. Anything that
    // marks part of the view for drawing again drops the bands it touches. Off drops them all.
    static constexpr double kBandHeight = 256;
    static constexpr qint64 kDefaultBandCacheLimitBytes = qint64(128) << 20;
    bool composesFromBands() const { return m_composesFromBands; }
    void setComposesFromBands(bool flag);
    qint64 bandCacheLimitBytes() const { return m_bandCacheLimitBytes; }
    void setBandCacheLimitBytes(qint64 bytes);
    qint64 bandCacheBytes() const { return m_bandCacheBytes; }
    // What the bands of every view hold together; the limit counts against this.
    static qint64 totalBandCacheBytes();
    // The indexes of the bands held (band i covers y from i × 256 for 256 points), in order.
    std::vector<qint64> cachedBandIndexes() const;
    // The pixel ratio bands are drawn at: the window's, or 1 outside a window; a test may set one.
    double bandPixelRatio() const;
    void setBandPixelRatioOverride(double ratio) { m_bandPixelRatioOverride = ratio; }

    // The spacing panel: line height multiple, line spacing and the spacing before and after
    // paragraphs, shown with the values of the paragraph at the selection; applying them sets every
    // paragraph the selection touches, in one undoable change ("Spacing"). Does nothing for a view
    // that is not editable; a second call brings the panel already shown to the front.
    void orderFrontSpacingPanel();
    QDialog* spacingPanel() const;
    struct Spacing {
        double lineHeightMultiple = 0;
        double lineSpacing = 0;
        double paragraphSpacingBefore = 0;
        double paragraphSpacing = 0;
    };
    void applySpacing(const Spacing& spacing);

protected:
    void frameDidChange(const Size& oldSize) override;
    void displayWillInvalidateRect(const Rect& rect) override;
    // What a band holds: background, text and the find indicator of rect.
    void drawContent(QPainter& painter, const Rect& rect);
    void drawFindIndicator(QPainter& painter, const Rect& dirtyRect, const Point& origin);
    // Draws the caret; subclasses may draw it differently.
    virtual void drawInsertionPoint(QPainter& painter, const Rect& rect, const QColor& color);

private:
    QPointer<QDialog> m_spacingPanel;
    // The command table acts on the selection state kept here.
    friend class TextViewCommands;
    struct TextUndo;
    enum class Granularity { Character, Word, Paragraph };

    void attachLayoutManager();
    void registerActions();
    void resetCursorRects() override;
    void layoutChanged(const Range& range, bool heightChanged);
    void updateContainerSize();
    void registerUndo(const std::shared_ptr<TextUndo>& undo);
    void applyUndo(const std::shared_ptr<TextUndo>& undo);
    // The user's replacement of one range, with consent, undo and coalescing when typing.
    bool userReplace(const Range& range, const AttributedString& replacement, const QString& actionName,
                     bool typing);
    void deleteRange(const Range& range, bool forward);
    qsizetype insertionIndex() const;
    Range selectionForGranularity(qsizetype anchor, qsizetype index, Granularity granularity) const;
    Point containerPointForEvent(const Event& event) const;
    // Hands the event to the cell of the attachment at characterIndex when it tracks the mouse; true
    // when the cell handled it.
    bool trackMouseInCell(const Event& event, qsizetype characterIndex);
    void restartBlink(bool becomingFirstResponder = false);
    void invalidateInsertionPoint();
    std::optional<Rect> visibleInsertionPointRect() const;
    void stopBlink();
    void invalidateSelection(const std::vector<Range>& ranges);
    Range snapped(const Range& range) const;
    AttributedString attributedForInsertion(const QString& string) const;
    void updateTypingAttributesFromSelection();
    void changeSelectedParagraphStyles(const std::function<void(ParagraphStyle&)>& change,
                                       const QString& actionName);

    std::vector<Range> m_findIndicatorRanges;
    std::shared_ptr<LayoutManager> m_layoutManager;
    int m_layoutObserver = 0;
    Size m_inset;
    Size m_minSize;
    bool m_editable = true;
    bool m_selectable = true;
    bool m_richText = true;
    bool m_allowsUndo = true;
    bool m_verticallyResizable = true;
    bool m_drawsBackground = true;
    bool m_preparesContent = false;
    Rect m_preparedContentRect;
    bool m_composesFromBands = false;
    std::map<qint64, QImage> m_bands;
    qint64 m_bandCacheLimitBytes = kDefaultBandCacheLimitBytes;
    qint64 m_bandCacheBytes = 0;
    // What the held bands were drawn for: a change of either makes them useless.
    double m_bandsRatio = 0;
    double m_bandsWidth = 0;
    double m_bandPixelRatioOverride = 0;
    // The device scale the view was last drawn at; 0 before it was drawn.
    double m_drawScale = 0;
    // Seconds the last band took to draw: whether another one still fits a pass's budget.
    double m_lastBandSeconds = 0;
    // Set while a change of layout is handled: its own requests to draw again drop no band.
    bool m_holdBands = false;
    void dropBandsForLayoutChange(const Range& range, bool heightChanged);
    void composeFromBands(QPainter& painter, const Rect& dirtyRect);
    void prepareBands(const Rect& rect, double secondsLeft);
    void dropBand(std::map<qint64, QImage>::iterator band);
    void dropAllBands();
    double bandDistanceFromView(qint64 index) const;
    bool m_forcesActive = false;
    QColor m_backgroundColor = Qt::white;
    QColor m_insertionPointColor = Qt::black;
    QColor m_selectionColor = QColor(0xB3, 0xD7, 0xFF);
    QColor m_inactiveSelectionColor = QColor(0xDC, 0xDC, 0xDC);
    std::vector<Range> m_selectedRanges{Range{0, 0}};
    qsizetype m_anchor = 0;
    std::optional<double> m_goalX;
    AttributeDictionary m_typingAttributes;
    Range m_markedRange{0, 0};
    TextViewDelegate* m_delegate = nullptr;
    std::unique_ptr<UndoManager> m_ownUndoManager;
    UndoManager* m_externalUndoManager = nullptr;
    std::shared_ptr<TextUndo> m_typingUndo;
    quint64 m_typingUndoChangeCount = 0;
    bool m_changingText = false;
    Pasteboard* m_pasteboard = nullptr;
    std::unique_ptr<Timer> m_blinkTimer;
    bool m_caretOn = false;
    int m_blinksLeft = 0;
    Granularity m_granularity = Granularity::Character;
    qsizetype m_dragAnchor = 0;
    // The attachment character whose cell took the last mouse-down, or -1.
    qsizetype m_trackingCellIndex = -1;
    Range m_dragInitial;
    bool m_usesFindBar = true;
    std::unique_ptr<FindBar> m_findBar;
    std::unique_ptr<Menu> m_contextMenu;
    bool m_spellChecking = false;
    bool m_usesRuler = true;
    // Handed to this view's ruler, cleared on destruction: the ruler lives in the scroll view and
    // may outlast the view.
    std::shared_ptr<TextView*> m_rulerClient;
};
