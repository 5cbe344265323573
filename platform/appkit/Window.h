#pragma once

#include "platform/appkit/Responder.h"
#include "platform/appkit/Screen.h"
#include "platform/foundation/Rect.h"

#include <QColor>
#include <QPointer>
#include <QRegion>
#include <QString>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

class Animation;
class NotificationObserver;
class Cursor;
class Timer;
class Event;
class QMenuBar;
class QToolBar;
class QWidget;
class View;
class WindowHost;

// A top-level window with a global y-up frame (origin at the bottom-left of the primary screen), a
// content view tree drawn by a Qt host widget, and the platform's key, main, level and sheet notions.
// The frame is the area the application draws; decorations belong to the window manager.
class Window : public Responder {
public:
    enum StyleMask : unsigned {
        Borderless = 0,
        Titled = 1u << 0,
        Closable = 1u << 1,
        Miniaturizable = 1u << 2,
        Resizable = 1u << 3,
        // A floating tool window: small title bar, no task-bar entry, kept above its application.
        UtilityWindow = 1u << 4,
        FullScreen = 1u << 14,
        FullSizeContentView = 1u << 15,
    };
    static constexpr unsigned kStandardStyle = Titled | Closable | Miniaturizable | Resizable;

    // Levels order windows; Linux offers only normal and stays-on-top, so any level above normal
    // keeps the window above normal ones.
    static constexpr int kNormalWindowLevel = 0;
    static constexpr int kFloatingWindowLevel = 3;
    static constexpr int kModalPanelWindowLevel = 8;
    static constexpr int kStatusWindowLevel = 25;
    static constexpr int kScreenSaverWindowLevel = 1000;

    explicit Window(const Rect& frame, unsigned styleMask = kStandardStyle);
    ~Window() override;

    // Frame. Values that are not finite or have negative sizes are refused and logged.
    Rect frame() const { return m_frame; }
    // Virtual so a window can hold a frame of its own against every caller.
    virtual void setFrame(const Rect& frame, bool display = true);
    void setFrameOrigin(const Point& origin);
    void setFrameTopLeftPoint(const Point& point);
    void center();
    // Where a titled window may go on a screen: its top below the visible frame's top and, when
    // resizable, no taller than the visible frame. Borderless windows go anywhere.
    virtual Rect constrainFrameRect(const Rect& frame, const std::optional<Screen>& screen) const;
    // Where an ordinary titled window goes the first time it is shown. The program installs the rule,
    // which knows the operator's screen and the floating panels; without one the frame stays.
    using FirstPlacement = std::function<Rect(const Rect& frame)>;
    static void setFirstPlacement(FirstPlacement placement);
    Size minSize() const { return m_minSize; }
    void setMinSize(const Size& size);
    Size maxSize() const { return m_maxSize; }
    void setMaxSize(const Size& size);
    // The screen the window overlaps most; empty when it is on none (or its screen went away).
    std::optional<Screen> screen() const;
    double backingScaleFactor() const;

    // Content. A menu bar, when the window has one, runs along the top of the frame, as a title bar
    // does on other systems: the content view fills the rest.
    View* contentView() const { return m_contentView.get(); }
    Rect contentRectForFrameRect(const Rect& frame) const;
    Rect frameRectForContentRect(const Rect& content) const;
    // The window takes the bar as a child of its host widget; null removes it.
    void setMenuBar(QMenuBar* bar);
    QMenuBar* menuBar() const;
    // A hidden bar gives its strip back to the content view.
    void setMenuBarHidden(bool hidden);
    bool isMenuBarHidden() const { return m_menuBarHidden; }
    // A tool bar runs under the menu bar, above the content view, while it shows. The window lays it
    // out but never owns it: the bar's owner outlives the window or takes it back (null) first.
    void setToolBar(QToolBar* bar);
    QToolBar* toolBar() const;
    // The strip the tool bar takes now; 0 without one or while it is hidden.
    double toolBarHeight() const;
    // Lays the strips and the content out again, after the tool bar showed, hid or changed size.
    void toolBarDidChange() { layOutContent(); }
    View* setContentView(std::unique_ptr<View> view);
    std::unique_ptr<View> takeContentView();

