#pragma once

#include "document/OVDocumentContentController.h"
#include "output/OVPrompterWindow.h"
#include "platform/appkit/WindowController.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/PlistValue.h"
#include "platform/foundation/Range.h"
#include "platform/foundation/Rect.h"
#include "platform/textview/TextView.h"
#include "prompting/OVCoreController.h"
#include "prompting/OVCoreWindowOptimizer.h"
#include "prompting/OVEventInterpreter.h"

#include <QList>
#include <QUrl>

#include <QVariant>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

class OVDocumentPropertiesWindowController;
class Menu;
class OVCore;
class OVDocumentWindowToolbar;
class OVFlashWindow;
class View;
class OVScreenGeometryProvider;
class OVDocumentPrompterView;
class OVTimeInfo;
class OVTextView;
class TextView;
class Menu;
class Toolbar;
class UndoManager;

// Posted by the control settings when the speed slider's range or the speed limiter changes.
inline const QString OVPreferencesControlsSpeedSliderValuesDidChangeNotification =
    QStringLiteral("OVPreferencesControlsSpeedSliderValuesDidChangeNotification");
inline const QString OVPreferencesControlsSpeedLimiterDidChangeNotification =
    QStringLiteral("OVPreferencesControlsSpeedLimiterDidChangeNotification");

