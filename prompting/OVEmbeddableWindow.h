#pragma once

#include "platform/appkit/Window.h"
#include "platform/foundation/NotificationCenter.h"

inline const QString OVPreferencesAdvancedDidChangeUseConcurrentViewDrawingNotification =
    QStringLiteral("OVPreferencesAdvancedDidChangeUseConcurrentViewDrawingNotification");

// A borderless window that can carry the prompter view above the operator window: it never becomes
// key or main and shows without taking the focus from the window below it.
class OVEmbeddableWindow : public Window {
public:
    explicit OVEmbeddableWindow(const Rect& frame);

    bool canBecomeKeyWindow() const override { return false; }
    bool canBecomeMainWindow() const override { return false; }
    // Answers as the key window would, so controls inside draw as active while the window below is key.
    bool isKeyWindowOverride() const { return true; }
    // A process-wide switch: while on, isKeyWindow answers as isKeyWindowOverride.
    static void toggleIsKeyWindowImplementation();
    bool isKeyWindow() const override;

    bool enableWindowAnimations() const { return m_enableWindowAnimations; }
    void setEnableWindowAnimations(bool flag) { m_enableWindowAnimations = flag; }
    // 0 (none) while animations are off for this window, else -1 (the platform's default). Window
    // managers animate on Linux; the answer is kept for whoever asks.
    double windowAnimationInterval(const Window* window) const;
    // Qt paints on the main thread only; the setting is kept for whoever asks.
    bool allowsConcurrentViewDrawing() const { return m_allowsConcurrentViewDrawing; }

protected:
    Qt::WindowFlags additionalQtFlags() const override;

private:
    bool m_enableWindowAnimations = true;
    bool m_allowsConcurrentViewDrawing = false;
    NotificationObserver m_concurrentDrawingObserver;
};
