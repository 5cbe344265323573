// The document window's editor actions: marking and unmarking with their confirmation, mark
// navigation, the bookmark control, attachment clicks, inserting pictures and removing underline
// colours. The window controller decides these itself; the rest of editing is the text view's.
#include "prompting/OVCore.h"
#include "window/OVDocumentWindowController.h"

#include "platform/appkit/Alert.h"
#include "platform/appkit/Application.h"
#include "platform/appkit/Event.h"
#include "platform/appkit/Menu.h"
#include "platform/appkit/MenuItem.h"
#include "platform/appkit/OpenPanel.h"
#include "platform/appkit/ScrollView.h"
#include "platform/appkit/ToolbarItem.h"
#include "platform/appkit/UndoManager.h"
#include "platform/foundation/FileWrapper.h"
#include "platform/foundation/ReadRegularFile.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/hvkit/HVLocalizedString.h"
#include "platform/text/AttributeNames.h"
#include "platform/text/MutableAttributedString.h"
#include "platform/text/TextAttachment.h"
#include "settings/OVSharedPreferencesAccess.h"
#include "text/NSTextAttachmentOVBookmarkAdditions.h"
#include "text/OVBookmarkCell.h"
#include "text/OVBookmarkController.h"
#include "text/OVTextView.h"
#include "window/OVDocumentPrompterView.h"
#include "window/OVDocumentWindowToolbar.h"
#include "window/OVFlashWindow.h"
#include "window/OVInsertImagesAccessoryView.h"

#include <QApplication>
#include <QCursor>
#include <QDebug>
#include <QImage>
#include <QMenu>
#include <QToolButton>

#include <optional>

namespace {

// A picture larger than this is no picture for a script; it is refused before it is read.
constexpr qint64 kMaxInsertedImageBytes = qint64(128) << 20;
const QString kMarkedTextUseFlashKey = QStringLiteral("markedTextUseFlash");
const QString kSuppressConfirmationForUnmarkKey = QStringLiteral("suppressConfirmationForUnmark");

OVDocumentWindowController::BeepHandler& beepHandler()
{
    static OVDocumentWindowController::BeepHandler handler;
    return handler;
}

QString localized(const char* key, const char* english)
{
    return HVLocalizedString::localizedString(QString::fromUtf8(key), QString::fromUtf8(english));
}

bool isMarked(const AttributeValue& value)
{
    const std::optional<double> number = value.number();
    return number && *number != 0;
}

// A picture file as one attachment character; nothing for a file that cannot be read or is no
// picture Qt can decode, since an attachment it cannot draw would show as an empty box.
std::optional<AttributedString> attributedStringWithAttachmentFromURL(const QUrl& url)
{
    Error error;
    std::optional<QByteArray> contents = readRegularFile(url, kMaxInsertedImageBytes, &error);
    if (!contents) {
        qWarning().noquote() << QStringLiteral("The picture %1 is not inserted: %2")
                                    .arg(url.toLocalFile(), error.localizedFailureReason());
        return std::nullopt;
    }
    if (QImage::fromData(*contents).isNull())
        return std::nullopt;
    std::shared_ptr<FileWrapper> wrapper = FileWrapper::makeRegularFile(std::move(*contents));
    wrapper->setFilename(url.fileName());
    wrapper->setPreferredFilename(url.fileName());
    auto attachment = std::make_shared<TextAttachment>(std::move(wrapper));
    AttributeDictionary attributes;
    attributes.insert(kAttachmentAttributeName, attachment);
    return AttributedString(QString(QChar(kAttachmentCharacter)), attributes);
}

bool isBookmarkCharacter(const TextStorage& storage, qsizetype index)
{
    if (index < 0 || index >= storage.length() || storage.characterAtIndex(index) != kAttachmentCharacter)
        return false;
    const std::shared_ptr<TextAttachment> attachment =
        storage.attributesAtIndex(index).value(kAttachmentAttributeName).attachment();
    return attachment && NSTextAttachmentOVBookmarkAdditions::isBookmark(*attachment);
}

// The bookmark an attachment stands for: its cell's, else the one its file carries.
std::shared_ptr<OVBookmark> bookmarkOfAttachment(const TextAttachment& attachment)
{
    if (auto* cell = dynamic_cast<OVBookmarkCell*>(attachment.attachmentCell().get());
        cell && cell->bookmark())
        return cell->bookmark();
    return NSTextAttachmentOVBookmarkAdditions::bookmark(attachment);
}

// A character index a menu item carries, as its represented object or its sender value.
std::optional<qlonglong> indexFromSender(const QVariant& sender)
{
    QVariant value = sender;
    if (const auto* item = sender.value<MenuItem*>())
        value = item->representedObject();
    bool ok = false;
    const qlonglong index = value.toLongLong(&ok);
    if (!ok || !value.isValid() || value.typeId() == QMetaType::QString)
        return std::nullopt;
    return index;
}

} // namespace