    // Appearance.
    const QString& title() const { return m_title; }
    void setTitle(const QString& title);
    unsigned styleMask() const { return m_styleMask; }
    void setStyleMask(unsigned styleMask);
    int level() const { return m_level; }
    void setLevel(int level);
    // Whether the window blocks input to the others (a modal session). Changed while the window
    // shows, the window is hidden and shown again, since Qt reads modality only as it maps it.
    void setHostModality(Qt::WindowModality modality);
    double alphaValue() const { return m_alpha; }
    void setAlphaValue(double alpha);
    void animateAlphaValue(double alpha, double duration, std::function<void(bool)> completion = {});
    void animateFrame(const Rect& frame, double duration, std::function<void(bool)> completion = {});
    // Stops a frame animation where it is; its completion hears finished = false.
    void stopFrameAnimation();
    // Instant resizing: while the process-wide switch is on, a window marked for it takes an
    // animated frame change at once (the prompter must not sway while it changes mode).
    static void setAnimationResizeTimeOverridden(bool overridden);
    static bool isAnimationResizeTimeOverridden();
    void setUsesInstantAnimationResizeTime(bool instant) { m_usesInstantAnimationResizeTime = instant; }
    bool usesInstantAnimationResizeTime() const { return m_usesInstantAnimationResizeTime; }
    // How long an animated change to frame takes: 0 for a marked window while the switch is on.
    static constexpr double kDefaultAnimationResizeTime = 0.2;
    double animationResizeTime(const Rect& frame) const;

    // Ordering and visibility.
    void orderFront();
    void orderFrontRegardless() { orderFront(); }
    void orderBack();
    void orderOut();
    void makeKeyAndOrderFront();
    bool isVisible() const { return m_visible; }
    void miniaturize();
    void deminiaturize();
    bool isMiniaturized() const;
    void toggleFullScreen();
    bool isFullScreen() const { return m_styleMask & FullScreen; }
    // Posts the will-close notification, orders the window out and tells the close handler.
    void close();
    // The title-bar commands; subclasses refuse them in some states.
    virtual void performClose() { close(); }
    virtual void performMiniaturize() { miniaturize(); }
    virtual void performZoom() { zoom(); }
    // Toggles between the standard frame and the frame the user had before.
    virtual void zoom();
    // The frame zooming goes to: the visible frame of the window's screen, or zero without a screen.
    virtual Rect standardFrame() const;

    // Child windows stay above their parent (or, added below, under it) and move with it.
    void addChildWindow(Window* child);
    void addChildWindowBelow(Window* child);
    void removeChildWindow(Window* child);
    const std::vector<Window*>& childWindows() const { return m_childWindows; }
    Window* parentWindow() const { return m_parentWindow; }

    // Attributes with no window-manager counterpart on Linux, kept so callers can set and read them.
    bool isMovable() const { return m_movable; }
    void setMovable(bool flag) { m_movable = flag; }
    bool hasShadow() const { return m_hasShadow; }
    void setHasShadow(bool flag) { m_hasShadow = flag; }
    bool hidesOnDeactivate() const { return m_hidesOnDeactivate; }
    void setHidesOnDeactivate(bool flag) { m_hidesOnDeactivate = flag; }
    bool isExcludedFromWindowsMenu() const { return m_excludedFromWindowsMenu; }
    void setExcludedFromWindowsMenu(bool flag) { m_excludedFromWindowsMenu = flag; }
    unsigned collectionBehavior() const { return m_collectionBehavior; }
    void setCollectionBehavior(unsigned behavior) { m_collectionBehavior = behavior; }
    // 0 default, 1 video memory, 2 main memory: where the window's backing store should live.
    // Qt chooses that itself; the value is kept for whoever asks.
    int preferredBackingLocation() const { return m_preferredBackingLocation; }
    void setPreferredBackingLocation(int location) { m_preferredBackingLocation = location; }
    int animationBehavior() const { return m_animationBehavior; }
    void setAnimationBehavior(int behavior) { m_animationBehavior = behavior; }
    // Mouse events pass through to whatever lies below.
    bool ignoresMouseEvents() const { return m_ignoresMouseEvents; }
    void setIgnoresMouseEvents(bool flag);
    bool isOpaque() const { return m_opaque; }
    void setOpaque(bool flag);
    const QColor& backgroundColor() const { return m_backgroundColor; }
    void setBackgroundColor(const QColor& color);
    void setCloseHandler(std::function<void()> handler) { m_closeHandler = std::move(handler); }

    // The user resizing the window through the window manager. Linux reports no end of the drag: the
    // first size change begins a live resize, and kLiveResizeEndDelay seconds without another end it.
    static constexpr double kLiveResizeEndDelay = 0.1;
    bool inLiveResize() const { return m_inLiveResize; }

