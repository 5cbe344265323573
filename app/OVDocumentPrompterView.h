#pragma once

#include "platform/appkit/View.h"
#include "prompting/OVCorePrompterView.h"

class OVScrollView;
class TextView;

// The document window's content: a prompter scroll view around the document's text view, which the
// core scrolls in Prompt mode and the user edits in Edit mode. It offers the core the switches a
// plain scroll view can honour; the full prompter view, with its focus arrow and time bar, takes
// its place through the same interface.
class OVDocumentPrompterView : public View, public OVCorePrompterView {
public:
    explicit OVDocumentPrompterView(const Rect& frame);
    ~OVDocumentPrompterView() override;

    ScrollView* scrollView() const override;
    View* textView() const override;
    OVScrollView* prompterScrollView() const { return m_scrollView; }
    TextView* documentTextView() const { return m_textView; }

    bool isContentEditable() const override;
    void setupTextViewForMode(bool promptMode, qsizetype visibleCharacterLocation) override;
    qsizetype textLength() const override;
    void setTextContainerWidthTracksTextView(bool flag) override { Q_UNUSED(flag); }

    // The prompter's position: 0 at the script's top, 1 where its end reaches the bottom.
    double positionRatio() const;
    void setPositionRatio(double ratio);

private:
    OVScrollView* m_scrollView = nullptr;
    TextView* m_textView = nullptr;
};
