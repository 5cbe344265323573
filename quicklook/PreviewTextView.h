#pragma once

#include "platform/text/AttributedString.h"
#include "platform/text/Color.h"

#include <QWidget>

#include <memory>

class LayoutManager;
class TextStorage;

// The preview's read-only text view: the script laid out at the view's width and drawn on its
// background colour. It is as tall as its text, so the scroll view around it scrolls the script.
//
// A long script is laid out in pieces: what fills the first screen at once, the rest in later
// passes of the event loop, so the preview shows before the whole script is laid out. Until then
// the view's height is estimated from the part laid out so far.
class PreviewTextView : public QWidget {
public:
    explicit PreviewTextView(QWidget* parent = nullptr);
    ~PreviewTextView() override;

    const Color& backgroundColor() const { return m_backgroundColor; }
    void setBackgroundColor(const Color& color);
    void appendText(const AttributedString& text);
    // The text laid out so far.
    const TextStorage& textStorage() const { return *m_storage; }
    bool isLayoutComplete() const { return m_pendingOffset >= m_pending.length(); }
    // Lays out the rest of the text now.
    void completeLayout();

    // Characters laid out per pass of the event loop once the first screen is shown.
    static constexpr qsizetype kPieceLength = 32 * 1024;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void updateHeight();
    void syncContainerWidth();
    // Lays out pending text until the used height reaches height or length characters were taken.
    void layOutPending(double height, qsizetype length);
    void scheduleNextPiece();

    std::shared_ptr<TextStorage> m_storage;
    std::unique_ptr<LayoutManager> m_layout;
    Color m_backgroundColor = Color::rgb(0, 0, 0);
    AttributedString m_pending;
    qsizetype m_pendingOffset = 0;
    bool m_pieceScheduled = false;
};
