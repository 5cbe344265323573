#include "platform/appkit/View.h"

#include "platform/appkit/Animation.h"
#include "platform/appkit/AppKitLog.h"
#include "platform/appkit/AppKitNotifications.h"
#include "platform/appkit/RectFunctions.h"
#include "platform/appkit/ScrollView.h"
#include "platform/appkit/Window.h"
#include "platform/foundation/NotificationCenter.h"

#include <QImage>
#include <QPainter>

#include <algorithm>
#include <cmath>

namespace {

double scaleOf(double frameExtent, double boundsExtent)
{
    return boundsExtent > 0 ? frameExtent / boundsExtent : 1.0;
}

Rect lerp(const Rect& from, const Rect& to, double t)
{
    auto mix = [t](double a, double b) { return a + (b - a) * t; };
    return {{mix(from.origin.x, to.origin.x), mix(from.origin.y, to.origin.y)},
            {std::max(0.0, mix(from.size.width, to.size.width)),
             std::max(0.0, mix(from.size.height, to.size.height))}};
}

// Splits a change of the superview's extent among the flexible parts of one axis (left margin, size,
// right margin), in proportion to their current extents, as the platform's autoresizing does.
void resizeAxis(double& origin, double& extent, double oldSuperExtent, double delta, bool minFlexible,
                bool sizeFlexible, bool maxFlexible)
{
    const double minMargin = origin;
    const double maxMargin = oldSuperExtent - origin - extent;
    const int flexibleCount = int(minFlexible) + int(sizeFlexible) + int(maxFlexible);
    if (flexibleCount == 0 || delta == 0)
        return;
    double total = 0;
    if (minFlexible)
        total += std::max(0.0, minMargin);
    if (sizeFlexible)
        total += std::max(0.0, extent);
    if (maxFlexible)
        total += std::max(0.0, maxMargin);
    auto share = [&](bool flexible, double part) {
        if (!flexible)
            return 0.0;
        return total > 0 ? delta * std::max(0.0, part) / total : delta / flexibleCount;
    };
    const double minShare = share(minFlexible, minMargin);
    const double sizeShare = share(sizeFlexible, extent);
    origin += minShare;
    extent = std::max(0.0, extent + sizeShare);
}

} // namespace

View::View(const Rect& frame)
{
    if (isValidRect(frame))
        m_frame = frame;
    else
        qCWarning(lcAppKit) << "View: refusing frame" << toQRectF(frame);
    m_bounds = {{0, 0}, m_frame.size};
}

View::~View()
{
    for (auto& animation : m_animations)
        animation.reset();
    // Subviews go first so none outlives the superview pointer it keeps.
    m_subviews.clear();
    if (m_window)
        m_window->forgetView(this);
}

void View::setFrame(const Rect& frame)
{
    cancelAnimation(AnimatedProperty::Frame);
    applyFrame(frame);
}

void View::applyFrame(const Rect& frame)
{
    if (!isValidRect(frame)) {
        qCWarning(lcAppKit) << "View: refusing frame" << toQRectF(frame);
        return;
    }
    if (frame == m_frame)
        return;
    const Size oldSize = m_frame.size;
    const double sx = scaleOf(m_frame.size.width, m_bounds.size.width);
    const double sy = scaleOf(m_frame.size.height, m_bounds.size.height);
    if (m_superview)
        m_superview->setNeedsDisplayInRect(m_frame);
    m_frame = frame;
    if (!(oldSize == frame.size)) {
        // The bounds keep their scale, so a magnified view stays magnified when resized.
        m_bounds.size = {sx > 0 ? frame.size.width / sx : frame.size.width,
                         sy > 0 ? frame.size.height / sy : frame.size.height};
        if (m_autoresizesSubviews)
            resizeSubviewsWithOldSize(oldSize);
    }
    setNeedsDisplay(true);
    frameDidChange(oldSize);
    notify(false);
}

void View::setFrameOrigin(const Point& origin)
{
    setFrame({origin, m_frame.size});
}

void View::setFrameSize(const Size& size)
{
    setFrame({m_frame.origin, size});
}

void View::setBounds(const Rect& bounds)
{
    cancelAnimation(AnimatedProperty::Bounds);
    applyBounds(bounds);
}

void View::applyBounds(const Rect& bounds)
{
    if (!isValidRect(bounds)) {
        qCWarning(lcAppKit) << "View: refusing bounds" << toQRectF(bounds);
        return;
    }
    if (bounds == m_bounds)
        return;
    const bool scrollOnly = m_window && copiesOnScroll() && bounds.size == m_bounds.size;
    const QTransform before = scrollOnly ? drawingTransformToWindow() : QTransform();
    m_bounds = bounds;
    if (!scrollOnly || !m_window->scrollDrawnContent(*this, before))
        setNeedsDisplay(true);
    boundsDidChange();
    notify(true);
}

