#pragma once

#include "platform/appkit/Cursor.h"
#include "platform/appkit/Responder.h"
#include "platform/appkit/TrackingArea.h"
#include "platform/foundation/Rect.h"

#include <QPainter>
#include <QTransform>

#include <functional>
#include <memory>
#include <vector>

class Animation;
class QImage;
class ScrollView;
class Window;

// A rectangle of a window in the platform's convention: a frame in its superview's coordinates, bounds
// in its own (y up unless flipped, fractional origin and scale allowed), subviews drawn over it. Views
// are plain objects drawn through QPainter by their window's host widget, so scrolling, mirroring and
// magnification are painter transforms and a view tree renders offscreen without a window.
class View : public Responder {
public:
    enum AutoresizingMask : unsigned {
        NotSizable = 0,
        MinXMargin = 1,
        WidthSizable = 2,
        MaxXMargin = 4,
        MinYMargin = 8,
        HeightSizable = 16,
        MaxYMargin = 32,
    };
    enum class Place { Above, Below };
    using Observer = std::function<void(View& view)>;
    using Completion = std::function<void(bool finished)>;

    // Views draw antialiased, so shapes move by fractions of a pixel when the bounds do.
    static constexpr QPainter::RenderHints kDefaultRenderHints =
        QPainter::Antialiasing | QPainter::SmoothPixmapTransform;

    explicit View(const Rect& frame = {});
    ~View() override;

    // Geometry. Values that are not finite, or negative sizes, are refused and logged.
    const Rect& frame() const { return m_frame; }
    void setFrame(const Rect& frame);
    void setFrameOrigin(const Point& origin);
    void setFrameSize(const Size& size);
    const Rect& bounds() const { return m_bounds; }
    void setBounds(const Rect& bounds);
    virtual void setBoundsOrigin(const Point& origin);
    void setBoundsSize(const Size& size);
    virtual bool isFlipped() const { return m_flipped; }
    // For views that need no subclass just to be flipped.
    void setFlipped(bool flipped);
    // The part of the bounds not clipped away by superviews.
    Rect visibleRect() const;

    unsigned autoresizingMask() const { return m_autoresizingMask; }
    void setAutoresizingMask(unsigned mask) { m_autoresizingMask = mask; }
    bool autoresizesSubviews() const { return m_autoresizesSubviews; }
    void setAutoresizesSubviews(bool flag) { m_autoresizesSubviews = flag; }
    virtual void resizeSubviewsWithOldSize(const Size& oldSize);
    virtual void resizeWithOldSuperviewSize(const Size& oldSize);

    // Hierarchy. A superview owns its subviews.
    View* addSubview(std::unique_ptr<View> view);
    View* addSubview(std::unique_ptr<View> view, Place place, const View* relativeTo);
    template <typename T> T* addSubview(std::unique_ptr<T> view)
    {
        T* raw = view.get();
        addSubview(std::unique_ptr<View>(std::move(view)));
        return raw;
    }
    std::unique_ptr<View> removeFromSuperview();
    const std::vector<std::unique_ptr<View>>& subviews() const { return m_subviews; }
    View* superview() const { return m_superview; }
    Window* window() const { return m_window; }
    bool isDescendantOf(const View* view) const;
    ScrollView* enclosingScrollView() const;
    virtual void viewDidMoveToSuperview() {}
    virtual void viewDidMoveToWindow() {}

    // Visibility and drawing.
    bool isHidden() const { return m_hidden; }
    void setHidden(bool hidden);
    bool isHiddenOrHasHiddenAncestor() const;
    double alphaValue() const { return m_alpha; }
    void setAlphaValue(double alpha);
    // A drawing-only transform about the centre of the bounds, as a layer's transform: mirroring is
    // QTransform::fromScale(-1, 1). Hit testing and conversions ignore it, as they ignore a layer's.
    const QTransform& layerTransform() const { return m_layerTransform; }
    void setLayerTransform(const QTransform& transform);
    // Whether the view asks for a layer of its own. Views always draw through QPainter, so this is a
    // recorded choice only.
    bool wantsLayer() const { return m_wantsLayer; }
    void setWantsLayer(bool flag) { m_wantsLayer = flag; }
    bool needsDisplay() const { return m_needsDisplay; }
    void setNeedsDisplay(bool flag);
    void setNeedsDisplayInRect(const Rect& rect);
    // Draws the view's own content; the painter is in bounds coordinates, clipped to the bounds.
    virtual void drawRect(QPainter& painter, const Rect& dirtyRect);
    // True when drawRect paints every pixel of its dirty rect with opaque colour, so that whatever
    // lies behind the view need not be drawn at all.
    virtual bool isOpaque() const { return false; }
    // The part of the bounds the view and its subviews draw on. A view over a scrolled one whose
    // pixels are copied is drawn again only there: elsewhere the copy moved just what lies beneath,
    // which was right to move.
    virtual Rect drawnRect() const { return bounds(); }
    // Draws the view and its subviews within rect (bounds coordinates) with the rect's top-left corner
    // at the painter's origin and one point per device unit, ignoring this view's own alpha.
    void displayRectIgnoringOpacity(const Rect& rect, QPainter& painter);
    // The same into a new image of the rect's size times scale.
    QImage imageOfRect(const Rect& rect, double scale = 1.0);
    // Where a page that shows this view from top down to proposedBottom (bounds coordinates) should
    // end instead, so that nothing is cut across; never above limit. Views that draw lines of text
    // move the end up to the top of the line it would cut; by default nothing moves.
    virtual double adjustPageHeight(double top, double proposedBottom, double limit) const
    {
        Q_UNUSED(top);
        Q_UNUSED(limit);
        return proposedBottom;
    }

