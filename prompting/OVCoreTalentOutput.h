#pragma once

class OVCorePrompterView;

// What the core asks of the talent output, which lives in a layer above it: whether the talent
// window is on screen and which prompter view it shows.
class OVCoreTalentOutput {
public:
    virtual ~OVCoreTalentOutput() = default;
    virtual bool isTalentWindowInUse() const = 0;
    virtual OVCorePrompterView* talentPrompterView() const = 0;
};
