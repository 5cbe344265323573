#pragma once

#include "platform/appkit/ScrollView.h"
#include "platform/foundation/NotificationCenter.h"

#include <QColor>
#include <QString>

#include <functional>
#include <memory>

class OVCore;
class OVEnclosingPrompterView;
class Timer;

inline const QString OVScrollViewTracksVerticalInsetDidChangeNotification =
    QStringLiteral("OVScrollViewTracksVerticalInsetDidChangeNotification");
inline const QString OVScrollViewHasLegacyVerticalScrollerDidChangeNotification =
    QStringLiteral("OVScrollViewHasLegacyVerticalScrollerDidChangeNotification");
inline const QString OVPreferencesAdvancedDidChangeAlwaysUseAutomaticWhitespacePaddingNotification =
    QStringLiteral("OVPreferencesAdvancedDidChangeAlwaysUseAutomaticWhitespacePaddingNotification");

// The scroll view of every prompter view. While the prompter runs, wheel deltas feed the scroll engine
// instead of scrolling; whitespace padding of one visible height above and below the text lets the
// first and last lines reach the reading line; scrollers can hide without shrinking the text, or show
// on hover or keep flashing.
class OVScrollView : public ScrollView {
public:
    enum OverlayScrollerBehavior : unsigned {
        kOverlaySystem = 0,
        kOverlayShowOnHover = 1,
        kOverlayKeepFlashing = 2
    };

    static constexpr double kHiddenScrollerExtraLength = 32.0;
    static constexpr double kTrackingStripExtraWidth = 4.0;
    static constexpr double kFlashInterval = 0.33;
    inline static const QString kOverlayTrackingKey = QStringLiteral("overlayTrackingKey");

    // Makes the text view of each new scroll view (the rich-text view in the program); without one a
    // plain flipped view stands in.
    using TextViewFactory = std::function<std::unique_ptr<View>(const Rect& frame)>;
    static void setTextViewFactory(TextViewFactory factory);

    // textView, when given, is the document view; otherwise the factory makes it.
    explicit OVScrollView(const Rect& frame = {}, std::unique_ptr<View> textView = nullptr);
    ~OVScrollView() override;

    View* textView() const { return documentView(); }
    // The nearest enclosing prompter view, looked up again after each move to a new superview.
    OVEnclosingPrompterView* enclosingPrompterView() const { return m_enclosingPrompterView; }

    double verticalInsetAdjustment() const { return m_verticalInsetAdjustment; }
    void setVerticalInsetAdjustment(double adjustment);
    bool tracksVerticalInset() const { return m_tracksVerticalInset; }
    void setTracksVerticalInset(bool tracks);
    unsigned overlayScrollerBehavior() const { return m_overlayScrollerBehavior; }
    void setOverlayScrollerBehavior(unsigned behavior);
    bool suspendReTile() const { return m_suspendReTile; }
    void setSuspendReTile(bool suspend) { m_suspendReTile = suspend; }
    bool suspendsRulerUpdates() const override { return m_suspendReTile; }
    bool ignoreSetHasScrollerCalls() const { return m_ignoreSetHasScrollerCalls; }
    void setIgnoreSetHasScrollerCalls(bool ignore) { m_ignoreSetHasScrollerCalls = ignore; }
    // Wheel events are dropped while set (the framework's scroll view switch).
    // The prompting core this view talks to, set by whoever puts the view in a window; without one
    // the view behaves as in Edit mode with the prompter paused.
    void setCore(OVCore* core) { m_core = core; }
    OVCore* core() const { return m_core; }
    // Shrinks or enlarges the text as it is drawn, keeping its line breaks (the enclosing prompter
    // view applies it as it tiles). Only finite values above 0 are taken.
    double magnification() const { return m_magnification; }
    void setMagnification(double magnification);
    bool preventScrolling() const override { return m_preventScrolling; }
    void setPreventScrolling(bool prevent) { m_preventScrolling = prevent; }

    bool usesOverlayScrollers() const;
    bool showsLegacyScrollersIfUsed() const { return true; }
    bool usesResponsiveScrolling() const { return false; }
    // The scroll view, clip view and document view with their frames and bounds, one entry each; also
    // logged.
    QString debugScrollStack() const;

    // The text's background, which the clip view fills with.
    void setBackgroundColor(const QColor& color);
    // The hover strip of the overlay behaviours, empty when none is installed.
    Rect overlayTrackingRect() const;
    bool hasFlashTimer() const { return m_flashTimer != nullptr; }

    void tile() override;
    // Also gives hidden scrollers the current scroll ratio while the fixed reflect is on.
    void reflectScrolledClipView(ClipView* clipView) override;
    void setHasVerticalScroller(bool flag) override;
    void setHasHorizontalScroller(bool flag) override;
    void setScrollerStyle(Scroller::Style style) override;
    void scrollWheel(Event& event) override;
    // How far one wheel notch scrolls the prompter while it runs.
    double wheelNotchDistance() const;
    void mouseEntered(Event& event) override;
    void mouseExited(Event& event) override;
    void updateTrackingAreas() override;
    void viewDidMoveToSuperview() override;

protected:
    void frameDidChange(const Size& oldSize) override;

private:
    void _setHas(bool flag, int axis);
    void _adjustForTracksVerticalInset();
    Rect trackingStripRect() const;
    void installTrackingArea();
    void removeTrackingArea();
    void updateOverlayScrollerVisibility(const Event& event);
    void flashScrollers();

    OVEnclosingPrompterView* m_enclosingPrompterView = nullptr;
    double m_verticalInsetAdjustment = 0.0;
    bool m_tracksVerticalInset = false;
    unsigned m_overlayScrollerBehavior = kOverlaySystem;
    bool m_suspendReTile = false;
    bool m_ignoreSetHasScrollerCalls = false;
    bool m_preventScrolling = false;
    OVCore* m_core = nullptr;
    int m_trackingArea = 0;
    std::unique_ptr<Timer> m_flashTimer;
    NotificationObserver m_paddingPreferenceObserver;
    double m_magnification = 1.0;
    bool m_tiling = false;
};
