#pragma once

#include "platform/text/AttributedString.h"
#include "platform/text/Color.h"

#include <QWidget>

#include <memory>

class LayoutManager;
class TextStorage;

// The preview's read-only text view: the script laid out at the view's width and drawn on its
// background colour. It is as tall as its text, so the scroll view around it scrolls the script.
class PreviewTextView : public QWidget {
public:
    explicit PreviewTextView(QWidget* parent = nullptr);
    ~PreviewTextView() override;

    const Color& backgroundColor() const { return m_backgroundColor; }
    void setBackgroundColor(const Color& color);
    void appendText(const AttributedString& text);
    const TextStorage& textStorage() const { return *m_storage; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void updateHeight();

    std::shared_ptr<TextStorage> m_storage;
    std::unique_ptr<LayoutManager> m_layout;
    Color m_backgroundColor = Color::rgb(0, 0, 0);
};
