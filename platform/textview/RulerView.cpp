#include "platform/textview/RulerView.h"

#include "platform/appkit/Event.h"
#include "platform/appkit/RectFunctions.h"
#include "platform/appkit/Window.h"
#include "platform/textview/TextView.h"

#include <QActionGroup>
#include <QMenu>
#include <QPainter>
#include <QPainterPath>
#include <QWidget>

#include <algorithm>
#include <cmath>

namespace {

// A small tick every 9 points, a larger one every 36, a number every 72 (an inch in points).
constexpr double kMinorTick = 9;
constexpr double kMajorTick = 36;
constexpr double kLabelTick = 72;
constexpr double kHandleHalfWidth = 5;

QPainterPath triangle(double x, double top, double bottom, bool pointingDown)
{
    QPainterPath path;
    const double tip = pointingDown ? bottom : top;
    const double base = pointingDown ? top : bottom;
    path.moveTo(x - kHandleHalfWidth, base);
    path.lineTo(x + kHandleHalfWidth, base);
    path.lineTo(x, tip);
    path.closeSubpath();
    return path;
}

} // namespace

RulerView::RulerView(std::shared_ptr<TextView*> client)
    : View(Rect{{0, 0}, {0, kThickness}}), m_client(std::move(client))
{
    setAutoresizingMask(WidthSizable);
}

RulerView::~RulerView() = default;

const std::vector<TextAlignment>& RulerView::alignmentButtons()
{
    static const std::vector<TextAlignment> alignments{TextAlignment::Left, TextAlignment::Center,
                                                       TextAlignment::Right, TextAlignment::Justified};
    return alignments;
}

Rect RulerView::alignmentButtonRect(int index) const
{
    if (index < 0 || index >= int(alignmentButtons().size()))
        return {};
    return {{kAccessoryLeftMargin + index * kAlignmentButtonWidth, 3},
            {kAlignmentButtonWidth, kAccessoryHeight - 6}};
}

Rect RulerView::spacingButtonRect() const
{
    const Rect last = alignmentButtonRect(int(alignmentButtons().size()) - 1);
    return {{last.maxX() + 8, last.minY()}, {kSpacingButtonWidth, last.size.height}};
}

const std::vector<double>& RulerView::lineHeightMultiples()
{
    static const std::vector<double> multiples{1.0, 1.15, 1.5, 2.0};
    return multiples;
}

QMenu* RulerView::spacingMenu()
{
    if (!m_spacingMenu)
        m_spacingMenu = std::make_unique<QMenu>();
    m_spacingMenu->clear();
    const TextView* view = client();
    // A multiple of 0 is the platform's way of saying "single".
    const double current = view ? std::max(1.0, view->rulerParagraphStyle().lineHeightMultiple) : 1.0;
    auto* group = new QActionGroup(m_spacingMenu.get());
    for (double multiple : lineHeightMultiples()) {
        QAction* action = m_spacingMenu->addAction(QString::number(multiple, 'f', multiple == 1.15 ? 2 : 1));
        action->setCheckable(true);
        action->setChecked(std::abs(multiple - current) < 0.001);
        group->addAction(action);
        std::weak_ptr<TextView*> weak = m_client;
        QObject::connect(action, &QAction::triggered, action, [weak, multiple] {
            if (const auto client = weak.lock(); client && *client)
                (*client)->rulerSetLineHeightMultiple(multiple);
        });
    }
    return m_spacingMenu.get();
}

double RulerView::xForLocation(double location) const
{
    const TextView* view = client();
    if (!view)
        return location;
    const double start = view->textContainerOrigin().x + view->textContainer().lineFragmentPadding();
    return view->convertPointToView({start + location, 0}, this).x;
}

double RulerView::locationForX(double x) const
{
    return x - xForLocation(0);
}

double RulerView::maximumLocation() const
{
    if (!client())
        return 0;
    const TextContainer& container = client()->textContainer();
    return std::max(0.0, container.size().width - 2 * container.lineFragmentPadding());
}

std::vector<RulerMarker> RulerView::markers() const
{
    return client() ? client()->rulerMarkers() : std::vector<RulerMarker>{};
}

Rect RulerView::rectForMarker(const RulerMarker& marker) const
{
    const double x = xForLocation(marker.location);
    const double strip = kAccessoryHeight + kScaleHeight;
    switch (marker.kind) {
    case RulerMarker::Kind::FirstLineHeadIndent:
        return {{x - kHandleHalfWidth, strip - 6}, {2 * kHandleHalfWidth, 7}};
    case RulerMarker::Kind::HeadIndent:
    case RulerMarker::Kind::TailIndent:
        return {{x - kHandleHalfWidth, strip + 1}, {2 * kHandleHalfWidth, 7}};
    default:
        return {{x - kHandleHalfWidth, strip + 7}, {2 * kHandleHalfWidth, kMarkerHeight - 7}};
    }
}

