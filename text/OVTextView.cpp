// The rich-text view: set-up and settings, the edit processing that keeps a script to the attributes
// it supports, the caret and selection colours, and the events and commands it handles itself.
#include "text/OVTextView.h"

#include "platform/appkit/Application.h"
#include "platform/appkit/Event.h"
#include "platform/appkit/Menu.h"
#include "platform/appkit/MenuItem.h"
#include "platform/appkit/ScrollView.h"
#include "platform/appkit/Window.h"
#include "platform/foundation/FileWrapper.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/hvkit/HVEventBlocker.h"
#include "platform/text/AttributeNames.h"
#include "platform/text/TextAttachment.h"
#include "settings/OVConstants.h"
#include "settings/OVSharedPreferencesAccess.h"
#include "text/NSTextAttachmentOVBookmarkAdditions.h"
#include "text/OVLayoutManager.h"
#include "textutil/NSMutableAttributedStringOVTextSize.h"

#include <QApplication>
#include <QFileInfo>
#include <QWidget>

#include <algorithm>
#include <cmath>
#include <limits>
#include <utility>
#include <vector>

namespace {

const QString kEditingAlwaysNormalizeParagraphIndentsKey =
    QStringLiteral("editingAlwaysNormalizeParagraphIndents");
const QString kPreventUnderlineColorsKey = QStringLiteral("preventUnderlineColors");
const QString kLogTrackedIssuesKey = QStringLiteral("logTrackedIssues");
const QString kScrollWheelBehaviorTagKey = QStringLiteral("scrollWheelBehaviorTag");
const QString kImageType = QStringLiteral("public.image");
const QString kPlatformImageType = QStringLiteral("public.png");

OVTextView::LoggerFactory& loggerFactory()
{
    static OVTextView::LoggerFactory factory;
    return factory;
}

OVTextView::ActionSender& actionSender()
{
    static OVTextView::ActionSender sender;
    return sender;
}

std::function<OVTextView::PromptState()>& promptStateProvider()
{
    static std::function<OVTextView::PromptState()> provider;
    return provider;
}

// Extensions of the picture types the platform's image type covers. A PDF is a document, not a
// picture, and is replaced like any other file.
const QSet<QString>& imageExtensions()
{
    static const QSet<QString> extensions{"png",  "jpg", "jpeg", "jpe",  "gif",  "tif",
                                          "tiff", "bmp", "heic", "heif", "webp", "ico",
                                          "icns", "psd", "tga",  "jp2",  "pict", "pct"};
    return extensions;
}

bool isClearColor(const AttributeValue& value)
{
    const Color* color = value.color();
    return color && color->alpha <= 0.0;
}

double luminance(const QColor& color)
{
    return 0.2126 * color.redF() + 0.7152 * color.greenF() + 0.0722 * color.blueF();
}

QVariantMap userInfoForEdit(const TextStorage& storage)
{
    return {{QStringLiteral("editedMask"), storage.editedMask()},
            {QStringLiteral("editedRange"), QVariantList{qlonglong(storage.editedRange().location),
                                                         qlonglong(storage.editedRange().length)}},
            {QStringLiteral("changeInLength"), qlonglong(storage.changeInLength())}};
}

bool usesDefaultIndents(const ParagraphStyle& style)
{
    return style.firstLineHeadIndent == 0 && style.headIndent == 0 && style.tailIndent == 0;
}

ParagraphStyle withDefaultIndents(ParagraphStyle style)
{
    style.firstLineHeadIndent = 0;
    style.headIndent = 0;
    style.tailIndent = 0;
    return style;
}

} // namespace

void OVTextView::setTextTransactionLoggerFactory(LoggerFactory factory)
{
    loggerFactory() = std::move(factory);
}

void OVTextView::setActionSender(ActionSender sender)
{
    actionSender() = std::move(sender);
}

void OVTextView::setPromptStateProvider(std::function<PromptState()> provider)
{
    promptStateProvider() = std::move(provider);
}

OVTextView::PromptState OVTextView::promptState()
{
    // Without a provider the view is a plain editor: never prompting.
    if (promptStateProvider())
        return promptStateProvider()();
    return {false, true, false};
}

