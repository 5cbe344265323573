#pragma once

#include "platform/foundation/NotificationCenter.h"
#include "platform/hvkit/HVStackBoolean.h"
#include "platform/textview/TextView.h"
#include "settings/OVSharedPreferencesAccess.h"
#include "text/OVColorPanelAccessoryViewProtocol.h"
#include "text/OVInsetEventProtocol.h"
#include "text/OVScrollViewTextView.h"

#include <QSet>
#include <QString>

#include <exception>
#include <functional>
#include <memory>
#include <optional>

class OVTextView;

inline const QString OVTextViewDidChangeBackgroundColorNotification =
    QStringLiteral("OVTextViewDidChangeBackgroundColorNotification");
inline const QString OVTextViewDidChangeAllowsHighlightColorPassthroughNotification =
    QStringLiteral("OVTextViewDidChangeAllowsHighlightColorPassthroughNotification");
// Object: the text storage. User info: the edit as {"editedMask", "editedRange" {location, length},
// "changeInLength"}, plus OVTextTransactionLoggerUserInfoKey when issues are tracked.
inline const QString OVTextViewDidProcessEditingNotification =
    QStringLiteral("OVTextViewDidProcessEditingNotification");
// The temporary attribute that marks text; edits drop it as the marked-text options ask.
inline const QString OVMarkedTextAttributeName = QStringLiteral("OVMarkedTextAttributeName");
inline const QString OVTextTransactionLoggerUserInfoKey =
    QStringLiteral("OVTextTransactionLoggerUserInfoKey");
// Object: the view. User info: OVTextViewInvertsBlackAndWhiteOnlyKey, a bool.
inline const QString OVTextViewWillInvertColorsNotification =
    QStringLiteral("OVTextViewWillInvertColorsNotification");
inline const QString OVTextViewDidInvertColorsNotification =
    QStringLiteral("OVTextViewDidInvertColorsNotification");
inline const QString OVTextViewInvertsBlackAndWhiteOnlyKey =
    QStringLiteral("OVTextViewInvertsBlackAndWhiteOnlyKey");
// Object: the view. User info: OVTextViewDisplayRange, the range kept in view as {location, length}.
inline const QString OVTextViewDidScrollForTextSizeChangeNotification =
    QStringLiteral("OVTextViewDidScrollForTextSizeChangeNotification");
inline const QString OVTextViewDisplayRange = QStringLiteral("OVTextViewDisplayRange");

// The edit diagnostics a text view reports to; the recorder itself lives with the document windows.
class OVTextTransactionLogging {
public:
    virtual ~OVTextTransactionLogging() = default;
    virtual void beginLog(OVTextView& view, const Range& editedRange, qsizetype changeInLength,
                          unsigned editActions) = 0;
    virtual void logBeginSanitizeTextStorageLength(qsizetype length) = 0;
    virtual void logEndSanitizeTextStorageLength(qsizetype length) = 0;
    // What the talent copy's replay of the edit adds to the open record.
    virtual void closeLog() {}
    virtual void logActionInsert() {}
    virtual void logActionDelete() {}
    virtual void logOpeningSecondaryTextStorageLength(qsizetype length) { (void)length; }
    virtual void logClosingSecondaryTextStorageLength(qsizetype length) { (void)length; }
    virtual void logDocumentCount() {}
    virtual void logBackgroundLayoutForDocumentTextView(const TextView& view) { (void)view; }
    virtual void logBackgroundLayoutForTalentTextView(const TextView& view) { (void)view; }
    virtual void logBreadcrumb(const QString& step) { (void)step; }
    virtual void logException(const std::exception& exception) { (void)exception; }
    virtual void logCriticalProblem(const QString& problem) { (void)problem; }
};