void OVDocumentWindowController::setBeepHandler(BeepHandler handler)
{
    beepHandler() = std::move(handler);
}

void OVDocumentWindowController::beep()
{
    if (beepHandler())
        beepHandler()();
    else
        QApplication::beep();
}

void OVDocumentWindowController::installEditorActions()
{
    auto on = [this](const char* action, std::function<void(const QVariant&)> handler) {
        setActionHandler(QString::fromLatin1(action), std::move(handler));
    };
    on("markText:", [this](const QVariant&) { markText(); });
    on("unmarkSelection:", [this](const QVariant&) { unmarkSelection(); });
    on("unmarkAll:", [this](const QVariant&) { unmarkAll(); });
    on("toggleMarkedTextVisible:", [this](const QVariant&) { toggleMarkedTextVisible(); });
    on("markNavigateNext:", [this](const QVariant&) {
        if (OVTextView* text = editorTextView())
            text->jumpToSubsequentMarkInDirection(OVTextView::MarkJumpNext, false);
    });
    on("markNavigatePrevious:", [this](const QVariant&) {
        if (OVTextView* text = editorTextView())
            text->jumpToSubsequentMarkInDirection(OVTextView::MarkJumpPrevious, false);
    });
    on("markNavigateSpecific:", [this](const QVariant& sender) { markNavigateSpecific(sender); });
    on("bookmarksControlPressed:", [this](const QVariant& sender) {
        bool ok = false;
        const int tag = sender.toInt(&ok);
        bookmarksControlPressed(ok ? tag : -1);
    });
    on("showBookmarks:", [this](const QVariant& sender) { showBookmarks(sender); });
    on("performAddBookmark:", [](const QVariant&) {
        // Naming a new bookmark is the setting's choice; Alt asks for the other way.
        const bool named = UserDefaults::shared().boolForKey(QStringLiteral("nameNewBookmarks"));
        const bool option = Menu::currentModifierFlags() & kOptionKeyMask;
        OVBookmarkController& bookmarks = OVBookmarkController::sharedBookmarkController();
        if (named != option)
            bookmarks.addBookmark();
        else
            bookmarks.addQuickBookmark();
    });
    on("removeBookmark:", [this](const QVariant&) {
        if (TextView* text = textView())
            OVBookmarkController::sharedBookmarkController().removeBookmarksInRanges(text->selectedRanges());
    });
    on("editBookmarkFromMenuItem:", [this](const QVariant& sender) { editBookmarkFromMenuItem(sender); });
    on("insertImagesFromOpenPanel:", [this](const QVariant&) { insertImagesFromOpenPanel(); });
    on("removeUnderlineColors:", [this](const QVariant&) { removeUnderlineColors(); });
}

bool OVDocumentWindowController::validateEditorAction(const UserInterfaceItem& item, bool* enabled) const
{
    const QString& action = item.action;
    const OVTextView* text = editorTextView();
    const bool editable = text && text->isEditable();
    const bool showsMarks = text && text->drawsMarkedText();
    if (action == QLatin1String("unmarkSelection:") || action == QLatin1String("unmarkAll:"))
        *enabled = editable && showsMarks;
    else if (action == QLatin1String("markNavigateNext:") ||
             action == QLatin1String("markNavigatePrevious:") ||
             action == QLatin1String("markNavigateSpecific:"))
        *enabled = showsMarks;
    else if (action == QLatin1String("removeUnderlineColors:"))
        *enabled = editable;
    else
        return false;
    return true;
}

// Marks.

