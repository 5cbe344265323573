#pragma once

#include "platform/foundation/NotificationCenter.h"
#include "prompter_view/OVEnclosingPrompterView.h"
#include "prompter_view/OVPrompterStandbyView.h"
#include "prompter_view/OVPrompterTileGeometry.h"
#include "prompting/OVCorePrompterView.h"

#include "platform/appkit/View.h"

#include <QColor>

#include <limits>
#include <memory>
#include <optional>

class Animation;
class OVBlankingNoticeView;
class OVCore;
class OVFocusArrowView;
class OVScrollView;
class OVTextView;
class OVTimeBar;

inline const QString OVPreviewPrompterViewDidChangeNotification =
    QStringLiteral("OVPreviewPrompterViewDidChangeNotification");
inline const QString OVPrompterDidBeginMarginChangeNotification =
    QStringLiteral("OVPrompterDidBeginMarginChangeNotification");
inline const QString OVPrompterDidEndMarginChangeNotification =
    QStringLiteral("OVPrompterDidEndMarginChangeNotification");
inline const QString OVViewAnimationNameToggleTimeBar = QStringLiteral("OVViewAnimationNameToggleTimeBar");
inline const QString OVViewAnimationNameToggleFocusArrow =
    QStringLiteral("OVViewAnimationNameToggleFocusArrow");

// One prompter: the script in its scroll view, the focus arrow beside it and the time bar above or
// below, laid out inside margins on a 3 x 3 alignment grid, magnified by a scale factor and mirrored
// as a whole. It never scrolls the script while prompting (the scroll engine moves the clip view);
// it re-tiles on every resize and on every frame of the arrow's and the bar's show and hide
// animations, so the text follows them smoothly.
class OVPrompterView : public View, public OVCorePrompterView, public OVEnclosingPrompterView {
public:
    enum TileOption : unsigned { kTileOptionReserveScrollerWidth = 1 };
    enum LineDirection : int { kLineDirectionNext = 1, kLineDirectionPrevious = 2 };
    static constexpr double kLineScrollDuration = 0.3;
    static constexpr double kDefaultAnimationDuration = 0.2;
    static constexpr double kSlowAnimationDuration = 1.0;
    // The smallest normal double, which fills every field of the rectangle answered for no line.
    static constexpr double kNoLineValue = std::numeric_limits<double>::min();

    explicit OVPrompterView(const Rect& frame = {});
    ~OVPrompterView() override;

    OVScrollView* prompterScrollView() const { return m_scrollView; }
    OVTextView* prompterTextView() const { return m_textView; }
    OVFocusArrowView* focusArrowView() const { return m_focusArrowView; }
    OVTimeBar* timeBar() const { return m_timeBar; }

    // Margin factors are clamped to 0-0.99 and NaN counts as 0, so stored settings cannot push the
    // content out of the view.
    double horizontalMarginIndentFactor() const override { return m_horizontalMarginIndentFactor; }
    void setHorizontalMarginIndentFactor(double factor) override;
    double verticalMarginIndentFactor() const override { return m_verticalMarginIndentFactor; }
    void setVerticalMarginIndentFactor(double factor) override;
    unsigned marginAlignment() const { return m_marginAlignment; }
    void setMarginAlignment(unsigned alignment);
    double scaleFactor() const { return m_scaleFactor; }
    // Refuses factors that are 0, negative or not finite (answers false and keeps the current one).
    bool setScaleFactor(double factor);
    unsigned tileOptions() const { return m_tileOptions; }
    void setTileOptions(unsigned options);
    bool isHorizontallyFlipped() const { return m_horizontallyFlipped; }
    void setHorizontallyFlipped(bool flipped);
    bool isVerticallyFlipped() const override { return m_verticallyFlipped; }
    void setVerticallyFlipped(bool flipped);
    bool suspendReTile() const { return m_suspendReTile; }
    void setSuspendReTile(bool suspend) { m_suspendReTile = suspend; }
    bool hasContentBorder() const { return m_hasContentBorder; }
    // The border state a margin change returns to once it is done.
    bool defaultHasContentBorder() const { return m_defaultHasContentBorder; }
    void setDefaultHasContentBorder(bool flag) { m_defaultHasContentBorder = flag; }
    // The border fades in or out over the default animation time.
    void setHasContentBorder(bool flag);
    double borderAlpha() const { return m_borderAlpha; }
    const std::optional<QColor>& contentBorderColor() const { return m_contentBorderColor; }
    void setContentBorderColor(const std::optional<QColor>& color);
    const Rect& contentBorderRect() const { return m_contentBorderRect; }
    bool blockEventsDuringAnimation() const { return m_blockEventsDuringAnimation; }
    void setBlockEventsDuringAnimation(bool flag) { m_blockEventsDuringAnimation = flag; }

