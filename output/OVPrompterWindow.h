#pragma once

#include "platform/foundation/NotificationCenter.h"
#include "prompting/OVUnconstrainedWindow.h"

#include <functional>

// A window delegate or window controller that chooses the frame zooming takes a prompter window to.
class OVPrompterWindowZoomDelegate {
public:
    virtual ~OVPrompterWindowZoomDelegate() = default;
    virtual Rect windowWillUseStandardFrame(Window& window, const Rect& defaultFrame) = 0;
};

// The window of every prompter: the document window, the talent window and the temporary window
// prompt-styled text is laid out in. In Prompt mode it ignores close, minimise and zoom (and puts
// the window back when the window manager did them first), and it takes no key or main status while
// a Prompt-mode notice covers it. Zooming goes to a standard frame kept within sane limits.
class OVPrompterWindow : public OVUnconstrainedWindow {
public:
    explicit OVPrompterWindow(const Rect& frame, unsigned styleMask = kStandardStyle);
    ~OVPrompterWindow() override;

    // Whether the program is in Prompt mode: the shared application's answer unless one is set.
    static void setPromptModeQuery(std::function<bool()> query);
    static bool isPromptMode();

    bool enableWindowAnimations() const { return m_enableWindowAnimations; }
    void setEnableWindowAnimations(bool flag) { m_enableWindowAnimations = flag; }
    // 0 (no animation) for this window while its animations are off, else -1 (the platform's own).
    // Window managers animate on Linux; the answer is kept for whoever asks.
    double windowAnimationInterval(const Window* window) const;
    // Qt paints on the main thread only; the setting is kept for whoever asks.
    bool allowsConcurrentViewDrawing() const { return m_allowsConcurrentViewDrawing; }
    // Window tabbing and full-screen tiling have no Linux counterpart; the behaviour bits are kept.
    static constexpr unsigned kFullScreenPrimary = 0x80;
    static constexpr unsigned kFullScreenAuxiliary = 0x100;
    static constexpr unsigned kFullScreenDisallowsTiling = 0x1000;

    bool hasPromptModeNoticeWindow() const;

    void performClose() override;
    void performMiniaturize() override;
    void performZoom() override;
    void zoom() override;
    // Close (Ctrl+W, the title bar's button) reaches the window first: while prompting the window
    // takes and ignores it; in Edit mode it goes on to the window controller, which may ask first.
    // Minimise and Zoom are the window's own, and do nothing while prompting.
    bool respondsToAction(const QString& action) const override;
    bool canBecomeKeyWindow() const override;
    bool canBecomeMainWindow() const override;
    // The delegate's or window controller's frame, else the visible frame of the window's screen,
    // within the limits clampStandardFrame sets.
    Rect standardFrame() const override;

protected:
    bool windowManagerMayClose() const override;
    bool windowManagerMayMiniaturize() const override;
    bool windowManagerMayZoom() const override;

private:
    bool refusesKeyStatus() const;

    bool m_enableWindowAnimations = true;
    bool m_allowsConcurrentViewDrawing = false;
    NotificationObserver m_concurrentDrawingObserver;
};
