#pragma once

#include "prompter_view/OVPrompterView.h"

class TextView;

// The document window's content: the prompter view around the document's rich-text view, which the
// core scrolls in Prompt mode and the user edits in Edit mode, with the prompter's position as the
// document stores it.
class OVDocumentPrompterView : public OVPrompterView {
public:
    explicit OVDocumentPrompterView(const Rect& frame);
    ~OVDocumentPrompterView() override;

    TextView* documentTextView() const;

    // The prompter's position: 0 at the script's top, 1 where its end reaches the bottom.
    double positionRatio() const;
    void setPositionRatio(double ratio);
};
