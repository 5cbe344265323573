#pragma once

#include "platform/appkit/View.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/PlistValue.h"
#include "platform/hvkit/HVInitialDefaultsProvider.h"
#include "platform/text/AttributeDictionary.h"
#include "platform/text/Color.h"
#include "platform/text/Font.h"
#include "prompter_view/OVSynchronizedProperties.h"
#include "prompter_view/OVTimeBarStringComponent.h"

#include <QColor>
#include <QPointer>
#include <QString>

#include <array>
#include <memory>
#include <optional>

class OVCore;
class OVTimeBarActionResponder;
class OVTimeInfo;
class QMenu;

inline const QString OVTimeBarInternalPropertiesDidChangeNotification =
    QStringLiteral("OVTimeBarInternalPropertiesDidChangeNotification");
inline const QString OVTimeBarPropertiesDidChangeNotification =
    QStringLiteral("OVTimeBarPropertiesDidChangeNotification");
inline const QString OVTimeBarPositionDidChangeNotification =
    QStringLiteral("OVTimeBarPositionDidChangeNotification");

// The band above or below the script with the time of day ("Clock") and a timer, elapsed or remaining,
// each a large time over a small title. A click on the timer switches it, Option-click resets the
// elapsed time; settings are shared by every bar through the synchronised-properties scheme.
class OVTimeBar : public View, public HVInitialDefaultsProvider, public OVSynchronizedSettings<OVTimeBar> {
public:
    // The prompting core this view talks to, set by whoever puts the view in a window; without one
    // the view behaves as in Edit mode with the prompter paused.
    void setCore(OVCore* core) { m_core = core; }
    OVCore* core() const { return m_core; }

    enum TimerType : qint64 { kTimerElapsed = 0, kTimerRemaining = 1 };
    enum Position : qint64 { kPositionBottom = 0, kPositionTop = 1 };
    enum Part : int {
        kClockTime = 0,
        kClockTitle = 1,
        kElapsedTime = 2,
        kElapsedTitle = 3,
        kRemainingTime = 4,
        kRemainingTitle = 5,
        kClockSample = 6,
        kTimerSample = 7,
        kPartCount = 8,
    };
    enum AttributesAction : int { kTimeAttributesAction = 1, kTitleAttributesAction = 2 };
    static constexpr double kMinimumGap = 60.0;
    static constexpr double kMaximumGap = 150.0;
    static constexpr int kSaveAsDefaultTag = -1;

    // How the clock and timer columns share a bar of a given width.
    struct Columns {
        double gap = 0;
        bool clockShown = false;
        bool timerShown = false;
        double contentWidth = 0;
    };
    static Columns columnsFor(double width, double clockWidth, double timerWidth, bool showsClock,
                              bool showsTimer);

    explicit OVTimeBar(const Rect& frame = {});
    ~OVTimeBar() override;

    // Settings shared by all of them (the rest come from OVSynchronizedSettings).
    static PlistDictionary initialDefaultProperties();
    static OVSynchronizedProperties::Scheme& synchronizationScheme();
    static QString contextualMenuTitle();
    // The first visible, usable window (or its controller) that styles time bars; none while a modal
    // window runs.
    static OVTimeBarActionResponder* timeBarActionResponder();
    static OVTimeBar* actionableTimeBar();
    static void clearActionableTimeBar();

    PlistDictionary properties() const;
    // Applies each known key whose value is usable and differs; values out of range and unreadable
    // attribute data are ignored.
    void loadProperties(const std::optional<PlistDictionary>& properties);
    void defaultsDidReset() override;

