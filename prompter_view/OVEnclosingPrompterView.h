#pragma once

// What the scroll machinery asks of the prompter view that encloses it.
class OVEnclosingPrompterView {
public:
    virtual ~OVEnclosingPrompterView() = default;

    virtual bool isVerticallyFlipped() const = 0;
};
