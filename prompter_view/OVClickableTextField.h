#pragma once

#include "platform/appkit/View.h"

#include <QColor>
#include <QFont>
#include <QString>

// A line of text that acts like a button: a click sends its action, an Alt-click its alternate
// action (the document window's timer: switch the display, or reset it). Without an alternate action
// an Alt-click sends nothing.
class OVClickableTextField : public View {
public:
    explicit OVClickableTextField(const Rect& frame = {});

    const QString& stringValue() const { return m_string; }
    void setStringValue(const QString& string);
    const QFont& font() const { return m_font; }
    void setFont(const QFont& font);
    const QColor& textColor() const { return m_textColor; }
    void setTextColor(const QColor& color);

    // Actions go to the target, or along the responder chain without one.
    const QString& action() const { return m_action; }
    void setAction(const QString& action) { m_action = action; }
    const QString& alternateAction() const { return m_alternateAction; }
    void setAlternateAction(const QString& action) { m_alternateAction = action; }
    Responder* target() const { return m_target; }
    void setTarget(Responder* target) { m_target = target; }

    void mouseDown(Event& event) override;
    void drawRect(QPainter& painter, const Rect& dirtyRect) override;
    bool isFlipped() const override { return true; }

private:
    QString m_string;
    QFont m_font;
    QColor m_textColor = Qt::black;
    QString m_action;
    QString m_alternateAction;
    Responder* m_target = nullptr;
};
