// The rich-text view's default style: the user's stored style laid over the whole text or the
// selection, keeping what a script's look depends on (bold and italic, colours that read, highlights,
// alignment), and the page colour with its undo.
#include "text/OVTextView.h"

#include "platform/appkit/UndoManager.h"
#include "platform/hvkit/HVLocalizedString.h"
#include "platform/text/AttributeNames.h"
#include "platform/text/DocumentAttributes.h"
#include "settings/OVSharedPreferencesAccess.h"

#include <QColor>

#include <algorithm>
#include <cmath>
#include <optional>
#include <utility>
#include <vector>

namespace {

// Grey, black and white: the three channels equal to the nearest 8-bit step.
bool isGrayscale(const Color& color)
{
    if (color.isGray())
        return true;
    constexpr double kStep = 1.0 / 255.0;
    return std::abs(color.red - color.green) <= kStep && std::abs(color.green - color.blue) <= kStep &&
           std::abs(color.red - color.blue) <= kStep;
}

bool isColorful(const AttributeValue& value)
{
    const Color* color = value.color();
    return color && !isGrayscale(*color);
}

double linearChannel(double component)
{
    const double c = std::clamp(component, 0.0, 1.0);
    return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
}

double relativeLuminance(const Color& color)
{
    return 0.2126 * linearChannel(color.red) + 0.7152 * linearChannel(color.green) +
           0.0722 * linearChannel(color.blue);
}

// A design choice of ours: two colours read against each other when their WCAG 2 contrast ratio is
// at least 3:1, the bar for large text, which prompter text always is.
bool isContrastReadable(const Color& color, const Color& other)
{
    const double a = relativeLuminance(color);
    const double b = relativeLuminance(other);
    return (std::max(a, b) + 0.05) / (std::min(a, b) + 0.05) >= 3.0;
}

bool isBoldFont(const Font& font)
{
    return font.bold || font.fontName.contains(QLatin1String("Bold"));
}

bool isItalicFont(const Font& font)
{
    return font.italic || font.fontName.contains(QLatin1String("Italic")) ||
           font.fontName.contains(QLatin1String("Oblique"));
}

// The face of font's family with the given traits. A face name that spells other traits would
// override the flags, so a changed font is named by its family alone.
Font fontConvertedToTraits(const Font& font, bool bold, bool italic)
{
    if (isBoldFont(font) == bold && isItalicFont(font) == italic)
        return font;
    Font converted = font;
    const QString family =
        font.familyName.isEmpty() ? font.fontName.section(QLatin1Char('-'), 0, 0) : font.familyName;
    converted.familyName = family;
    converted.fontName = family;
    converted.bold = bold;
    converted.italic = italic;
    return converted;
}

Color colorFromQColor(const QColor& color)
{
    return Color::rgb(color.redF(), color.greenF(), color.blueF(), color.alphaF());
}

QColor qColorFromColor(const Color& color)
{
    return QColor::fromRgbF(float(color.red), float(color.green), float(color.blue), float(color.alpha));
}

} // namespace

QString OVTextView::localizedApplyDefaultStyleString()
{
    return HVLocalizedString::localizedString(QStringLiteral("text-action-apply-default-style"),
                                              QStringLiteral("Apply Default Style"));
}

QString OVTextView::localizedApplyDefaultStyleWithoutBackgroundString()
{
    return HVLocalizedString::localizedString(QStringLiteral("text-action-apply-default-style-to-selection"),
                                              QStringLiteral("Apply Default Style to Selection"));
}

void OVTextView::applyDefaultStyle()
{
    _applyDefaultStyleAndBackgroundColor(true);
}

void OVTextView::applyDefaultStyleWithoutBackground()
{
    _applyDefaultStyleAndBackgroundColor(false);
}

UndoManager* OVTextView::_contentAdjustmentUndoManager()
{
    return allowsUndo() && isEditable() ? undoManager() : nullptr;
}

