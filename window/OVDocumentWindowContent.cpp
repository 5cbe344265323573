// The exchange of text and prompter state with the document: what a read script puts into the
// window, and the copies of the script and its state that saving, exporting and printing take.
#include "window/OVDocumentWindowController.h"

#include "output/OVEnvironment.h"
#include "platform/appkit/RunLoop.h"
#include "platform/appkit/Screen.h"
#include "platform/appkit/UndoManager.h"
#include "platform/appkit/Window.h"
#include "platform/foundation/GeometryStrings.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/hvkit/NSColorHVAdditions.h"
#include "platform/text/MutableAttributedString.h"
#include "platform/text/TextStorage.h"
#include "platform/textview/TextView.h"
#include "prompter_view/OVScrollView.h"
#include "settings/OVSharedPreferencesAccess.h"
#include "text/NSMutableAttributedStringOVBookmarkAdditions.h"
#include "text/OVTextView.h"
#include "textutil/NSMutableAttributedStringHVAdditions.h"
#include "textutil/NSStringHVAdditions.h"
#include "window/OVDocumentPrompterView.h"
#include "window/OVStyleSimplifiedStorage.h"

#include <QColor>

#include <algorithm>

namespace {

const QString kPrintPanelMaximumSmallFontPointSizeKey = QStringLiteral("printPanelMaximumSmallFontPointSize");
const QString kPrintPanelMinimumSmallFontPointSizeKey = QStringLiteral("printPanelMinimumSmallFontPointSize");

bool boolDefault(const QString& key)
{
    return UserDefaults::shared().boolForKey(key);
}

QColor qColor(const Color& color)
{
    return QColor::fromRgbF(float(color.red), float(color.green), float(color.blue), float(color.alpha));
}

// The newline characters of the platform's newline set.
bool isNewline(char16_t c)
{
    return (c >= 0x0A && c <= 0x0D) || c == 0x85 || c == 0x2028 || c == 0x2029;
}

} // namespace

void OVDocumentWindowController::suspendUndo()
{
    if (m_undoSuspensions++ != 0 || !textView())
        return;
    textView()->setAllowsUndo(false);
    m_suspendedUndoManager = textView()->undoManager();
    if (m_suspendedUndoManager)
        m_suspendedUndoManager->disableUndoRegistration();
}

void OVDocumentWindowController::restoreUndo()
{
    if (m_undoSuspensions == 0 || --m_undoSuspensions != 0 || !textView())
        return;
    if (m_suspendedUndoManager)
        m_suspendedUndoManager->enableUndoRegistration();
    m_suspendedUndoManager = nullptr;
    textView()->setAllowsUndo(true);
}

void OVDocumentWindowController::setAttributedString(const AttributedString& string)
{
    window();
    MutableAttributedString text(string);
    NSMutableAttributedStringOVBookmarkAdditions::prepareBookmarksForLoading(text);
    if (boolDefault(QStringLiteral("alwaysUseAutomaticWhitespacePadding"))) {
        const Range kept = NSStringHVAdditions::rangeOfTrimmedString(text.string());
        text.deleteCharacters(Range{kept.end(), text.length() - kept.end()});
        text.deleteCharacters(Range{0, kept.location});
    }
    TextStorage& storage = textView()->textStorage();
    storage.beginEditing();
    if (text.length() > 0)
        storage.setAttributedString(std::move(text));
    else
        storage.deleteCharacters(Range{0, storage.length()});
    storage.endEditing();
    if (storage.length() == 0)
        textView()->setTypingAttributes(
            OVSharedPreferencesAccess::defaultStyleAttributes().value_or(AttributeDictionary()));
    textView()->setSelectedRange(Range{0, 0});
}

void OVDocumentWindowController::setSelectedRangesStringArray(const QStringList& ranges)
{
    window();
    const qsizetype length = textView()->textStorage().length();
    const Range whole{0, length};
    std::vector<Range> selected;
    for (const QString& text : ranges) {
        const Range range = rangeFromString(text);
        // Checked without adding location and length, which a file can make overflow.
        if (range.isWithinLength(length))
            selected.push_back(range);
        else
            qWarning("range %s is not within document range %s", qUtf8Printable(text),
                     qUtf8Printable(stringFromRange(whole)));
    }
    if (selected.empty())
        selected.push_back(Range{0, 0});
    textView()->setSelectedRanges(selected);
}

