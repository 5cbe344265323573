#pragma once

#include "document/OVDocumentController.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/Rect.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/text/TextStorage.h"
#include "prompting/OVCoreTalentOutput.h"

#include <QColor>
#include <QPointer>

#include <functional>
#include <memory>
#include <vector>

class LayoutManager;
class OVBoxView;
class OVCore;
class OVPrompterView;
class OVScrollView;
class OVTalentWindow;
class OVTextTransactionLogging;
class OVTextView;
class OVTimeInfo;
class Window;

inline const QString OVTalentWindowControllerDidChangeScreenOrInsetNotification =
    QStringLiteral("OVTalentWindowControllerDidChangeScreenOrInsetNotification");
inline const QString OVPreferencesGeneralDidChangeSecondDisplayTracksEditsNotification =
    QStringLiteral("OVPreferencesGeneralDidChangeSecondDisplayTracksEditsNotification");

// The one owner of the talent output: the talent window on the second display and the talent
// storage, a display copy of the front document's script shown by the talent and the preview views.
// A front-document change copies the whole script; afterwards every edit of the document's storage
// is replayed into the copy, with bookmarks turned into atoms and the talent's colour inversion and
// magnification applied on the way.
class OVTalentWindowController : public OVCoreTalentOutput {
public:
    // Selection kept clear of this share of the talent display at top and bottom.
    static constexpr double kSelectionVisibilityBand = 0.12;
    static constexpr double kMagnificationRatioThreshold = 0.00001;

    static OVTalentWindowController& sharedTalentWindowController();
    static bool sharedTalentWindowControllerExists();
    static bool isTalentWindowUtilized();

    // The program uses the shared controller; tests make their own on a core of their own.
    explicit OVTalentWindowController(OVCore& core);
    ~OVTalentWindowController() override;
    OVTalentWindowController(const OVTalentWindowController&) = delete;
    OVTalentWindowController& operator=(const OVTalentWindowController&) = delete;

    OVTalentWindow* window() const { return m_window.get(); }
    OVPrompterView* prompterView() const { return m_prompterView; }
    OVScrollView* scrollView() const;
    OVTextView* textView() const;
    TextStorage& talentTextStorage() const;
    OVTextView* documentTextView() const { return m_documentTextView; }

    // Document watching.
    void beginDocumentWatching() override { ++m_documentWatchCount; }
    void endDocumentWatching() override { --m_documentWatchCount; }
    bool isDocumentWatching() const { return m_documentWatchCount >= 0; }
    void beginInitialDocumentWatching();
    // Where updateContent finds the front document; the program's document controller until set.
    void setFrontMostDocumentProvider(std::function<const void*()> provider);
    void updateContent();
    // Watches this text view's storage (null: none) and copies it whole when it is a new one.
    void _setDocumentTextView(OVTextView* textView);
    // Copies a long script into the talent storage right after its window's first frame, when that
    // frame is still to come; false where it copies now.
    bool _copyAfterFirstFrame(OVTextView* textView);
    // nullptr gives the bars their own counters back.
    void _setTimeInfo(OVTimeInfo* timeInfo);
    void _configureForTextView(OVTextView* textView);

    void setPreviewPrompterView(OVPrompterView* previewPrompterView, OVBoxView* previewBoxView = nullptr);
    OVPrompterView* previewPrompterView() const { return m_previewPrompterView; }
    QColor contentBackgroundColor() const;
    void debugLog() const;

    // Content adjustments pushed by the preview panel; they act only on a change.
    double contentTextMagnificationFactor() const { return m_contentTextMagnificationFactor; }
    void updateContentTextMagnificationFactor(double factor);
    bool contentInvertTextAndBackgroundColor() const { return m_contentInvert; }
    void updateContentInvertTextAndBackgroundColor(bool flag);

