// The rich-text view's restyling commands: colours with coalesced undo, colour inversion of the
// document or the selection, and text size. Kept apart from the view's editing and event handling;
// the attributed-string work itself is done by the model's additions.
#include "text/OVTextView.h"

#include "platform/appkit/ClipView.h"
#include "platform/appkit/ColorPanel.h"
#include "platform/appkit/Event.h"
#include "platform/appkit/EventTranslation.h"
#include "platform/appkit/MenuItem.h"
#include "platform/appkit/RunLoop.h"
#include "platform/appkit/ScrollView.h"
#include "platform/appkit/UndoManager.h"
#include "platform/appkit/Window.h"
#include "platform/hvkit/HVLocalizedString.h"
#include "platform/hvkit/NSColorHVAdditions.h"
#include "platform/text/AttributeNames.h"
#include "platform/text/DocumentAttributes.h"
#include "settings/OVSharedPreferencesAccess.h"
#include "textutil/NSMutableAttributedStringOVColorInversion.h"
#include "textutil/NSMutableAttributedStringOVTextSize.h"

#include <QApplication>
#include <QColor>
#include <QDebug>

#include <cmath>
#include <utility>

namespace {

namespace Additions = NSMutableAttributedStringOVBookmarkAdditions;

std::function<unsigned long()>& modifierFlagsProvider()
{
    static std::function<unsigned long()> provider;
    return provider;
}

unsigned long modifierFlags()
{
    return modifierFlagsProvider() ? modifierFlagsProvider()() : currentModifierFlags();
}

std::function<void()>& beeper()
{
    static std::function<void()> handler;
    return handler;
}

QString localized(const char* key, const char* english)
{
    return HVLocalizedString::localizedString(QString::fromLatin1(key), QString::fromUtf8(english));
}

Color colorFromQColor(const QColor& color)
{
    return Color::rgb(color.redF(), color.greenF(), color.blueF(), color.alphaF());
}

QColor qColorFromColor(const Color& color)
{
    return QColor::fromRgbF(float(color.red), float(color.green), float(color.blue), float(color.alpha));
}

std::optional<Color> defaultStyleColor(const QString& name)
{
    const std::optional<AttributeDictionary> style =
        OVSharedPreferencesAccess::defaultStyleAttributesWithDocumentAttributes();
    if (!style)
        return std::nullopt;
    const AttributeValue* value = style->find(name);
    return value && value->color() ? std::optional<Color>(*value->color()) : std::nullopt;
}

// A colour a menu item or a caller hands over: a QColor, a Color or a menu item representing one;
// anything else means none (the default).
std::optional<Color> colorFromSender(const QVariant& sender)
{
    QVariant value = sender;
    if (MenuItem* item = sender.value<MenuItem*>())
        value = item->representedObject();
    if (value.canConvert<QColor>() && value.value<QColor>().isValid())
        return colorFromQColor(value.value<QColor>());
    return std::nullopt;
}

unsigned maskFromSender(const QVariant& sender)
{
    if (MenuItem* item = sender.value<MenuItem*>())
        return unsigned(item->tag());
    bool ok = false;
    const int mask = sender.toInt(&ok);
    return ok ? unsigned(mask) : 0;
}

// Text without a colour of its own shows black; giving it black first makes it invert with the rest.
void blackenUncolouredText(MutableAttributedString& string, const std::vector<Range>& ranges)
{
    const Color black = NSColorHVAdditions::RGBBlackColor();
    for (const Range& range : ranges)
        string.changeAttributesInRange(range, [&black](AttributeDictionary& attributes) {
            if (!attributes.contains(kForegroundColorAttributeName))
                attributes.insert(kForegroundColorAttributeName, black);
        });
}

bool carriesColorOverWholeRange(const AttributedString& string, const QString& name, const Range& range,
                                const std::optional<Color>& color)
{
    if (range.isEmpty())
        return true;
    Range longest;
    const AttributeValue value = string.attribute(name, range.location, &longest, range);
    if (!longest.contains(range))
        return false;
    if (!color)
        return value.isNull();
    return value.color() && *value.color() == *color;
}

// Each font of ranges (attachments left out) once, with the font a size change makes of it. Scaling
// maps fonts one to one, so undo can map each back and restore the old sizes exactly.
std::vector<std::pair<Font, Font>> scaledFonts(const AttributedString& string,
                                               const std::vector<Range>& ranges, double factor, double size)
{
    std::vector<std::pair<Font, Font>> fonts;
    for (const Range& range : Additions::_rangeValueArrayIgnoringAttachments(string, ranges))
        string.enumerateAttribute(
            kFontAttributeName, range, 0, [&](const AttributeValue& value, const Range&, bool&) {
                const Font* font = value.font();
                if (!font)
                    return;
                for (const auto& known : fonts)
                    if (known.first == *font)
                        return;
                fonts.emplace_back(*font, font->withPointSize(font->pointSize * factor + size));
            });
    return fonts;
}

} // namespace