void OVDocumentWindowController::setWindowFrame(const Rect& requested)
{
    if (!(requested.size.width > 0) || !(requested.size.height > 0))
        return;
    Window* own = window();
    Rect frame = requested;
    const Size minimum = own->minSize();
    const Size maximum = own->maxSize();
    frame.size.width = std::min(std::max(frame.size.width, minimum.width), maximum.width);
    frame.size.height = std::min(std::max(frame.size.height, minimum.height), maximum.height);
    // A frame saved on a display that is gone would open the window where nobody can reach it: it
    // goes to the middle of the primary screen. Nor is a window made larger than its screen.
    const std::optional<Screen> onScreen = Screen::screenForRect(frame);
    const std::optional<Screen> screen = onScreen ? onScreen : Screen::primaryScreen();
    if (screen) {
        const Rect area = screen->visibleFrame();
        frame.size.width = std::max(std::min(frame.size.width, area.size.width), minimum.width);
        frame.size.height = std::max(std::min(frame.size.height, area.size.height), minimum.height);
        if (!onScreen)
            frame.origin = {area.origin.x + (area.size.width - frame.size.width) / 2,
                            area.origin.y + (area.size.height - frame.size.height) / 2};
    }
    own->setFrame(frame, true);
}

void OVDocumentWindowController::setPrompterPositionRatio(double ratio)
{
    window();
    m_prompterView->setPositionRatio(ratio);
}

void OVDocumentWindowController::restorePrompterPositionRatio(double ratio)
{
    window();
    m_prompterView->restorePositionRatio(ratio);
}

bool OVDocumentWindowController::setPrompterScrollbarAnchor(const OVScrollbarAnchor& anchor)
{
    window();
    // The text as loaded is the saved text, lines ending in "\n": its indexes are the anchor's.
    return m_prompterView->setLineAtTop(qsizetype(anchor.characterIndex), anchor.lineOffset);
}

void OVDocumentWindowController::setBackgroundColor(const Color& color)
{
    window();
    m_backgroundColor = color;
    textView()->setBackgroundColor(qColor(color));
}

void OVDocumentWindowController::removeUnnecessaryNewlineAtEnd()
{
    window();
    TextStorage& storage = textView()->textStorage();
    const qsizetype length = storage.length();
    if (length == 0 || !isNewline(storage.characterAtIndex(length - 1)))
        return;
    // A CR LF pair is one newline: taking its LF alone would leave a lone CR behind.
    const bool pair = length >= 2 && storage.characterAtIndex(length - 1) == u'\n' &&
                      storage.characterAtIndex(length - 2) == u'\r';
    const qsizetype count = pair ? 2 : 1;
    storage.deleteCharacters(Range{length - count, count});
}

void OVDocumentWindowController::documentLoadingFinished()
{
    // The scroller shows the restored position once the window has settled, on the next pass.
    RunLoop::main().performAfterDelay(0, this, QStringLiteral("documentLoadingFinished"), [this] {
        if (m_prompterView)
            m_prompterView->scrollView()->reflectScrolledClipView(
                m_prompterView->scrollView()->contentView());
    });
}

std::unique_ptr<MutableAttributedString> OVDocumentWindowController::coreTextViewTextStorage() const
{
    if (!textView())
        return nullptr;
    // While prompting, the text on screen may be scaled and inverted for the talent; the file gets
    // the script as written.
    const AttributedString* unadjusted = m_prompterView->unadjustedContent();
    auto copy =
        std::make_unique<MutableAttributedString>(unadjusted ? *unadjusted : textView()->textStorage());
    NSMutableAttributedStringOVBookmarkAdditions::recreateBookmarkAttachments(*copy);
    return copy;
}

std::unique_ptr<MutableAttributedString> OVDocumentWindowController::textViewTextStorage() const
{
    std::unique_ptr<MutableAttributedString> copy = coreTextViewTextStorage();
    if (!copy)
        return nullptr;
    if (NSStringHVAdditions::containsUnsupportedLineEndingStrings(copy->string()))
        NSMutableAttributedStringHVAdditions::unifyLineEndings(*copy);
    NSMutableAttributedStringOVBookmarkAdditions::prepareBookmarksForLoading(*copy);
    return copy;
}

std::unique_ptr<MutableAttributedString> OVDocumentWindowController::exportableTextStorage() const
{
    std::unique_ptr<MutableAttributedString> copy = textViewTextStorage();
    if (copy)
        NSMutableAttributedStringOVBookmarkAdditions::prepareBookmarksForSaving(*copy);
    return copy;
}

