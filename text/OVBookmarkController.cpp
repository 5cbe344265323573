#include "text/OVBookmarkController.h"

#include "platform/appkit/Application.h"
#include "platform/appkit/ClipView.h"
#include "platform/appkit/Event.h"
#include "platform/appkit/MenuItem.h"
#include "platform/appkit/RunLoop.h"
#include "platform/appkit/ScrollView.h"
#include "platform/appkit/UndoManager.h"
#include "platform/appkit/Window.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/hvkit/HVAnalytics.h"
#include "platform/hvkit/HVAppServices.h"
#include "platform/hvkit/HVLocalizedString.h"
#include "platform/text/AttributeNames.h"
#include "platform/text/TextAttachment.h"
#include "platform/textlayout/LayoutManager.h"
#include "platform/textview/TextView.h"
#include "text/NSAttributedStringOVBookmarkAdditions.h"
#include "text/NSMutableAttributedStringOVBookmarkAdditions.h"
#include "text/NSTextAttachmentOVBookmarkAdditions.h"
#include "text/OVBookmark.h"
#include "text/OVBookmarkCell.h"
#include "text/OVEditBookmarkWindowController.h"
#include "textutil/NSMutableAttributedStringHVAdditions.h"

#include <QApplication>
#include <QFontMetricsF>
#include <QPalette>

#include <algorithm>
#include <cmath>

namespace {

const QString kRecountSelector = QStringLiteral("_recountBookmarks");
const QString kResetRecentSelector = QStringLiteral("_resetRecentPreviousNextLocation");
const QString kJumpAction = QStringLiteral("_jumpToBookmarkRepresentedByMenuItem:");
const QString kDigits = QStringLiteral("1234567890");
constexpr char16_t kFigureSpace = 0x2007;

OVBookmarkController::Host& host()
{
    static OVBookmarkController::Host value;
    return value;
}

bool isModePrompt()
{
    return host().isModePrompt && host().isModePrompt();
}

// Every bookmark character of the text in order. Attachments sit only on attachment characters, so
// scanning for those beats visiting every style run of a long script.
template <class Visit>
void forEachBookmarkCharacter(const AttributedString& text, const Range& range, Visit&& visit)
{
    const QString& string = text.string();
    const Range limit = range.intersection({0, text.length()});
    for (qsizetype i = string.indexOf(QChar(kAttachmentCharacter), limit.location); i >= 0 && i < limit.end();
         i = string.indexOf(QChar(kAttachmentCharacter), i + 1)) {
        const auto attachment = text.attribute(kAttachmentAttributeName, i).attachment();
        if (attachment && NSTextAttachmentOVBookmarkAdditions::isBookmark(*attachment) &&
            !visit(i, attachment))
            return;
    }
}

// The lines the selected ranges touch, without their terminators, each once and in text order.
std::vector<Range> selectedLineRanges(const TextStorage& text, const std::vector<Range>& selected)
{
    std::vector<Range> lines;
    for (const Range& range : selected) {
        const Range clipped{std::clamp<qsizetype>(range.location, 0, text.length()),
                            std::max<qsizetype>(0, std::min(range.length, text.length() - range.location))};
        qsizetype index = clipped.location;
        const qsizetype last = clipped.length > 0 ? clipped.end() - 1 : clipped.location;
        while (true) {
            const Range paragraph = text.paragraphRange({index, 0});
            qsizetype contentEnd = paragraph.end();
            while (contentEnd > paragraph.location && (text.characterAtIndex(contentEnd - 1) == u'\n' ||
                                                       text.characterAtIndex(contentEnd - 1) == u'\r' ||
                                                       text.characterAtIndex(contentEnd - 1) == 0x2029))
                --contentEnd;
            const Range line{paragraph.location, contentEnd - paragraph.location};
            if (lines.empty() || lines.back().location < line.location)
                lines.push_back(line);
            else if (std::none_of(lines.begin(), lines.end(), [&](const Range& r) { return r == line; }))
                lines.push_back(line);
            if (paragraph.end() > last || paragraph.end() >= text.length() || paragraph.length == 0)
                break;
            index = paragraph.end();
        }
    }
    std::sort(lines.begin(), lines.end(),
              [](const Range& a, const Range& b) { return a.location < b.location; });
    lines.erase(std::unique(lines.begin(), lines.end()), lines.end());
    return lines;
}

void raiseStatistic(const QString& key, qint64 by)
{
    if (by > 0)
        HVAppServices::shared().analytics().incrementIntegerForKeyPath(key, by);
}

// Figure spaces keep the numbers of a menu right-aligned in any proportional font.
QString paddedNumber(qsizetype number, qsizetype count)
{
    const QString digits = QString::number(number);
    const qsizetype width = QString::number(count).size();
    return QString(std::max<qsizetype>(0, width - digits.size()), QChar(kFigureSpace)) + digits +
           QChar(kFigureSpace);
}

// Most names need no escaping; those keep their shared data instead of being copied.
QString escaped(const QString& text)
{
    for (const QChar c : text) {
        if (c == u'<' || c == u'>' || c == u'&' || c == u'"')
            return text.toHtmlEscaped();
    }
    return text;
}

// The widest of the names in font. Measuring is shaping, so widths are remembered per font and
// name, and names too short to beat the widest so far, even in the font's widest character, are not
// measured at all.
template <class Entries>
double widestWidth(const Entries& entries, const QFont& font, OVBookmarkController::NameWidths& widths)
{
    constexpr qsizetype kMaxRemembered = 20000;
    const QString fontKey = font.key();
    if (widths.fontKey != fontKey || widths.widths.size() > kMaxRemembered) {
        widths.widths.clear();
        widths.fontKey = fontKey;
    }
    const QFontMetricsF metrics(font);
    const double widestCharacter = std::max(1.0, metrics.maxWidth());
    std::vector<const QString*> names;
    for (const auto& entry : entries)
        names.push_back(&entry.name);
    std::sort(names.begin(), names.end(),
              [](const QString* a, const QString* b) { return a->size() > b->size(); });
    double widest = 0;
    for (const QString* name : names) {
        if (double(name->size()) * widestCharacter <= widest)
            break;
        auto known = widths.widths.constFind(*name);
        if (known == widths.widths.cend())
            known = widths.widths.insert(*name, metrics.horizontalAdvance(*name));
        widest = std::max(widest, *known);
    }
    return widest;
}

} // namespace

