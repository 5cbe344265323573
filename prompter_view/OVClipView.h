#pragma once

#include "platform/appkit/ClipView.h"

#include <QString>

// The prompter's clip view: wheel events that land in the whitespace padding go to the text view
// first, so it can act on them; a re-entrant event is dropped rather than looping.
class OVClipView : public ClipView {
public:
    explicit OVClipView(const Rect& frame = {});

    void scrollWheel(Event& event) override;

    // On, a document narrower (or shorter) than the clip view sits in its middle instead of at its
    // start: the script zoomed out by magnification stays centred.
    bool centersDocumentView() const { return m_centersDocumentView; }
    void setCentersDocumentView(bool flag);
    Rect constrainBoundsRect(const Rect& proposed) const override;

private:
    void _processOverriddenEvent(Event& event, const QString& eventSelector);
    // The padding region the event lands in: 1 top, 2 bottom, 0 none.
    int insetRegionForEvent(const Event& event) const;

    bool m_processingEvent = false;
    bool m_centersDocumentView = false;
};