std::unique_ptr<MutableAttributedString> OVDocumentWindowController::exportableStyleSimplifiedStorage() const
{
    std::unique_ptr<MutableAttributedString> copy = exportableTextStorage();
    if (!copy)
        return nullptr;
    const UserDefaults& defaults = UserDefaults::shared();
    OVStyleSimplifiedStorage::simplify(*copy, defaults.doubleForKey(kPrintPanelMinimumSmallFontPointSizeKey),
                                       defaults.doubleForKey(kPrintPanelMaximumSmallFontPointSizeKey));
    return copy;
}

Color OVDocumentWindowController::styleSimplifiedBackgroundColor() const
{
    return NSColorHVAdditions::RGBWhiteColor();
}

std::optional<Color> OVDocumentWindowController::backgroundColor() const
{
    const TextView* text = textView();
    if (!text)
        return m_backgroundColor;
    // While prompting, the operator may see the colours inverted; the file gets the page as written.
    const QColor shown = m_prompterView->unadjustedContent() ? m_prompterView->unadjustedBackgroundColor()
                                                             : text->backgroundColor();
    // The colour as set keeps its exact components and space, as long as the view still shows it.
    if (m_backgroundColor && qColor(*m_backgroundColor) == shown)
        return m_backgroundColor;
    return Color::rgb(shown.redF(), shown.greenF(), shown.blueF(), shown.alphaF());
}

QStringList OVDocumentWindowController::selectedRangesStringArray() const
{
    QStringList strings;
    const TextView* text = textView();
    if (!text)
        return strings;
    std::vector<Range> ranges = text->selectedRanges();
    const QString& characters = text->textStorage().string();
    // The saved text ends its lines in "\n": the ranges count in that text.
    if (NSStringHVAdditions::containsUnsupportedLineEndingStrings(characters)) {
        MutableAttributedString unified(characters);
        NSMutableAttributedStringHVAdditions::unifyLineEndingsInRange(unified, Range{0, unified.length()},
                                                                      &ranges);
    }
    for (const Range& range : ranges)
        strings.append(stringFromRange(range));
    return strings;
}

std::optional<double> OVDocumentWindowController::prompterPositionRatioNumber() const
{
    if (!m_prompterView)
        return std::nullopt;
    return m_prompterView->positionRatio();
}

std::optional<OVScrollbarAnchor> OVDocumentWindowController::prompterScrollbarAnchor() const
{
    if (!m_prompterView)
        return std::nullopt;
    const auto line = m_prompterView->lineAtTop();
    if (!line)
        return std::nullopt;
    OVScrollbarAnchor anchor;
    anchor.characterIndex = line->first;
    anchor.lineOffset = line->second;
    // The saved text ends its lines in "\n": the index counts in that text.
    const QString& characters = textView()->textStorage().string();
    if (NSStringHVAdditions::containsUnsupportedLineEndingStrings(characters)) {
        MutableAttributedString unified(characters);
        std::vector<Range> ranges{Range{line->first, 0}};
        NSMutableAttributedStringHVAdditions::unifyLineEndingsInRange(unified, Range{0, unified.length()},
                                                                      &ranges);
        anchor.characterIndex = ranges.front().location;
    }
    return anchor;
}

std::optional<double> OVDocumentWindowController::prompterSpeedNumber() const
{
    return m_prompterSpeed;
}

std::optional<QString> OVDocumentWindowController::windowFrameString() const
{
    if (!isWindowLoaded())
        return std::nullopt;
    return stringFromRect(controllerWindow()->frame());
}

void OVDocumentWindowController::breakUndoCoalescing()
{
    if (TextView* text = textView())
        text->breakUndoCoalescing();
}

std::unique_ptr<OVTextView> OVDocumentWindowController::printableTextView()
{
    window();
    auto printable = std::make_unique<OVTextView>(textView()->frame());
    printable->setDisableContentNotifications(true);
    OVEnvironment::createTemporaryPromptModeEnvironmentWithPrompterContent(
        m_prompterView, Size{}, [&printable](Window&, OVPrompterView& temporary) {
            OVTextView* shown = temporary.prompterTextView();
            printable->setFrame(shown->frame());
            printable->setBackgroundColor(shown->backgroundColor());
            NSMutableAttributedStringOVBookmarkAdditions::removeAllBookmarks(shown->textStorage());
            printable->textStorage().setAttributedString(shown->textStorage());
        });
    return printable;
}
