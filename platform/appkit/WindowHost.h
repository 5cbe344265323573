#pragma once

// The Qt widget behind a window, shared by the files that define the window's members.
#include "platform/appkit/Cursor.h"
#include "platform/appkit/Event.h"
#include "platform/appkit/EventTranslation.h"
#include "platform/appkit/View.h"
#include "platform/appkit/Window.h"
#include "platform/foundation/Clock.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QStyleHints>
#include <QWheelEvent>
#include <QWidget>

#include <cmath>

// The Qt widget behind a window: it paints the view tree and turns Qt's events into the platform's.
class WindowHost final : public QWidget {
public:
    explicit WindowHost(Window& window) : m_window(window)
    {
        setAttribute(Qt::WA_OpaquePaintEvent);
        setMouseTracking(true);
        setFocusPolicy(Qt::StrongFocus);
        setAttribute(Qt::WA_InputMethodEnabled);
    }

    QVariant inputMethodQuery(Qt::InputMethodQuery query) const override
    {
        Responder* responder = m_window.firstResponder();
        QVariant answer = responder ? responder->inputMethodQuery(query) : QVariant();
        if (!answer.isValid())
            return QWidget::inputMethodQuery(query);
        // Window coordinates are y-up; the widget's run down from its top.
        if (answer.typeId() == QMetaType::QRectF) {
            const QRectF rect = answer.toRectF();
            return QRectF(rect.x(), m_window.frame().size.height - rect.bottom(), rect.width(),
                          rect.height());
        }
        return answer;
    }

protected:
    void paintEvent(QPaintEvent* event) override
    {
        m_window.m_pendingRedraw -= event->region();
        QPainter painter(this);
        painter.setRenderHints(View::kDefaultRenderHints);
        const QColor background = m_window.backgroundColor();
        const QTransform windowToDevice(1, 0, 0, -1, 0, m_window.frame().size.height);
        // Rect by rect: after a scroll by copying the region is a band at one edge and the views drawn
        // over the scrolled one, whose bounding rect would be most of the window.
        for (const QRect& rect : event->region()) {
            if (background.isValid())
                painter.fillRect(rect, background);
            else
                painter.fillRect(rect, palette().window());
            if (View* content = m_window.contentView())
                content->drawTree(painter, windowToDevice, QRectF(rect));
        }
    }

    void inputMethodEvent(QInputMethodEvent* event) override
    {
        Responder* responder = m_window.firstResponder();
        if (responder && responder->inputMethodEvent(*event))
            event->accept();
        else
            event->ignore();
    }
    void keyPressEvent(QKeyEvent* event) override { deliverKey(*event); }
    void keyReleaseEvent(QKeyEvent* event) override { deliverKey(*event); }
    void mousePressEvent(QMouseEvent* event) override { deliverMouse(*event); }
    void mouseDoubleClickEvent(QMouseEvent* event) override { deliverMouse(*event); }
    void mouseReleaseEvent(QMouseEvent* event) override { deliverMouse(*event); }
    void mouseMoveEvent(QMouseEvent* event) override { deliverMouse(*event); }

    void wheelEvent(QWheelEvent* event) override
    {
        Event converted = eventFromWheelEvent(*event, Clock::shared().now());
        converted.window = &m_window;
        converted.locationInWindow = toWindow(event->position());
        m_window.sendEvent(converted);
        event->accept();
    }

    void moveEvent(QMoveEvent*) override { m_window.hostGeometryChanged(); }
    void resizeEvent(QResizeEvent*) override
    {
        m_window.hostGeometryChanged();
        m_window.layOutContent();
    }

    void changeEvent(QEvent* event) override
    {
        if (event->type() == QEvent::ActivationChange && isActiveWindow())
            m_window.hostActivated();
        else if (event->type() == QEvent::WindowStateChange)
            m_window.hostStateChanged();
        QWidget::changeEvent(event);
    }

    void closeEvent(QCloseEvent* event) override
    {
        if (!m_window.windowManagerMayClose()) {
            event->ignore();
            return;
        }
        event->accept();
        m_window.hostClosed();
    }

private:
    // Presses closer than this in points, within the double-click interval, count as one multi-click.
    static constexpr double kClickSlop = 4.0;

    Point toWindow(const QPointF& position) const
    {
        return {position.x(), m_window.frame().size.height - position.y()};
    }

    void deliverKey(QKeyEvent& event)
    {
        Event converted = eventFromKeyEvent(event, Clock::shared().now());
        converted.window = &m_window;
        m_window.sendEvent(converted);
        event.accept();
    }

    int clickCountFor(const QMouseEvent& event, double now)
    {
        const bool press =
            event.type() == QEvent::MouseButtonPress || event.type() == QEvent::MouseButtonDblClick;
        if (!press)
            return event.type() == QEvent::MouseButtonRelease ? m_clickCount : 0;
        const double interval = QGuiApplication::styleHints()->mouseDoubleClickInterval() / 1000.0;
        const QPointF delta = event.position() - m_lastPressPosition;
        const bool near = std::abs(delta.x()) <= kClickSlop && std::abs(delta.y()) <= kClickSlop;
        const bool again = event.button() == m_lastPressButton && near && now - m_lastPressTime <= interval;
        m_clickCount = again ? m_clickCount + 1 : 1;
        m_lastPressTime = now;
        m_lastPressPosition = event.position();
        m_lastPressButton = event.button();
        return m_clickCount;
    }

    void deliverMouse(QMouseEvent& event)
    {
        const double now = Clock::shared().now();
        Event converted = eventFromMouseEvent(event, now, clickCountFor(event, now));
        converted.window = &m_window;
        converted.locationInWindow = toWindow(event.position());
        if (converted.type == Event::Type::MouseMoved || converted.type == Event::Type::LeftMouseDragged)
            Cursor::mouseDidMove();
        m_window.sendEvent(converted);
        event.accept();
    }

    Window& m_window;
    double m_lastPressTime = -1e9;
    QPointF m_lastPressPosition;
    Qt::MouseButton m_lastPressButton = Qt::NoButton;
    int m_clickCount = 0;
};