// The one rich-text view of the program. In Edit mode it keeps the script clean: every edit is
// sanitised before the layout sees it (disabled attributes, clear colours, attachments that are not
// pictures or bookmarks, line-break modes other than word wrapping); indents can be normalised on each
// edit; caret and selection colours follow the background. In Prompt mode it only shows the script and
// turns the scroll wheel into speed steps.
class OVTextView : public TextView,
                   public OVScrollViewTextView,
                   public OVInsetEventProtocol,
                   public OVColorPanelAccessoryViewProtocol {
public:
    // Makes the diagnostics recorder for a view when issues are tracked; may answer nullptr (a view
    // outside a document window records nothing).
    using LoggerFactory = std::function<std::unique_ptr<OVTextTransactionLogging>(OVTextView& view)>;
    static void setTextTransactionLoggerFactory(LoggerFactory factory);

    // Where speed steps go: the first responder gets "increaseSpeedWithMaxCap:" or
    // "decreaseSpeedWithMinCap:"; a test may catch them instead.
    using ActionSender = std::function<void(const QString& action, OVTextView& sender)>;
    static void setActionSender(ActionSender sender);
    // The prompter's state as the wheel handling asks it: the application's unless a test set one.
    struct PromptState {
        bool prompt = false;
        bool paused = false;
        bool changingMode = false;
    };
    static void setPromptStateProvider(std::function<PromptState()> provider);
    static PromptState promptState();

    // A runaway device cannot queue more steps than the speed range has.
    static constexpr int kMaxSpeedStepsPerEvent = 100;
    // The number of speed steps a vertical wheel delta gives: negative speeds up, positive slows
    // down, 0 nothing.
    static int speedStepsForWheelDelta(double compatibleDeltaY);
    // The classic delta of one wheel notch: the speed-step formula makes exactly one step of it.
    static constexpr double kCompatibleDeltaPerNotch = 20.0;
    // A precise (touchpad) event's vertical delta in the classic units: its points as they are.
    static double compatibleScrollingDeltaY(const Event& event);
    // Whether a file name's extension belongs to one of the type identifiers (images only so far).
    static bool filenameExtensionIsValidForTypes(const QString& filename, const QSet<QString>& types);

    static const QSet<QString>& colorAttributeNames();

    explicit OVTextView(const Rect& frame = {0, 0, 400, 300});
    ~OVTextView() override;

    void configureForEditing(bool flag);

    const QSet<QString>& permittedAttachmentUTIs() const { return m_permittedAttachmentUTIs; }
    void setPermittedAttachmentUTIs(const QSet<QString>& types) { m_permittedAttachmentUTIs = types; }
    const QSet<QString>& disabledAttributes() const { return m_disabledAttributes; }
    void setDisabledAttributes(const QSet<QString>& names) { m_disabledAttributes = names; }
    bool isAttributeDisabled(const QString& name) const { return m_disabledAttributes.contains(name); }
    bool disableLists() const { return m_disableLists; }
    void setDisableLists(bool flag) { m_disableLists = flag; }
    bool disableLinks() const { return m_disableLinks; }
    void setDisableLinks(bool flag) { m_disableLinks = flag; }
    bool disableTables() const { return m_disableTables; }
    void setDisableTables(bool flag) { m_disableTables = flag; }
    bool disableContentNotifications() const { return m_disableContentNotifications; }
    void setDisableContentNotifications(bool flag) { m_disableContentNotifications = flag; }
    bool alwaysNormalizeParagraphIndents() const { return m_alwaysNormalizeParagraphIndents; }
    void setAlwaysNormalizeParagraphIndents(bool flag);
    bool preventUnderlineColors() const { return m_preventUnderlineColors; }
    void setPreventUnderlineColors(bool flag);
    bool allowsHighlightColorPassthrough() const { return m_allowsHighlightColorPassthrough; }
    void setAllowsHighlightColorPassthrough(bool flag);
    const std::optional<AttributeDictionary>& preTypingAttributes() const { return m_preTypingAttributes; }
    OVTextTransactionLogging* textTransactionLogger() const { return m_logger.get(); }
    HVStackBoolean& autoUnmarkText() { return m_autoUnmarkText; }
    bool drawsMarkedText() const { return m_drawsMarkedText; }
    void setDrawsMarkedText(bool flag);
    // The colour marks are drawn in (plain or patterned); none when the user chose none.
    std::optional<OVSharedPreferencesAccess::MarkedTextColor> markedTextColor() const;

    // Marks: passages the operator picks out. They live in the layout manager only, so they are never
    // saved, undone, copied to the prompt output or counted as an edit of the document.
    enum MarkJumpDirection { MarkJumpNext = 1, MarkJumpPrevious = 2 };
    void markTextInRange(const Range& range);
    void markTextInRanges(const std::vector<Range>& ranges);
    // Unmarking any part of a mark, even an empty range inside or touching it, drops the whole mark.
    void unmarkTextInRange(const Range& range);
    void unmarkTextInRanges(const std::vector<Range>& ranges);
    // Marks the lines shown in full.
    void markTextInVisibleRange();
    Range contiguousMarkedRangeForRange(const Range& range) const;
    bool isMarkedTextVisibleInViewport() const;
    void jumpToSubsequentMarkInDirection(int direction, bool selectMark);
    void jumpToMarkAtRange(const Range& range, bool selectMark);

    // Paragraph indents: the first line's and the other lines' head indents made equal to the
    // smaller of the two, which is what the prompter can show. A range reaching past the text does
    // nothing.
    void normalizeParagraphIndents();
    void normalizeParagraphIndentsInRange(const Range& range);
    void stripUnsupportedAttributes();
    void stripUnsupportedAttributesInRange(const Range& range);

    void setBackgroundColor(const QColor& color) override;
    void setTypingAttributes(const AttributeDictionary& attributes) override;
    void setSelectedRanges(std::vector<Range> ranges, bool stillSelecting = false) override;

    // Scroll view padding.
    Size textContainerInset() const override { return TextView::textContainerInset(); }
    void setTextContainerInset(const Size& inset) override { TextView::setTextContainerInset(inset); }

    bool handledEventSelector(const QString& selector, Event& event, int insetRegion,
                              ClipView* fromView) override;
    void scrollWheel(Event& event) override;
    // The desktop's text menu with, after its strike-through item or else at its end, the main
    // menu's invert-selection items, a separator and the selection's default-style items.
    Menu* menuForEvent(const Event& event) override;
    // A double click on a mark drops it when the marked-text options say so.
    void mouseDown(Event& event) override;
    // Drops the whole mark holding index.
    void unmarkTextAtIndex(qsizetype index);
    bool doCommandBySelector(const QString& selector) override;
    // Ignored while the window holds back input (a mode change or a flip is under way).
    void toggleRuler() override;

    // The shared default style over the whole text, with its background colour, as one undo step.
    void applyDefaultStyle();
    // The default style over the selection; the background stays. An empty caret only beeps.
    void applyDefaultStyleWithoutBackground();
    static QString localizedApplyDefaultStyleString();
    static QString localizedApplyDefaultStyleWithoutBackgroundString();

    // Restyling commands: colours, inversion and text size, each one undo step with its name.
    // Colour changes made before control returns to the event loop (a drag in a colour panel) make
    // one undo step together.
    enum ColorPanelOption : unsigned {
        ColorPanelTextColor = 1,
        ColorPanelHighlightColor = 2,
        ColorPanelBackgroundColor = 4
    };
    unsigned supportedColorPanelOptionMask() const override { return 7; }
    // Sets the colours of the options in mask back to the default style's, as one step.
    void resetColorForColorPanelOption(unsigned mask) override;
    // The colour panel shows this view's colour for the accessory's option.
    void updateColorPanelColorForSelectedOption() override;
    // "changeColor:" from the colour panel: its colour becomes the text colour, the highlight (which
    // then shows through the selection) or the page colour, as the accessory's option says.
    virtual void changeColor(const QVariant& sender);
    // None means the default style's colour: its background (black without one), its text colour
    // (white without one), its highlight (possibly none). With Shift held the highlight is removed.
    void setUndoableBackgroundColor(const std::optional<Color>& color);
    void setUndoableTextColor(const std::optional<Color>& color);
    void setUndoableHighlightColor(const std::optional<Color>& color);

    // Inverts the whole text, page included: black and white only unless Alt is held.
    void invertColors();
    void invertColorsIgnoringModifiers();
    // Inverts all colours or black and white only, of the document (text and page) or of ranges
    // (the selection as a block on the page, which stays).
    void newInvertColors(bool allColors, bool affectDocument, const std::vector<Range>& ranges);

    // Text-size options; 0 means select and keep in view (5). Select and keep the selection together
    // do nothing.
    enum TextSizeOption : unsigned {
        TextSizeSelectRanges = 1,
        TextSizeKeepSelection = 2,
        TextSizeKeepVisibleRange = 4
    };
    static constexpr double kTextSizeStep = 2.0;
    void increaseTextSize();
    void decreaseTextSize();
    // Each font becomes old × factor + size points. Refused with a beep when the smallest font would
    // go below one point, or for a factor that is not a positive number.
    void adjustTextSizeByFactor(double factor, double size);
    void adjustTextSizeByFactor(double factor, double size, const std::vector<Range>& selectedRanges);
    void adjustTextSizeByFactor(double factor, double size, const std::vector<Range>& selectedRanges,
                                unsigned options);

    // What the commands take to be held (Shift, Alt); the window system's unless a test set one.
    static void setModifierFlagsProvider(std::function<unsigned long()> provider);
    // What a refused command does to tell the user; the system's beep unless a test set one.
    static void setBeeper(std::function<void()> beeper);

    // Overdraw: how much of the script a prompt output view keeps laid out and drawn ahead of the
    // scrolling, by the rule the Advanced settings pick. The three settings are read into a cache
    // that the settings pane refreshes through updateCachedOverdrawDefaults.
    enum OverdrawOption : qint64 {
        OverdrawDefault = 0,
        OverdrawMemoryLimit = 1,
        OverdrawFixedHeight = 2,
        OverdrawWholeText = 3,
        OverdrawVisibleRect = 4
    };
    static inline const QString kOverdrawOptionTagKey = QStringLiteral("overdrawOptionTag");
    static inline const QString kCustomOverdrawMemoryLimitMBKey =
        QStringLiteral("customOverdrawMemoryLimitMB");
    static inline const QString kCustomOverdrawFixedHeightPointsKey =
        QStringLiteral("customOverdrawFixedHeightPoints");
    static qint64 overdrawOption();
    static qint64 overdrawMemoryLimitMB();
    static qint64 overdrawFixedHeightPoints();
    static void updateCachedOverdrawDefaults();
    // The height a memory budget buys: whole rows of 256-point bands, each row as many bands across
    // as the visible width needs, at the window's pixel ratio and depth. None when the budget does
    // not buy one row or any input makes the sum meaningless (no width, ratio or depth).
    static std::optional<qint64> overdrawHeightForMemoryLimit(qint64 limitMB, double scale, int bitsPerPixel,
                                                              double visibleWidth);
    // Widens the platform's proposal while prompting, for an output view that is not selectable,
    // then prepares what it chose.
    void prepareContentInRect(const Rect& proposedRect) override;
    // The rectangle the rule picks for a proposal (what prepareContentInRect prepares).
    Rect overdrawRectForProposedRect(const Rect& proposedRect) const;

private:
    void registerStyleActions();
    void _invertColors(bool blackAndWhiteOnly);
    void _setUndoableColor(const std::optional<Color>& color, const QString& attributeName);
    void __setTypingAttributes(const AttributeDictionary& attributes, const QString& attributeName,
                               bool handleUndo);
    void _configureUndoManagerActionNameForAttributeName(const QString& attributeName);
    bool __isAttributeInvalid(const QString& attributeName, const char* selector) const;
    void _scheduleResetDidAddUndoAction();
    void invertTypingAttributes(bool blackAndWhiteOnly);
    void invertPageColor(bool blackAndWhiteOnly);
    void postInversionNotification(const QString& name, bool blackAndWhiteOnly);
    static void beep();

    void _jumpToMarkAtRange(const Range& range, bool selectMark, bool bypassChecks);
    void changeMarks(const std::function<void(LayoutManager& layout)>& change);
    void _applyDefaultStyleAndBackgroundColor(bool withBackground);
    // Sets the view's background with an undo step of its own; none means the default style's
    // background, or black without one.
    void _setUndoableBackgroundColor(const std::optional<Color>& color, bool setUndoActionName);
    // The undo manager the style and colour commands register with: none while the view cannot undo.
    UndoManager* _contentAdjustmentUndoManager();

    void willProcessEditing(TextStorage& storage);
    void updateInsertionPointColor();
    void updateSelectedTextAttributes();
    void readDefaults();
    void sendSpeedSteps(double compatibleDeltaY);
    void dropMarksForEdit(const TextStorage& storage, const Range& edited);

    QSet<QString> m_permittedAttachmentUTIs;
    QSet<QString> m_disabledAttributes;
    bool m_disableLists = true;
    bool m_disableLinks = true;
    bool m_disableTables = true;
    bool m_disableContentNotifications = false;
    bool m_alwaysNormalizeParagraphIndents = false;
    bool m_preventUnderlineColors = false;
    bool m_allowsHighlightColorPassthrough = false;
    bool m_drawsMarkedText = false;
    bool m_typingHandlerSuspended = false;
    std::optional<AttributeDictionary> m_preTypingAttributes;
    std::unique_ptr<OVTextTransactionLogging> m_logger;
    HVStackBoolean m_autoUnmarkText{true};
    TextStorage::ObserverToken m_willProcessToken = 0;
    // Weak: another layout manager may take over the view, and the old storage may go first.
    std::weak_ptr<TextStorage> m_observedStorage;
    std::vector<NotificationObserver> m_observers;
    // Parts of a notch that high-resolution wheels send, kept until they make a whole one.
    double m_pendingNotches = 0;
    // Set by a colour change that registered its undo step, until the event loop's next pass: the
    // changes in between go into that one step.
    bool m_didAddUndoAction = false;
    // Raised while this view puts its own colour into the colour panel.
    int m_colorPanelSuppression = 0;
    // Lets work posted to the next pass tell whether the view still exists.
    std::shared_ptr<int> m_alive = std::make_shared<int>(0);
};