void OVBookmarkController::setHost(Host value)
{
    host() = std::move(value);
}

OVBookmarkController& OVBookmarkController::sharedBookmarkController()
{
    static OVBookmarkController* controller = [] {
        auto* made = new OVBookmarkController();
        made->m_monitorToken = Application::shared().addLocalMonitorForEvents(
            Application::maskForType(Event::Type::KeyDown),
            [made](Event& event) { return made->handleKeyDownEvent(event); });
        return made;
    }();
    return *controller;
}

OVBookmarkController::OVBookmarkController()
{
    NSMutableAttributedStringOVBookmarkAdditions::setBookmarkControllerState(
        {[this] { return m_menuDisplayMode; }, [] { return cachedShowBookmarksInPromptMode(); }});
    OVBookmarkCell::installArtwork();
    setActionHandler(kJumpAction, [this](const QVariant& sender) {
        if (const auto* item = sender.value<MenuItem*>())
            _jumpToBookmarkRepresentedByMenuItem(*item);
    });
}

OVBookmarkController::~OVBookmarkController()
{
    setTextView(nullptr);
}

QString OVBookmarkController::localizedPreviousBookmarkTitle()
{
    return HVLocalizedString::localizedString(QStringLiteral("bookmark-previous-bookmark"),
                                              QStringLiteral("Previous Bookmark"));
}

QString OVBookmarkController::localizedNextBookmarkTitle()
{
    return HVLocalizedString::localizedString(QStringLiteral("bookmark-next-bookmark"),
                                              QStringLiteral("Next Bookmark"));
}

QString OVBookmarkController::_localizedAddBookmarkString()
{
    return HVLocalizedString::localizedString(QStringLiteral("bookmark-add-bookmark"),
                                              QStringLiteral("Add Bookmark"));
}

bool OVBookmarkController::cachedShowBookmarksInPromptMode()
{
    static const bool value = UserDefaults::shared().boolForKey(QStringLiteral("showBookmarksInPromptMode"));
    return value;
}

// The text view and its storage.

void OVBookmarkController::setTextView(TextView* view)
{
    if (auto storage = m_storage.lock(); storage && m_storageToken)
        storage->removeObserver(m_storageToken);
    if (auto layout = m_layoutManager.lock(); layout && m_layoutToken)
        layout->removeLayoutObserver(m_layoutToken);
    m_storageToken = 0;
    m_layoutToken = 0;
    m_storage.reset();
    m_layoutManager.reset();
    m_infoCache.reset();
    m_transientNamesKey.reset();
    m_changedContext.reset();
    RunLoop::main().cancelPreviousPerformRequests(this, kRecountSelector);
    m_textView = view;
    m_menuInfoCache.reset();
    observeStorage();
    recountBookmarks();
}

void OVBookmarkController::observeStorage()
{
    if (!m_textView || !m_textView->layoutManager())
        return;
    const std::shared_ptr<TextStorage>& storage = m_textView->layoutManager()->textStorage();
    if (!storage)
        return;
    m_storage = storage;
    m_storageToken = storage->addObserver(
        TextStorage::Phase::DidProcessEditing,
        [this](TextStorage&, const TextStorageEdit& edit) { storageDidProcessEditing(edit); });
    m_layoutManager = m_textView->layoutManager();
    m_layoutToken =
        m_textView->layoutManager()->addLayoutObserver([this](const Range&, bool) { m_infoCache.reset(); });
}

void OVBookmarkController::storageDidProcessEditing(const TextStorageEdit& edit)
{
    m_infoCache.reset();
    noteChangedContext(edit);
    // Typing sends an edit per key: counting once the burst settles keeps typing cheap.
    RunLoop::main().cancelPreviousPerformRequests(this, kRecountSelector);
    RunLoop::main().performAfterDelay(kRecountDelay, this, kRecountSelector, [this] { recountBookmarks(); });
}