void OVDocumentWindowController::markText()
{
    OVTextView* text = editorTextView();
    if (!text)
        return;
    if (UserDefaults::shared().boolForKey(kMarkedTextUseFlashKey) && m_prompterView) {
        if (!m_flashWindow) {
            m_detachedFlashWindow = OVFlashWindow::window();
            m_flashWindow = static_cast<OVFlashWindow*>(m_detachedFlashWindow.get());
            m_flashWindow->setDetachHandler(
                [this](std::unique_ptr<View> detached) { m_detachedFlashWindow = std::move(detached); });
        }
        if (m_detachedFlashWindow)
            m_prompterView->addSubview(std::move(m_detachedFlashWindow));
        m_flashWindow->setFlashColor(text->backgroundColor());
        m_flashWindow->setIntensity(kMarkFlashIntensity);
        ScrollView* scrollView = m_prompterView->scrollView();
        m_flashWindow->setFrame(scrollView->convertRectToView(scrollView->bounds(), m_prompterView));
        m_flashWindow->flash();
    }
    text->markTextInVisibleRange();
}

void OVDocumentWindowController::removeFlashWindow()
{
    if (!m_flashWindow)
        return;
    m_flashWindow->setDetachHandler({});
    if (!m_detachedFlashWindow)
        m_flashWindow->removeFromSuperview();
    m_detachedFlashWindow.reset();
    m_flashWindow = nullptr;
}

QString OVDocumentWindowController::localizedUnmarkAllTitle()
{
    return localized("marked-text-alert-title-unmark-all", "Do you want to unmark all text in the document?");
}

QString OVDocumentWindowController::localizedUnmarkSelectionTitle()
{
    return localized("marked-text-alert-title-unmark-selection",
                     "Do you want to unmark selections in the document?");
}

void OVDocumentWindowController::unmarkSelection()
{
    OVTextView* text = editorTextView();
    if (!text)
        return;
    const std::vector<Range> ranges = text->selectedRanges();
    const Range whole{0, text->textStorage().length()};
    if (ranges.size() == 1 && ranges.front() == whole) {
        unmarkAll();
        return;
    }
    // Marked stretches that touch are one mark; two marks the selection reaches with unmarked text
    // between them are what the user is asked about.
    const LayoutManager& layout = *text->layoutManager();
    std::optional<Range> stretch;
    bool separate = false;
    for (const Range& range : ranges) {
        layout.enumerateTemporaryAttribute(OVMarkedTextAttributeName, range, false,
                                           [&](const AttributeValue& value, const Range& run, bool& stop) {
                                               if (!isMarked(value))
                                                   return;
                                               Range mark;
                                               layout.temporaryAttribute(OVMarkedTextAttributeName,
                                                                         run.location, &mark, whole);
                                               if (stretch && mark != *stretch) {
                                                   separate = stop = true;
                                                   return;
                                               }
                                               stretch = mark;
                                           });
        if (separate)
            break;
    }
    if (separate)
        _confirmUnmarkTextInRanges(ranges);
    else
        text->unmarkTextInRanges(ranges);
}

void OVDocumentWindowController::unmarkAll()
{
    if (OVTextView* text = editorTextView())
        _confirmUnmarkTextInRanges({Range{0, text->textStorage().length()}});
}

void OVDocumentWindowController::_confirmUnmarkTextInRanges(const std::vector<Range>& ranges)
{
    OVTextView* text = editorTextView();
    if (!text || ranges.empty())
        return;
    UserDefaults& defaults = UserDefaults::shared();
    if (defaults.boolForKey(kSuppressConfirmationForUnmarkKey)) {
        text->unmarkTextInRanges(ranges);
        return;
    }
    const bool all = ranges.size() == 1 && ranges.front() == Range{0, text->textStorage().length()};
    std::shared_ptr<Alert> alert = Alert::alertWithTitle(
        all ? localizedUnmarkAllTitle() : localizedUnmarkSelectionTitle(),
        localized("noticeNotUndoable", "You can’t undo this action."),
        {localized("alert-button-ok", "OK"), localized("alert-button-cancel", "Cancel")});
    alert->setShowsSuppressionButton(true);
    // The sheet answers later: the ranges and the alert wait here, and the view may be gone by then.
    alert->beginSheetModalForWindow(isWindowLoaded() ? window() : nullptr, [this, alert, ranges](int code) {
        if (code != Alert::kFirstButtonReturn)
            return;
        if (OVTextView* view = editorTextView())
            view->unmarkTextInRanges(ranges);
        UserDefaults& settings = UserDefaults::shared();
        const bool suppress = alert->suppressionButtonState();
        if (suppress != settings.boolForKey(kSuppressConfirmationForUnmarkKey)) {
            settings.setBool(suppress, kSuppressConfirmationForUnmarkKey);
            Application::shared().sendAction(QStringLiteral("updateUnmarkMenuItemsForSuppressSetting"),
                                             nullptr, {});
        }
    });
}

