#pragma once

#include "platform/foundation/Rect.h"
#include "platform/text/Color.h"
#include "platform/text/Font.h"
#include "text/OVTextView.h"

#include <QWidget>

#include <functional>
#include <memory>

class QScrollBar;
class QTimer;

// The sample through which the General settings pane edits the default document style. The user
// never types into it or selects in it; font and colour changes from the panels apply to its
// whole text, and each run of changes within one pass of the event loop is reported once.
class OVDefaultStyleTextView : public OVTextView {
public:
    // Text and page colour.
    static constexpr unsigned kSupportedColorPanelOptionMask =
        ColorPanelTextColor | ColorPanelBackgroundColor;

    explicit OVDefaultStyleTextView(const Rect& frame = {0, 0, 400, 120});
    ~OVDefaultStyleTextView() override;

    unsigned supportedColorPanelOptionMask() const override { return kSupportedColorPanelOptionMask; }
    // The sample has nothing to reset to: it shows the default style itself.
    void resetColorForColorPanelOption(unsigned) override {}
    // From the colour panel, for the accessory's option.
    void changeColor(const QVariant& sender) override;
    // The panel shows the sample's text colour or page colour, whichever the option changes.
    void updateColorPanelColorForSelectedOption() override;

    // From the font panel: the whole text takes font, unless its first character has it already.
    void changeFont(const Font& font);
    // From the colour panel: the text colour or, for the background option, the page.
    void changeColor(const Color& color, unsigned option);

    // What the deferred report calls: the pane's textStyleDidChange.
    void setTextStyleChangeHandler(std::function<void()> handler) { m_styleChanged = std::move(handler); }
    // Schedules the report for the next pass of the event loop; later calls before it fire join it.
    void _sendTextStyleChanged();
    bool hasPendingTextStyleChange() const;

    // The height of the scroll view the sample sits in: the sample is never shorter than it less
    // two points, whatever frame it is given.
    void setEnclosingHeight(double height);
    void setFrame(const Rect& frame);
    // Redraws the host, if one shows the sample.
    void setDisplayHandler(std::function<void()> handler) { m_display = std::move(handler); }
    void display() const;

protected:
    void drawInsertionPoint(QPainter&, const Rect&, const QColor&) override {}
    void frameDidChange(const Size& oldSize) override;

private:
    void _deferredSendTextStyleChanged();

    std::function<void()> m_styleChanged;
    std::function<void()> m_display;
    std::unique_ptr<QTimer> m_sendTimer;
    double m_enclosingHeight = 0;
};

// Shows a sample text view in a widget: the scroll view of the settings pane, whose height the
// sample follows and whose width it fills. A style whose line is taller than the view (a large
// font at a wide line spacing) scrolls, by the scroll bar, the wheel or the keys.
class OVDefaultStyleSampleHost : public QWidget, public OVColorPanelAccessoryViewHost {
public:
    // With the keyboard focus the sample is what the colour panel's choices go to.
    Responder* colorPanelParticipant() const override;
    explicit OVDefaultStyleSampleHost(QWidget* parent = nullptr);
    ~OVDefaultStyleSampleHost() override;

    OVDefaultStyleTextView& textView() const { return *m_textView; }
    QSize sizeHint() const override { return {400, 150}; }
    // Hidden while the whole sample shows.
    QScrollBar* verticalScrollBar() const { return m_scrollBar; }
    // Brings the scroll bar in step with the sample's height; the pane calls it after a refill.
    void updateScrolling();

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void layOutSample();

    std::unique_ptr<OVDefaultStyleTextView> m_textView;
    QScrollBar* m_scrollBar = nullptr;
};