    qint64 timerType() const { return m_timerType; }
    void setTimerType(qint64 type);
    qint64 position() const { return m_position; }
    void setPosition(qint64 position);
    bool showsClock() const { return m_showsClock; }
    void setShowsClock(bool shows);
    bool showsTimer() const { return m_showsTimer; }
    void setShowsTimer(bool shows);
    bool changeColorsIfNecessary() const { return m_changeColorsIfNecessary; }
    void setChangeColorsIfNecessary(bool change);
    const AttributeDictionary& timeAttributes() const { return m_timeAttributes; }
    void setTimeAttributes(const AttributeDictionary& attributes);
    const AttributeDictionary& titleAttributes() const { return m_titleAttributes; }
    void setTitleAttributes(const AttributeDictionary& attributes);
    const std::optional<QColor>& backgroundColor() const { return m_backgroundColor; }
    void setBackgroundColor(const std::optional<QColor>& color);
    OVTimeInfo* timeInfo() const;
    // Shows this time info from now on (the bar's own when nullptr, or once the given one is gone)
    // and refreshes.
    void setTimeInfo(OVTimeInfo* timeInfo);
    bool isEnabled() const { return m_enabled; }
    void setEnabled(bool enabled) { m_enabled = enabled; }
    bool flippedHorizontally() const { return m_flippedHorizontally; }
    void setFlippedHorizontally(bool flipped);
    bool flippedVertically() const { return m_flippedVertically; }
    void setFlippedVertically(bool flipped);

    // The height the bar needs for its fonts; -1 when the time or title attributes have no font.
    double height() const;
    // The height to give the bar's frame: never negative.
    double frameHeight() const { return std::max(0.0, height()); }
    // Shows or hides the bar by animating its height on the shared clock; a negative height (no
    // fonts) animates to 0.
    void animateToHeight(double height, double duration, Completion completion = {});

    // Takes the time info's current strings and redraws what changed.
    void update();

    const OVTimeBarStringComponent& component(Part part) const { return m_components[part]; }
    bool isClockShown() const { return m_clockShown; }
    bool isTimerShown() const { return m_timerShown; }
    const std::optional<QColor>& borderColor() const { return m_borderColor; }
    // The colour a text colour is drawn in against the background.
    QColor displayedColor(const AttributeDictionary& attributes) const;
    // Where the border line is drawn, mirrors included.
    Rect borderRect() const;
    // A part's rectangle as it shows, mirrors included.
    Rect displayedLocation(Part part) const;

    std::unique_ptr<QMenu> menuForEvent(const Event& event);
    // action 1 or 2; only the font or colour given replaces the current one.
    void performAttributesAction(int action, const std::optional<Font>& font,
                                 const std::optional<Color>& color);
    void _resetElapsedTimer();

    bool isFlipped() const override { return false; }
    void drawRect(QPainter& painter, const Rect& dirtyRect) override;
    void mouseDown(Event& event) override;
    void rightMouseDown(Event& event) override;

protected:
    void frameDidChange(const Size& oldSize) override;

private:
    OVCore* m_core = nullptr;
    void applyAttributes();
    void updateComponentVisibility();
    void relayout();
    void resizeToHeightIfShown();
    Rect mirrored(const Rect& rect) const;
    Point unmirrored(const Point& point) const;
    Part timerTimePart() const { return m_timerType == kTimerRemaining ? kRemainingTime : kElapsedTime; }
    Part timerTitlePart() const { return m_timerType == kTimerRemaining ? kRemainingTitle : kElapsedTitle; }
    void postChange() { m_sync.postChange(); }
    void _prepareActionResponder(int tag);

    qint64 m_timerType = kTimerElapsed;
    qint64 m_position = kPositionBottom;
    bool m_showsClock = true;
    bool m_showsTimer = true;
    bool m_changeColorsIfNecessary = true;
    AttributeDictionary m_timeAttributes;
    AttributeDictionary m_titleAttributes;
    std::optional<QColor> m_backgroundColor;
    std::optional<QColor> m_borderColor;
    std::unique_ptr<OVTimeInfo> m_ownTimeInfo;
    // The front script's counters belong to its window, which can close before the bar goes.
    QPointer<OVTimeInfo> m_timeInfo;
    bool m_enabled = true;
    bool m_flippedHorizontally = false;
    bool m_flippedVertically = false;
    bool m_clockShown = true;
    bool m_timerShown = true;
    bool m_settingUp = true;
    std::array<OVTimeBarStringComponent, kPartCount> m_components;
    OVSynchronizedProperties m_sync;
    NotificationObserver m_timersObserver;
};
