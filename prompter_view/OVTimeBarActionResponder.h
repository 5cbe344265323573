#pragma once

#include "platform/text/AttributeDictionary.h"

class OVTimeBar;

// Adopted by a window or window controller that opens the font and colour panels for a time bar; it
// later calls the actionable time bar's performAttributesAction.
class OVTimeBarActionResponder {
public:
    virtual ~OVTimeBarActionResponder() = default;
    // action 1 styles the times, 2 the titles.
    virtual void prepareForTimebar(OVTimeBar* timeBar, int action,
                                   const AttributeDictionary& currentAttributes) = 0;
};