int OVTextView::speedStepsForWheelDelta(double compatibleDeltaY)
{
    if (!std::isfinite(compatibleDeltaY))
        return 0;
    const double d = compatibleDeltaY / 10.0;
    if (d < 0)
        return -std::max(1, int(std::min(double(OVTextView::kMaxSpeedStepsPerEvent), std::floor(-d / 2.0))));
    if (d > 0)
        return std::max(1, int(std::min(double(OVTextView::kMaxSpeedStepsPerEvent), std::ceil(d / 2.0))));
    return 0;
}

double OVTextView::compatibleScrollingDeltaY(const Event& event)
{
    // The classic delta follows the hand, whatever "natural" scrolling the system applies.
    const double deltaY =
        event.isDirectionInvertedFromDevice ? -event.scrollingDeltaY : event.scrollingDeltaY;
    return event.hasPreciseScrollingDeltas ? deltaY : deltaY * kCompatibleDeltaPerNotch;
}

bool OVTextView::filenameExtensionIsValidForTypes(const QString& filename, const QSet<QString>& types)
{
    const QString extension = QFileInfo(filename).suffix().toLower();
    if (extension.isEmpty())
        return false;
    if (types.contains(kImageType) && imageExtensions().contains(extension))
        return true;
    if (types.contains(kPlatformImageType) && extension == QLatin1String("png"))
        return true;
    return false;
}

const QSet<QString>& OVTextView::colorAttributeNames()
{
    static const QSet<QString> names{kForegroundColorAttributeName, kBackgroundColorAttributeName,
                                     kStrokeColorAttributeName, kUnderlineColorAttributeName,
                                     kStrikethroughColorAttributeName};
    return names;
}

OVTextView::OVTextView(const Rect& frame) : TextView(frame, std::make_shared<OVLayoutManager>())
{
    setMinSize({400, 300});
    setVerticallyResizable(true);
    setAutoresizingMask(WidthSizable);
    configureForEditing(true);
    setRichText(true);
    setDrawsBackground(true);
    m_permittedAttachmentUTIs = {kPlatformImageType, kImageType};
    m_disabledAttributes = {kShadowAttributeName, kLinkAttributeName, kToolTipAttributeName};
    readDefaults();
    setPreparesContent(true);

    m_observedStorage = layoutManager()->textStorage();
    m_willProcessToken = layoutManager()->textStorage()->addObserver(
        TextStorage::Phase::WillProcessEditing,
        [this](TextStorage& storage, const TextStorageEdit&) { willProcessEditing(storage); });
    NotificationCenter& center = NotificationCenter::shared();
    m_observers.emplace_back(
        center, QStringLiteral("OVPreferencesGeneralDidChangeNormalizeParagraphIndentNotification"), nullptr,
        [this](const Notification&) {
            setAlwaysNormalizeParagraphIndents(
                UserDefaults::shared().boolForKey(kEditingAlwaysNormalizeParagraphIndentsKey));
        });
    m_observers.emplace_back(center, OVPreferencesGeneralMarkedTextColorDidChangeNotification, nullptr,
                             [this](const Notification&) {
                                 if (isMarkedTextVisibleInViewport())
                                     setNeedsDisplay(true);
                             });
    m_observers.emplace_back(
        center, QStringLiteral("OVPreferencesGeneralDidChangePreventUnderlineColorsNotification"), nullptr,
        [this](const Notification&) {
            setPreventUnderlineColors(UserDefaults::shared().boolForKey(kPreventUnderlineColorsKey));
        });
    updateInsertionPointColor();
    updateSelectedTextAttributes();
    registerStyleActions();
}

OVTextView::~OVTextView()
{
    if (const std::shared_ptr<TextStorage> storage = m_observedStorage.lock())
        storage->removeObserver(m_willProcessToken);
}

void OVTextView::readDefaults()
{
    const UserDefaults& defaults = UserDefaults::shared();
    m_alwaysNormalizeParagraphIndents = defaults.boolForKey(kEditingAlwaysNormalizeParagraphIndentsKey);
    m_preventUnderlineColors = defaults.boolForKey(kPreventUnderlineColorsKey);
}

