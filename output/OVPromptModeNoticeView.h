#pragma once

#include "platform/appkit/View.h"

#include <QString>

#include <memory>

// The content of the Prompt-mode notices: white text on a translucent black rounded panel. While it
// shows, key equivalents pressed in its window do nothing.
class OVPromptModeNoticeView : public View {
public:
    static constexpr Size kContentSize{300, 100};
    static constexpr double kFontSize = 32;
    static constexpr double kBackgroundAlpha = 0.8;
    static constexpr double kBorderWidth = 2;
    static constexpr double kCornerRadius = 4;
    static constexpr double kTextInset = 10;

    // A new notice view of 300 x 100 points that follows its superview's size.
    static std::unique_ptr<OVPromptModeNoticeView> contentView();

    explicit OVPromptModeNoticeView(const Rect& frame);

    const QString& text() const { return m_text; }
    void setText(const QString& text);
    // Where the text is laid out: the bounds inset on every side.
    Rect textRect() const;

    bool isFlipped() const override { return true; }
    View* hitTest(const Point& pointInSuperview) override;
    bool resignFirstResponder() override { return false; }
    bool performKeyEquivalent(const Event& event) override;
    void drawRect(QPainter& painter, const Rect& dirtyRect) override;

private:
    QString m_text;
};