    // Conversion between this view's bounds and another view's; nullptr means window coordinates.
    Point convertPointToView(const Point& point, const View* view) const;
    Point convertPointFromView(const Point& point, const View* view) const;
    Rect convertRectToView(const Rect& rect, const View* view) const;
    Rect convertRectFromView(const Rect& rect, const View* view) const;
    // Maps this view's bounds coordinates to its superview's bounds (or the window's coordinates).
    QTransform transformToSuperview() const;
    QTransform transformToWindow() const;

    // The deepest visible view containing point, given in the superview's coordinates.
    virtual View* hitTest(const Point& pointInSuperview);

    // Offers a key equivalent to the visible views of this tree, front-most first, before the menus
    // see it; answers whether one used it.
    virtual bool performKeyEquivalent(const Event& event);

    // Tracking areas and cursor rectangles, in bounds coordinates.
    int addTrackingArea(TrackingArea area);
    void removeTrackingArea(int identifier);
    std::vector<TrackingArea>& trackingAreas() { return m_trackingAreas; }
    virtual void updateTrackingAreas() {}
    struct CursorRect {
        Rect rect;
        Cursor cursor;
    };
    void addCursorRect(const Rect& rect, const Cursor& cursor);
    void discardCursorRects() { m_cursorRects.clear(); }
    virtual void resetCursorRects() {}
    const std::vector<CursorRect>& cursorRects() const { return m_cursorRects; }

    // Also post the frame and bounds notifications on the shared centre. Off by default: the direct
    // observers below are cheaper on the per-frame path and keep their order.
    bool postsFrameChangedNotifications() const { return m_postsFrameChanged; }
    void setPostsFrameChangedNotifications(bool flag) { m_postsFrameChanged = flag; }
    bool postsBoundsChangedNotifications() const { return m_postsBoundsChanged; }
    void setPostsBoundsChangedNotifications(bool flag) { m_postsBoundsChanged = flag; }

    // Observers hear of frame and bounds changes synchronously, in the order they were added.
    int addFrameObserver(Observer observer);
    int addBoundsObserver(Observer observer);
    void removeObserver(int token);

    // Layer-style animations, timed by the shared clock; a new animation of the same property, or
    // setting it directly, replaces the running one.
    void animateFrame(const Rect& frame, double duration, Completion completion = {});
    void animateBounds(const Rect& bounds, double duration, Completion completion = {});
    void animateAlphaValue(double alpha, double duration, Completion completion = {});
    bool isAnimating() const;
    void stopAnimations();

    // Maps the bounds to the window's host widget as drawing does: with the layer transforms of this
    // view and its superviews, y down from the window's top.
    QTransform drawingTransformToWindow() const;
    // Whether a change of the bounds origin alone moves what is drawn of the view by copying it
    // (Window::scrollDrawnContent) rather than drawing it all again.
    virtual bool copiesOnScroll() const { return false; }

    // Draws this view and its subviews; toDevice maps the superview's coordinates to the device.
    void drawTree(QPainter& painter, const QTransform& toDevice, const QRectF& dirtyDevice);

protected:
    // Told of every rectangle marked for drawing again (bounds coordinates), before the window is:
    // a view that keeps drawn images of itself drops what the rectangle touches.
    virtual void displayWillInvalidateRect(const Rect&) {}
    virtual void frameDidChange(const Size& oldSize);
    virtual void boundsDidChange();

private:
    friend class Window;
    // This view's bounds coordinates to the device, given its superview's mapping.
    QTransform deviceTransform(const QTransform& superviewToDevice) const;
    // Whether this view or one of its subviews paints all of deviceRect opaquely.
    bool coversOpaquely(const QTransform& superviewToDevice, const QRectF& deviceRect) const;
    enum class AnimatedProperty { Frame, Bounds, Alpha, Count };
    struct ObserverEntry {
        int token;
        bool bounds;
        // Shared so a notification holds it alive without copying the function.
        std::shared_ptr<const Observer> observer;
    };

    void setWindowRecursively(Window* window);
    void notify(bool bounds);
    void cancelAnimation(AnimatedProperty property);
    void startAnimation(AnimatedProperty property, double duration, std::function<void(double)> apply,
                        Completion completion);
    void applyFrame(const Rect& frame);
    void applyBounds(const Rect& bounds);
    void applyAlpha(double alpha);
    bool superviewIsFlipped() const;

    Rect m_frame;
    Rect m_bounds;
    View* m_superview = nullptr;
    Window* m_window = nullptr;
    std::vector<std::unique_ptr<View>> m_subviews;
    std::vector<TrackingArea> m_trackingAreas;
    std::vector<CursorRect> m_cursorRects;
    std::vector<ObserverEntry> m_observers;
    std::unique_ptr<Animation> m_animations[int(AnimatedProperty::Count)];
    QTransform m_layerTransform;
    double m_alpha = 1.0;
    unsigned m_autoresizingMask = NotSizable;
    int m_nextToken = 1;
    bool m_hidden = false;
    bool m_flipped = false;
    bool m_wantsLayer = false;
    bool m_needsDisplay = true;
    bool m_autoresizesSubviews = true;
    bool m_postsFrameChanged = false;
    bool m_postsBoundsChanged = false;
};