void OVDocumentWindowController::toggleMarkedTextVisible()
{
    if (OVTextView* text = editorTextView())
        text->setDrawsMarkedText(!text->drawsMarkedText());
}

void OVDocumentWindowController::markNavigateSpecific(const QVariant& sender)
{
    const auto* item = sender.value<MenuItem*>();
    const QVariantList pair = item ? item->representedObject().toList() : sender.toList();
    OVTextView* text = editorTextView();
    if (pair.size() != 2 || !text)
        return;
    bool locationOk = false;
    bool lengthOk = false;
    const qlonglong location = pair.at(0).toLongLong(&locationOk);
    const qlonglong length = pair.at(1).toLongLong(&lengthOk);
    // The menu was built for the text as it was: a range that no longer lies inside it is stale.
    const Range range{qsizetype(location), qsizetype(length)};
    if (!locationOk || !lengthOk || !range.isWithinLength(text->textStorage().length())) {
        beep();
        return;
    }
    text->jumpToMarkAtRange(range, false);
}

// The bookmark control.

void OVDocumentWindowController::bookmarksControlPressed(int tag)
{
    switch (tag) {
    case 0:
        OVBookmarkController::sharedBookmarkController().jumpToPreviousBookmark();
        break;
    case 1:
        OVBookmarkController::sharedBookmarkController().jumpToNextBookmark();
        break;
    case 2: {
        QWidget* segment = nullptr;
        if (m_toolbar)
            if (ToolbarItem* item =
                    m_toolbar->toolbar().itemWithIdentifier(OVToolbarItemBookmarkActionsIdentifier))
                if (QWidget* view = item->view())
                    segment = view->findChild<QToolButton*>(QStringLiteral("bookmarksMenu"));
        showBookmarks(
            QVariant::fromValue(segment ? static_cast<QObject*>(segment) : static_cast<QObject*>(qApp)));
        break;
    }
    case 3:
        tryToPerform(QStringLiteral("performAddBookmark:"), {});
        break;
    default:
        qWarning("Unhandled tag");
        break;
    }
}

bool OVDocumentWindowController::isBookmarkSegmentEnabled(int tag) const
{
    if (!m_mainWindowRequiredControlsEnabled)
        return false;
    const OVBookmarkController& bookmarks = OVBookmarkController::sharedBookmarkController();
    if (tag >= 0 && tag <= 2)
        return bookmarks.hasOneBookmark();
    if (tag == 3)
        return bookmarks.canAddOrEditBookmark();
    return false;
}

void OVDocumentWindowController::_setEnableMainWindowRequiredControls(bool flag)
{
    m_mainWindowRequiredControlsEnabled = flag;
    _updateBookmarkSegmentsEnabled();
    if (QToolButton* reset = m_toolbar ? m_toolbar->timerResetButton() : nullptr)
        reset->setEnabled(flag && canResetElapsedTimer());
}

void OVDocumentWindowController::_updateBookmarkSegmentsEnabled()
{
    if (m_toolbar)
        if (ToolbarItem* item =
                m_toolbar->toolbar().itemWithIdentifier(OVToolbarItemBookmarkActionsIdentifier))
            item->validate();
}

void OVDocumentWindowController::showBookmarks(const QVariant& sender)
{
    auto* control = sender.value<QObject*>();
    if (!control) {
        qWarning("Unimplemented: showBookmarks: from %s", sender.typeName() ? sender.typeName() : "nothing");
        return;
    }
    OVBookmarkController& bookmarks = OVBookmarkController::sharedBookmarkController();
    if (!m_bookmarksSegmentMenu) {
        m_bookmarksSegmentMenu = std::make_unique<Menu>(OVBookmarkController::localizedNextBookmarkTitle());
        bookmarks.addBookmarksMenuToUpdateList(m_bookmarksSegmentMenu.get(), 0, 0);
    }
    bookmarks.menuNeedsUpdate(*m_bookmarksSegmentMenu);
    const qsizetype closest = bookmarks.indexOfClosestBookmark();
    if (closest < 0)
        return;
    auto* segment = qobject_cast<QWidget*>(control);
    const QPoint at = segment ? segment->mapToGlobal(QPoint(0, segment->height())) : QCursor::pos();
    QMenu* menu = m_bookmarksSegmentMenu->qMenu();
    menu->popup(at);
    // The menu is rebuilt as it opens: the closest bookmark is looked up among the items it shows.
    if (QAction* action = menu->actions().value(int(closest)))
        menu->setActiveAction(action);
}