void View::setBoundsOrigin(const Point& origin)
{
    setBounds({origin, m_bounds.size});
}

void View::setBoundsSize(const Size& size)
{
    setBounds({m_bounds.origin, size});
}

void View::setFlipped(bool flipped)
{
    if (m_flipped == flipped)
        return;
    m_flipped = flipped;
    setNeedsDisplay(true);
}

Rect View::visibleRect() const
{
    Rect visible = m_bounds;
    for (const View* ancestor = m_superview; ancestor; ancestor = ancestor->m_superview)
        visible = visible.intersection(convertRectFromView(ancestor->bounds(), ancestor));
    return visible;
}

void View::resizeSubviewsWithOldSize(const Size& oldSize)
{
    for (auto& subview : m_subviews)
        subview->resizeWithOldSuperviewSize(oldSize);
}

void View::resizeWithOldSuperviewSize(const Size& oldSize)
{
    if (!m_superview || m_autoresizingMask == NotSizable)
        return;
    const Size newSize = m_superview->frame().size;
    Rect frame = m_frame;
    resizeAxis(frame.origin.x, frame.size.width, oldSize.width, newSize.width - oldSize.width,
               m_autoresizingMask & MinXMargin, m_autoresizingMask & WidthSizable,
               m_autoresizingMask & MaxXMargin);
    resizeAxis(frame.origin.y, frame.size.height, oldSize.height, newSize.height - oldSize.height,
               m_autoresizingMask & MinYMargin, m_autoresizingMask & HeightSizable,
               m_autoresizingMask & MaxYMargin);
    setFrame(frame);
}

View* View::addSubview(std::unique_ptr<View> view)
{
    return addSubview(std::move(view), Place::Above, nullptr);
}

View* View::addSubview(std::unique_ptr<View> view, Place place, const View* relativeTo)
{
    if (!view)
        return nullptr;
    View* raw = view.get();
    if (raw == this || isDescendantOf(raw)) {
        qCWarning(lcAppKit) << "View: refusing to add a view inside itself";
        // Destroying it here would destroy this view's own ancestors; leaking is the lesser harm.
        (void)view.release();
        return nullptr;
    }
    auto at = m_subviews.end();
    auto relative = std::find_if(m_subviews.begin(), m_subviews.end(),
                                 [&](const std::unique_ptr<View>& v) { return v.get() == relativeTo; });
    if (relative != m_subviews.end())
        at = place == Place::Above ? relative + 1 : relative;
    else if (place == Place::Below)
        at = m_subviews.begin();
    m_subviews.insert(at, std::move(view));
    raw->m_superview = this;
    raw->Responder::setNextResponder(this);
    raw->setWindowRecursively(m_window);
    raw->viewDidMoveToSuperview();
    raw->setNeedsDisplay(true);
    return raw;
}

std::unique_ptr<View> View::removeFromSuperview()
{
    if (!m_superview)
        return nullptr;
    View* superview = m_superview;
    auto it = std::find_if(superview->m_subviews.begin(), superview->m_subviews.end(),
                           [this](const std::unique_ptr<View>& v) { return v.get() == this; });
    if (it == superview->m_subviews.end())
        return nullptr;
    superview->setNeedsDisplayInRect(m_frame);
    std::unique_ptr<View> self = std::move(*it);
    superview->m_subviews.erase(it);
    m_superview = nullptr;
    Responder::setNextResponder(nullptr);
    setWindowRecursively(nullptr);
    viewDidMoveToSuperview();
    return self;
}

bool View::isDescendantOf(const View* view) const
{
    for (const View* v = this; v; v = v->m_superview) {
        if (v == view)
            return true;
    }
    return false;
}

ScrollView* View::enclosingScrollView() const
{
    for (View* v = m_superview; v; v = v->m_superview) {
        if (auto* scrollView = dynamic_cast<ScrollView*>(v))
            return scrollView;
    }
    return nullptr;
}

void View::setWindowRecursively(Window* window)
{
    if (m_window == window)
        return;
    if (m_window)
        m_window->forgetView(this);
    m_window = window;
    for (auto& subview : m_subviews)
        subview->setWindowRecursively(window);
    viewDidMoveToWindow();
}