void OVTextView::configureForEditing(bool flag)
{
    setSelectable(flag);
    setEditable(flag);
    setAllowsUndo(flag);
    setUsesRuler(flag);
    // An editor draws straight from the layout.
    if (flag)
        setComposesFromBands(false);
}

void OVTextView::setAlwaysNormalizeParagraphIndents(bool flag)
{
    m_alwaysNormalizeParagraphIndents = flag;
    if (flag)
        normalizeParagraphIndents();
    // The indent handles come and go with the setting.
    updateRuler();
}

void OVTextView::setPreventUnderlineColors(bool flag)
{
    m_preventUnderlineColors = flag;
    if (flag && textStorage().length() > 0)
        textStorage().removeAttribute(kUnderlineColorAttributeName, {0, textStorage().length()});
}

void OVTextView::setAllowsHighlightColorPassthrough(bool flag)
{
    if (flag == m_allowsHighlightColorPassthrough)
        return;
    m_allowsHighlightColorPassthrough = flag;
    updateSelectedTextAttributes();
    NotificationCenter::shared().postNotification(
        OVTextViewDidChangeAllowsHighlightColorPassthroughNotification, this);
}

void OVTextView::normalizeParagraphIndents()
{
    normalizeParagraphIndentsInRange({0, textStorage().length()});
}

void OVTextView::normalizeParagraphIndentsInRange(const Range& range)
{
    TextStorage& storage = textStorage();
    if (range.location < 0 || range.length < 0 || range.location + range.length > storage.length())
        return;
    NSMutableAttributedStringOVBookmarkAdditions::normalizeParagraphIndentsInRange(storage, range);
    const AttributeValue typingStyle = typingAttributes().value(kParagraphStyleAttributeName);
    const ParagraphStyle* typing = typingStyle.paragraphStyle();
    if (typing && !usesDefaultIndents(*typing)) {
        AttributeDictionary attributes = typingAttributes();
        attributes.insert(kParagraphStyleAttributeName, withDefaultIndents(*typing));
        m_typingHandlerSuspended = true;
        TextView::setTypingAttributes(attributes);
        m_typingHandlerSuspended = false;
    }
}

void OVTextView::stripUnsupportedAttributes()
{
    stripUnsupportedAttributesInRange({0, textStorage().length()});
}

