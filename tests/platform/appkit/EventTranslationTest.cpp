#include "platform/appkit/EventTranslation.h"

#include <QMouseEvent>
#include <QWheelEvent>
#include <gtest/gtest.h>

namespace {

Event wheel(QPoint pixels, QPoint angle, Qt::ScrollPhase phase = Qt::NoScrollPhase, bool inverted = false)
{
    QWheelEvent event(QPointF(10, 10), QPointF(10, 10), pixels, angle, Qt::NoButton, Qt::NoModifier, phase,
                      inverted);
    return eventFromWheelEvent(event, 3.0);
}

Event mouse(QEvent::Type type, Qt::MouseButton button, Qt::MouseButtons buttons)
{
    QMouseEvent event(type, QPointF(1, 2), QPointF(1, 2), button, buttons, Qt::NoModifier);
    return eventFromMouseEvent(event, 3.0, 1);
}

} // namespace

TEST(WheelTranslation, TouchpadsGivePreciseDeltasInPoints)
{
    const Event event = wheel(QPoint(0, -7), QPoint(0, -56), Qt::ScrollUpdate);
    EXPECT_EQ(event.type, Event::Type::ScrollWheel);
    EXPECT_TRUE(event.hasPreciseScrollingDeltas);
    EXPECT_DOUBLE_EQ(event.scrollingDeltaY, -7);
    EXPECT_EQ(event.phase, unsigned(Event::PhaseChanged));
    EXPECT_EQ(event.momentumPhase, unsigned(Event::PhaseNone));
}

TEST(WheelTranslation, WheelNotchesGiveLines)
{
    const Event event = wheel(QPoint(), QPoint(120, 240));
    EXPECT_FALSE(event.hasPreciseScrollingDeltas);
    EXPECT_DOUBLE_EQ(event.scrollingDeltaY, 2.0);
    EXPECT_DOUBLE_EQ(event.scrollingDeltaX, 1.0);
}

TEST(WheelTranslation, PhasesMomentumAndNaturalDirection)
{
    EXPECT_EQ(wheel(QPoint(0, 1), QPoint(0, 8), Qt::ScrollBegin).phase, unsigned(Event::PhaseBegan));
    EXPECT_EQ(wheel(QPoint(0, 1), QPoint(0, 8), Qt::ScrollEnd).phase, unsigned(Event::PhaseEnded));
    const Event coasting = wheel(QPoint(0, 1), QPoint(0, 8), Qt::ScrollMomentum);
    EXPECT_EQ(coasting.phase, unsigned(Event::PhaseNone));
    EXPECT_EQ(coasting.momentumPhase, unsigned(Event::PhaseChanged));
    EXPECT_TRUE(wheel(QPoint(0, 1), QPoint(0, 8), Qt::ScrollUpdate, true).isDirectionInvertedFromDevice);
    EXPECT_FALSE(wheel(QPoint(0, 1), QPoint(0, 8)).isDirectionInvertedFromDevice);
}

TEST(MouseTranslation, ButtonsGiveThePlatformTypes)
{
    EXPECT_EQ(mouse(QEvent::MouseButtonPress, Qt::LeftButton, Qt::LeftButton).type,
              Event::Type::LeftMouseDown);
    EXPECT_EQ(mouse(QEvent::MouseButtonRelease, Qt::RightButton, Qt::NoButton).type,
              Event::Type::RightMouseUp);
    const Event middle = mouse(QEvent::MouseButtonPress, Qt::MiddleButton, Qt::MiddleButton);
    EXPECT_EQ(middle.type, Event::Type::OtherMouseDown);
    EXPECT_EQ(middle.buttonNumber, 2);
    EXPECT_EQ(mouse(QEvent::MouseMove, Qt::NoButton, Qt::NoButton).type, Event::Type::MouseMoved);
    EXPECT_EQ(mouse(QEvent::MouseMove, Qt::NoButton, Qt::LeftButton).type, Event::Type::LeftMouseDragged);
    const Event rightDrag = mouse(QEvent::MouseMove, Qt::NoButton, Qt::RightButton);
    EXPECT_EQ(rightDrag.type, Event::Type::RightMouseDragged);
    EXPECT_EQ(rightDrag.pressedMouseButtons, 2u);
    EXPECT_EQ(mouse(QEvent::MouseButtonDblClick, Qt::LeftButton, Qt::LeftButton).type,
              Event::Type::LeftMouseDown);
}
