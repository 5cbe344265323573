#pragma once

#include <QString>

class ClipView;
class Event;

// Adopted by the prompter's text view: the clip view offers it the events that land in the
// whitespace padding above or below the text before handling them itself.
class OVInsetEventProtocol {
public:
    enum InsetRegion : int { kInsetRegionTop = 1, kInsetRegionBottom = 2 };

    virtual ~OVInsetEventProtocol() = default;
    // selector names the event handler ("scrollWheel:"); answers whether the event was handled.
    virtual bool handledEventSelector(const QString& selector, Event& event, int insetRegion,
                                      ClipView* fromView) = 0;
};