void OVTextView::setModifierFlagsProvider(std::function<unsigned long()> provider)
{
    modifierFlagsProvider() = std::move(provider);
}

void OVTextView::setBeeper(std::function<void()> handler)
{
    beeper() = std::move(handler);
}

void OVTextView::beep()
{
    if (beeper())
        beeper()();
    else
        QApplication::beep();
}

void OVTextView::registerStyleActions()
{
    auto canRestyle = [this](const UserInterfaceItem&) { return isEditable() && isRichText(); };
    auto canRestyleSelection = [this](const UserInterfaceItem&) { return isSelectable() && isRichText(); };
    setActionHandler(
        QStringLiteral("increaseTextSize:"), [this](const QVariant&) { increaseTextSize(); }, canRestyle);
    setActionHandler(
        QStringLiteral("decreaseTextSize:"), [this](const QVariant&) { decreaseTextSize(); }, canRestyle);
    setActionHandler(
        QStringLiteral("invert2DocumentBlackAndWhite:"),
        [this](const QVariant&) { newInvertColors(false, true, {}); }, canRestyle);
    setActionHandler(
        QStringLiteral("invert2DocumentAllColors:"),
        [this](const QVariant&) { newInvertColors(true, true, {}); }, canRestyle);
    setActionHandler(
        QStringLiteral("invert2SelectionBlackAndWhite:"),
        [this](const QVariant&) { newInvertColors(false, false, selectedRanges()); }, canRestyleSelection);
    setActionHandler(
        QStringLiteral("invert2SelectionAllColors:"),
        [this](const QVariant&) { newInvertColors(true, false, selectedRanges()); }, canRestyleSelection);
    // Until the colour panel hands colours over, a sender carrying a colour chooses one; a sender
    // carrying none resets to the default style's.
    setActionHandler(
        QStringLiteral("setUndoableTextColor:"),
        [this](const QVariant& sender) { setUndoableTextColor(colorFromSender(sender)); }, canRestyle);
    setActionHandler(
        QStringLiteral("setUndoableHighlightColor:"),
        [this](const QVariant& sender) { setUndoableHighlightColor(colorFromSender(sender)); }, canRestyle);
    setActionHandler(
        QStringLiteral("setUndoableBackgroundColor:"),
        [this](const QVariant& sender) { setUndoableBackgroundColor(colorFromSender(sender)); }, canRestyle);
    setActionHandler(
        QStringLiteral("resetColorForColorPanelOption:"),
        [this](const QVariant& sender) { resetColorForColorPanelOption(maskFromSender(sender)); },
        canRestyle);
    setActionHandler(ColorPanel::kChangeColorAction, [this](const QVariant& sender) { changeColor(sender); });
}

// The colour panel.

void OVTextView::changeColor(const QVariant& sender)
{
    // Only the panel's own changes, and none that showing this view's colour in it caused.
    if (!ColorPanel::isSender(sender) || m_colorPanelSuppression > 0 || !isEditable() || !isRichText())
        return;
    const QColor chosen = ColorPanel::shared().color();
    if (!chosen.isValid())
        return;
    const QColor rgb = chosen.toRgb();
    const Color color = Color::rgb(rgb.redF(), rgb.greenF(), rgb.blueF(), rgb.alphaF());
    switch (selectedColorPanelOption()) {
    case HighlightColorOption:
        setUndoableHighlightColor(color);
        setAllowsHighlightColorPassthrough(true);
        break;
    case BackgroundColorOption:
        setUndoableBackgroundColor(color);
        break;
    default:
        setUndoableTextColor(color);
        break;
    }
}

