#pragma once

#include "platform/foundation/Rect.h"

#include <optional>

// The screen facts the document window's frames are worked out from: where the operator's free
// screen area is and how large the talent output is. The program asks the screens and the talent
// window; tests install their own answers.
class OVScreenGeometryProvider {
public:
    virtual ~OVScreenGeometryProvider() = default;

    // The operator screen's visible frame (global, y-up); empty without a screen.
    virtual std::optional<Rect> operatorVisibleFrame() const = 0;
    // The size of the talent prompter's content while a talent window is in use; empty otherwise.
    virtual std::optional<Size> talentContentSize() const = 0;

    // The provider in use: the program's screens and talent window unless a test installed another.
    static const OVScreenGeometryProvider& shared();
    // Installs a provider the caller keeps alive; nullptr goes back to the program's.
    static void setShared(const OVScreenGeometryProvider* provider);
};