void View::setHidden(bool hidden)
{
    if (m_hidden == hidden)
        return;
    m_hidden = hidden;
    if (m_superview)
        m_superview->setNeedsDisplayInRect(m_frame);
    if (hidden && m_window)
        m_window->forgetView(this);
}

bool View::isHiddenOrHasHiddenAncestor() const
{
    for (const View* v = this; v; v = v->m_superview) {
        if (v->m_hidden)
            return true;
    }
    return false;
}

void View::setAlphaValue(double alpha)
{
    cancelAnimation(AnimatedProperty::Alpha);
    applyAlpha(alpha);
}

void View::applyAlpha(double alpha)
{
    if (!std::isfinite(alpha)) {
        qCWarning(lcAppKit) << "View: refusing alpha" << alpha;
        return;
    }
    alpha = std::clamp(alpha, 0.0, 1.0);
    if (alpha == m_alpha)
        return;
    m_alpha = alpha;
    if (m_superview)
        m_superview->setNeedsDisplayInRect(m_frame);
    else
        setNeedsDisplay(true);
}

void View::setLayerTransform(const QTransform& transform)
{
    if (!transform.isInvertible()) {
        qCWarning(lcAppKit) << "View: refusing a layer transform that cannot be inverted" << transform;
        return;
    }
    m_layerTransform = transform;
    setNeedsDisplay(true);
}

void View::setNeedsDisplay(bool flag)
{
    if (!flag) {
        m_needsDisplay = false;
        return;
    }
    setNeedsDisplayInRect(m_bounds);
}

void View::setNeedsDisplayInRect(const Rect& rect)
{
    displayWillInvalidateRect(rect);
    m_needsDisplay = true;
    if (m_window && isValidRect(rect))
        m_window->invalidateWindowRect(convertRectToView(rect, nullptr));
}

void View::drawRect(QPainter&, const Rect&) {}

QTransform View::transformToSuperview() const
{
    const double sx = scaleOf(m_frame.size.width, m_bounds.size.width);
    const double sy = scaleOf(m_frame.size.height, m_bounds.size.height);
    const double dx = m_frame.origin.x - m_bounds.origin.x * sx;
    if (isFlipped() == superviewIsFlipped())
        return QTransform(sx, 0, 0, sy, dx, m_frame.origin.y - m_bounds.origin.y * sy);
    // Opposite orientations: the bounds' minimum y sits at the frame's far edge.
    return QTransform(sx, 0, 0, -sy, dx, m_frame.origin.y + m_frame.size.height + m_bounds.origin.y * sy);
}

bool View::superviewIsFlipped() const
{
    // A window's coordinate space has y up.
    return m_superview && m_superview->isFlipped();
}

QTransform View::transformToWindow() const
{
    QTransform transform = transformToSuperview();
    for (const View* v = m_superview; v; v = v->m_superview)
        transform *= v->transformToSuperview();
    return transform;
}

Point View::convertPointToView(const Point& point, const View* view) const
{
    const QPointF inWindow = transformToWindow().map(toQPointF(point));
    if (!view)
        return fromQPointF(inWindow);
    return fromQPointF(view->transformToWindow().inverted().map(inWindow));
}

Point View::convertPointFromView(const Point& point, const View* view) const
{
    const QPointF inWindow = view ? view->transformToWindow().map(toQPointF(point)) : toQPointF(point);
    return fromQPointF(transformToWindow().inverted().map(inWindow));
}

Rect View::convertRectToView(const Rect& rect, const View* view) const
{
    const QRectF inWindow = transformToWindow().mapRect(toQRectF(rect));
    if (!view)
        return fromQRectF(inWindow);
    return fromQRectF(view->transformToWindow().inverted().mapRect(inWindow));
}

Rect View::convertRectFromView(const Rect& rect, const View* view) const
{
    const QRectF inWindow = view ? view->transformToWindow().mapRect(toQRectF(rect)) : toQRectF(rect);
    return fromQRectF(transformToWindow().inverted().mapRect(inWindow));
}

bool View::performKeyEquivalent(const Event& event)
{
    if (m_hidden)
        return false;
    for (auto it = m_subviews.rbegin(); it != m_subviews.rend(); ++it) {
        if ((*it)->performKeyEquivalent(event))
            return true;
    }
    return false;
}

View* View::hitTest(const Point& pointInSuperview)
{
    if (m_hidden || !m_frame.contains(pointInSuperview))
        return nullptr;
    bool invertible = false;
    const QTransform fromSuperview = transformToSuperview().inverted(&invertible);
    if (!invertible)
        return nullptr;
    const Point local = fromQPointF(fromSuperview.map(toQPointF(pointInSuperview)));
    for (auto it = m_subviews.rbegin(); it != m_subviews.rend(); ++it) {
        if (View* hit = (*it)->hitTest(local))
            return hit;
    }
    return this;
}