void OVTextView::updateColorPanelColorForSelectedOption()
{
    if (!ColorPanel::sharedColorPanelExists() || !isRichText())
        return;
    const Window* host = window();
    if (!host || !(host->isKeyWindow() || host->isMainWindow()))
        return;
    const unsigned option = selectedColorPanelOption();
    // The colour at the selection: the typing colour while the user can type, else that of the
    // character the selection starts at (the one before an empty selection).
    const auto colorAtSelection = [this](const QString& name) -> std::optional<Color> {
        if (isSelectable()) {
            if (const AttributeValue* typed = typingAttributes().find(name); typed && typed->color())
                return *typed->color();
        }
        const qsizetype length = textStorage().length();
        const Range selected = selectedRange();
        qsizetype index = selected.location;
        if (selected.length == 0 && index > 0)
            --index;
        if (index >= 0 && index < length) {
            const AttributeValue value = textStorage().attribute(name, index);
            if (const Color* color = value.color())
                return *color;
        }
        return std::nullopt;
    };
    std::optional<Color> color;
    if (option == TextColorOption) {
        color = colorAtSelection(kForegroundColorAttributeName);
        if (!color)
            color = defaultStyleColor(kForegroundColorAttributeName);
    } else if (option == HighlightColorOption) {
        color = colorAtSelection(kBackgroundColorAttributeName);
    }
    QColor shown = color ? qColorFromColor(*color) : QColor();
    if (!shown.isValid())
        shown = backgroundColor();
    if (shown.isValid() && shown != ColorPanel::shared().color()) {
        ++m_colorPanelSuppression;
        ColorPanel::shared().setColor(shown);
        --m_colorPanelSuppression;
    }
}

// Colours.

void OVTextView::_scheduleResetDidAddUndoAction()
{
    m_didAddUndoAction = true;
    RunLoop::postToMainThread([this, alive = std::weak_ptr<int>(m_alive)] {
        const auto reset = [this, alive] {
            if (!alive.expired())
                m_didAddUndoAction = false;
        };
        // A drag across the colour panel delivers a colour per mouse move, each in a pass of its
        // own: the step stays open until the button is let go, so the drag undoes as one.
        if (ColorPanel::sharedColorPanelExists())
            ColorPanel::shared().performAfterTracking(reset);
        else
            reset();
    });
}

void OVTextView::setUndoableBackgroundColor(const std::optional<Color>& color)
{
    _setUndoableBackgroundColor(color, true);
}

void OVTextView::setUndoableTextColor(const std::optional<Color>& color)
{
    const Color chosen =
        color
            ? *color
            : defaultStyleColor(kForegroundColorAttributeName).value_or(NSColorHVAdditions::RGBWhiteColor());
    _setUndoableColor(chosen, kForegroundColorAttributeName);
}

void OVTextView::setUndoableHighlightColor(const std::optional<Color>& color)
{
    std::optional<Color> chosen = color ? color : defaultStyleColor(kBackgroundColorAttributeName);
    if (modifierFlags() & kShiftKeyMask)
        chosen.reset();
    _setUndoableColor(chosen, kBackgroundColorAttributeName);
}

bool OVTextView::__isAttributeInvalid(const QString& attributeName, const char* selector) const
{
    if (attributeName == kForegroundColorAttributeName || attributeName == kBackgroundColorAttributeName)
        return false;
    qWarning().noquote()
        << QStringLiteral("%1 unsupported attribute (%2)").arg(QString::fromLatin1(selector), attributeName);
    return true;
}

void OVTextView::_configureUndoManagerActionNameForAttributeName(const QString& attributeName)
{
    UndoManager* undo = _contentAdjustmentUndoManager();
    if (!undo)
        return;
    if (attributeName == kForegroundColorAttributeName) {
        undo->setActionName(localized("text-action-text-color", "Text Color"));
    } else if (attributeName == kBackgroundColorAttributeName) {
        undo->setActionName(localized("text-action-highlight-color", "Highlight Color"));
    } else {
        __isAttributeInvalid(attributeName, "-[OVTextView _configureUndoManagerActionNameForAttributeName:]");
        undo->setActionName(QString());
    }
}

void OVTextView::__setTypingAttributes(const AttributeDictionary& attributes, const QString& attributeName,
                                       bool handleUndo)
{
    UndoManager* undo = _contentAdjustmentUndoManager();
    if (handleUndo && undo && undo->isUndoRegistrationEnabled()) {
        const AttributeDictionary previous = typingAttributes();
        undo->registerUndo(
            this, [this, previous, attributeName] { __setTypingAttributes(previous, attributeName, true); });
        _configureUndoManagerActionNameForAttributeName(attributeName);
    }
    setTypingAttributes(attributes);
}