void OVTextView::stripUnsupportedAttributesInRange(const Range& requested)
{
    TextStorage& storage = textStorage();
    const qsizetype start = std::clamp<qsizetype>(requested.location, 0, storage.length());
    const qsizetype end =
        std::clamp<qsizetype>(requested.location + requested.length, start, storage.length());
    const Range range{start, end - start};
    if (range.length == 0)
        return;

    struct AttributeChange {
        QString name;
        AttributeValue value;
        Range range;
    };
    std::vector<Range> attachmentsToReplace;
    std::vector<AttributeChange> toRemove;
    std::vector<AttributeChange> toAdd;
    // Run by run as stored, without joining equal neighbours first: each change is made to every
    // character it names either way, and a whole script just opened is walked once instead of twice.
    storage.enumerateAttributes(
        range, AttributedString::EnumerationLongestEffectiveRangeNotRequired,
        [&](const AttributeDictionary& attributes, const Range& run, bool&) {
            for (const auto& [name, value] : attributes) {
                if (name == kAttachmentAttributeName) {
                    const std::shared_ptr<TextAttachment> attachment = value.attachment();
                    if (attachment && NSTextAttachmentOVBookmarkAdditions::isBookmark(*attachment))
                        continue;
                    const QString filename = attachment && attachment->fileWrapper()
                                                 ? attachment->fileWrapper()->preferredFilename()
                                                 : QString();
                    if (!filenameExtensionIsValidForTypes(filename, m_permittedAttachmentUTIs))
                        attachmentsToReplace.push_back(run);
                } else if (name == kParagraphStyleAttributeName) {
                    const ParagraphStyle* style = value.paragraphStyle();
                    if (style && style->lineBreakMode != LineBreakMode::WordWrapping) {
                        ParagraphStyle wrapped = *style;
                        wrapped.lineBreakMode = LineBreakMode::WordWrapping;
                        toAdd.push_back({name, wrapped, run});
                    }
                } else if (isClearColor(value) && colorAttributeNames().contains(name)) {
                    toRemove.push_back({name, {}, run});
                }
                if (m_disabledAttributes.contains(name))
                    toRemove.push_back({name, {}, run});
            }
        });

    storage.beginEditing();
    // Each character of an attachment run becomes its own blank, so the text keeps its length and
    // the attribute changes collected above still land on their characters.
    const std::optional<AttributeDictionary> defaults = OVSharedPreferencesAccess::defaultStyleAttributes();
    for (auto it = attachmentsToReplace.rbegin(); it != attachmentsToReplace.rend(); ++it) {
        for (qsizetype index = it->location + it->length - 1; index >= it->location; --index) {
            AttributeDictionary attributes;
            if (index > 0)
                attributes = storage.attributesAtIndex(index - 1);
            attributes.remove(kAttachmentAttributeName);
            const AttributeValue fontValue = attributes.value(kFontAttributeName);
            const AttributeValue cocoaFontValue =
                OVConstants::defaultCocoaTextAttributes().value(kFontAttributeName);
            const Font* font = fontValue.font();
            const Font* cocoaFont = cocoaFontValue.font();
            if (attributes.isEmpty() || !font || (cocoaFont && *font == *cocoaFont))
                attributes = defaults.value_or(AttributeDictionary{});
            storage.replaceCharacters({index, 1}, QStringLiteral(" "), attributes);
        }
    }
    for (const AttributeChange& change : toRemove)
        storage.removeAttribute(change.name, change.range);
    for (const AttributeChange& change : toAdd)
        storage.addAttribute(change.name, change.value, change.range);
    storage.endEditing();
}

void OVTextView::willProcessEditing(TextStorage& storage)
{
    if (!isEditable() || &storage != &textStorage())
        return;
    const bool logTrackedIssues = UserDefaults::shared().boolForKey(kLogTrackedIssuesKey);
    if (logTrackedIssues && !m_logger && loggerFactory())
        m_logger = loggerFactory()(*this);
    const Range edited = storage.editedRange();
    const QVariantMap userInfo = userInfoForEdit(storage);
    if (m_logger) {
        m_logger->beginLog(*this, edited, storage.changeInLength(), storage.editedMask());
        m_logger->logBeginSanitizeTextStorageLength(storage.length());
    }
    if (edited.location >= 0 && edited.location != kNotFound) {
        if (m_alwaysNormalizeParagraphIndents)
            normalizeParagraphIndentsInRange(edited);
        stripUnsupportedAttributesInRange(edited);
        if (m_preventUnderlineColors) {
            const qsizetype end = std::min(storage.length(), edited.location + edited.length);
            // Looked for first: taking it out rewrites every run of the range, which for a whole
            // script just opened (and almost never carrying one) is a long wait for nothing.
            bool carried = false;
            if (end > edited.location)
                storage.enumerateAttribute(kUnderlineColorAttributeName,
                                           {edited.location, end - edited.location},
                                           AttributedString::EnumerationLongestEffectiveRangeNotRequired,
                                           [&carried](const AttributeValue& value, const Range&, bool& stop) {
                                               carried = stop = !value.isNull();
                                           });
            if (carried)
                storage.removeAttribute(kUnderlineColorAttributeName,
                                        {edited.location, end - edited.location});
        }
        dropMarksForEdit(storage, edited);
    }
    if (m_logger)
        m_logger->logEndSanitizeTextStorageLength(storage.length());
    if (!m_disableContentNotifications) {
        QVariantMap info = userInfo;
        if (logTrackedIssues && m_logger)
            info.insert(OVTextTransactionLoggerUserInfoKey, QVariant::fromValue(quintptr(m_logger.get())));
        NotificationCenter::shared().postNotification(
            {OVTextViewDidProcessEditingNotification, &storage, info});
    }
}