void OVBookmarkController::noteChangedContext(const TextStorageEdit& edit)
{
    if (edit.editedRange.location == kNotFound)
        return;
    // What was noted before the edit moves with the text behind it.
    if (m_changedContext && m_changedContext->location >= edit.editedRange.location)
        m_changedContext->location =
            std::max(edit.editedRange.location, m_changedContext->location + edit.changeInLength);
    // A bookmark's context is the text just after it, so the bookmarks just before an edit see it too.
    const qsizetype from = std::max<qsizetype>(0, edit.editedRange.location - kContextReach);
    const Range reach{from, edit.editedRange.end() - from};
    m_changedContext = m_changedContext ? m_changedContext->united(reach) : reach;
}

void OVBookmarkController::recountBookmarks()
{
    int count = 0;
    if (m_textView)
        forEachBookmarkCharacter(
            m_textView->textStorage(), {0, m_textView->textStorage().length()},
            [&](qsizetype, const std::shared_ptr<TextAttachment>&) { return ++count < 2; });
    const bool canEdit = m_textView && m_textView->isEditable() && m_bookmarksVisible;
    setBindings(count >= 1, count >= 2, canEdit);
}

void OVBookmarkController::setBindings(bool one, bool multiple, bool canEdit)
{
    if (one == m_hasOneBookmark && multiple == m_hasMultipleBookmarks && canEdit == m_canAddOrEditBookmark)
        return;
    m_hasOneBookmark = one;
    m_hasMultipleBookmarks = multiple;
    m_canAddOrEditBookmark = canEdit;
    const auto observers = m_bindingObservers;
    for (const auto& [token, observer] : observers)
        observer();
}

void OVBookmarkController::updateCanAddOrEdit()
{
    setBindings(m_hasOneBookmark, m_hasMultipleBookmarks,
                m_textView && m_textView->isEditable() && m_bookmarksVisible);
}

int OVBookmarkController::addBindingsObserver(std::function<void()> observer)
{
    m_bindingObservers.emplace_back(m_nextObserverToken, std::move(observer));
    return m_nextObserverToken++;
}

void OVBookmarkController::removeBindingsObserver(int token)
{
    std::erase_if(m_bindingObservers, [token](const auto& entry) { return entry.first == token; });
}

void OVBookmarkController::beep() const
{
    if (host().beep)
        host().beep();
    else
        QApplication::beep();
}

// Visibility.

void OVBookmarkController::updateCells()
{
    if (!m_textView)
        return;
    TextStorage& storage = m_textView->textStorage();
    forEachBookmarkCharacter(
        storage, {0, storage.length()}, [&](qsizetype, const std::shared_ptr<TextAttachment>& a) {
            if (auto cell = std::dynamic_pointer_cast<OVBookmarkCell>(a->attachmentCell())) {
                cell->setVisible(m_bookmarksVisible);
                cell->updateImage();
            }
            return true;
        });
    // The cells changed size: the lines holding them are laid out again.
    m_textView->layoutManager()->invalidateLayoutForCharacterRange({0, storage.length()});
}

void OVBookmarkController::setBookmarksVisible(bool visible)
{
    // Bookmarks shown in prompt output stay visible in the editor too.
    if (cachedShowBookmarksInPromptMode())
        visible = true;
    if (visible == m_bookmarksVisible)
        return;
    m_bookmarksVisible = visible;
    updateCells();
    updateCanAddOrEdit();
}

void OVBookmarkController::setDisplayMode(unsigned mode)
{
    if (mode == m_displayMode)
        return;
    m_displayMode = mode;
    OVBookmarkCell::setDisplayMode(mode);
    updateCells();
}

// Bookmark information and positions.

const std::vector<OVBookmarkController::BookmarkInfo>& OVBookmarkController::bookmarkInfoArray() const
{
    if (!m_infoCache)
        m_infoCache = _bookmarkInfoArrayForRange(std::nullopt);
    return *m_infoCache;
}

std::vector<OVBookmarkController::BookmarkInfo>
OVBookmarkController::_bookmarkInfoArrayForRange(const std::optional<Range>& range) const
{
    std::vector<BookmarkInfo> infos;
    if (!m_textView)
        return infos;
    const TextStorage& storage = m_textView->textStorage();
    const Range whole{0, storage.length()};
    const Range limit = range ? range->intersection(whole) : whole;
    const LayoutManager& layout = *m_textView->layoutManager();
    forEachBookmarkCharacter(
        storage, limit, [&](qsizetype index, const std::shared_ptr<TextAttachment>& attachment) {
            // A glyph's rectangle spans its line fragment from top to bottom. Taking that from the line
            // metrics spares shaping every paragraph of a long script just to place its bookmarks across.
            Rect rect;
            if (const auto fragment = layout.lineFragmentForGlyphAtIndex(index)) {
                const QSizeF cell =
                    attachment->attachmentCell() ? attachment->attachmentCell()->cellSize() : QSizeF();
                rect = Rect(fragment->usedRect.minX(), fragment->rect.minY(), cell.width(),
                            fragment->rect.height());
            }
            infos.push_back({index, rect, attachment});
            return true;
        });
    return infos;
}