void OVDocumentWindowController::editBookmarkFromMenuItem(const QVariant& sender)
{
    const std::optional<qlonglong> index = indexFromSender(sender);
    TextView* text = textView();
    // A menu built before the last edit may carry an index past the text, or one where no bookmark
    // stands any more.
    if (!index || !text || !isBookmarkCharacter(text->textStorage(), qsizetype(*index))) {
        beep();
        return;
    }
    _performAttachmentAction(0, qsizetype(*index));
}

// Attachments.

bool OVDocumentWindowController::textViewClickedOnAttachment(TextView& view, qsizetype characterIndex,
                                                             int clickCount)
{
    if (&view != textView() || characterIndex < 0 || characterIndex >= view.textStorage().length())
        return false;
    const std::shared_ptr<TextAttachment> attachment =
        view.textStorage().attributesAtIndex(characterIndex).value(kAttachmentAttributeName).attachment();
    if (!attachment)
        return false;
    const bool bookmark = NSTextAttachmentOVBookmarkAdditions::isBookmark(*attachment);
    if (clickCount == 2) {
        const bool shift = currentModifierFlags() & kShiftKeyMask;
        _performAttachmentAction(bookmark ? (shift ? 1 : 0) : 2, characterIndex);
        return true;
    }
    // A triple click selects the paragraph, as it does anywhere else.
    if (clickCount != 1)
        return false;
    view.setSelectedRange({characterIndex, 1});
    return true;
}

Menu* OVDocumentWindowController::bookmarkMenuForCharacterAtIndex(qsizetype index)
{
    TextView* text = textView();
    if (!text || !text->isEditable() || !isBookmarkCharacter(text->textStorage(), index))
        return nullptr;
    if (!m_bookmarkCellMenu) {
        m_bookmarkCellMenu = std::make_unique<Menu>();
        m_bookmarkCellMenu->addItemWithTitle(localized("bookmark-edit-bookmark-ellipsis", "Edit Bookmark…"),
                                             QStringLiteral("editBookmarkFromMenuItem:"));
        m_bookmarkCellMenu->addItemWithTitle(localized("bookmark-remove-bookmark", "Remove Bookmark"),
                                             QStringLiteral("removeBookmark:"));
    }
    for (MenuItem* item : m_bookmarkCellMenu->items()) {
        item->setTarget(this);
        item->setRepresentedObject(qlonglong(index));
    }
    return m_bookmarkCellMenu.get();
}

Menu* OVDocumentWindowController::bookmarkMenuForEvent(const Event& event)
{
    TextView* text = textView();
    if (!text || !m_core->isModeEdit() || !event.window || event.window != window())
        return nullptr;
    // The character whose glyph is under the pointer, not merely the nearest one.
    const Point inText = text->convertPointFromView(event.locationInWindow, nullptr);
    const Point origin = text->textContainerOrigin();
    const Point point{inText.x - origin.x, inText.y - origin.y};
    const qsizetype index = text->layoutManager()->glyphIndexForPoint(point);
    bool hit = false;
    if (index >= 0 && index < text->textStorage().length())
        for (const Rect& rect : text->layoutManager()->rectsForCharacterRange({index, 1}))
            hit = hit || rect.contains(point);
    Menu* menu = hit ? bookmarkMenuForCharacterAtIndex(index) : nullptr;
    // The bookmark is what the menu's commands act on.
    if (menu)
        text->setSelectedRange({index, 1});
    return menu;
}

void OVDocumentWindowController::rightMouseDown(Event& event)
{
    Menu* menu = bookmarkMenuForEvent(event);
    if (!menu) {
        WindowController::rightMouseDown(event);
        return;
    }
    menu->popUpContextMenu(event, textView());
}

Menu* OVDocumentWindowController::textViewMenuForEvent(TextView& view, Menu* menu, const Event& event)
{
    if (&view != textView())
        return menu;
    Menu* bookmark = bookmarkMenuForEvent(event);
    return bookmark ? bookmark : menu;
}