    bool isFocusArrowVisible() const { return m_focusArrowVisible; }
    void setFocusArrowVisible(bool visible);
    bool isTimeBarVisible() const { return m_timeBarVisible; }
    void setTimeBarVisible(bool visible);

    // Lays out the text, the arrow and the bar.
    void tile();
    void setFrameWithoutTile(const Rect& frame);
    // What the last tile computed, for drawing and tests.
    const OVPrompterTileGeometry::Result& lastTile() const { return m_lastTile; }

    // Line scrolling: the clip view moves by one line in 0.3 seconds; a second press within that
    // time continues from the first one's target.
    void scrollToNextLine();
    void scrollToPreviousLine();
    // The next line's rectangle in the text view, or a rectangle of kNoLineValue when there is none.
    Rect lineRectInDirection(int direction) const;
    Rect lineRectInDirection(int direction, double fromY) const;
    double animatingLineDestination() const { return m_animatingLineDestination; }

    // Makes the text view a pure output (talent and preview windows).
    void configureForPreviewOrTalent();
    // Every new prompter scroll view gets the rich-text view as its text view from now on.
    static void installTextViewFactory();

    // In Edit mode the view can mirror the talent output's arrow, bar and margins as the preview
    // panel sets them, with the content border shown while a margin slider is dragged.
    bool reflectPrompterSettingsInEditMode() const { return m_reflectPrompterSettingsInEditMode; }
    void setReflectPrompterSettingsInEditMode(bool flag);
    void reflectPreviewPrompterSettings();
    void reflectStandardEditModeSettings();
    void reflectShowsFocusArrow(bool showsFocusArrow, bool showsTimeBar, double horizontalMargins,
                                double verticalMargins, unsigned marginAlignment);

    // OVCorePrompterView.
    ScrollView* scrollView() const override;
    ClipView* clipView() const override;
    View* textView() const override;
    bool isContentEditable() const override;
    void setupTextViewForMode(bool promptMode, qsizetype visibleCharacterLocation) override;
    qsizetype textLength() const override;
    bool usesAnimation() const override { return m_usesAnimation; }
    void setUsesAnimation(bool flag) override { m_usesAnimation = flag; }
    bool isAnimating() const override { return m_animationCount > 0; }
    // 0 without animation; otherwise 1.0 with Shift held, else 0.2.
    double animationDuration() const override;
    bool textContainerWidthTracksTextView() const;
    void setTextContainerWidthTracksTextView(bool flag) override;
    // Whether the view keeps its text container's width while its focus arrow slides in or out, so
    // the text does not re-wrap on every frame (on by default). The talent output's views leave it
    // to their controller, which hears the views' animation notifications and settles both.
    // The width the text view gives a container that tracks it.
    double trackedTextContainerWidth() const;
    // After an animation that held the text container's width: a container that does not track the
    // text view, or is not as wide as it, takes the view's width, tracks it again and is laid out
    // completely. Answers whether anything had to change.
    bool restoreTextContainerWidthTracking();
    bool keepsTextContainerWidthDuringArrowAnimation() const { return m_keepsTextContainerWidthDuringArrowAnimation; }
    void setKeepsTextContainerWidthDuringArrowAnimation(bool flag) { m_keepsTextContainerWidthDuringArrowAnimation = flag; }
    bool usesFocusArrow() const override { return isFocusArrowVisible(); }
    void setUsesFocusArrow(bool flag) override { setFocusArrowVisible(flag); }
    bool usesTimeBar() const override { return isTimeBarVisible(); }
    void setUsesTimeBar(bool flag) override { setTimeBarVisible(flag); }
    bool tracksVerticalInset() const override;
    void setTracksVerticalInset(bool flag) override;
    double verticalInsetAdjustment() const override;
    void setVerticalInsetAdjustment(double adjustment) override;
    void setPreventScrolling(bool flag) override;
    void setOverlayScrollerBehavior(unsigned behavior) override;
    OVPrompterTextOptions textOptions() const override;
    void setTextOptions(const OVPrompterTextOptions& options) override;
    OVVisiblePrompterContent recordVisibleContent(bool enteringPromptMode) const override;
    void returnToVisibleContent(const OVVisiblePrompterContent& content, bool force) override;
    bool isMouseOverPrompter() const override;
    // Blanking covers the script, the arrow and the bar with the standby view.
    bool isStandbyViewVisible() const override { return m_standbyViewVisible; }
    void setStandbyViewVisible(bool visible) override;
    OVPrompterStandbyView* standbyView() const { return m_standbyView; }
    // The "Blanking is on" notice at the top centre, over the script.
    OVBlankingNoticeView* blankingNoticeView() const { return m_blankingNoticeView; }
    bool showBlankingNotice() const { return m_showBlankingNotice; }
    void setShowBlankingNotice(bool flag);
    double focusArrowCenterFromOrigin() const override;
    void adjustTextSizeByFactor(double factor) override;
    // Text without a colour of its own counts as black, so it turns white.
    void invertColors() override;
    bool contentNotificationsSuspended() const override;
    bool backgroundLayoutEnabled() const override;
    void setBackgroundLayoutEnabled(bool flag) override;
    void setContentNotificationsSuspended(bool flag) override;
    void saveUnadjustedContent() override;
    bool restoreUnadjustedContent() override;
    const AttributedString* unadjustedContent() const override;
    // The background that goes with the unadjusted content.
    QColor unadjustedBackgroundColor() const { return m_unadjustedBackground; }