Range OVBookmarkController::_rangeForBookmarkInfo(const BookmarkInfo& info) const
{
    if (m_textView && info.location >= 0 && info.location < m_textView->textStorage().length())
        return {info.location, 1};
    qWarning("%s invalid range for bookmarkInfo = %lld", "-[OVBookmarkController _rangeForBookmarkInfo:]",
             static_cast<long long>(info.location));
    return {kNotFound, 0};
}

ClipView* OVBookmarkController::clipView() const
{
    return m_textView ? dynamic_cast<ClipView*>(m_textView->superview()) : nullptr;
}

double OVBookmarkController::_adjustedPositionForBookmarkInfo(const BookmarkInfo* info) const
{
    ClipView* clip = clipView();
    if (!info)
        return clip ? clip->bounds().minY() : 0;
    double position = info->boundingRect.minY();
    if (m_textView && host().isFocusArrowVisible && host().isFocusArrowVisible(*m_textView))
        position += info->boundingRect.height() / 2;
    position += m_deltaLocation;
    if (clip)
        position += clip->documentRect().minY();
    return position;
}

// Jumps.

void OVBookmarkController::_jumpToBookmarkInfo(const BookmarkInfo& info)
{
    const Range range = _rangeForBookmarkInfo(info);
    if (range.location == kNotFound)
        return;
    const double target = std::round(_adjustedPositionForBookmarkInfo(&info));
    const bool scrolledByPrompter =
        isModePrompt() && host().addScrollingDelta &&
        host().addScrollingDelta(target - _adjustedPositionForBookmarkInfo(nullptr));
    ClipView* clip = clipView();
    if (!scrolledByPrompter && clip) {
        clip->scrollToPoint({0, target});
        if (ScrollView* scroll = m_textView->enclosingScrollView())
            scroll->reflectScrolledClipView(clip);
    }
    if (m_textView->isEditable()) {
        m_textView->setSelectedRange({range.end(), 0});
        if (m_highlightJumpedBookmark)
            m_textView->showFindIndicatorForRange(range);
    }
}

void OVBookmarkController::jumpToNextBookmark()
{
    _jumpToBookmarkInDirection(Next);
}

void OVBookmarkController::jumpToPreviousBookmark()
{
    _jumpToBookmarkInDirection(Previous);
}

void OVBookmarkController::_jumpToBookmarkInDirection(Direction direction)
{
    if (!m_textView)
        return;
    const std::vector<BookmarkInfo> infos = bookmarkInfoArray();
    if (infos.empty())
        return;
    const bool prompt = isModePrompt();
    const std::vector<Range>& selected = m_textView->selectedRanges();
    const qsizetype caret = direction == Next ? selected.back().location : selected.front().location;
    const double scrollPosition = _adjustedPositionForBookmarkInfo(nullptr);
    bool wraps =
        UserDefaults::shared().boolForKey(QStringLiteral("bookmarkPreviousNextNavigationWrapsAround"));
    if (Menu::currentModifierFlags() & kOptionKeyMask)
        wraps = !wraps;

    const auto search = [&](double current) -> const BookmarkInfo* {
        const qsizetype count = qsizetype(infos.size());
        for (qsizetype n = 0; n < count; ++n) {
            const BookmarkInfo& info = infos[direction == Next ? n : count - 1 - n];
            const double position = _adjustedPositionForBookmarkInfo(&info);
            const double floored = std::floor(position);
            if (prompt && std::abs(floored - current) <= kPromptModeTolerance)
                continue;
            const qsizetype end = info.location + 1;
            const bool matches = direction == Next ? (prompt ? floored > current : end > caret)
                                                   : (prompt ? position < current : end < caret);
            if (matches)
                return &info;
        }
        if (!wraps)
            return nullptr;
        return direction == Next ? &infos.front() : &infos.back();
    };

    const BookmarkInfo* found = search(scrollPosition);
    // The prompter may not have moved yet since the last press: look past where that one went.
    if (prompt && kPreviousNextTimeout > 0 && found &&
        _adjustedPositionForBookmarkInfo(found) == m_recentLocation)
        found = search(m_recentLocation);
    if (!found)
        return;

    const double target = std::round(_adjustedPositionForBookmarkInfo(found));
    const bool scrolls = target != std::round(scrollPosition);
    const bool movesCaret = !prompt && m_textView->isEditable() &&
                            !(selected.size() == 1 && selected.front() == Range{found->location + 1, 0});
    if (!scrolls && !movesCaret)
        return;
    _jumpToBookmarkInfo(*found);
    raiseStatistic(QStringLiteral("bookmarks.previousNextActions"), 1);
    if (prompt) {
        m_recentLocation = _adjustedPositionForBookmarkInfo(found);
        RunLoop::main().cancelPreviousPerformRequests(this, kResetRecentSelector);
        RunLoop::main().performAfterDelay(kPreviousNextTimeout, this, kResetRecentSelector,
                                          [this] { m_recentLocation = kRecentLocationReset; });
    }
}

bool OVBookmarkController::jumpToBookmarkAtIndex(qsizetype index)
{
    const std::vector<BookmarkInfo> infos = bookmarkInfoArray();
    if (index < 0 || index >= qsizetype(infos.size()))
        return false;
    _jumpToBookmarkInfo(infos[index]);
    return true;
}