std::optional<RulerMarker> RulerView::markerAtPoint(const Point& point) const
{
    if (point.y < kAccessoryHeight)
        return std::nullopt;
    std::optional<RulerMarker> best;
    double bestDistance = kMarkerHitSlop + kHandleHalfWidth;
    for (const RulerMarker& marker : markers()) {
        const Rect rect = rectForMarker(marker).insetBy(-kMarkerHitSlop, -2);
        if (!rect.contains(point))
            continue;
        const double distance = std::abs(point.x - xForLocation(marker.location));
        // The indents share a spot at 0 with the first tab stops in many paragraphs: the indent a
        // click is aimed at wins.
        const bool better = !best || distance < bestDistance ||
                            (distance == bestDistance && marker.isIndent() && !best->isIndent());
        if (better) {
            best = marker;
            bestDistance = distance;
        }
    }
    return best;
}

Point RulerView::pointForEvent(const Event& event) const
{
    return convertPointFromView(event.locationInWindow, nullptr);
}

void RulerView::mouseDown(Event& event)
{
    TextView* view = client();
    if (!view)
        return;
    const Point point = pointForEvent(event);
    for (int i = 0; i < int(alignmentButtons().size()); ++i) {
        if (alignmentButtonRect(i).contains(point)) {
            view->rulerSetAlignment(alignmentButtons()[i]);
            setNeedsDisplay(true);
            return;
        }
    }
    if (spacingButtonRect().contains(point)) {
        QMenu* menu = spacingMenu();
        // The menu opens under the button, where the window shows it.
        if (Window* own = window(); own && own->hostWidget()) {
            const Point corner =
                convertPointToView({spacingButtonRect().minX(), spacingButtonRect().maxY()}, nullptr);
            const QPoint local(int(corner.x), int(own->frame().size.height - corner.y));
            menu->popup(own->hostWidget()->mapToGlobal(local));
        }
        return;
    }
    m_dragged = markerAtPoint(point);
    m_dragPoint = point;
    if (!m_dragged && point.y >= kAccessoryHeight) {
        const double location = locationForX(point.x);
        if (location >= 0 && location <= maximumLocation())
            view->rulerAddTab(std::round(location));
    }
    setNeedsDisplay(true);
}

void RulerView::mouseDragged(Event& event)
{
    if (!m_dragged)
        return;
    m_dragPoint = pointForEvent(event);
    m_dragged->location = std::clamp(std::round(locationForX(m_dragPoint.x)), 0.0, maximumLocation());
    setNeedsDisplay(true);
}

void RulerView::mouseUp(Event& event)
{
    if (!m_dragged || !client())
        return;
    mouseDragged(event);
    const RulerMarker original = *m_dragged;
    m_dragged.reset();
    const bool offTheRuler = m_dragPoint.y > bounds().maxY() + kRemoveDistance;
    if (!original.isIndent() && offTheRuler)
        client()->rulerRemoveMarker(original);
    else
        client()->rulerMoveMarker(original, original.location);
    setNeedsDisplay(true);
}

void RulerView::drawRect(QPainter& painter, const Rect&)
{
    const QRectF area(0, 0, bounds().size.width, bounds().size.height);
    painter.fillRect(area, QColor(0xF2, 0xF2, 0xF2));
    painter.setPen(QColor(0xC8, 0xC8, 0xC8));
    painter.drawLine(QPointF(0, area.height() - 0.5), QPointF(area.width(), area.height() - 0.5));
    if (!client())
        return;
    drawAccessory(painter);
    drawSpacingButton(painter);
    drawScale(painter);
    std::vector<RulerMarker> shown = markers();
    for (const RulerMarker& marker : shown) {
        const bool beingDragged = m_dragged && marker.representedObject == m_dragged->representedObject;
        drawMarker(painter, beingDragged ? *m_dragged : marker, beingDragged);
    }
}

void RulerView::drawAccessory(QPainter& painter) const
{
    const TextAlignment current = client()->rulerParagraphStyle().alignment;
    for (int i = 0; i < int(alignmentButtons().size()); ++i) {
        const QRectF rect = toQRectF(alignmentButtonRect(i));
        const TextAlignment alignment = alignmentButtons()[i];
        const bool on =
            alignment == current || (alignment == TextAlignment::Left && current == TextAlignment::Natural);
        painter.setPen(QColor(0xA0, 0xA0, 0xA0));
        painter.setBrush(on ? QColor(0xD0, 0xD0, 0xD0) : QColor(Qt::white));
        painter.drawRect(rect.adjusted(0.5, 0.5, -0.5, -0.5));
        // Four lines of text set the way the button sets them.
        painter.setPen(QPen(QColor(0x40, 0x40, 0x40), 1.2));
        const double inner = rect.width() - 10;
        for (int line = 0; line < 4; ++line) {
            const double length =
                (line % 2 == 0 || alignment == TextAlignment::Justified) ? inner : inner * 0.6;
            double left = rect.left() + 5;
            if (alignment == TextAlignment::Center)
                left += (inner - length) / 2;
            else if (alignment == TextAlignment::Right)
                left += inner - length;
            const double y = rect.top() + 4 + line * 3;
            painter.drawLine(QPointF(left, y), QPointF(left + length, y));
        }
    }
}

