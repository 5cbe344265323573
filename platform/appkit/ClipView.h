#pragma once

#include "platform/appkit/View.h"

#include <QColor>

// The view that shows part of a document view: its bounds origin is the scroll position, fractional,
// and may be set by code at any time (the scroll engine moves it every tick). Bounds observers hear of
// every change synchronously, in the order they were added.
class ClipView : public View {
public:
    explicit ClipView(const Rect& frame = {});
    ~ClipView() override;

    View* documentView() const { return m_documentView; }
    // Replaces the document view; the old one is destroyed.
    View* setDocumentView(std::unique_ptr<View> view);
    std::unique_ptr<View> takeDocumentView();
    // Follows the document view, so its coordinates match the document's.
    bool isFlipped() const override;

    Rect documentRect() const;
    Rect documentVisibleRect() const;

    // Moves the bounds origin to point, kept within the document.
    void scrollToPoint(const Point& point);
    // Keeps a proposed bounds rect within the document; a document smaller than the view stays at its
    // origin.
    virtual Rect constrainBoundsRect(const Rect& proposed) const;

    // Off by default: a scroll draws the whole view again.
    bool copiesOnScroll() const override { return m_copiesOnScroll; }
    void setCopiesOnScroll(bool flag) { m_copiesOnScroll = flag; }

    bool drawsBackground() const { return m_drawsBackground; }
    void setDrawsBackground(bool flag);
    const QColor& backgroundColor() const { return m_backgroundColor; }
    void setBackgroundColor(const QColor& color);

    void drawRect(QPainter& painter, const Rect& dirtyRect) override;
    bool isOpaque() const override { return m_drawsBackground && m_backgroundColor.alpha() == 255; }

protected:
    void boundsDidChange() override;
    void frameDidChange(const Size& oldSize) override;

private:
    void documentFrameDidChange();

    View* m_documentView = nullptr;
    int m_documentObserver = 0;
    bool m_drawsBackground = true;
    bool m_copiesOnScroll = false;
    QColor m_backgroundColor = Qt::white;
};