bool OVBookmarkController::_directJump(qsizetype index)
{
    if (!jumpToBookmarkAtIndex(index)) {
        // The menu was built for a text that has since lost bookmarks.
        beep();
        return false;
    }
    raiseStatistic(QStringLiteral("bookmarks.directJumpActions"), 1);
    return true;
}

qsizetype OVBookmarkController::indexOfClosestBookmark() const
{
    const std::vector<BookmarkInfo>& infos = m_menuInfoCache ? *m_menuInfoCache : bookmarkInfoArray();
    if (infos.empty())
        return -1;
    ClipView* clip = clipView();
    const double top = clip ? clip->documentVisibleRect().minY() : 0;
    for (qsizetype i = 0; i < qsizetype(infos.size()); ++i) {
        if (_adjustedPositionForBookmarkInfo(&infos[i]) >= top)
            return i;
    }
    return qsizetype(infos.size()) - 1;
}

void OVBookmarkController::_jumpToBookmarkRepresentedByMenuItem(const MenuItem& item)
{
    // Alt alone asks for the naming sheet; with Ctrl it is the direct-jump chord.
    const unsigned long flags = Menu::currentModifierFlags();
    const bool optionOnly = (flags & kOptionKeyMask) && !(flags & kCommandKeyMask);
    if (optionOnly && !isModePrompt() && m_textView && m_textView->isEditable()) {
        editBookmarkAtIndex(item.tag());
        return;
    }
    _directJump(item.tag());
}

bool OVBookmarkController::isTypedIntoTextWindow(const Event& event) const
{
    // The chord is the script window's: typed into the naming sheet, a dialog, a panel or the settings
    // window it is that window's key, never a jump in the script behind it.
    const Window* text = m_textView->window();
    const Window* typed = event.window;
    if (typed == text)
        return true;
    if (!typed || !text || typed->isSheet())
        return false;
    // The prompter's content may sit in a child window of the script window while prompting.
    return typed->parentWindow() == text || text->parentWindow() == typed;
}

bool OVBookmarkController::handleKeyDownEvent(Event& event)
{
    if (event.type != Event::Type::KeyDown)
        return true;
    const unsigned long required = kDirectJumpModifierMask;
    if ((event.modifierFlags & required) != required || event.charactersIgnoringModifiers.size() != 1)
        return true;
    const qsizetype place = kDigits.indexOf(event.charactersIgnoringModifiers);
    if (place < 0 || !m_textView || !isTypedIntoTextWindow(event))
        return true;
    const std::vector<BookmarkInfo> infos = bookmarkInfoArray();
    if (place < qsizetype(infos.size())) {
        _jumpToBookmarkInfo(infos[place]);
        raiseStatistic(QStringLiteral("bookmarks.directJumpActions"), 1);
    }
    return false;
}

// Adding, renaming and removing.

void OVBookmarkController::runNameSheet(std::shared_ptr<OVBookmark> original, Host::NameSheetDone done)
{
    if (host().runNameSheet) {
        host().runNameSheet(*m_textView, std::move(original), std::move(done));
        return;
    }
    auto sheet =
        OVEditBookmarkWindowController::editBookmarkWindowControllerWithBookmark(std::move(original));
    OVEditBookmarkWindowController* raw = sheet.get();
    m_openSheets.push_back(std::move(sheet));
    QWidget* parent = m_textView->window() ? m_textView->window()->hostWidget() : nullptr;
    raw->beginSheet(parent, [this, raw, done = std::move(done)](int code) {
        done(code, raw->replacementBookmark(), raw->didBookmarkChange());
        // The sheet is still in its own button's signal: let go of it once that returns.
        QMetaObject::invokeMethod(
            qApp,
            [this, raw] {
                std::erase_if(m_openSheets, [raw](const auto& open) { return open.get() == raw; });
            },
            Qt::QueuedConnection);
    });
}

void OVBookmarkController::addBookmark()
{
    if (!m_textView || !m_canAddOrEditBookmark)
        return;
    runNameSheet(nullptr, [this](int code, std::shared_ptr<OVBookmark> replacement, bool changed) {
        if (code == 1 && changed && replacement)
            _applyEditOfOriginalBookmark(nullptr, *replacement);
    });
}

void OVBookmarkController::addQuickBookmark()
{
    if (m_textView && m_canAddOrEditBookmark)
        _applyEditOfOriginalBookmark(nullptr, OVBookmark(QString()));
}

void OVBookmarkController::editBookmark(const std::shared_ptr<OVBookmark>& bookmark)
{
    if (!m_textView || !bookmark || !m_canAddOrEditBookmark)
        return;
    runNameSheet(bookmark, [this, bookmark](int code, std::shared_ptr<OVBookmark> replacement, bool changed) {
        if (code == 1 && changed && replacement)
            _applyEditOfOriginalBookmark(bookmark, *replacement);
    });
}

void OVBookmarkController::editBookmarkAtIndex(qsizetype index)
{
    const std::vector<BookmarkInfo> infos = bookmarkInfoArray();
    if (index < 0 || index >= qsizetype(infos.size())) {
        beep();
        return;
    }
    // The bookmark's own line becomes the selection, so the rename lands on it.
    m_textView->setSelectedRange({infos[index].location, 0});
    editBookmark(NSTextAttachmentOVBookmarkAdditions::bookmark(*infos[index].attachment));
}