// The window of one open document: the editor in Edit mode and the operator's prompter in Prompt
// mode. It owns the document's prompter speed, becomes the prompting core's controller while its
// window is main (outside Prompt mode), forwards the prompting actions of the responder chain to the
// core, and exchanges text and prompter state with its document.
class OVDocumentWindowController : public WindowController,
                                   public OVDocumentContentController,
                                   public OVCoreController,
                                   public OVCoreWindowOptimizer,
                                   public OVEventInterpreter,
                                   public TextViewDelegate,
                                   public OVPrompterWindowZoomDelegate {
public:
    // The modifier keys held now, as event modifier flags; tests replace it.
    using ModifierFlagsProvider = std::function<unsigned long()>;
    static void setModifierFlagsProvider(ModifierFlagsProvider provider);
    static unsigned long currentModifierFlags();

    static PlistDictionary initialDefaultsDictionary();

    // core: the shared core unless given.
    explicit OVDocumentWindowController(OVCore* core = nullptr);
    ~OVDocumentWindowController() override;

    OVCore& prompterCore() const { return *m_core; }
    OVDocumentPrompterView* documentPrompterView() const { return m_prompterView; }
    TextView* textView() const;

    // The front-most visible, not minimised window whose controller is a document window controller.
    static OVDocumentWindowController* frontMostPrompterWindowController();
    bool isFrontMostPrompterWindowController() const;
    bool isCoreController() const override;

    // Speed.
    double prompterSpeed() const { return m_prompterSpeed; }
    void setPrompterSpeed(double speed) override;
    // The speed control's range; until it is known the limiter has nothing to clamp to.
    void setSpeedSliderRange(double minimum, double maximum);
    bool hasSpeedSliderRange() const { return m_hasSpeedSliderRange; }
    void _updateSpeedSliderMinAndMaxValues();
    void setSpeedFromHotKeyValueNumber(const QVariant& number);
    void setLooping(bool looping);
    // How often the speed control was refreshed; the toolbar's control reads the speed from here.
    int speedControlUpdateCount() const { return m_speedControlUpdates; }

    // OVCoreController.
    Window* controllerWindow() const override;
    OVCorePrompterView* prompterView() const override;
    double speed() const override { return m_prompterSpeed; }
    void setSpeed(double speed) override { setPrompterSpeed(speed); }
    double minSpeedUIValue() const override { return m_speedSliderMin; }
    double maxSpeedUIValue() const override { return m_speedSliderMax; }
    OVTimeInfo* timeInfo() const override { return m_timeInfo.get(); }
    bool timeRemainingNeedsUpdate() const override { return m_timeRemainingNeedsUpdate; }
    void setTimeRemainingNeedsUpdate(bool flag) override { m_timeRemainingNeedsUpdate = flag; }
    bool speedControlNeedsUpdate() const override { return m_speedControlNeedsUpdate; }
    void setSpeedControlNeedsUpdate(bool flag) override { m_speedControlNeedsUpdate = flag; }
    void updateSpeedControl() override;
    void forceModeChange(unsigned mode) override;
    bool looping() const override { return m_looping; }
    void coreModeWillChange(unsigned mode) override;
    void coreModeDidChange(unsigned mode) override;
    void coreStatusWillChange(unsigned status) override;
    void coreStatusDidChange(unsigned status) override;
    bool shouldHardPausePrompter() const override { return false; }
    bool isToolbarVisible() const override;
    void setBookmarksVisible(bool visible) override;
    double toolbarHeight() const override;
    void setToolbarVisible(bool visible) override;

    // The window's toolbar; null until the window is loaded.
    OVDocumentWindowToolbar* documentToolbar() const { return m_toolbar.get(); }

    // Validation of every menu and toolbar item that reaches this controller.
    bool respondsToAction(const QString& action) const override;
    bool validateUserInterfaceItem(const UserInterfaceItem& item) const override;
    // Also brings the titles and check marks of the program's menus up to date as they open.
    bool validateMenuItem(const UserInterfaceItem& item) const override;
    void _updateMenuItems() const;
    bool shouldEnableModeChangingControls() const;
    bool canResetElapsedTimer() const;

    // OVCoreWindowOptimizer.
    void enableActivity(bool enable, Window* window) override;
    // OVEventInterpreter.
    bool interpretEvent(Event& event, Window* forwardedFromWindow) override;

    // OVDocumentContentController.
    void suspendUndo() override;
    void restoreUndo() override;
    void setAttributedString(const AttributedString& string) override;
    void setSelectedRangesStringArray(const QStringList& ranges) override;
    void setWindowFrame(const Rect& frame) override;
    void setPrompterPositionRatio(double ratio) override;
    void restorePrompterPositionRatio(double ratio) override;
    bool setPrompterScrollbarAnchor(const OVScrollbarAnchor& anchor) override;
    void setBackgroundColor(const Color& color) override;
    void applyDefaultStyleWithoutUndo() override;
    void removeUnnecessaryNewlineAtEnd() override;
    void documentLoadingFinished() override;
    std::unique_ptr<MutableAttributedString> coreTextViewTextStorage() const override;
    std::unique_ptr<MutableAttributedString> textViewTextStorage() const override;
    std::unique_ptr<MutableAttributedString> exportableTextStorage() const override;
    std::unique_ptr<MutableAttributedString> exportableStyleSimplifiedStorage() const override;
    std::optional<Color> backgroundColor() const override;
    Color styleSimplifiedBackgroundColor() const override;
    QStringList selectedRangesStringArray() const override;
    std::optional<double> prompterPositionRatioNumber() const override;
    std::optional<OVScrollbarAnchor> prompterScrollbarAnchor() const override;
    std::optional<double> prompterSpeedNumber() const override;
    std::optional<QString> windowFrameString() const override;
    void breakUndoCoalescing() override;
    std::unique_ptr<OVTextView> printableTextView() override;

    // The editor's default-style actions ("applyDefaultStyle:", "applyDefaultStyleWithoutBackground:",
    // "setSelectionAsDefaultStyle:"). Making the selection's style the default beeps and changes
    // nothing for an empty selection or one whose style cannot be a default.
    void applyDefaultStyle();
    void applyDefaultStyleWithoutBackground();
    void setSelectionAsDefaultStyle();

    // The document's text-size steps: every font of the whole text 10 points larger (0) or smaller
    // (1), the selection and the visible text kept.
    static constexpr double kDocumentTextSizeStep = 10.0;
    void _documentChangeTextSize(int direction);
    // Editor actions: marks, the bookmark control, attachment clicks, pictures, underline colours.
    // Where beeps go; tests catch them.
    using BeepHandler = std::function<void()>;
    static void setBeepHandler(BeepHandler handler);
    static void beep();
    // "markText:": marks the visible lines, with a flash over the prompter when the settings ask.
    void markText();
    // The flash over the prompter, made by the first flashing mark; null until then and again once
    // Edit mode returns.
    OVFlashWindow* flashWindow() const { return m_flashWindow; }
    static constexpr double kMarkFlashIntensity = 0.8;
    // Unmarks the selection; asks first only when it holds marked stretches apart from each other.
    void unmarkSelection();
    void unmarkAll();
    // Unmarks ranges once the user agrees, unless the user chose not to be asked again.
    void _confirmUnmarkTextInRanges(const std::vector<Range>& ranges);
    static QString localizedUnmarkAllTitle();
    static QString localizedUnmarkSelectionTitle();
    void toggleMarkedTextVisible();
    // A menu item's range of a mark, checked against the text now: outside it, a beep.
    void markNavigateSpecific(const QVariant& sender);
    // Segments of the bookmark control: 0 previous, 1 next, 2 the bookmark menu, 3 add.
    void bookmarksControlPressed(int tag);
    bool isBookmarkSegmentEnabled(int tag) const;
    void _updateBookmarkSegmentsEnabled();
    // The bookmark control and the timer's reset button act on the main window only.
    void _setEnableMainWindowRequiredControls(bool flag);
    // The bookmark menu under segment 2, opened with the bookmark closest to the view highlighted.
    void showBookmarks(const QVariant& sender);
    Menu* bookmarksSegmentMenu() const { return m_bookmarksSegmentMenu.get(); }
    // A menu item's character index of a bookmark, checked against the text now: a beep when it
    // no longer holds a bookmark.
    void editBookmarkFromMenuItem(const QVariant& sender);
    // Action 0 edits the bookmark at index; any other selects from it to the next bookmark, or to
    // the end of the text. Other attachments are left alone.
    void _performAttachmentAction(int action, qsizetype index);
    bool textViewClickedOnAttachment(TextView& view, qsizetype characterIndex, int clickCount) override;
    // A right click on a bookmark in the script shows the bookmark's menu: rename or remove it;
    // anywhere else in the text, the text's own menu.
    void rightMouseDown(Event& event) override;
    Menu* textViewMenuForEvent(TextView& view, Menu* menu, const Event& event) override;
    // The bookmark's menu when the click is on a bookmark's picture in Edit mode, with the bookmark
    // selected; null otherwise.
    Menu* bookmarkMenuForEvent(const Event& event);
    // The bookmark's menu, for the bookmark at the character index; null for any other character.
    Menu* bookmarkMenuForCharacterAtIndex(qsizetype index);
    void insertImagesFromOpenPanel();
    // Inserts the readable pictures among urls after the selection with separation between them,
    // as one undoable step; false when none could be read.
    bool _insertAttachmentURLs(const QList<QUrl>& urls, const QString& separation);
    void removeUnderlineColors();

    // Main-window tracking.
    void windowBecameMain();
    void windowResignedMain();
    void windowWillClose();
    // Around the user's resizing of the window the text shown stays the text shown: its lines are
    // not rewrapped while the drag goes on, and afterwards the range that was visible is scrolled in.
    void windowWillStartLiveResize();
    void windowDidEndLiveResize();

    // Quick zoom: the script shrunk to a fixed or automatic scale for an overview while editing.
    // Toggling when the scale would not change beeps.
    double quickZoomScale() const;
    double contentZoomScale() const;
    bool isContentZoomed() const;
    bool usesProportionalQuickZoom() const;
    void toggleQuickZoomContent();
    void quickZoomContent();
    void standardZoomContent();
    void zoomContentToScale(double scale);

    // The talent output's arrow, time bar and margins shown in the editor; only changed in Edit mode.
    bool showsPrompterInDocument() const;
    void setShowsPrompterInDocument(bool flag);
    void setShowsPrompterInDocument(bool flag, const std::vector<OVDocumentWindowController*>& controllers);

    // Every open document window's controller, front to back.
    static std::vector<OVDocumentWindowController*> openWindowControllers();

    // Window-size presets: each window's prompter content gets exactly resolution, its top edge kept;
    // several windows animate, a single one larger than its screen asks first.
    static constexpr double kPresetResizeDuration = 0.25;
    void resizeToPrompterContentResolution(const Size& resolution,
                                           const std::vector<OVDocumentWindowController*>& controllers);
    // Resizing locks: a locked window is not resizable, which stops the user's resizing only (the
    // window tells the window manager its one size); presets, Zoom and Prompt mode still size it.
    bool isWindowResizingLocked() const;
    void setLockWindowResizing(bool lock, const std::vector<OVDocumentWindowController*>& controllers);
    // The frame the Zoom command gives the window: the talent output's content size as far as the
    // operator screen allows, or defaultFrame without a talent window.
    Rect windowWillUseStandardFrame(const Rect& defaultFrame) const;
    // The window's Zoom asks here, then clamps the answer to the window's size limits.
    Rect windowWillUseStandardFrame(Window& window, const Rect& defaultFrame) override
    {
        Q_UNUSED(window);
        return windowWillUseStandardFrame(defaultFrame);
    }
    // Zoom: to that frame, and back to the frame before on the next zoom.
    void zoomWindow();
    // Stores the window's frame as the place of new script windows, with a short fade.
    static constexpr double kSavePositionFadeDuration = 0.2;
    static constexpr double kSavePositionBlockDuration = 0.4;
    static constexpr double kSavePositionAlpha = 0.75;
    void saveWindowPosition();
    // The stored place of new script windows, if any.
    static std::optional<Rect> savedDocumentWindowFrame();

    void setDocument(Document* document) override;
    // A window whose content is zoomed out says so after the document's name.
    QString windowTitleForDocumentDisplayName(const QString& displayName) const override;

protected:
    std::unique_ptr<Window> makeWindow() override;
    void windowDidLoad() override;

private:
    void installActions();
    void installTextSizeActions();
    void installEditorActions();
    // Export as PDF and Print, in a file of their own.
    void installPDFAndPrintActions();
    bool validateEditorAction(const UserInterfaceItem& item, bool* enabled) const;
    void removeFlashWindow();
    void stepSpeed(double delta, bool capped);
    void releaseCore();
    void adoptDocumentUndoManager();
    void startNewScriptInDefaultStyle();
    OVTextView* editorTextView() const;

    void toolbarDidChange(Toolbar& toolbar, int change);
    void installSizingActions();
    void setUpWindowSizing();
    void placeNewDocumentWindow();
    // Where a new window goes after front: one step right and down, starting over at the top left
    // of front's screen when that would leave the screen.
    static Rect cascadedFrame(const Rect& frame, const Window& front);
    void applyPresetFrame(const Rect& frame, bool animated, double duration);
    void updateSizingMenuItems(Menu& menu) const;

    OVCore* m_core = nullptr;
    std::unique_ptr<OVDocumentWindowToolbar> m_toolbar;
    // Whether a hard pause may pulse the timer field: only between entering and leaving Prompt mode.
    bool m_timerMayPulse = false;
    bool m_applicationInactive = false;
    bool m_mainWindowRequiredControlsEnabled = false;
    OVDocumentPrompterView* m_prompterView = nullptr;
    std::unique_ptr<OVTimeInfo> m_timeInfo;
    std::optional<Color> m_backgroundColor;
    std::vector<NotificationObserver> m_observers;
    double m_prompterSpeed = 0;
    double m_speedSliderMin = 0;
    double m_speedSliderMax = 0;
    bool m_hasSpeedSliderRange = false;
    std::optional<Range> m_visibleEditingRangeBeforeResize;
    bool m_timeRemainingNeedsUpdate = false;
    bool m_speedControlNeedsUpdate = false;
    bool m_looping = false;
    int m_speedControlUpdates = 0;
    int m_undoSuspensions = 0;
    // The undo manager registration was disabled on while loading, enabled again on the same one.
    UndoManager* m_suspendedUndoManager = nullptr;
    // The flash overlay: owned here between flashes, by the prompter view while it shows.
    OVFlashWindow* m_flashWindow = nullptr;
    std::unique_ptr<View> m_detachedFlashWindow;
    std::unique_ptr<Menu> m_bookmarksSegmentMenu;
    std::unique_ptr<Menu> m_bookmarkCellMenu;
    int m_bookmarkBindingsToken = 0;

    // The document properties sheet while it is shown.
    void installPropertiesActions();
    std::shared_ptr<OVDocumentPropertiesWindowController> m_documentPropertiesWindowController;

public:
    // Shows the script's properties as a sheet; OK with a change sets them on the document, undoably.
    void orderFrontPropertiesWindow();
    OVDocumentPropertiesWindowController* documentPropertiesWindowController() const
    {
        return m_documentPropertiesWindowController.get();
    }
};
