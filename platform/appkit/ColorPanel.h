#pragma once

#include <QColor>
#include <QString>
#include <QVariant>

#include <functional>
#include <vector>

class QColorDialog;
class QEvent;
class QObject;
class QWidget;

// The program's one colour panel: a floating window with Qt's colour picker and, below it, an
// accessory view the program supplies. The panel belongs to no document window and never takes the
// key role from one, so the view the user works in stays the one its colours go to. A colour the
// user picks is sent as "changeColor:" (the panel as sender, in a QVariant holding a ColorPanel*);
// whoever takes it reads color().
class ColorPanel {
public:
    static inline const QString kChangeColorAction = QStringLiteral("changeColor:");

    // Made on first use; it lives for the process.
    static ColorPanel& shared();
    static bool sharedColorPanelExists();
    // Whether the sender of an action is this panel.
    static bool isSender(const QVariant& sender);

    QWidget* window() const { return m_window; }
    QColorDialog* colorPicker() const { return m_picker; }

    QColor color() const;
    // Shows color without sending it anywhere.
    void setColor(const QColor& color);

    // The view below the picker; the panel takes it over. None removes the current one.
    QWidget* accessoryView() const { return m_accessory; }
    void setAccessoryView(QWidget* view);

    void orderFront();
    void close();
    bool isVisible() const;
    // Whether widget is part of the panel (focus moving there leaves the user's view in charge).
    bool containsWidget(const QWidget* widget) const;

    // Whether a mouse button pressed in the panel is still held: a drag across the picker, which the
    // user makes as one choice however many colours it passes.
    bool isTrackingMouse() const { return m_tracking; }
    // Runs work once no drag across the panel is under way: at once when none is, else when the
    // button is let go (or the panel closes).
    void performAfterTracking(std::function<void()> work);

    // Where "changeColor:" goes: the application's responder chain unless someone (the accessory,
    // a test) routes it.
    using ChangeColorSender = std::function<void(ColorPanel& panel)>;
    void setChangeColorSender(ChangeColorSender sender) { m_sender = std::move(sender); }

    ColorPanel(const ColorPanel&) = delete;
    ColorPanel& operator=(const ColorPanel&) = delete;

private:
    ColorPanel();
    ~ColorPanel();
    void sendChangeColor();
    class EventFilter;
    friend class EventFilter;
    bool filterEvent(QObject* watched, QEvent* event);
    void endTracking();

    QWidget* m_window = nullptr;
    QColorDialog* m_picker = nullptr;
    QWidget* m_accessory = nullptr;
    ChangeColorSender m_sender;
    bool m_settingColor = false;
    bool m_tracking = false;
    std::vector<std::function<void()>> m_afterTracking;
    EventFilter* m_filter = nullptr;
};

Q_DECLARE_METATYPE(ColorPanel*)
