#pragma once

#include "platform/appkit/ClipView.h"
#include "platform/appkit/Scroller.h"

// A clip view with a vertical and a horizontal scroller around it. Scrollers can be hidden without
// shrinking the content, or overlaid on it; their values always follow the clip view, even hidden.
class ScrollView : public View {
public:
    explicit ScrollView(const Rect& frame = {});

    ClipView* contentView() const { return m_clipView; }
    // Installs a clip view of a subclass; the document view moves over to it.
    ClipView* setContentView(std::unique_ptr<ClipView> clipView);
    View* documentView() const { return m_clipView->documentView(); }
    View* setDocumentView(std::unique_ptr<View> view) { return m_clipView->setDocumentView(std::move(view)); }
    Size contentSize() const { return m_clipView->frame().size; }
    Rect documentVisibleRect() const { return m_clipView->documentVisibleRect(); }

    bool hasVerticalScroller() const { return m_hasVerticalScroller; }
    virtual void setHasVerticalScroller(bool flag);
    bool hasHorizontalScroller() const { return m_hasHorizontalScroller; }
    virtual void setHasHorizontalScroller(bool flag);
    bool autohidesScrollers() const { return m_autohidesScrollers; }
    void setAutohidesScrollers(bool flag);
    Scroller::Style scrollerStyle() const { return m_scrollerStyle; }
    virtual void setScrollerStyle(Scroller::Style style);
    Scroller* verticalScroller() const { return m_verticalScroller; }
    Scroller* horizontalScroller() const { return m_horizontalScroller; }
    // Installs a scroller of a subclass.
    Scroller* setVerticalScroller(std::unique_ptr<Scroller> scroller);
    Scroller* setHorizontalScroller(std::unique_ptr<Scroller> scroller);

    // A ruler above the clip view (a text view's tab stops and indents). It takes its height from
    // its own frame and its strip from the content while both the ruler and the rulers are shown.
    View* horizontalRulerView() const { return m_horizontalRuler; }
    void setHorizontalRulerView(std::unique_ptr<View> ruler);
    bool hasHorizontalRuler() const { return m_hasHorizontalRuler; }
    void setHasHorizontalRuler(bool flag);
    bool rulersVisible() const { return m_rulersVisible; }
    void setRulersVisible(bool flag);
    // The height the shown ruler takes from the content; 0 without one.
    double horizontalRulerThickness() const;
    // Whether a ruler would be redrawn for nothing now (the view is not being laid out).
    virtual bool suspendsRulerUpdates() const { return false; }
    // Whether the view is held still: neither the wheel nor what its document view makes of the
    // wheel moves anything.
    virtual bool preventScrolling() const { return false; }

    // Points per line for wheels that report lines rather than points.
    double verticalLineScroll() const { return m_verticalLineScroll; }
    void setVerticalLineScroll(double value);
    double horizontalLineScroll() const { return m_horizontalLineScroll; }
    void setHorizontalLineScroll(double value);

    // Lays out the clip view and the scrollers.
    virtual void tile();
    // Brings the scrollers in line with the clip view's position and the document's size.
    virtual void reflectScrolledClipView(ClipView* clipView);

    bool isFlipped() const override { return true; }
    void scrollWheel(Event& event) override;

protected:
    void frameDidChange(const Size& oldSize) override;

private:
    void wireScroller(Scroller* scroller);
    void scrollerValueChanged(Scroller& scroller);
    bool showsScroller(bool has, double documentExtent, double clipExtent) const;

    ClipView* m_clipView = nullptr;
    Scroller* m_verticalScroller = nullptr;
    Scroller* m_horizontalScroller = nullptr;
    Scroller::Style m_scrollerStyle = Scroller::Style::Overlay;
    double m_verticalLineScroll = 10.0;
    double m_horizontalLineScroll = 10.0;
    bool m_hasVerticalScroller = false;
    bool m_hasHorizontalScroller = false;
    bool m_autohidesScrollers = false;
    bool m_tiling = false;
    View* m_horizontalRuler = nullptr;
    bool m_hasHorizontalRuler = false;
    bool m_rulersVisible = false;
};
