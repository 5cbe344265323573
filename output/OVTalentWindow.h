#pragma once

#include "output/OVPrompterWindow.h"
#include "prompting/OVWindowBehavior.h"

// The borderless window that covers the talent screen. It never takes the keyboard or becomes main,
// stays off the taskbar and the Windows menu, and is placed by the program, not the window manager.
class OVTalentWindow : public OVPrompterWindow, public OVWindowBehavior {
public:
    // One above the screen-saver level; Linux has no numbered levels, so it means "stays on top".
    static constexpr int kTalentWindowLevel = 1001;
    static constexpr unsigned kTalentCollectionBehavior = 82;

    explicit OVTalentWindow(const Rect& frame);

    bool canBecomeKeyWindow() const override { return false; }
    bool canBecomeMainWindow() const override { return false; }
    bool exemptWindowFromFadingDuringModeChange() const override { return true; }

    // Whether windows can be placed on a chosen screen here (xcb, or XWayland on Wayland).
    static bool platformPlacesWindows();

protected:
    Qt::WindowFlags additionalQtFlags() const override;
};
