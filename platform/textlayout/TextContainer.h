#pragma once

#include "platform/foundation/Size.h"

// The region a layout manager fills with lines: a width (text wraps at it), a height (lines below it
// are still laid out, the view simply grows) and the padding kept inside each line fragment's ends.
class TextContainer {
public:
    static constexpr double kDefaultLineFragmentPadding = 5.0;
    // A height that never limits layout.
    static constexpr double kUnlimitedHeight = 1e7;

    explicit TextContainer(const Size& size = {1e7, kUnlimitedHeight}) : m_size(size) {}

    const Size& size() const { return m_size; }
    // Negative or non-finite widths count as 0, so layout always ends.
    void setSize(const Size& size);
    double lineFragmentPadding() const { return m_lineFragmentPadding; }
    void setLineFragmentPadding(double padding);

    // Whether the owning text view resizes the container with its own frame.
    bool widthTracksTextView() const { return m_widthTracksTextView; }
    void setWidthTracksTextView(bool flag) { m_widthTracksTextView = flag; }
    bool heightTracksTextView() const { return m_heightTracksTextView; }
    void setHeightTracksTextView(bool flag) { m_heightTracksTextView = flag; }

private:
    Size m_size;
    double m_lineFragmentPadding = kDefaultLineFragmentPadding;
    bool m_widthTracksTextView = true;
    bool m_heightTracksTextView = false;
};