bool OVBookmarkController::_applyEditOfOriginalBookmark(const std::shared_ptr<OVBookmark>& original,
                                                        const OVBookmark& replacement)
{
    if (!m_textView)
        return false;
    TextStorage& storage = m_textView->textStorage();
    const bool adding = !original;
    const std::vector<Range> lines = selectedLineRanges(storage, m_textView->selectedRanges());

    struct Target {
        Range range;
        bool emptyLine = false;
    };
    std::vector<Target> targets;
    for (const Range& line : lines) {
        std::vector<Range> bookmarks;
        forEachBookmarkCharacter(storage, line, [&](qsizetype index, const std::shared_ptr<TextAttachment>&) {
            bookmarks.push_back({index, 1});
            return true;
        });
        if (adding && bookmarks.empty())
            targets.push_back({{line.location, 0}, line.length == 0});
        else if (!adding)
            for (const Range& range : bookmarks)
                targets.push_back({range, false});
    }
    if (targets.empty()) {
        // Point at the bookmarks already there, which is why nothing was added.
        if (adding && m_bookmarksVisible) {
            std::vector<Range> existing;
            for (const Range& line : lines) {
                forEachBookmarkCharacter(storage, line,
                                         [&](qsizetype index, const std::shared_ptr<TextAttachment>&) {
                                             existing.push_back({index, 1});
                                             return true;
                                         });
            }
            m_textView->showFindIndicatorForRanges(existing);
        }
        beep();
        return false;
    }

    std::vector<Range> ranges;
    QStringList strings;
    for (const Target& target : targets) {
        ranges.push_back(target.range);
        if (adding)
            strings << (QString(QChar(kAttachmentCharacter)) +
                        (target.emptyLine ? QStringLiteral(" ") : QString()));
        else
            strings << QString(QChar(kAttachmentCharacter));
    }
    if (!m_textView->shouldChangeTextInRanges(ranges, strings))
        return false;

    storage.beginEditing();
    for (auto it = targets.rbegin(); it != targets.rend(); ++it) {
        auto attachment = replacement.copy()->textAttachment();
        AttributedString attachmentString(QString(QChar(kAttachmentCharacter)),
                                          {{kAttachmentAttributeName, AttributeValue(attachment)}});
        if (!adding) {
            storage.addAttribute(kAttachmentAttributeName, AttributeValue(attachment), it->range);
            continue;
        }
        const qsizetype at = it->range.location;
        if (it->emptyLine) {
            // The blank after the bookmark keeps an empty line's style but none of its marking.
            NSMutableAttributedStringHVAdditions::insertAttributedString(
                storage, AttributedString(QStringLiteral(" ")), at, true);
            for (const QString& name :
                 {kBackgroundColorAttributeName, kUnderlineColorAttributeName, kUnderlineStyleAttributeName,
                  kStrikethroughColorAttributeName, kStrikethroughStyleAttributeName})
                storage.removeAttribute(name, {at, 1});
        }
        NSMutableAttributedStringHVAdditions::insertAttributedString(storage, attachmentString, at, true);
    }
    storage.endEditing();

    const qsizetype first = lines.front().location;
    qsizetype end = lines.back().end() + (adding ? 2 * qsizetype(lines.size()) : 0);
    end = std::min(end, storage.length());
    NSMutableAttributedStringOVBookmarkAdditions::performAction(
        storage, NSMutableAttributedStringOVBookmarkAdditions::UpdateTransientNames, {first, end - first});

    if (UndoManager* undo = m_textView->undoManager())
        undo->setActionName(adding
                                ? _localizedAddBookmarkString()
                                : HVLocalizedString::localizedString(QStringLiteral("bookmark-edit-bookmark"),
                                                                     QStringLiteral("Edit Bookmark")));
    m_textView->didChangeText();
    const bool named = replacement.name() && !replacement.name()->isEmpty();
    raiseStatistic(!adding ? QStringLiteral("bookmarks.edits")
                   : named ? QStringLiteral("bookmarks.namedBookmarksAdded")
                           : QStringLiteral("bookmarks.bookmarksAdded"),
                   qint64(targets.size()));
    return true;
}

void OVBookmarkController::removeBookmarksInRange(const Range& range)
{
    // "No range" is not the end of the text: without a final line break its last line would go.
    if (range.location == kNotFound)
        return;
    removeBookmarksInRanges({range});
}

