#pragma once

#include "platform/appkit/ClipView.h"

#include <QString>

// The prompter's clip view: wheel events that land in the whitespace padding go to the text view
// first, so it can act on them; a re-entrant event is dropped rather than looping.
class OVClipView : public ClipView {
public:
    explicit OVClipView(const Rect& frame = {});

    void scrollWheel(Event& event) override;

private:
    void _processOverriddenEvent(Event& event, const QString& eventSelector);
    // The padding region the event lands in: 1 top, 2 bottom, 0 none.
    int insetRegionForEvent(const Event& event) const;

    bool m_processingEvent = false;
};
