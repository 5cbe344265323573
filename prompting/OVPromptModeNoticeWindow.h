#pragma once

#include "platform/appkit/Window.h"
#include "platform/foundation/NotificationCenter.h"

#include <functional>
#include <memory>

// The overlay that marks a document window which cannot be used in Prompt mode: a clear, borderless
// child window over the whole of its parent, showing the notice text, following the parent's size,
// and minimising the parent on a click. Overlays are made on demand and kept for the next one.
class OVPromptModeNoticeWindow : public Window {
public:
    // Makes the content view that shows the notice text; the output layer installs one at program
    // start. Without one, the overlay shows a plain view. Overlays not in use are made anew.
    using ContentViewMaker = std::function<std::unique_ptr<View>(const QString& text)>;
    static void setContentViewMaker(ContentViewMaker maker);

    // Answers the new overlay, or null (and logs) when the window has one already.
    static OVPromptModeNoticeWindow* addOverlayToWindow(Window* window);
    static void removeOverlaysFromWindow(Window* window);
    static void removeAllOverlays();
    // The overlay attached to window, or null.
    static OVPromptModeNoticeWindow* overlayOfWindow(const Window* window);
    // Every overlay made so far, attached or not; tests count them.
    static int overlayWindowCount();
    static QString noticeText();

    // Without a target and actions, a single click minimises the parent window.
    Responder* target() const { return m_target; }
    void setTarget(Responder* target) { m_target = target; }
    const QString& singleClickAction() const { return m_singleClickAction; }
    void setSingleClickAction(const QString& action) { m_singleClickAction = action; }
    const QString& doubleClickAction() const { return m_doubleClickAction; }
    void setDoubleClickAction(const QString& action) { m_doubleClickAction = action; }
    // The parent's animation behaviour before the overlay was added.
    int parentWindowAnimationBehavior() const { return m_parentWindowAnimationBehavior; }

    // Follows the parent's size, minimising and restoring; null stops following.
    void setParentWindow(Window* parent);
    void mouseUp(Event& event) override;

    explicit OVPromptModeNoticeWindow(const Rect& frame);
    ~OVPromptModeNoticeWindow() override;

protected:
    Qt::WindowFlags additionalQtFlags() const override;

private:
    void detach();
    void performClickAction(const QString& action);
    void parentDidResize(const Notification& notification);
    void parentDidMiniaturize(const Notification& notification, bool miniaturized);

    Responder* m_target = nullptr;
    QString m_singleClickAction;
    QString m_doubleClickAction;
    int m_parentWindowAnimationBehavior = 0;
    std::vector<NotificationObserver> m_parentObservers;
};