    // Key and main status. A window that becomes key only if needed takes the key role when asked
    // (makeKeyWindow), never by being shown or clicked, so a floating panel of mouse controls leaves
    // the keyboard with the window the user works in.
    bool becomesKeyOnlyIfNeeded() const { return m_becomesKeyOnlyIfNeeded; }
    void setBecomesKeyOnlyIfNeeded(bool flag) { m_becomesKeyOnlyIfNeeded = flag; }
    virtual bool canBecomeKeyWindow() const;
    virtual bool canBecomeMainWindow() const;
    virtual bool isKeyWindow() const;
    virtual bool isMainWindow() const;
    void makeKeyWindow();
    void makeMainWindow();
    virtual void becomeKeyWindow() {}
    virtual void resignKeyWindow() {}
    virtual void becomeMainWindow() {}
    virtual void resignMainWindow() {}

    // The responder chain through the window: first responder .. content view, window, window
    // controller; then delegate and document when they are not already on it.
    Responder* firstResponder() const { return m_firstResponder; }
    bool makeFirstResponder(Responder* responder);
    Responder* windowController() const { return m_windowController; }
    void setWindowController(Responder* controller);
    Responder* delegate() const { return m_delegate; }
    void setDelegate(Responder* delegate) { m_delegate = delegate; }
    Responder* document() const { return m_document; }
    void setDocument(Responder* document) { m_document = document; }

    // Events, in window coordinates.
    virtual void sendEvent(Event& event);
    bool acceptsMouseMovedEvents() const { return m_acceptsMouseMovedEvents; }
    void setAcceptsMouseMovedEvents(bool flag) { m_acceptsMouseMovedEvents = flag; }

    // Window-modal sheets.
    void beginSheet(Window* sheet, std::function<void(int returnCode)> completion = {});
    void endSheet(Window* sheet, int returnCode = 0);
    Window* attachedSheet() const { return m_attachedSheet; }
    Window* sheetParent() const { return m_sheetParent; }
    bool isSheet() const { return m_sheetParent != nullptr; }

    // Drawing.
    void display();
    void displayIfNeeded();
    void invalidateWindowRect(const Rect& rect);
    // A view whose bounds origin alone changed moves what is already drawn of it by copying, instead
    // of drawing it again: its drawing transform was before and is now the view's. Only whole device
    // pixels are copied, so that the image is what drawing it again would give; views drawn over it
    // are drawn again where they stand. Answers false, having done nothing, where copying cannot give
    // that image (a move by a fraction of a pixel, a view that is not opaque, a Qt control over it):
    // the caller then has the view drawn again.
    bool scrollDrawnContent(const View& view, const QTransform& before);

    // Conversion between window and global coordinates.
    Point convertPointToScreen(const Point& point) const;
    Point convertPointFromScreen(const Point& point) const;
    Rect convertRectToScreen(const Rect& rect) const;
    Rect convertRectFromScreen(const Rect& rect) const;

    // The Qt widget standing for the window, for Qt dialogs that need a parent.
    QWidget* hostWidget() const;

    // The strip the window manager's title bar takes above the frame, in global coordinates; empty
    // for a window without decorations or before the window manager has framed it.
    Rect titleBarRect() const;
    // The largest frame whose decorations (title bar and borders, once the window manager has framed
    // the window) stay within area: where Zoom and cascading may put a window. Global, y-up.
    Rect frameWithinAreaForDecorations(const Rect& area) const;

    // Key equivalents reach the window's views (and those of its child windows) before the menus;
    // answers whether one of them used the event.
    bool performKeyEquivalent(const Event& event);

    // Called as a view leaves the window, so no pointer to it is kept.
    void forgetView(View* view);

    // Style, level and decoration changes made while one of these lives reach the window system at
    // once, when the last one ends, so the window manager redraws the frame once.
    class FlagChanges {
    public:
        explicit FlagChanges(Window& window);
        ~FlagChanges();
        FlagChanges(const FlagChanges&) = delete;
        FlagChanges& operator=(const FlagChanges&) = delete;