void OVTextView::_setUndoableColor(const std::optional<Color>& color, const QString& attributeName)
{
    if (__isAttributeInvalid(attributeName, "-[OVTextView __isAttributeInvalid:selector:]"))
        return;
    AttributeDictionary typing = typingAttributes();
    typing.insert(attributeName, color ? AttributeValue(*color) : AttributeValue());
    const std::vector<Range> ranges = selectedRanges();
    if (ranges.size() == 1 && ranges.front().length == 0) {
        if (typing == typingAttributes())
            return;
        // At a caret too a drag across the colour panel is one step.
        const bool registers = !m_didAddUndoAction;
        __setTypingAttributes(typing, attributeName, registers);
        if (registers && _contentAdjustmentUndoManager())
            _scheduleResetDidAddUndoAction();
        return;
    }
    TextStorage& storage = textStorage();
    bool carried = true;
    for (const Range& range : ranges)
        carried = carried && carriesColorOverWholeRange(storage, attributeName, range, color);
    if (carried)
        return;
    UndoManager* undo = _contentAdjustmentUndoManager();
    const bool registers = undo && undo->isUndoRegistrationEnabled() && !m_didAddUndoAction;
    if (registers && !shouldChangeTextInRanges(ranges, {}))
        return;
    storage.beginEditing();
    for (const Range& range : ranges) {
        if (color)
            storage.addAttribute(attributeName, *color, range);
        else
            storage.removeAttribute(attributeName, range);
    }
    storage.endEditing();
    __setTypingAttributes(typing, attributeName, false);
    if (!registers)
        return;
    _configureUndoManagerActionNameForAttributeName(attributeName);
    didChangeText();
    setNeedsDisplay(true);
    _scheduleResetDidAddUndoAction();
}

void OVTextView::resetColorForColorPanelOption(unsigned mask)
{
    UndoManager* undo = _contentAdjustmentUndoManager();
    const unsigned options = mask & 7;
    const bool several = (options & (options - 1)) != 0;
    const bool grouping = several && undo && undo->isUndoRegistrationEnabled();
    if (grouping)
        undo->beginUndoGrouping();
    // One edit for all of them, so a copy of the text that replays edits hears one.
    textStorage().beginEditing();
    // Each reset registers its own part of the one step: the coalescing of colour changes within a
    // pass would otherwise leave the second and third reset out of the undo.
    auto reset = [&](unsigned option, const std::function<void()>& change) {
        if (!(options & option))
            return;
        if (grouping)
            m_didAddUndoAction = false;
        change();
    };
    reset(ColorPanelBackgroundColor, [this] { setUndoableBackgroundColor(std::nullopt); });
    reset(ColorPanelHighlightColor, [this] {
        // A reset restores the default highlight whatever keys are held.
        _setUndoableColor(defaultStyleColor(kBackgroundColorAttributeName), kBackgroundColorAttributeName);
    });
    reset(ColorPanelTextColor, [this] { setUndoableTextColor(std::nullopt); });
    textStorage().endEditing();
    if (grouping) {
        undo->setActionName(localized("text-action-reset-colors", "Reset Colors"));
        undo->endUndoGrouping();
        _scheduleResetDidAddUndoAction();
    }
}

// Inversion.

void OVTextView::postInversionNotification(const QString& name, bool blackAndWhiteOnly)
{
    if (disableContentNotifications())
        return;
    NotificationCenter::shared().postNotification(
        {name, this, QVariantMap{{OVTextViewInvertsBlackAndWhiteOnlyKey, blackAndWhiteOnly}}});
}

void OVTextView::invertTypingAttributes(bool blackAndWhiteOnly)
{
    AttributeDictionary typing = typingAttributes();
    for (const QString& name : colorAttributeNames()) {
        const AttributeValue value = typing.value(name);
        const Color* color = value.color();
        if (color && (!blackAndWhiteOnly || NSColorHVAdditions::isGrayscale(*color)))
            typing.insert(name, NSColorHVAdditions::inverseColor(*color));
    }
    m_typingHandlerSuspended = true;
    setTypingAttributes(typing);
    m_typingHandlerSuspended = false;
}

void OVTextView::invertPageColor(bool blackAndWhiteOnly)
{
    const Color page = colorFromQColor(backgroundColor());
    if (blackAndWhiteOnly && !NSColorHVAdditions::isGrayscale(page))
        return;
    const QColor inverted = qColorFromColor(NSColorHVAdditions::inverseColor(page));
    setBackgroundColor(inverted);
    if (ScrollView* scrollView = enclosingScrollView())
        if (ClipView* clip = scrollView->contentView(); clip && clip->drawsBackground())
            clip->setBackgroundColor(inverted);
}