void OVTextView::mouseDown(Event& event)
{
    const PromptState state = promptState();
    if (event.clickCount == 2 && m_drawsMarkedText && isEditable() && !state.prompt && !state.changingMode &&
        (OVSharedPreferencesAccess::markedTextOptions() & 4)) {
        const Point point = convertPointFromView(event.locationInWindow, nullptr);
        const Point origin = textContainerOrigin();
        unmarkTextAtIndex(layoutManager()->characterIndexForPoint({point.x - origin.x, point.y - origin.y}));
    }
    TextView::mouseDown(event);
}

void OVTextView::setBackgroundColor(const QColor& color)
{
    TextView::setBackgroundColor(color);
    updateInsertionPointColor();
    updateSelectedTextAttributes();
    if (!m_disableContentNotifications)
        NotificationCenter::shared().postNotification(OVTextViewDidChangeBackgroundColorNotification, this);
}

void OVTextView::setTypingAttributes(const AttributeDictionary& attributes)
{
    m_preTypingAttributes = typingAttributes();
    AttributeDictionary next = attributes;
    if (!m_typingHandlerSuspended && isEditable() && next.contains(kAttachmentAttributeName)) {
        // Next to a picture the typing attributes would take up the picture itself: what was typed
        // before comes back key by key, and the attachment never stays, or typing would repeat it.
        AttributeDictionary merged = next;
        if (m_preTypingAttributes)
            merged.insert(*m_preTypingAttributes);
        merged.remove(kAttachmentAttributeName);
        next = merged;
    }
    TextView::setTypingAttributes(next);
    updateInsertionPointColor();
}

void OVTextView::setSelectedRanges(std::vector<Range> ranges, bool stillSelecting)
{
    setAllowsHighlightColorPassthrough(false);
    TextView::setSelectedRanges(std::move(ranges), stillSelecting);
    updateInsertionPointColor();
}

void OVTextView::updateInsertionPointColor()
{
    QColor reference = backgroundColor();
    const AttributeValue typedValue = typingAttributes().value(kBackgroundColorAttributeName);
    if (const Color* typed = typedValue.color(); typed && typed->alpha > 0)
        reference = QColor::fromRgbF(float(typed->red), float(typed->green), float(typed->blue));
    const QColor caret = luminance(reference) < 0.5 ? QColor(Qt::white) : QColor(Qt::black);
    if (caret != insertionPointColor())
        setInsertionPointColor(caret);
}

void OVTextView::updateSelectedTextAttributes()
{
    // The selection must stay visible on any background: the usual light blue on light ones, a
    // lighter shade of a dark one, and a muted blue where black has no lighter shade. With the
    // highlight pass-through on, no selection background hides a highlight just set.
    const QColor background = backgroundColor();
    QColor selection(Qt::transparent);
    if (!m_allowsHighlightColorPassthrough && background.isValid()) {
        if (luminance(background) >= 0.5)
            selection = QColor(0xB3, 0xD7, 0xFF);
        else if (background.value() < 20)
            selection = QColor(0x3F, 0x63, 0x8B);
        else
            selection = background.lighter(220);
    }
    if (selection != selectedTextBackgroundColor())
        setSelectedTextBackgroundColor(selection);
}

bool OVTextView::handledEventSelector(const QString& selector, Event& event, int insetRegion, ClipView*)
{
    if (selector.isEmpty() || insetRegion == 0)
        return false;
    const bool wheel = event.type == Event::Type::ScrollWheel || selector == QLatin1String("scrollWheel:");
    if (wheel && !promptState().prompt)
        return false;
    if (wheel)
        scrollWheel(event);
    else if (selector == QLatin1String("mouseDown:"))
        mouseDown(event);
    else if (selector == QLatin1String("mouseDragged:"))
        mouseDragged(event);
    else if (selector == QLatin1String("mouseUp:"))
        mouseUp(event);
    else
        return false;
    return true;
}

