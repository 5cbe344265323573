#pragma once

#include "platform/appkit/Event.h"
#include "platform/appkit/Menu.h"
#include "platform/appkit/Responder.h"
#include "platform/foundation/Range.h"
#include "platform/foundation/Rect.h"
#include "platform/text/TextStorage.h"

#include <QHash>
#include <QString>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

class ClipView;
class LayoutManager;
class MenuItem;
class OVBookmark;
class OVEditBookmarkWindowController;
class TextAttachment;
class TextView;

// The one controller of bookmarks in the front script: it adds, renames and removes them with undo,
// counts them for the toolbar, fills the bookmark part of every registered menu, and jumps between
// them by caret in Edit mode and by scroll position in Prompt mode.
class OVBookmarkController : public Responder, public MenuDelegate {
public:
    // What the controller needs from the layers above it; each answer has a harmless default.
    struct Host {
        std::function<bool()> isModePrompt;
        // Prompt-mode jumps move a running prompter through the core, so the jump joins the scrolling
        // the talent and preview follow; false when the core does not take it (paused), and the
        // clip view scrolls directly.
        std::function<bool(double delta)> addScrollingDelta;
        std::function<bool(const TextView& view)> isFocusArrowVisible;
        // Asks the user for a name: original is the bookmark being renamed (none when adding); done
        // gets the sheet's return code (1 OK, 0 Cancel), the new bookmark and whether it differs.
        using NameSheetDone =
            std::function<void(int code, std::shared_ptr<OVBookmark> replacement, bool changed)>;
        std::function<void(TextView& view, std::shared_ptr<OVBookmark> original, NameSheetDone done)>
            runNameSheet;
        std::function<void()> beep;
    };
    static void setHost(Host host);

    struct BookmarkInfo {
        qsizetype location = 0;
        Rect boundingRect;
        std::shared_ptr<TextAttachment> attachment;
    };

    enum Direction { Next = 1, Previous = 2 };

    static constexpr double kRecountDelay = 0.2;
    static constexpr double kPreviousNextTimeout = 1.0;
    static constexpr double kRecentLocationReset = -10000;
    // How near (in points) the scroll position may be to a bookmark for it to count as reached.
    static constexpr double kPromptModeTolerance = 2.0;
    static constexpr int kDirectJumpCount = 10;
    // Ctrl+Alt with a digit jumps straight to a bookmark. The keyboard's Ctrl carries the Command
    // flag here (it is the key of every application shortcut), Alt the Option flag.
    static constexpr unsigned long kDirectJumpModifierMask = kCommandKeyMask | kOptionKeyMask;

    static OVBookmarkController& sharedBookmarkController();
    ~OVBookmarkController() override;

    TextView* textView() const { return m_textView; }
    void setTextView(TextView* view);

    double deltaLocation() const { return m_deltaLocation; }
    void setDeltaLocation(double delta) { m_deltaLocation = delta; }
    unsigned displayMode() const { return m_displayMode; }
    void setDisplayMode(unsigned mode);
    unsigned menuDisplayMode() const { return m_menuDisplayMode; }
    void setMenuDisplayMode(unsigned mode) { m_menuDisplayMode = mode; }
    bool bookmarksVisible() const { return m_bookmarksVisible; }
    void setBookmarksVisible(bool visible);
    bool highlightJumpedBookmark() const { return m_highlightJumpedBookmark; }
    void setHighlightJumpedBookmark(bool flag) { m_highlightJumpedBookmark = flag; }
    // The user default "showBookmarksInPromptMode", read once per process.
    static bool cachedShowBookmarksInPromptMode();

    // Bindings: observers hear about every change of the three.
    bool hasOneBookmark() const { return m_hasOneBookmark; }
    bool hasMultipleBookmarks() const { return m_hasMultipleBookmarks; }
    bool canAddOrEditBookmark() const { return m_canAddOrEditBookmark; }
    int addBindingsObserver(std::function<void()> observer);
    void removeBindingsObserver(int token);

    // Adding and renaming, per selected line.
    void addBookmark();
    void addQuickBookmark();
    void editBookmark(const std::shared_ptr<OVBookmark>& bookmark);
    void editBookmarkAtIndex(qsizetype index);
    // Adds replacement on each selected line (no original) or renames the bookmarks on them; false
    // (with a beep) when no line qualifies or the view refuses the change.
    bool _applyEditOfOriginalBookmark(const std::shared_ptr<OVBookmark>& original,
                                      const OVBookmark& replacement);
    void removeBookmarksInRange(const Range& range);
    void removeBookmarksInRanges(const std::vector<Range>& ranges);