void OVTextView::invertColors()
{
    _invertColors(Additions::invertsBlackAndWhiteOnly());
}

void OVTextView::invertColorsIgnoringModifiers()
{
    _invertColors(Additions::invertsBlackAndWhiteOnlyByDefault());
}

void OVTextView::_invertColors(bool blackAndWhiteOnly)
{
    postInversionNotification(OVTextViewWillInvertColorsNotification, blackAndWhiteOnly);
    TextStorage& storage = textStorage();
    storage.beginEditing();
    blackenUncolouredText(storage, {{0, storage.length()}});
    Additions::_invertColors(storage, blackAndWhiteOnly);
    storage.endEditing();
    invertTypingAttributes(blackAndWhiteOnly);
    invertPageColor(blackAndWhiteOnly);
    UndoManager* undo = _contentAdjustmentUndoManager();
    if (undo && undo->isUndoRegistrationEnabled()) {
        undo->registerUndo(this, [this, blackAndWhiteOnly] { _invertColors(blackAndWhiteOnly); });
        undo->setActionName(
            blackAndWhiteOnly
                ? localized("text-action-swap-black-and-white-colors", "Swap Black and White Colors")
                : localized("text-action-invert-all-colors", "Invert All Colors"));
    }
    postInversionNotification(OVTextViewDidInvertColorsNotification, blackAndWhiteOnly);
}

void OVTextView::newInvertColors(bool allColors, bool affectDocument, const std::vector<Range>& ranges)
{
    const bool blackAndWhiteOnly = !allColors;
    TextStorage& storage = textStorage();
    const std::vector<Range> targets = affectDocument ? std::vector<Range>{{0, storage.length()}} : ranges;
    UndoManager* undo = _contentAdjustmentUndoManager();
    if (!affectDocument) {
        // The command undoes itself by running again: the view's own snapshot of the selection
        // would undo it a second time.
        if (undo)
            undo->disableUndoRegistration();
        const bool allowed = shouldChangeTextInRanges(targets, {});
        if (undo)
            undo->enableUndoRegistration();
        if (!allowed)
            return;
    }
    postInversionNotification(OVTextViewWillInvertColorsNotification, blackAndWhiteOnly);
    const Color page = colorFromQColor(backgroundColor());
    storage.beginEditing();
    blackenUncolouredText(storage, targets);
    if (affectDocument)
        Additions::invertBlackAndWhiteOnly(storage, blackAndWhiteOnly, {}, std::nullopt);
    else
        Additions::invertBlackAndWhiteOnly(storage, blackAndWhiteOnly, targets, page);
    storage.endEditing();
    if (!affectDocument)
        didChangeText();

    AttributeDictionary typing = typingAttributes();
    if (!typing.contains(kBackgroundColorAttributeName)) {
        typing.insert(kBackgroundColorAttributeName, page);
        m_typingHandlerSuspended = true;
        setTypingAttributes(typing);
        m_typingHandlerSuspended = false;
    }
    invertTypingAttributes(blackAndWhiteOnly);
    typing = typingAttributes();
    const AttributeValue typedHighlight = typing.value(kBackgroundColorAttributeName);
    if (typedHighlight.color() && NSColorHVAdditions::isEqualToColor(*typedHighlight.color(), page, 0)) {
        typing.remove(kBackgroundColorAttributeName);
        m_typingHandlerSuspended = true;
        setTypingAttributes(typing);
        m_typingHandlerSuspended = false;
    }
    if (affectDocument)
        invertPageColor(blackAndWhiteOnly);

    if (undo && undo->isUndoRegistrationEnabled()) {
        undo->registerUndo(this, [this, allColors, affectDocument, ranges] {
            newInvertColors(allColors, affectDocument, ranges);
        });
        undo->setActionName(allColors
                                ? localized("text-action-invert-all-colors", "Invert All Colors")
                                : localized("text-action-invert-black-and-white", "Invert Black and White"));
    }
    postInversionNotification(OVTextViewDidInvertColorsNotification, blackAndWhiteOnly);
}

// Text size.

void OVTextView::increaseTextSize()
{
    adjustTextSizeByFactor(1.0, kTextSizeStep, selectedRanges(), 0);
}