    // Window side.
    void showTalentWindow(bool flag);
    bool canDisplayTalentWindow() const;
    Size contentInset() const { return m_contentInset; }
    bool usesContentInset() const { return m_usesContentInset; }
    void setUsesContentInset(bool flag) { m_usesContentInset = flag; }
    void updateContentInset();
    // The vertical inset that lines the talent display up with an operator window whose toolbar is
    // toolbarHeight high in Prompt mode.
    static double contentInsetForScreenHeights(double operatorHeight, double talentHeight, double toolbarHeight);
    // The operator window's toolbar height while prompting, or 0 when it shows none; none until set.
    void setPromptModeToolbarHeightProvider(std::function<double()> provider);
    void enableAnimation() { ++m_animationUpdateCount; }
    void disableAnimation() { --m_animationUpdateCount; }
    bool usesAnimation() const { return m_animationUpdateCount >= 0; }
    void updateHorizontalMarginIndentFactor(double factor);
    void updateVerticalMarginIndentFactor(double factor);
    void updateFocusArrowVisible(bool flag);
    void updateTimeBarVisible(bool flag);
    void updateHasContentBorder(bool flag);
    void restoreDefaultHasContentBorder();
    // Blanking covers both outputs' pages; what surrounds them turns black with it.
    void updateStandbyViewVisible(bool flag);
    void updateHorizontallyFlipped(bool flag);
    void updateVerticallyFlipped(bool flag);
    void setTextContainerWidthTracksTextView(bool flag);
    // After an animation of the outputs: each text container tracks its view's width again.
    void _restoreTextContainerWidthAfterAnimation();
    QColor talentBoxFillColor() const { return m_boxColor; }

    void _updateTalentWindowSettings();
    void _prepareTalentWindowForOrderFront();
    void _updateTalentWindowFrameIfNecessary();
    void _moveWindowAwayFromTalentScreen(Window* window);
    void _moveAllWindowsAwayFromTalentScreen() { _moveWindowAwayFromTalentScreen(nullptr); }

    // OVCoreTalentOutput.
    bool isTalentWindowInUse() const override;
    OVCorePrompterView* talentPrompterView() const override;
    Window* talentWindow() const override;
    double contentInsetHeight() const override { return m_contentInset.height; }

private:
    void observeNotifications();
    void frontMostDocumentDidChange(const Notification& notification);
    void replayEdit(TextStorage& storage);
    void replayEditInBracket(TextStorage& storage, bool& forcedSync);
    // The edit diagnostics while an edit is replayed, when the user tracks issues.
    OVTextTransactionLogging* m_replayLogger = nullptr;
    void scheduleRepairingCopy(const QString& reason);
    void _selectRanges(std::vector<Range> ranges, bool scroll);
    void _updateSelectionColor(const std::optional<QColor>& color, const std::vector<Range>& ranges);
    void documentSelectionDidChange();
    void trackingDidChange();
    void documentBackgroundDidChange();
    // With no script window left open, the outputs go back to the default style's background.
    void restoreDefaultBackgroundColorIfNoScriptIsOpen();
    void _updateBoxColors();
    // The preview's first shown line, and how far down it the view begins, so a change of text size
    // keeps the preview on the line the operator was looking at.
    struct PreviewShownLine {
        qsizetype character = -1;
        double offset = 0;
        double lineHeight = 0;
    };
    PreviewShownLine previewShownLine() const;
    void restorePreviewShownLine(const PreviewShownLine& shown);
    // The preview lays out the talent storage at the talent size: while the two text views are as
    // wide, the preview draws the talent's layout instead of laying out every edit a second time.
    void _updatePreviewLayoutSharing();
    bool tracksEdits() const;
    double adjustedFactor() const;

    OVCore& m_core;
    std::unique_ptr<OVTalentWindow> m_window;
    OVPrompterView* m_prompterView = nullptr;
    OVPrompterView* m_previewPrompterView = nullptr;
    OVBoxView* m_previewBoxView = nullptr;
    // The preview's own layout manager, kept (on an empty storage) while it shares the talent's.
    std::shared_ptr<LayoutManager> m_previewOwnLayoutManager;
    std::vector<NotificationObserver> m_previewObservers;
    OVTextView* m_documentTextView = nullptr;
    std::shared_ptr<TextStorage> m_documentTextStorage;
    // Waits for the first frame of a long script's window, to copy the script after it.
    QPointer<QObject> m_firstFrameWatcher;
    qint64 m_documentWatchCount = -1;
    qint64 m_animationUpdateCount = 0;
    bool m_didBeginInitialWatching = false;
    Size m_contentInset;
    bool m_usesContentInset = true;
    double m_contentTextMagnificationFactor = 1.0;
    double m_lastContentTextMagnificationFactor = 1.0;
    bool m_contentInvert = false;
    bool m_lastContentInvert = false;
    // Set while switching tracking on, so the highlight is drawn without writing the user's setting.
    bool m_trackingOverride = false;
    QColor m_boxColor;
    std::function<const void*()> m_frontMostDocumentProvider;
    std::function<double()> m_toolbarHeightProvider;
    UserDefaults::ObserverToken m_toolbarStateObserver = 0;
    std::vector<NotificationObserver> m_observers;
    std::vector<NotificationObserver> m_documentObservers;
    bool m_loggedPlacementUnavailable = false;
};
