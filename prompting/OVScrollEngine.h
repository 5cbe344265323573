#pragma once

#include <algorithm>

// The arithmetic of one tick of Prompt mode: from the speed, the time since the previous tick, the
// held scroll keys, the queued deltas and the clip view's geometry to the clip view's new origin.
// It touches no view, clock or setting, so a tick is a function of its input and this state.
class OVScrollEngine {
public:
    // The scroll keys held in Prompt mode, with the times they went down or up.
    struct HeldKeys {
        bool down = false;
        bool up = false;
        bool boost = false;
        double lastDownTime = 0;
        double lastUpTime = 0;
    };

    // Where the clip view stands over the document, in the clip view's flipped coordinates.
    struct ClipGeometry {
        double originY = 0;
        double documentTop = 0;
        double documentHeight = 0;
        double clipHeight = 0;
        // How much further the script may go than its end in the view: with the talent window in
        // use, the operator's toolbar less the talent's insets, so both reach the end together.
        double bottomGrowth = 0;
    };

    struct Input {
        // The clock's time of this tick, and the seconds since the tick before.
        double now = 0;
        double timePassed = 0;
        // The speed converted for the speed scale, and the scale it was converted with.
        double speed = 0;
        int speedScaleTypeTag = 1;
        double pixelsPerSecond = 70.0;
        // The prompter runs: without it only keys and deltas move it.
        bool started = false;
        bool hasKeys = false;
        HeldKeys keys;
        bool hasClipView = false;
        ClipGeometry clip;
    };

    enum class Location { Inside, Top, Bottom };

    struct Output {
        // The deltas added up to at least one scroll increment; the interface wants refreshing.
        bool advanced = false;
        // The origin changed to originY.
        bool moved = false;
        double originY = 0;
        // Where the tick left the clip view, for looping and the script's start and end.
        Location location = Location::Inside;
    };

    Output step(const Input& input);

    // The lowest point the origin can reach: a script shorter than the view ends at its start.
    static double scriptBottom(const ClipGeometry& clip)
    {
        const double bottom = clip.documentHeight - clip.clipHeight + clip.documentTop + clip.bottomGrowth;
        return std::max(bottom, clip.documentTop);
    }

    // The speed control's value on the chosen scale, and back.
    static double convertSpeed(double speed, int speedScaleTypeTag);
    static double reverseConvertSpeed(double speed, int speedScaleTypeTag);

    double adjustedSpeed() const { return m_adjustedSpeed; }
    // The last step moved nothing and nothing waits to move: no speed, eased key or boost, no delta
    // queued or animating, no modal movement reserved. Until an input changes, further steps would
    // do nothing either.
    bool isAtRest() const
    {
        return m_adjustedSpeed == 0 && m_externalScrollDelta == 0 && m_externalScrollDeltaAnimated == 0 &&
               m_modalScrollDeltaAnimated == 0 && m_reservedModalScrollingTime == 0;
    }
    double leftoverDelta() const { return m_leftoverDelta; }
    // One device pixel: the origin moves in whole multiples of it.
    double minimumScrollIncrement() const { return m_minimumScrollIncrement; }
    void setMinimumScrollIncrement(double increment) { m_minimumScrollIncrement = increment; }
    double pointsScrolled() const { return m_pointsScrolled; }
    void resetPointsScrolled() { m_pointsScrolled = 0; }

    // A fresh start drops what the previous run left over.
    void clearLeftoverAndScrollingDelta()
    {
        m_leftoverDelta = 0;
        m_externalScrollDelta = 0;
    }

    // Deltas from the wheel, the mouse and line movements; the animated ones spread over the ticks
    // that follow now.
    void addScrollingDelta(double delta) { m_externalScrollDelta += delta; }
    void clearScrollingDelta() { m_externalScrollDelta = 0; }
    void addScrollingDeltaAnimated(double delta, double now);
    void clearScrollingDeltaAnimated() { m_externalScrollDeltaAnimated = 0; }
    void addModalScrollingDeltaAnimated(double delta, double now);
    void clearModalScrollingDeltaAnimated() { m_modalScrollDeltaAnimated = 0; }
    // Until the time given, the tick does not scroll: a modal movement animates on its own.
    void reserveModalScrollingUntil(double time) { m_reservedModalScrollingTime = time; }
    void clearReservedModalScrollingTime() { m_reservedModalScrollingTime = 0; }

private:
    double m_adjustedSpeed = 0;
    double m_leftoverDelta = 0;
    double m_minimumScrollIncrement = 1.0;
    double m_externalScrollDelta = 0;
    double m_externalScrollDeltaAnimated = 0;
    double m_externalScrollDeltaAnimatedTime = 0;
    double m_modalScrollDeltaAnimated = 0;
    double m_modalScrollDeltaAnimatedTime = 0;
    double m_reservedModalScrollingTime = 0;
    double m_pointsScrolled = 0;
};