int View::addTrackingArea(TrackingArea area)
{
    area.identifier = m_nextToken++;
    if (!area.owner)
        area.owner = this;
    m_trackingAreas.push_back(area);
    return area.identifier;
}

void View::removeTrackingArea(int identifier)
{
    std::erase_if(m_trackingAreas,
                  [identifier](const TrackingArea& area) { return area.identifier == identifier; });
}

void View::addCursorRect(const Rect& rect, const Cursor& cursor)
{
    if (!isValidRect(rect))
        return;
    m_cursorRects.push_back({rect, cursor});
}

int View::addFrameObserver(Observer observer)
{
    const int token = m_nextToken++;
    m_observers.push_back({token, false, std::make_shared<const Observer>(std::move(observer))});
    return token;
}

int View::addBoundsObserver(Observer observer)
{
    const int token = m_nextToken++;
    m_observers.push_back({token, true, std::make_shared<const Observer>(std::move(observer))});
    return token;
}

void View::removeObserver(int token)
{
    std::erase_if(m_observers, [token](const ObserverEntry& entry) { return entry.token == token; });
}

void View::notify(bool bounds)
{
    // Index walk: an observer may add or remove observers while we call it. Added ones are called too,
    // after the others; a removal before the current entry shifts the index back.
    for (size_t i = 0; i < m_observers.size(); ++i) {
        if (m_observers[i].bounds != bounds)
            continue;
        const int token = m_observers[i].token;
        const std::shared_ptr<const Observer> observer = m_observers[i].observer;
        (*observer)(*this);
        if (i < m_observers.size() && m_observers[i].token == token)
            continue;
        auto it = std::find_if(m_observers.begin(), m_observers.end(),
                               [token](const ObserverEntry& entry) { return entry.token == token; });
        i = it == m_observers.end() ? i - 1 : size_t(it - m_observers.begin());
    }
    if (bounds ? m_postsBoundsChanged : m_postsFrameChanged)
        NotificationCenter::shared().postNotification(
            bounds ? kViewBoundsDidChangeNotification : kViewFrameDidChangeNotification, this);
}

void View::frameDidChange(const Size&) {}

void View::boundsDidChange() {}

void View::cancelAnimation(AnimatedProperty property)
{
    std::unique_ptr<Animation>& animation = m_animations[int(property)];
    if (animation && animation->isAnimating())
        animation->stop();
}

void View::startAnimation(AnimatedProperty property, double duration, std::function<void(double)> apply,
                          Completion completion)
{
    std::unique_ptr<Animation>& slot = m_animations[int(property)];
    if (slot)
        slot->stop();
    slot = std::make_unique<Animation>(duration, std::move(apply));
    slot->setCompletion(std::move(completion));
    slot->start();
}

void View::animateFrame(const Rect& frame, double duration, Completion completion)
{
    if (!isValidRect(frame)) {
        qCWarning(lcAppKit) << "View: refusing to animate to frame" << toQRectF(frame);
        return;
    }
    const Rect from = m_frame;
    startAnimation(
        AnimatedProperty::Frame, duration,
        [this, from, frame](double t) { applyFrame(t >= 1.0 ? frame : lerp(from, frame, t)); },
        std::move(completion));
}

void View::animateBounds(const Rect& bounds, double duration, Completion completion)
{
    if (!isValidRect(bounds)) {
        qCWarning(lcAppKit) << "View: refusing to animate to bounds" << toQRectF(bounds);
        return;
    }
    const Rect from = m_bounds;
    startAnimation(
        AnimatedProperty::Bounds, duration,
        [this, from, bounds](double t) { applyBounds(t >= 1.0 ? bounds : lerp(from, bounds, t)); },
        std::move(completion));
}

void View::animateAlphaValue(double alpha, double duration, Completion completion)
{
    if (!std::isfinite(alpha)) {
        qCWarning(lcAppKit) << "View: refusing to animate to alpha" << alpha;
        return;
    }
    const double from = m_alpha;
    startAnimation(
        AnimatedProperty::Alpha, duration,
        [this, from, alpha](double t) { applyAlpha(from + (alpha - from) * t); }, std::move(completion));
}

bool View::isAnimating() const
{
    return std::any_of(std::begin(m_animations), std::end(m_animations),
                       [](const std::unique_ptr<Animation>& a) { return a && a->isAnimating(); });
}