void RulerView::drawSpacingButton(QPainter& painter) const
{
    const QRectF rect = toQRectF(spacingButtonRect());
    painter.setPen(QColor(0xA0, 0xA0, 0xA0));
    painter.setBrush(Qt::white);
    painter.drawRect(rect.adjusted(0.5, 0.5, -0.5, -0.5));
    const double multiple = std::max(1.0, client()->rulerParagraphStyle().lineHeightMultiple);
    painter.setPen(QColor(0x30, 0x30, 0x30));
    QFont font = painter.font();
    font.setPixelSize(11);
    painter.setFont(font);
    painter.drawText(rect.adjusted(6, 0, -14, 0), Qt::AlignVCenter | Qt::AlignLeft,
                     QString::number(multiple, 'g', 3));
    QPainterPath arrow;
    const double x = rect.right() - 10;
    const double y = rect.center().y() - 1.5;
    arrow.moveTo(x, y);
    arrow.lineTo(x + 6, y);
    arrow.lineTo(x + 3, y + 4);
    arrow.closeSubpath();
    painter.fillPath(arrow, QColor(0x40, 0x40, 0x40));
}

void RulerView::drawScale(QPainter& painter) const
{
    const double top = kAccessoryHeight;
    const double bottom = top + kScaleHeight;
    const double zero = xForLocation(0);
    const double end = xForLocation(maximumLocation());
    painter.fillRect(QRectF(zero, top, std::max(0.0, end - zero), kScaleHeight + kMarkerHeight), Qt::white);
    painter.setPen(QColor(0x80, 0x80, 0x80));
    QFont font = painter.font();
    font.setPixelSize(9);
    painter.setFont(font);
    for (double location = 0; location <= maximumLocation() && location < 100000; location += kMinorTick) {
        const double x = std::round(xForLocation(location)) + 0.5;
        const bool label = std::fmod(location, kLabelTick) == 0;
        const bool major = std::fmod(location, kMajorTick) == 0;
        const double length = label ? 8 : major ? 5 : 3;
        painter.drawLine(QPointF(x, bottom - length), QPointF(x, bottom));
        if (label && location > 0)
            painter.drawText(QPointF(x + 2, top + 9), QString::number(int(location / kLabelTick)));
    }
}

void RulerView::drawMarker(QPainter& painter, const RulerMarker& marker, bool dragged) const
{
    const Rect rect = rectForMarker(marker);
    const double x = xForLocation(marker.location);
    painter.setPen(QPen(QColor(0x30, 0x30, 0x30), 1));
    painter.setBrush(dragged ? QColor(0x4A, 0x90, 0xE2) : QColor(0x60, 0x60, 0x60));
    switch (marker.kind) {
    case RulerMarker::Kind::FirstLineHeadIndent:
        painter.drawPath(triangle(x, rect.minY(), rect.maxY(), true));
        break;
    case RulerMarker::Kind::HeadIndent:
    case RulerMarker::Kind::TailIndent:
        painter.drawPath(triangle(x, rect.minY(), rect.maxY(), false));
        break;
    case RulerMarker::Kind::LeftTab:
        painter.drawLine(QPointF(x, rect.minY()), QPointF(x, rect.maxY()));
        painter.drawLine(QPointF(x, rect.maxY()), QPointF(x + 4, rect.maxY()));
        break;
    case RulerMarker::Kind::RightTab:
        painter.drawLine(QPointF(x, rect.minY()), QPointF(x, rect.maxY()));
        painter.drawLine(QPointF(x - 4, rect.maxY()), QPointF(x, rect.maxY()));
        break;
    case RulerMarker::Kind::CenterTab:
    case RulerMarker::Kind::DecimalTab:
        painter.drawLine(QPointF(x, rect.minY()), QPointF(x, rect.maxY()));
        painter.drawLine(QPointF(x - 3, rect.maxY()), QPointF(x + 3, rect.maxY()));
        if (marker.kind == RulerMarker::Kind::DecimalTab)
            painter.drawEllipse(QPointF(x + 2.5, rect.minY() + 2), 0.8, 0.8);
        break;
    }
}