void OVBookmarkController::removeBookmarksInRanges(const std::vector<Range>& ranges)
{
    if (!m_textView || ranges.empty())
        return;
    TextStorage& storage = m_textView->textStorage();
    std::vector<Range> changed;
    std::vector<MutableAttributedString> kept;
    QStringList replacements;
    for (const Range& line : selectedLineRanges(storage, ranges)) {
        if (!NSAttributedStringOVBookmarkAdditions::containsBookmarkAttachmentInRange(storage, line))
            continue;
        // Each kept character keeps its own attributes.
        MutableAttributedString result;
        for (qsizetype c = 0; c < line.length; ++c) {
            const qsizetype index = line.location + c;
            const auto attachment = storage.attribute(kAttachmentAttributeName, index).attachment();
            if (storage.characterAtIndex(index) != kAttachmentCharacter || !attachment ||
                !NSTextAttachmentOVBookmarkAdditions::isBookmark(*attachment)) {
                result.append(storage.attributedSubstring({index, 1}));
                continue;
            }
            // A bookmark that opens a line may have brought one blank along; a run of blanks is text.
            const auto blankAt = [&](qsizetype i) {
                return i < line.length && storage.characterAtIndex(line.location + i) == u' ';
            };
            if (c == 0 && blankAt(1) && !blankAt(2))
                ++c;
        }
        changed.push_back(line);
        replacements << result.string();
        kept.push_back(std::move(result));
    }
    if (changed.empty() || !m_textView->shouldChangeTextInRanges(changed, replacements))
        return;
    storage.beginEditing();
    for (qsizetype i = qsizetype(changed.size()) - 1; i >= 0; --i)
        storage.replaceCharacters(changed[i], kept[i]);
    storage.endEditing();
    if (UndoManager* undo = m_textView->undoManager())
        undo->setActionName(HVLocalizedString::localizedString(QStringLiteral("bookmark-remove-bookmarks"),
                                                               QStringLiteral("Remove Bookmarks")));
    m_textView->didChangeText();
}

// Menus.

void OVBookmarkController::addBookmarksMenuToUpdateList(Menu* menu, int updateAtItemIndex, unsigned options)
{
    if (!menu ||
        std::any_of(m_menus.begin(), m_menus.end(), [menu](const MenuRecord& r) { return r.menu == menu; }))
        return;
    menu->setDelegate(this);
    m_menus.push_back({menu, updateAtItemIndex, -1, options});
}

void OVBookmarkController::removeBookmarksMenuFromUpdateList(Menu* menu)
{
    const auto record =
        std::find_if(m_menus.begin(), m_menus.end(), [menu](const MenuRecord& r) { return r.menu == menu; });
    if (record == m_menus.end())
        return;
    if (menu->delegate() == this)
        menu->setDelegate(nullptr);
    m_menus.erase(record);
}

void OVBookmarkController::menuNeedsUpdate(Menu& menu)
{
    const auto record = std::find_if(m_menus.begin(), m_menus.end(),
                                     [&menu](const MenuRecord& r) { return r.menu == &menu; });
    if (record == m_menus.end())
        return;
    if (record->staticItemsAdded < 0)
        record->staticItemsAdded = 0;
    const int start = std::clamp(record->index + record->staticItemsAdded, 0, menu.numberOfItems());
    int end = start;
    while (end < menu.numberOfItems() && !menu.itemAtIndex(end)->isSeparatorItem())
        ++end;
    // From the back: only the few items after the block move each time.
    for (int index = end - 1; index >= start; --index)
        menu.removeItemAtIndex(index);
    int at = start;
    for (auto& item : bookmarkMenuItems())
        menu.insertItem(std::move(item), at++);
}

void OVBookmarkController::menuWillOpen(Menu&)
{
    m_menuInfoCache = bookmarkInfoArray();
}

void OVBookmarkController::menuDidClose(Menu&)
{
    m_menuInfoCache.reset();
}

void OVBookmarkController::menuWillHighlightItem(Menu& menu, MenuItem* item)
{
    const auto record = std::find_if(m_menus.begin(), m_menus.end(),
                                     [&menu](const MenuRecord& r) { return r.menu == &menu; });
    if (!item || !m_textView || !m_menuInfoCache || record == m_menus.end())
        return;
    // Only the bookmark items: the commands above them carry tags of their own.
    if (menu.indexOfItem(item) < record->index + std::max(0, record->staticItemsAdded))
        return;
    const qsizetype index = item->tag();
    if (index < 0 || index >= qsizetype(m_menuInfoCache->size()))
        return;
    const Range range = _rangeForBookmarkInfo((*m_menuInfoCache)[index]);
    if (range.location != kNotFound)
        m_textView->showFindIndicatorForRange(range);
}

QString OVBookmarkController::menuTitleSeparator()
{
    static const QString separator = [] {
        const QString wanted = QStringLiteral(" \u2B29 ");
        const QFontMetricsF metrics(QApplication::font("QMenu"));
        return metrics.inFontUcs4(0x2B29) ? wanted : QStringLiteral(" \u2013 ");
    }();
    return separator;
}