    private:
        Window& m_window;
    };

protected:
    // Qt window flags a subclass adds to those its style mask and level give (a window the window
    // manager must leave alone). Subclasses that answer some call updateQtFlags once made.
    virtual Qt::WindowFlags additionalQtFlags() const { return {}; }
    void updateQtFlags() { applyQtFlags(); }
    // The window manager's own close, minimise and maximise commands pass these first; a window that
    // answers false is put back at once, since the window manager acts before asking.
    virtual bool windowManagerMayClose() const { return true; }
    virtual bool windowManagerMayMiniaturize() const { return true; }
    virtual bool windowManagerMayZoom() const { return true; }
    // Puts this window directly below other, after both were ordered front, where raising other
    // alone cannot (a window the window manager does not handle); nothing by default.
    virtual void stackBelow(const Window& other) { Q_UNUSED(other); }

private:
    friend class WindowHost;
    Qt::WindowFlags qtFlags() const;
    void applyQtFlags();
    // Shows the host once the window manager has let go of it after it was last hidden.
    void showHost();
    // whileHidden runs between the hide and the show, for what Qt reads only as it maps the host.
    void hideAndShowHost(const std::function<void()>& whileHidden = {});
    void finishShowingHost();
    void scheduleMapCheck();
    void checkMapped();
    void applyGeometryToHost();
    void hostGeometryChanged();
    void hostActivated();
    void hostStateChanged();
    void restoreAppliedFrame();
    void hostClosed();
    void updateTracking(const Event& event);
    void updateTrackingIn(View* view, const Event& event);
    void updateCursor(const Point& location);
    const Cursor* cursorAt(const View* view, const Point& location) const;
    Rect clampedToMinMax(const Rect& frame) const;
    void applySizeLimitsToHost();
    bool pinsHostSize() const;
    void frameDidChange(const Rect& oldFrame);
    double menuBarHeight() const;
    void layOutContent();
    void checkScreenChange();
    void liveResizeStep();

    std::unique_ptr<WindowHost> m_host;
    std::unique_ptr<View> m_contentView;
    // A child of the host widget, which owns it; cleared when Qt deletes it.
    QPointer<QMenuBar> m_menuBar;
    bool m_menuBarHidden = false;
    QPointer<QToolBar> m_toolBar;
    std::unique_ptr<Animation> m_alphaAnimation;
    std::unique_ptr<Animation> m_frameAnimation;
    std::unique_ptr<Timer> m_liveResizeEnd;
    bool m_inLiveResize = false;
    bool m_becomesKeyOnlyIfNeeded = false;
    // The window gave the keyboard back to itself after its flags changed, and Qt has not yet said so.
    bool m_activationPending = false;
    int m_flagChangeDepth = 0;
    bool m_flagsPending = false;
    // The host was hidden and waits for the window manager to let go of it before it is shown again.
    bool m_showPending = false;
    bool m_activateWhenShown = false;
    std::unique_ptr<Timer> m_showPoll;
    double m_showDeadline = 0;
    std::unique_ptr<Timer> m_mapCheck;
    int m_mapRetries = 0;
    Rect m_frame;
    // The frame last given to the host by the program, which a refused window-manager command returns to.
    Rect m_appliedFrame;
    Size m_minSize;
    Size m_maxSize{1e7, 1e7};
    QString m_title;
    unsigned m_styleMask;
    int m_level = kNormalWindowLevel;
    double m_alpha = 1.0;
    bool m_visible = false;
    bool m_placed = false;
    bool m_acceptsMouseMovedEvents = false;
    bool m_applyingGeometry = false;
    Rect m_frameBeforeFullScreen;
    Responder* m_firstResponder = nullptr;
    Responder* m_windowController = nullptr;
    Responder* m_delegate = nullptr;
    Responder* m_document = nullptr;
    View* m_mouseDownView = nullptr;
    Window* m_attachedSheet = nullptr;
    Window* m_sheetParent = nullptr;
    std::function<void(int)> m_sheetCompletion;
    std::function<void()> m_closeHandler;
    std::vector<Window*> m_childWindows;
    Window* m_parentWindow = nullptr;
    std::unique_ptr<NotificationObserver> m_screensObserver;
    quint32 m_screenID = 0;
    std::optional<Rect> m_userFrame;
    bool m_miniaturized = false;
    bool m_movable = true;
    bool m_hasShadow = true;
    bool m_hidesOnDeactivate = false;
    bool m_excludedFromWindowsMenu = false;
    bool m_ignoresMouseEvents = false;
    bool m_opaque = true;
    unsigned m_collectionBehavior = 0;
    int m_animationBehavior = 0;
    bool m_usesInstantAnimationResizeTime = false;
    int m_preferredBackingLocation = 0;
    QColor m_backgroundColor;
    // What was asked to be drawn again and has not been yet, in the host's coordinates: copying moves
    // the pixels standing there, so the place they move to must be drawn again too.
    QRegion m_pendingRedraw;
};
