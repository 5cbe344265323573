#pragma once

#include "platform/appkit/View.h"
#include "platform/text/AttributedString.h"

#include <QColor>
#include <QString>

#include <optional>

// The dark "Blanking is on" label a prompter view shows at its top centre while the talent output
// is blanked. Clicks pass through it to the prompter below, and it never takes the keyboard.
class OVBlankingNoticeView : public View {
public:
    static constexpr double kPadding = 10;
    static constexpr double kFontSize = 20;

    explicit OVBlankingNoticeView(const Rect& frame = {});

    const QString& notice() const { return m_notice; }
    // Setting a plain notice clears the attributed one, and the other way round.
    void setNotice(const QString& notice);
    const std::optional<AttributedString>& attributedNotice() const { return m_attributedNotice; }
    void setAttributedNotice(const AttributedString& notice);
    const QColor& backgroundColor() const { return m_backgroundColor; }
    void setBackgroundColor(const QColor& color);
    // The label: the text's fitted size at (kPadding, kPadding).
    View* label() const;
    // The plain notice's colour: the inverse of the background made opaque.
    QColor plainNoticeColor() const;

    // Sizes the label to its text and then the view around it.
    void updateLabel();
    void updateWindowFrame();

    void drawRect(QPainter& painter, const Rect& dirtyRect) override;
    bool isOpaque() const override { return false; }
    View* hitTest(const Point&) override { return nullptr; }
    bool acceptsFirstResponder() const override { return false; }

private:
    class Label;

    QString m_notice;
    std::optional<AttributedString> m_attributedNotice;
    QColor m_backgroundColor = QColor::fromRgbF(0, 0, 0, 0.75);
    Label* m_label = nullptr;
};
