#pragma once

#include <QColor>
#include <QPointer>
#include <QToolButton>

#include <functional>

#include "platform/appkit/Responder.h"
#include "text/OVColorPanelAccessoryViewProtocol.h"

class QColorDialog;

// The well that sets the colour marked text is drawn with. Active, it holds the keyboard focus and
// takes the colour panel's choices; the panel's accessory then offers only the highlight option,
// whose reset puts the registered marked-text colour back.
class OVMarkedTextColorWell : public QToolButton, public Responder, public OVColorPanelAccessoryViewProtocol {
public:
    // The colour panel options the well supports: the reset.
    static constexpr unsigned kColorPanelResetOption = 2;

    explicit OVMarkedTextColorWell(QWidget* parent = nullptr);
    ~OVMarkedTextColorWell() override;

    QColor color() const { return m_color; }
    void setColor(const QColor& color);
    // What a colour chosen in the panel is handed to.
    void setAction(std::function<void(const QColor&)> action) { m_action = std::move(action); }

    unsigned supportedColorPanelOptionMask() const override { return kColorPanelResetOption; }
    // The reset option clears the stored colour (the registered one holds again) and shows the plain
    // marked-text colour in the panel.
    void resetColorForColorPanelOption(unsigned option) override;
    // Active, the panel shows the well's colour.
    void updateColorPanelColorForSelectedOption() override;

    // Active: the panel shows and its colour changes arrive here.
    void activate();
    void deactivate();
    bool isActive() const { return m_active; }
    // From the panel; ignored while the well is not active.
    void changeColor(const QColor& color);
    // The program's colour panel's picker, once the well was active.
    QColorDialog* colorPanel() const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QColor m_color = Qt::yellow;
    std::function<void(const QColor&)> m_action;
    bool m_active = false;
    bool m_usedPanel = false;
};
