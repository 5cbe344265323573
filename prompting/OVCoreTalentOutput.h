#pragma once

class OVCorePrompterView;
class Window;

// What the core asks of the talent output, which lives in a layer above it: whether the talent
// window is on screen and which prompter view it shows.
class OVCoreTalentOutput {
public:
    virtual ~OVCoreTalentOutput() = default;
    virtual bool isTalentWindowInUse() const = 0;
    virtual OVCorePrompterView* talentPrompterView() const = 0;
    // The height of the band kept clear at the talent's top and bottom, where the operator's toolbar
    // would otherwise stand between the two displays' lines.
    virtual double contentInsetHeight() const { return 0; }
    // The window that shows it, where rendering choices are recorded.
    virtual Window* talentWindow() const { return nullptr; }
    // While prompting the talent keeps the script it shows: a front-document change is ignored.
    virtual void beginDocumentWatching() {}
    virtual void endDocumentWatching() {}
};