std::vector<std::unique_ptr<MenuItem>> OVBookmarkController::bookmarkMenuItems()
{
    std::vector<std::unique_ptr<MenuItem>> items;
    if (!m_textView)
        return items;
    TextStorage& storage = m_textView->textStorage();
    // Context names follow the text: a menu opened again over the same text finds them current.
    const TransientNamesKey key{UserDefaults::shared().boolForKey(
                                    NSMutableAttributedStringOVBookmarkAdditions::kBookmarksShowContextKey),
                                m_menuDisplayMode};
    const Range whole{0, storage.length()};
    if (m_transientNamesKey != key) {
        NSMutableAttributedStringOVBookmarkAdditions::performAction(
            storage, NSMutableAttributedStringOVBookmarkAdditions::UpdateTransientNames, whole);
        m_transientNamesKey = key;
    } else if (m_changedContext) {
        // Only the bookmarks whose context an edit reached since the last menu.
        const Range changed = m_changedContext->intersection(whole);
        if (!changed.isEmpty())
            NSMutableAttributedStringOVBookmarkAdditions::performAction(
                storage, NSMutableAttributedStringOVBookmarkAdditions::UpdateTransientNames, changed);
    }
    m_changedContext.reset();

    struct Entry {
        QString name;
        QString context;
    };
    std::vector<Entry> entries;
    forEachBookmarkCharacter(
        storage, {0, storage.length()}, [&](qsizetype, const std::shared_ptr<TextAttachment>& a) {
            const auto bookmark = NSTextAttachmentOVBookmarkAdditions::bookmark(*a);
            entries.push_back(
                {bookmark && bookmark->name() ? *bookmark->name() : QString(),
                 bookmark && bookmark->transientName() ? *bookmark->transientName() : QString()});
            return true;
        });
    if (entries.empty())
        return items;

    const bool numbered = UserDefaults::shared().boolForKey(QStringLiteral("useNumberedBookmarks"));
    const qsizetype count = qsizetype(entries.size());
    const unsigned mode = m_menuDisplayMode;
    const QString separator = mode == 1 ? QStringLiteral("\t") : menuTitleSeparator();
    const QFont base = QApplication::font("QMenu");
    QFont bold = base;
    bold.setBold(true);
    QFont context = base;
    context.setPointSizeF(std::max(1.0, base.pointSizeF() - 1));
    const bool anyName =
        std::any_of(entries.begin(), entries.end(), [](const Entry& e) { return !e.name.isEmpty(); });
    const int column =
        mode == 1 && anyName ? int(std::ceil(widestWidth(entries, bold, m_nameWidths) + 16)) : 0;

    // The fixed parts of the styled titles, made once for the whole menu.
    const QPalette palette = QApplication::palette();
    const QString label = palette.color(QPalette::WindowText).name();
    const QString secondary = palette.color(QPalette::PlaceholderText).name();
    const QString close = QStringLiteral("</span>");
    const QString nameOpen = QStringLiteral("<span style=\"font-weight:bold;color:%1\">").arg(label);
    const QString contextOpen =
        QStringLiteral("<span style=\"font-size:%1pt;color:%2\">").arg(context.pointSizeF()).arg(secondary);
    const QString numberOpen =
        QStringLiteral("<span style=\"font-weight:bold;font-family:monospace;color:%1\">").arg(label);
    const QString direction =
        QGuiApplication::layoutDirection() == Qt::RightToLeft ? QStringLiteral("rtl") : QStringLiteral("ltr");
    const QString blockOpen =
        column > 0
            ? QStringLiteral("<table dir=\"%1\" cellspacing=\"0\" cellpadding=\"0\"><tr><td width=\"%2\">")
                  .arg(direction)
                  .arg(column)
            : QStringLiteral("<div dir=\"%1\">").arg(direction);
    const QString columnBreak = QStringLiteral("</td><td>");
    const QString blockClose = column > 0 ? QStringLiteral("</td></tr></table>") : QStringLiteral("</div>");
    const QString separatorHtml = nameOpen + separator.toHtmlEscaped() + close;
    const qsizetype fixedHtmlLength = blockOpen.size() + numberOpen.size() + nameOpen.size() +
                                      contextOpen.size() + 3 * close.size() + separatorHtml.size() +
                                      columnBreak.size() + blockClose.size();

    for (qsizetype i = 0; i < count; ++i) {
        const Entry& entry = entries[i];
        auto item = std::make_unique<MenuItem>(QString(), kJumpAction, QString());
        item->setTarget(this);
        item->setTag(int(i));
        if (i < kDirectJumpCount) {
            item->setKeyEquivalent(kDigits.mid(i, 1));
            item->setKeyEquivalentModifierMask(kDirectJumpModifierMask);
        }
        if (mode == 0) {
            item->setTitle(entry.name.isEmpty() ? entry.context : entry.name);
            items.push_back(std::move(item));
            continue;
        }
        const bool both = !entry.name.isEmpty() && !entry.context.isEmpty();
        const QString number = numbered ? paddedNumber(i + 1, count) : QString();
        // In mode 2 a title never opens with the separator: it only stands between a name and a context.
        QString title;
        title.reserve(number.size() + entry.name.size() + separator.size() + entry.context.size());
        title.append(number).append(entry.name);
        if (both)
            title.append(separator);
        title.append(entry.context);
        item->setTitle(title);

        // The styled title: bold name, a smaller and lighter context, numbers in a fixed-width face.
        QString html;
        html.reserve(fixedHtmlLength + 2 * title.size());
        html.append(blockOpen);
        if (numbered)
            html.append(numberOpen).append(number).append(close);
        if (!entry.name.isEmpty())
            html.append(nameOpen).append(escaped(entry.name)).append(close);
        if (column > 0)
            html.append(columnBreak);
        else if (both)
            html.append(separatorHtml);
        html.append(contextOpen).append(escaped(entry.context)).append(close).append(blockClose);
        item->setStyledTitle(html);
        items.push_back(std::move(item));
    }
    return items;
}