void OVDocumentWindowController::_performAttachmentAction(int action, qsizetype index)
{
    TextView* text = textView();
    if (!text || !isBookmarkCharacter(text->textStorage(), index))
        return;
    TextStorage& storage = text->textStorage();
    const std::shared_ptr<TextAttachment> attachment =
        storage.attributesAtIndex(index).value(kAttachmentAttributeName).attachment();
    const std::shared_ptr<OVBookmark> bookmark = bookmarkOfAttachment(*attachment);
    if (!bookmark)
        return;
    if (action == 0) {
        text->setSelectedRange({index, 0});
        OVBookmarkController::sharedBookmarkController().editBookmark(bookmark);
        return;
    }
    qsizetype end = storage.length();
    for (qsizetype next = index + 1; next < storage.length(); ++next) {
        if (isBookmarkCharacter(storage, next)) {
            end = next;
            break;
        }
    }
    text->setSelectedRange({index, end - index});
    text->scrollRangeToVisible({index, 0});
}

// Pictures.

void OVDocumentWindowController::insertImagesFromOpenPanel()
{
    if (!textView())
        return;
    auto panel = std::make_shared<OpenPanel>();
    panel->setTitle(localized("document-window-insert-images", "Insert Images"));
    panel->setPrompt(localized("document-window-insert-images-button", "Insert"));
    panel->setCanChooseFiles(true);
    panel->setCanChooseDirectories(false);
    panel->setAllowsMultipleSelection(true);
    panel->setAllowedExtensions({QStringLiteral("png"), QStringLiteral("tif"), QStringLiteral("tiff"),
                                 QStringLiteral("jpg"), QStringLiteral("jpeg")});
    panel->setAccessoryView(std::make_unique<OVInsertImagesAccessoryView>());
    panel->beginSheetModalForWindow(isWindowLoaded() ? window() : nullptr, [this, panel](int response) {
        if (response != SavePanel::kModalResponseOK)
            return;
        const auto* accessory = static_cast<const OVInsertImagesAccessoryView*>(panel->accessoryView());
        const QList<QUrl> sorted = OVInsertImagesAccessoryView::sortedURLs(
            panel->URLs(), accessory->selectedTagOfPopUp(OVInsertImagesAccessoryView::kSortKeyTag),
            accessory->selectedTagOfPopUp(OVInsertImagesAccessoryView::kOrderTag) == 0);
        _insertAttachmentURLs(sorted, accessory->separationString());
    });
}

bool OVDocumentWindowController::_insertAttachmentURLs(const QList<QUrl>& urls, const QString& separation)
{
    TextView* text = textView();
    if (!text || urls.isEmpty())
        return false;
    const QString separator = separation.isEmpty() ? QStringLiteral("\n") : separation;
    MutableAttributedString pictures;
    int inserted = 0;
    for (const QUrl& url : urls) {
        const std::optional<AttributedString> picture = attributedStringWithAttachmentFromURL(url);
        if (!picture)
            continue;
        // Separators go between the pictures that are inserted, so a file skipped at the end leaves
        // no separator dangling after the last picture.
        if (inserted > 0)
            pictures.append(separator, {});
        pictures.append(*picture);
        ++inserted;
    }
    if (inserted == 0) {
        beep();
        return false;
    }
    if (const std::optional<AttributeDictionary> style = OVSharedPreferencesAccess::defaultStyleAttributes();
        style && !style->isEmpty())
        pictures.addAttributes(*style, {0, pictures.length()});
    const qsizetype at = text->selectedRanges().back().end();
    if (!text->shouldChangeTextInRange({at, 0}, pictures.string()))
        return false;
    text->replaceCharactersInRange({at, 0}, pictures);
    text->setSelectedRange({at + pictures.length(), 0});
    text->scrollRangeToVisible(text->selectedRange());
    UndoManager* undo = text->undoManager();
    if (text->allowsUndo() && undo && undo->isUndoRegistrationEnabled())
        undo->setActionName(inserted == 1 ? localized("document-window-insert-image", "Insert Image")
                                          : localized("document-window-insert-images", "Insert Images"));
    text->didChangeText();
    return true;
}

// Underline colours.

void OVDocumentWindowController::removeUnderlineColors()
{
    TextView* text = textView();
    if (!text)
        return;
    const Range whole{0, text->textStorage().length()};
    if (!text->shouldChangeTextInRange(whole, QString()))
        return;
    text->textStorage().removeAttribute(kUnderlineColorAttributeName, whole);
    UndoManager* undo = text->undoManager();
    if (text->allowsUndo() && undo && undo->isUndoRegistrationEnabled())
        undo->setActionName(localized("document-window-remove-underline-colors", "Remove Underline Colors"));
    text->didChangeText();
}
