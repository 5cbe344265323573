#pragma once

#include "platform/appkit/View.h"
#include "platform/text/ParagraphStyle.h"
#include "platform/textlayout/RulerMarker.h"

#include <memory>
#include <optional>
#include <vector>

class QMenu;
class TextView;

// The ruler a text view shows above itself: a row of alignment buttons and a spacing pop-up (no
// style or list pop-ups: the script keeps neither), a scale in points and the
// paragraph's handles (tab stops, first-line, head and tail indents) at the selection. Dragging a
// handle changes the selected paragraphs through the text view, with undo; a click on the empty
// marker strip sets a left tab there; a tab dragged off the ruler goes away.
class RulerView : public View {
public:
    static constexpr double kAccessoryHeight = 24;
    static constexpr double kScaleHeight = 16;
    static constexpr double kMarkerHeight = 14;
    static constexpr double kThickness = kAccessoryHeight + kScaleHeight + kMarkerHeight;
    static constexpr double kAccessoryLeftMargin = 5;
    static constexpr double kAlignmentButtonWidth = 26;
    static constexpr double kSpacingButtonWidth = 72;
    // How far (in points) a click may be from a handle and still take it.
    static constexpr double kMarkerHitSlop = 5;
    // How far below the ruler a dragged tab must be let go to be removed.
    static constexpr double kRemoveDistance = 16;

    // client: the text view's own handle on itself, cleared when the text view goes, so a ruler
    // that outlives it shows nothing and does nothing.
    explicit RulerView(std::shared_ptr<TextView*> client);
    ~RulerView() override;

    TextView* client() const { return *m_client; }
    // The alignments the buttons set, left to right.
    static const std::vector<TextAlignment>& alignmentButtons();
    // The button's rectangle in the ruler, or an empty one past the last.
    Rect alignmentButtonRect(int index) const;

    // The spacing pop-up beside the alignment buttons: line heights as multiples of the font's.
    Rect spacingButtonRect() const;
    static const std::vector<double>& lineHeightMultiples();
    // The pop-up's menu as it opens, with the current spacing checked; the ruler owns it.
    QMenu* spacingMenu();

    // Where a location of the client's paragraphs lies across the ruler, and back.
    double xForLocation(double location) const;
    double locationForX(double x) const;
    // The handle's rectangle in the ruler.
    Rect rectForMarker(const RulerMarker& marker) const;
    // The handles as the client shows them now (its layout manager may leave some out).
    std::vector<RulerMarker> markers() const;
    // The handle a click at point takes, if any; indents win over tab stops on the same spot.
    std::optional<RulerMarker> markerAtPoint(const Point& point) const;
    // The handle being dragged and where it is now.
    const std::optional<RulerMarker>& draggedMarker() const { return m_dragged; }

    bool isFlipped() const override { return true; }
    bool acceptsFirstResponder() const override { return false; }
    void drawRect(QPainter& painter, const Rect& dirtyRect) override;
    void mouseDown(Event& event) override;
    void mouseDragged(Event& event) override;
    void mouseUp(Event& event) override;

private:
    Point pointForEvent(const Event& event) const;
    void drawScale(QPainter& painter) const;
    void drawMarker(QPainter& painter, const RulerMarker& marker, bool dragged) const;
    void drawAccessory(QPainter& painter) const;
    void drawSpacingButton(QPainter& painter) const;
    double maximumLocation() const;

    std::shared_ptr<TextView*> m_client;
    std::unique_ptr<QMenu> m_spacingMenu;
    std::optional<RulerMarker> m_dragged;
    Point m_dragPoint;
};