void OVTextView::decreaseTextSize()
{
    adjustTextSizeByFactor(1.0, -kTextSizeStep, selectedRanges(), 0);
}

void OVTextView::adjustTextSizeByFactor(double factor, double size)
{
    adjustTextSizeByFactor(factor, size, selectedRanges());
}

void OVTextView::adjustTextSizeByFactor(double factor, double size, const std::vector<Range>& selected)
{
    adjustTextSizeByFactor(factor, size, selected, 0);
}

void OVTextView::adjustTextSizeByFactor(double factor, double size, const std::vector<Range>& selected,
                                        unsigned options)
{
    if (options == 0)
        options = TextSizeSelectRanges | TextSizeKeepVisibleRange;
    if ((options & TextSizeSelectRanges) && (options & TextSizeKeepSelection))
        return;
    TextStorage& storage = textStorage();
    std::vector<Range> ranges = selected;
    if (!isSelectable() && ranges.size() == 1 && ranges.front().length == 0)
        ranges = {{0, storage.length()}};
    // A factor that is no positive number could only give sizes of nothing or less, and its undo
    // would divide by zero.
    if (!std::isfinite(factor) || !std::isfinite(size) || factor <= 0 ||
        Additions::smallestAvailableFontSizeInRanges(storage, ranges) * factor + size <
            Additions::kMinimumFontSize) {
        beep();
        return;
    }
    if ((options & TextSizeSelectRanges) && isSelectable() && ranges != selectedRanges())
        setSelectedRanges(ranges);
    const std::optional<Range> visible =
        (options & TextSizeKeepVisibleRange) ? std::optional<Range>(visibleCharacterRange()) : std::nullopt;

    // The fonts as they were, so that undo restores them exactly instead of scaling back.
    std::vector<std::pair<Font, Font>> fonts = scaledFonts(storage, ranges, factor, size);
    const bool changed = Additions::adjustTextSizeByFactor(storage, factor, size, ranges);
    if (!changed)
        fonts.clear();

    if (visible && visible->location != kNotFound) {
        const Range shown = visible->intersection({0, storage.length()});
        scrollRangeToVisible(shown);
        NotificationCenter::shared().postNotification(
            {OVTextViewDidScrollForTextSizeChangeNotification, this,
             QVariantMap{{OVTextViewDisplayRange,
                          QVariantList{qlonglong(shown.location), qlonglong(shown.length)}}}});
    }
    const AttributeDictionary previousTyping = typingAttributes();
    if (isEditable()) {
        const AttributeValue typed = previousTyping.value(kFontAttributeName);
        if (const Font* font = typed.font(); font && std::isfinite(font->pointSize * factor + size) &&
                                             font->pointSize * factor + size >= Additions::kMinimumFontSize) {
            AttributeDictionary typing = previousTyping;
            typing.insert(kFontAttributeName, font->withPointSize(font->pointSize * factor + size));
            m_typingHandlerSuspended = true;
            setTypingAttributes(typing);
            m_typingHandlerSuspended = false;
        }
    }
    UndoManager* undo = _contentAdjustmentUndoManager();
    if (!undo || !undo->isUndoRegistrationEnabled() || (!changed && previousTyping == typingAttributes()))
        return;
    undo->registerUndo(this, [this, fonts = std::move(fonts), previousTyping, factor, size, ranges, options] {
        TextStorage& text = textStorage();
        const auto restore = [&fonts](AttributeDictionary& attributes) {
            const AttributeValue* value = attributes.find(kFontAttributeName);
            if (!value || !value->font() || attributes.contains(kAttachmentAttributeName))
                return;
            for (const auto& [old, scaled] : fonts) {
                if (scaled == *value->font()) {
                    attributes.insert(kFontAttributeName, old);
                    return;
                }
            }
        };
        if (!fonts.empty()) {
            text.beginEditing();
            for (const Range& range : ranges)
                text.changeAttributesInRange(range.intersection({0, text.length()}), restore);
            text.endEditing();
        }
        m_typingHandlerSuspended = true;
        setTypingAttributes(previousTyping);
        m_typingHandlerSuspended = false;
        if (UndoManager* manager = _contentAdjustmentUndoManager())
            manager->registerUndo(this, [this, factor, size, ranges, options] {
                adjustTextSizeByFactor(factor, size, ranges, options);
            });
    });
    undo->setActionName(localized("text-action-resize-text", "Resize Text"));
}