void OVTextView::scrollWheel(Event& event)
{
    ScrollView* scrollView = enclosingScrollView();
    // A view that must not move (the talent's while its window is being set up) takes no speed
    // steps from the wheel either.
    if (scrollView && scrollView->preventScrolling())
        return;
    const PromptState state = promptState();
    if (!state.prompt || state.paused) {
        if (scrollView && state.prompt)
            scrollView->scrollWheel(event);
        else
            TextView::scrollWheel(event);
        return;
    }
    const qint64 behavior = UserDefaults::shared().integerForKey(kScrollWheelBehaviorTagKey);
    if (behavior == 1) {
        if (scrollView)
            scrollView->scrollWheel(event);
    } else if (behavior == 0) {
        if (event.hasPreciseScrollingDeltas) {
            sendSpeedSteps(compatibleScrollingDeltaY(event));
        } else if (std::isfinite(event.scrollingDeltaY)) {
            // Wheel events count notches (a fraction each on high-resolution wheels): every whole
            // notch is one speed step.
            m_pendingNotches += compatibleScrollingDeltaY(event) / kCompatibleDeltaPerNotch;
            const double notches = std::trunc(m_pendingNotches);
            m_pendingNotches -= notches;
            if (notches != 0)
                sendSpeedSteps(notches * kCompatibleDeltaPerNotch);
        }
    }
}

Menu* OVTextView::menuForEvent(const Event& event)
{
    Menu* menu = TextView::menuForEvent(event);
    if (!menu || !Menu::mainMenu())
        return menu;
    std::vector<std::unique_ptr<MenuItem>> group;
    for (const char* action : {"invert2SelectionBlackAndWhite:", "invert2SelectionAllColors:", "--",
                               "applyDefaultStyleWithoutBackground:", "setSelectionAsDefaultStyle:"}) {
        if (qstrcmp(action, "--") == 0) {
            group.push_back(MenuItem::separatorItem());
            continue;
        }
        const MenuItem* original = Menu::mainMenu()->itemWithAction(QString::fromLatin1(action));
        if (!original)
            continue;
        std::unique_ptr<MenuItem> copy = original->copy();
        // To this view's chain, whichever view has the keyboard.
        for (Responder* responder = this; responder; responder = responder->nextResponder()) {
            if (responder->respondsToAction(copy->action())) {
                copy->setTarget(responder);
                break;
            }
        }
        group.push_back(std::move(copy));
    }
    // After the strike-through item where the menu has one; the desktop's has none, so at its end.
    const MenuItem* strike = menu->itemWithAction(QStringLiteral("strikethrough:"));
    if (!strike || strike->menu() != menu)
        menu->addSeparatorIfNeeded();
    int index = strike && strike->menu() == menu ? menu->indexOfItem(strike) + 1 : menu->numberOfItems();
    for (std::unique_ptr<MenuItem>& item : group)
        menu->insertItem(std::move(item), index++);
    return menu;
}

void OVTextView::sendSpeedSteps(double compatibleDeltaY)
{
    const int steps = speedStepsForWheelDelta(compatibleDeltaY);
    const QString action =
        steps < 0 ? QStringLiteral("increaseSpeedWithMaxCap:") : QStringLiteral("decreaseSpeedWithMinCap:");
    for (int i = 0; i < std::abs(steps); ++i) {
        if (actionSender())
            actionSender()(action, *this);
        else
            Application::shared().sendAction(action, nullptr, QVariant::fromValue(static_cast<void*>(this)));
    }
}

bool OVTextView::doCommandBySelector(const QString& selector)
{
    if (selector == QLatin1String("insertTabIgnoringFieldEditor:") && m_disableLists) {
        insertText(QStringLiteral("\t"));
        return true;
    }
    if (m_disableTables && selector == QLatin1String("orderFrontTablePanel:"))
        return true;
    if (m_disableLists && selector == QLatin1String("orderFrontListPanel:"))
        return true;
    if (m_disableLinks && selector == QLatin1String("orderFrontLinkPanel:"))
        return true;
    return TextView::doCommandBySelector(selector);
}

void OVTextView::toggleRuler()
{
    const HVEventBlocker& blocker = HVEventBlocker::sharedBlocker();
    if (Window* own = window(); own && (blocker.isAppBlocked() || blocker.isWindowBlocked(own->hostWidget())))
        return;
    TextView::toggleRuler();
}