    // The prompting core this view and its scroll view, focus arrow and time bar talk to; without one
    // they behave as in Edit mode with the prompter paused.
    void setCore(OVCore* core);
    OVCore* core() const { return m_core; }

    // Whether Shift counts as held when animationDuration is asked (tests set it; the program asks
    // the keyboard).
    static void setShiftKeyQuery(std::function<bool()> query);

    void drawRect(QPainter& painter, const Rect& dirtyRect) override;

protected:
    void frameDidChange(const Size& oldSize) override;

private:
    void scrollToLineInDirection(int direction);
    // Turns the views to the flips set, axis naming the one that changed (NSViewHVAdditions::FlipAxis).
    void applyFlips(unsigned axis);
    void createStandbyViewIfNecessary();
    void backgroundColorDidChange();
    void beginAnimation(double duration);

    OVScrollView* m_scrollView = nullptr;
    OVTextView* m_textView = nullptr;
    OVFocusArrowView* m_focusArrowView = nullptr;
    OVTimeBar* m_timeBar = nullptr;
    OVBlankingNoticeView* m_blankingNoticeView = nullptr;
    bool m_showBlankingNotice = false;
    OVPrompterStandbyView* m_standbyView = nullptr;
    bool m_standbyViewVisible = false;
    OVCore* m_core = nullptr;
    double m_horizontalMarginIndentFactor = 0;
    double m_verticalMarginIndentFactor = 0;
    unsigned m_marginAlignment = 4;
    double m_scaleFactor = 1.0;
    unsigned m_tileOptions = 0;
    bool m_horizontallyFlipped = false;
    bool m_verticallyFlipped = false;
    bool m_focusArrowVisible = false;
    bool m_timeBarVisible = false;
    bool m_focusArrowTarget = false;
    bool m_timeBarTarget = false;
    bool m_suspendReTile = false;
    bool m_hasContentBorder = false;
    bool m_defaultHasContentBorder = false;
    double m_borderAlpha = 0;
    std::unique_ptr<Animation> m_borderAnimation;
    std::optional<QColor> m_contentBorderColor;
    Rect m_contentBorderRect;
    bool m_usesAnimation = false;
    bool m_blockEventsDuringAnimation = true;
    int m_animationCount = 0;
    bool m_keepsTextContainerWidthDuringArrowAnimation = true;
    double m_animatingLineDestination = std::numeric_limits<double>::max();
    double m_lineDestinationResetAt = 0;
    OVPrompterTileGeometry::Result m_lastTile;
    int m_arrowFrameObserver = 0;
    int m_barFrameObserver = 0;
    std::vector<NotificationObserver> m_observers;
    bool m_reflectPrompterSettingsInEditMode = false;
    std::vector<NotificationObserver> m_reflectObservers;
    std::unique_ptr<AttributedString> m_unadjustedContent;
    QColor m_unadjustedBackground;
};
