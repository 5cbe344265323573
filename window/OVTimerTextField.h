#pragma once

#include <QToolButton>

#include <functional>
#include <memory>

class QGraphicsOpacityEffect;
class Timer;

// The toolbar's elapsed or remaining time: a text field that answers clicks (a click switches what it
// shows, an Alt-click resets the timer), and that pulses while the prompter is paused hard, so a
// stopped clock is not mistaken for a running one.
class OVTimerTextField : public QToolButton {
public:
    static constexpr double kPulseDuration = 1.0;
    static constexpr double kPulseLowestOpacity = 0.2;
    inline static const QString kPulsateAnimationKey = QStringLiteral("OVPulsateTimerKey");

    explicit OVTimerTextField(QWidget* parent = nullptr);
    ~OVTimerTextField() override;

    // What a click and an Alt-click do.
    void setAction(std::function<void()> action) { m_action = std::move(action); }
    void setAlternateAction(std::function<void()> action) { m_alternateAction = std::move(action); }

    // Opacity from 1.0 down to 0.2 and back, 1 s each way, easing in, until stopped; starting again
    // while it runs changes nothing, and stopping a field that does not pulse does nothing.
    void startPulsateAnimation();
    void stopPulsateAnimation();
    bool isPulsating() const { return m_pulseTimer != nullptr; }
    double pulseOpacity() const { return m_opacity; }

protected:
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    void updatePulse();

    std::function<void()> m_action;
    std::function<void()> m_alternateAction;
    std::unique_ptr<Timer> m_pulseTimer;
    double m_pulseStart = 0;
    double m_opacity = 1.0;
    // Owned by the widget once set.
    QGraphicsOpacityEffect* m_effect = nullptr;
};
