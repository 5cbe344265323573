#pragma once

#include "platform/foundation/Size.h"

// What the prompter scroll view needs of its text view to pad the text: the text container's inset.
class OVScrollViewTextView {
public:
    virtual ~OVScrollViewTextView() = default;

    virtual Size textContainerInset() const = 0;
    // Lays the text out again at once, so the view's height includes the inset above and below.
    virtual void setTextContainerInset(const Size& inset) = 0;
};