void OVTextView::_setUndoableBackgroundColor(const std::optional<Color>& requested, bool setUndoActionName)
{
    Color color = Color::rgb(0, 0, 0);
    if (requested) {
        color = *requested;
    } else if (const auto style = OVSharedPreferencesAccess::defaultStyleAttributesWithDocumentAttributes()) {
        const AttributeValue* fromStyle = style->find(NSBackgroundColorDocumentAttribute);
        if (fromStyle && fromStyle->color())
            color = *fromStyle->color();
    }
    const QColor next = qColorFromColor(color);
    if (next == backgroundColor())
        return;
    UndoManager* undo = _contentAdjustmentUndoManager();
    if (undo && undo->isUndoRegistrationEnabled() && !m_didAddUndoAction) {
        const Color previous = colorFromQColor(backgroundColor());
        undo->registerUndo(this, [this, previous, setUndoActionName] {
            _setUndoableBackgroundColor(previous, setUndoActionName);
        });
        if (setUndoActionName)
            undo->setActionName(HVLocalizedString::localizedString(
                QStringLiteral("text-action-set-background-color"), QStringLiteral("Set Background Color")));
        _scheduleResetDidAddUndoAction();
    }
    setBackgroundColor(next);
}

void OVTextView::_applyDefaultStyleAndBackgroundColor(bool withBackground)
{
    const std::vector<Range> selection = selectedRanges();
    if (!withBackground && selection.size() == 1 && selection.front().length == 0) {
        beep();
        return;
    }
    // Without a usable stored style there is nothing to apply: stripping the text to bare
    // attributes would lose its look for no style at all.
    const std::optional<AttributeDictionary> styleWithDocument =
        OVSharedPreferencesAccess::defaultStyleAttributesWithDocumentAttributes();
    const std::optional<AttributeDictionary> style = OVSharedPreferencesAccess::defaultStyleAttributes();
    if (!style || !styleWithDocument) {
        beep();
        return;
    }

    TextStorage& storage = textStorage();
    const Range wholeText{0, storage.length()};
    const bool whole = withBackground || (selection.size() == 1 && selection.front() == wholeText);
    const std::vector<Range> ranges = whole ? std::vector<Range>{wholeText} : selection;
    qsizetype total = 0;
    for (const Range& range : ranges)
        total += range.length;

    UndoManager* undo = _contentAdjustmentUndoManager();
    const bool grouping = undo && undo->isUndoRegistrationEnabled();
    if (grouping)
        undo->beginUndoGrouping();
    if (!shouldChangeTextInRanges(ranges, {})) {
        if (grouping)
            undo->endUndoGrouping();
        return;
    }
    const AttributeValue documentBackground = styleWithDocument->value(NSBackgroundColorDocumentAttribute);
    const std::optional<Color> pageBackground =
        documentBackground.color() ? std::optional<Color>(*documentBackground.color()) : std::nullopt;
    if (whole)
        _setUndoableBackgroundColor(pageBackground, false);

    const AttributeValue defaultFont = style->value(kFontAttributeName);
    const AttributeValue defaultForeground = style->value(kForegroundColorAttributeName);
    const AttributeValue defaultHighlight = style->value(kBackgroundColorAttributeName);
    const AttributeValue defaultUnderline = style->value(kUnderlineStyleAttributeName);
    const AttributeValue defaultStrikethrough = style->value(kStrikethroughStyleAttributeName);
    const AttributeValue styleParagraph = style->value(kParagraphStyleAttributeName);
    const ParagraphStyle defaultParagraph =
        styleParagraph.paragraphStyle() ? *styleParagraph.paragraphStyle() : ParagraphStyle{};
    const Color pageColor = pageBackground.value_or(Color::rgb(1, 1, 1));
    // A highlight is judged against the default highlight; without one it lies on the page.
    const Color highlightReference = defaultHighlight.color() ? *defaultHighlight.color() : pageColor;

    qsizetype colorfulText = 0;
    qsizetype colorfulHighlights = 0;
    qsizetype differentAlignment = 0;
    for (const Range& range : ranges) {
        const auto measure = [&](const AttributeDictionary& attributes, const Range& run, bool&) {
            if (isColorful(attributes.value(kForegroundColorAttributeName)))
                colorfulText += run.length;
            if (isColorful(attributes.value(kBackgroundColorAttributeName)))
                colorfulHighlights += run.length;
            const AttributeValue value = attributes.value(kParagraphStyleAttributeName);
            const ParagraphStyle* paragraph = value.paragraphStyle();
            const TextAlignment alignment = paragraph ? paragraph->alignment : ParagraphStyle{}.alignment;
            if (alignment != defaultParagraph.alignment)
                differentAlignment += run.length;
        };
        storage.enumerateAttributes(range, 0, measure);
    }
    const bool keepAlignment = total >= 2 * differentAlignment;
    const bool keepColorfulText = total >= 2 * colorfulText;
    const bool keepHighlights = total >= 2 * colorfulHighlights;

    // Each run's new attributes follow from its old ones alone, so the whole text is restyled in one
    // pass over its runs.
    const auto restyle = [&](AttributeDictionary& attributes) {
        const AttributeDictionary old = std::exchange(attributes, AttributeDictionary());
        const AttributeValue oldFont = old.value(kFontAttributeName);
        const AttributeValue oldForeground = old.value(kForegroundColorAttributeName);
        const AttributeValue oldHighlight = old.value(kBackgroundColorAttributeName);
        if (const Font* font = defaultFont.font()) {
            const Font* existing = oldFont.font();
            const bool bold = existing && isBoldFont(*existing);
            const bool italic = existing && isItalicFont(*existing);
            attributes.insert(kFontAttributeName,
                              existing ? fontConvertedToTraits(*font, bold, italic) : *font);
        }
        attributes.insert(kForegroundColorAttributeName, defaultForeground);
        if (keepColorfulText && oldForeground.color()) {
            // Grey text keeps its colour where it sits on a highlight chosen to be read on.
            const Color* highlight = oldHighlight.color();
            if (isColorful(oldForeground) || (highlight && isContrastReadable(*highlight, pageColor)))
                attributes.insert(kForegroundColorAttributeName, oldForeground);
        }
        attributes.insert(kBackgroundColorAttributeName, defaultHighlight);
        if (const Color* highlight = oldHighlight.color();
            keepHighlights && highlight && isContrastReadable(*highlight, highlightReference))
            attributes.insert(kBackgroundColorAttributeName, oldHighlight);
        attributes.insert(kUnderlineStyleAttributeName, defaultUnderline);
        const AttributeValue underline = old.value(kUnderlineStyleAttributeName);
        if (underline.integer() != 0)
            attributes.insert(kUnderlineStyleAttributeName, underline);
        attributes.insert(kStrikethroughStyleAttributeName, defaultStrikethrough);
        if (const AttributeValue strikethrough = old.value(kStrikethroughStyleAttributeName);
            strikethrough.integer() != 0)
            attributes.insert(kStrikethroughStyleAttributeName, strikethrough);
        attributes.insert(kAttachmentAttributeName, old.value(kAttachmentAttributeName));
        ParagraphStyle paragraph = defaultParagraph;
        const AttributeValue oldParagraph = old.value(kParagraphStyleAttributeName);
        if (const ParagraphStyle* existing = oldParagraph.paragraphStyle()) {
            paragraph.baseWritingDirection = existing->baseWritingDirection;
            if (keepAlignment)
                paragraph.alignment = existing->alignment;
        }
        attributes.insert(kParagraphStyleAttributeName, paragraph);
    };
    storage.beginEditing();
    for (const Range& range : ranges)
        storage.changeAttributesInRange(range, restyle);
    storage.endEditing();

    setTypingAttributes(*style);
    if (grouping)
        undo->setActionName(whole ? localizedApplyDefaultStyleString()
                                  : localizedApplyDefaultStyleWithoutBackgroundString());
    didChangeText();
    if (grouping)
        undo->endUndoGrouping();
}