    // Jumps.
    void jumpToNextBookmark();
    void jumpToPreviousBookmark();
    // An index past the last bookmark does nothing and answers false.
    bool jumpToBookmarkAtIndex(qsizetype index);
    qsizetype indexOfClosestBookmark() const;
    // A menu item's jump: its tag is the index it was built with, checked against the text now.
    void _jumpToBookmarkRepresentedByMenuItem(const MenuItem& item);
    // The Ctrl+Alt+digit monitor: false when the event is swallowed.
    bool handleKeyDownEvent(Event& event);
    bool isTypedIntoTextWindow(const Event& event) const;

    // Menus. The bookmark items of a registered menu start at index and run to the next separator.
    void addBookmarksMenuToUpdateList(Menu* menu, int updateAtItemIndex, unsigned options);
    void removeBookmarksMenuFromUpdateList(Menu* menu);
    std::vector<std::unique_ptr<MenuItem>> bookmarkMenuItems();
    void menuNeedsUpdate(Menu& menu) override;
    void menuWillOpen(Menu& menu) override;
    void menuDidClose(Menu& menu) override;
    // Flashes the bookmark of the highlighted item in the text.
    void menuWillHighlightItem(Menu& menu, MenuItem* item) override;
    // The separator of name and context in mode 2, or a dash where no font can draw it.
    static QString menuTitleSeparator();

    // Every bookmark in text order; kept until the text or its layout changes, so prompt-mode jumps
    // through a long script cost a scan, not a layout pass.
    const std::vector<BookmarkInfo>& bookmarkInfoArray() const;
    std::vector<BookmarkInfo> _bookmarkInfoArrayForRange(const std::optional<Range>& range) const;
    Range _rangeForBookmarkInfo(const BookmarkInfo& info) const;
    double _adjustedPositionForBookmarkInfo(const BookmarkInfo* info) const;

    // The counts as they are this moment (what the coalesced recount stores).
    void recountBookmarks();
    double recentPreviousNextLocation() const { return m_recentLocation; }

    // Widths of bookmark names in a menu font, kept between menu builds.
    struct NameWidths {
        QString fontKey;
        QHash<QString, double> widths;
    };

    static QString localizedPreviousBookmarkTitle();
    static QString localizedNextBookmarkTitle();
    static QString _localizedAddBookmarkString();

private:
    struct MenuRecord {
        Menu* menu = nullptr;
        int index = 0;
        int staticItemsAdded = -1;
        unsigned options = 0;
    };

    OVBookmarkController();
    void _jumpToBookmarkInDirection(Direction direction);
    void _jumpToBookmarkInfo(const BookmarkInfo& info);
    bool _directJump(qsizetype index);
    ClipView* clipView() const;
    void observeStorage();
    void storageDidProcessEditing(const TextStorageEdit& edit);
    void noteChangedContext(const TextStorageEdit& edit);
    void setBindings(bool one, bool multiple, bool canEdit);
    void updateCanAddOrEdit();
    void beep() const;
    void updateCells();
    void runNameSheet(std::shared_ptr<OVBookmark> original, Host::NameSheetDone done);

    TextView* m_textView = nullptr;
    std::weak_ptr<TextStorage> m_storage;
    TextStorage::ObserverToken m_storageToken = 0;
    std::weak_ptr<LayoutManager> m_layoutManager;
    int m_layoutToken = 0;
    mutable std::optional<std::vector<BookmarkInfo>> m_infoCache;
    // What the context names were last made for (showing context, menu mode); none once the text
    // changed.
    using TransientNamesKey = std::pair<bool, unsigned>;
    std::optional<TransientNamesKey> m_transientNamesKey;
    // The text whose bookmarks' context names may be out of date since the last menu.
    std::optional<Range> m_changedContext;
    // How far before an edit a bookmark may sit and still have the edit in its context: the context
    // length with room for the cluster it may be extended to.
    static constexpr qsizetype kContextReach = 50 + 64 + 1;
    NameWidths m_nameWidths;
    double m_deltaLocation = 0;
    unsigned m_displayMode = 1;
    unsigned m_menuDisplayMode = 2;
    bool m_bookmarksVisible = true;
    bool m_highlightJumpedBookmark = true;
    bool m_hasOneBookmark = false;
    bool m_hasMultipleBookmarks = false;
    bool m_canAddOrEditBookmark = false;
    std::vector<std::pair<int, std::function<void()>>> m_bindingObservers;
    int m_nextObserverToken = 1;
    std::vector<MenuRecord> m_menus;
    std::optional<std::vector<BookmarkInfo>> m_menuInfoCache;
    double m_recentLocation = kRecentLocationReset;
    int m_monitorToken = 0;
    std::vector<std::unique_ptr<OVEditBookmarkWindowController>> m_openSheets;
};
