#pragma once

#include "platform/appkit/View.h"

#include <QColor>

// The frame around a prompter view, filled with the colour that surrounds the prompter's page: the
// page's own colour, or black while the prompter is blanked. Patterned, the fill lets the panel show
// through, so a reduced copy of an output reads as a copy.
class OVBoxView : public View {
public:
    using View::View;

    QColor fillColor() const { return m_fillColor; }
    bool isFillPatterned() const { return m_patterned; }
    // Nothing is drawn for an invalid colour.
    void setFillColor(const QColor& color, bool patterned = false);

    void drawRect(QPainter& painter, const Rect& dirtyRect) override;
    bool isOpaque() const override;

private:
    QColor m_fillColor;
    bool m_patterned = false;
};