void View::stopAnimations()
{
    for (auto& animation : m_animations) {
        if (animation)
            animation->stop();
    }
}

QTransform View::deviceTransform(const QTransform& superviewToDevice) const
{
    const QTransform mine = transformToSuperview() * superviewToDevice;
    if (m_layerTransform.isIdentity())
        return mine;
    const double cx = m_bounds.midX();
    const double cy = m_bounds.midY();
    return QTransform::fromTranslate(-cx, -cy) * m_layerTransform * QTransform::fromTranslate(cx, cy) * mine;
}

QTransform View::drawingTransformToWindow() const
{
    if (m_superview)
        return deviceTransform(m_superview->drawingTransformToWindow());
    // The window's coordinates have y up.
    const double height = m_window ? m_window->frame().size.height : 0;
    return deviceTransform(QTransform(1, 0, 0, -1, 0, height));
}

bool View::coversOpaquely(const QTransform& superviewToDevice, const QRectF& deviceRect) const
{
    if (m_hidden || m_alpha < 1.0)
        return false;
    const QTransform mine = deviceTransform(superviewToDevice);
    // Only an axis-aligned view maps its bounds onto a device rectangle.
    if (mine.type() > QTransform::TxScale)
        return false;
    if (!mine.mapRect(toQRectF(m_bounds)).contains(deviceRect))
        return false;
    if (isOpaque())
        return true;
    for (const auto& subview : m_subviews) {
        if (subview->coversOpaquely(mine, deviceRect))
            return true;
    }
    return false;
}

void View::drawTree(QPainter& painter, const QTransform& toDevice, const QRectF& dirtyDevice)
{
    if (m_hidden || m_alpha <= 0)
        return;
    const QTransform mine = deviceTransform(toDevice);
    // Clip to whole device pixels: a fractional clip would switch the raster engine to slow path clipping.
    const QRect clip = mine.mapRect(toQRectF(m_bounds)).toAlignedRect() & dirtyDevice.toAlignedRect();
    if (clip.isEmpty())
        return;
    painter.save();
    if (m_alpha < 1.0)
        painter.setOpacity(painter.opacity() * m_alpha);
    painter.setWorldTransform(QTransform());
    painter.setClipRect(clip, Qt::IntersectClip);
    painter.setWorldTransform(mine);
    // A prompter frame is several full-screen views deep; filling each background in turn costs more
    // than drawing the text, so a view hidden behind an opaque subview is not drawn at all.
    bool hidden = false;
    for (const auto& subview : m_subviews) {
        if ((hidden = subview->coversOpaquely(mine, QRectF(clip))))
            break;
    }
    if (!hidden) {
        const Rect dirty = m_bounds.intersection(fromQRectF(mine.inverted().mapRect(QRectF(clip))));
        drawRect(painter, dirty);
    }
    m_needsDisplay = false;
    for (auto& subview : m_subviews)
        subview->drawTree(painter, mine, clip);
    painter.restore();
}

void View::displayRectIgnoringOpacity(const Rect& rect, QPainter& painter)
{
    if (!isValidRect(rect) || rect.isEmpty())
        return;
    // Device y grows downward; the rect's top edge is its max y unless the view is flipped.
    const double top = isFlipped() ? rect.origin.y : rect.origin.y + rect.size.height;
    const QTransform toDevice = isFlipped() ? QTransform(1, 0, 0, 1, -rect.origin.x, -top)
                                            : QTransform(1, 0, 0, -1, -rect.origin.x, top);
    // Draw as if this view were a root with identity frame mapping: undo its own superview step.
    const QTransform ownInverse = transformToSuperview().inverted();
    const QTransform base = painter.worldTransform();
    const double alpha = m_alpha;
    const bool hidden = m_hidden;
    m_alpha = 1.0;
    m_hidden = false;
    drawTree(painter, ownInverse * toDevice * base,
             base.mapRect(QRectF(0, 0, rect.size.width, rect.size.height)));
    m_alpha = alpha;
    m_hidden = hidden;
}

QImage View::imageOfRect(const Rect& rect, double scale)
{
    if (!isValidRect(rect) || rect.isEmpty() || !std::isfinite(scale) || scale <= 0)
        return {};
    QImage image(int(std::ceil(rect.size.width * scale)), int(std::ceil(rect.size.height * scale)),
                 QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHints(kDefaultRenderHints);
    painter.scale(scale, scale);
    displayRectIgnoringOpacity(rect, painter);
    return image;
}
