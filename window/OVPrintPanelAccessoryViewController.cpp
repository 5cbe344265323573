#include "window/OVPrintPanelAccessoryViewController.h"

#include "platform/foundation/UserDefaults.h"
#include "platform/hvkit/HVHelp.h"
#include "platform/hvkit/HVLocalizedString.h"
#include "platform/hvkit/NSColorHVAdditions.h"
#include "platform/textlayout/LayoutManager.h"
#include "text/OVTextView.h"

#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QUuid>
#include <QVBoxLayout>
#include <QWidget>

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

const QString kUsePreviewAdjustmentsKey = QStringLiteral("printPanelUsePreviewAdjustments");
const QString kRemoveImagesKey = QStringLiteral("printPanelRemoveImages");
const QString kUseSmallerFontsKey = QStringLiteral("printPanelUseSmallerFontsText");
const QString kWhiteBackgroundKey = QStringLiteral("printPanelUseWhiteBackgroundAndBlackText");
const QString kRemoveLineSpacingKey = QStringLiteral("printPanelRemoveLineSpacing");
const QString kMaximumSizeKey = QStringLiteral("printPanelMaximumSmallFontPointSize");
const QString kMinimumSizeKey = QStringLiteral("printPanelMinimumSmallFontPointSize");
const QString kMagnificationKey = QStringLiteral("contentTextMagnificationFactor");
const QString kInvertKey = QStringLiteral("contentInvertTextAndBackgroundColor");
const QString kMagnificationNotification =
    QStringLiteral("OVPreviewPanelDidChangeTextMagnificationFactorNotification");
const QString kInvertNotification = QStringLiteral("OVPreviewPanelDidChangeInvertColorsNotification");
constexpr double kDefaultMaximumSize = 13.0;
constexpr double kDefaultMinimumSize = 10.0;

QString localized(const char* key, const char* english)
{
    return HVLocalizedString::localizedString(QString::fromLatin1(key), QString::fromUtf8(english));
}

QString stateName(bool on)
{
    return on ? HVLocalizedString::stateOn() : HVLocalizedString::stateOff();
}

std::vector<Range> runsOf(const AttributedString& text, const QString& name)
{
    std::vector<Range> ranges;
    text.enumerateAttribute(name, Range{0, text.length()}, 0,
                            [&ranges](const AttributeValue& value, const Range& range, bool&) {
                                if (!value.isNull())
                                    ranges.push_back(range);
                            });
    return ranges;
}

void removeImages(MutableAttributedString& text)
{
    const std::vector<Range> attachments = runsOf(text, kAttachmentAttributeName);
    // Last to first, so the ranges still to delete stay where they were found.
    for (auto it = attachments.rbegin(); it != attachments.rend(); ++it)
        text.deleteCharacters(*it);
}

void mapFontSizes(MutableAttributedString& text, double minimum, double maximum)
{
    double smallest = std::numeric_limits<double>::max();
    double largest = std::numeric_limits<double>::lowest();
    std::vector<std::pair<Range, Font>> runs;
    text.enumerateAttribute(kFontAttributeName, Range{0, text.length()}, 0,
                            [&](const AttributeValue& value, const Range& range, bool&) {
                                const Font* font = value.font();
                                if (!font || !std::isfinite(font->pointSize))
                                    return;
                                smallest = std::min(smallest, font->pointSize);
                                largest = std::max(largest, font->pointSize);
                                runs.emplace_back(range, *font);
                            });
    if (runs.empty())
        return;
    const double span = std::max(0.001, largest - smallest);
    const double base = largest == smallest ? maximum : minimum;
    for (const auto& [range, font] : runs) {
        const double weight = (font.pointSize - smallest) / span;
        text.addAttribute(kFontAttributeName, font.withPointSize(weight * maximum + (1 - weight) * base),
                          range);
    }
}

void useBlackText(MutableAttributedString& text)
{
    const Color black = NSColorHVAdditions::RGBBlackColor();
    for (const QString& name : {kForegroundColorAttributeName, kStrokeColorAttributeName,
                                kUnderlineColorAttributeName, kStrikethroughColorAttributeName}) {
        std::vector<Range> colored;
        text.enumerateAttribute(name, Range{0, text.length()}, 0,
                                [&](const AttributeValue& value, const Range& range, bool&) {
                                    if (value.color() && !(*value.color() == black))
                                        colored.push_back(range);
                                });
        for (const Range& range : colored)
            text.addAttribute(name, black, range);
    }
    for (const Range& range : runsOf(text, kBackgroundColorAttributeName))
        text.removeAttribute(kBackgroundColorAttributeName, range);
}

void plainParagraphs(MutableAttributedString& text)
{
    std::vector<std::pair<Range, ParagraphStyle>> styles;
    text.enumerateAttribute(kParagraphStyleAttributeName, Range{0, text.length()}, 0,
                            [&](const AttributeValue& value, const Range& range, bool&) {
                                if (const ParagraphStyle* style = value.paragraphStyle()) {
                                    ParagraphStyle plain;
                                    plain.alignment = style->alignment;
                                    plain.baseWritingDirection = style->baseWritingDirection;
                                    plain.tabStops = style->tabStops;
                                    styles.emplace_back(range, plain);
                                }
                            });
    for (const auto& [range, style] : styles)
        text.addAttribute(kParagraphStyleAttributeName, style, range);
}

} // namespace

PlistDictionary OVPrintPanelAccessoryViewController::initialDefaultsDictionary()
{
    PlistDictionary defaults;
    defaults.insert(kUsePreviewAdjustmentsKey, false);
    defaults.insert(kRemoveImagesKey, true);
    defaults.insert(kUseSmallerFontsKey, true);
    defaults.insert(kWhiteBackgroundKey, true);
    defaults.insert(kRemoveLineSpacingKey, true);
    // The small-font band is registered with the document window, whose simplified export shares it.
    return defaults;
}

std::pair<double, double> OVPrintPanelAccessoryViewController::smallFontPointSizeRange()
{
    const UserDefaults& defaults = UserDefaults::shared();
    auto size = [&defaults](const QString& key, double registered) {
        const PlistValue value = defaults.objectForKey(key);
        const double size = value.isNumber() ? value.toDouble() : registered;
        return std::isfinite(size) && size > 0 ? size : registered;
    };
    double minimum = size(kMinimumSizeKey, kDefaultMinimumSize);
    double maximum = size(kMaximumSizeKey, kDefaultMaximumSize);
    if (maximum < minimum)
        std::swap(minimum, maximum);
    return {minimum, maximum};
}

OVPrintPanelAccessoryViewController::OVPrintPanelAccessoryViewController(OVTextView* textView)
    : m_textView(textView)
{
    if (m_textView) {
        m_originalAttributedString = MutableAttributedString(m_textView->textStorage());
        m_originalBackgroundColor = m_textView->backgroundColor();
    }
    const UserDefaults& defaults = UserDefaults::shared();
    m_usePreviewPanelContentAdjustments = defaults.boolForKey(kUsePreviewAdjustmentsKey);
    m_removeImagesFromDocument = defaults.boolForKey(kRemoveImagesKey);
    m_useSmallerFonts = defaults.boolForKey(kUseSmallerFontsKey);
    m_useWhiteBackgroundAndBlackText = defaults.boolForKey(kWhiteBackgroundKey);
    m_removeLineSpacing = defaults.boolForKey(kRemoveLineSpacingKey);
    // The preview panel's choices are tracked for the option that would use them; the printed text
    // does not use them yet.
    NotificationCenter& center = NotificationCenter::shared();
    m_observers.emplace_back(center, kMagnificationNotification, nullptr, [this](const Notification& note) {
        m_previewPanelMagnification =
            note.userInfo.value(kMagnificationKey, m_previewPanelMagnification).toDouble();
        _updateTextView();
    });
    m_observers.emplace_back(center, kInvertNotification, nullptr, [this](const Notification& note) {
        m_previewPanelInversion = note.userInfo.value(kInvertKey, m_previewPanelInversion).toBool();
        _updateTextView();
    });
    m_previewPanelMagnification = defaults.doubleForKey(kMagnificationKey);
    m_previewPanelInversion = defaults.boolForKey(kInvertKey);
    m_updateUUID.clear();
    _updateTextView();
}

OVPrintPanelAccessoryViewController::~OVPrintPanelAccessoryViewController()
{
    m_observers.clear();
    m_updateUUID.clear();
}

void OVPrintPanelAccessoryViewController::setUsePreviewPanelContentAdjustments(bool flag)
{
    m_usePreviewPanelContentAdjustments = flag;
    _updateTextViewAndUserDefaultsObject(flag, kUsePreviewAdjustmentsKey);
}

void OVPrintPanelAccessoryViewController::setRemoveImagesFromDocument(bool flag)
{
    m_removeImagesFromDocument = flag;
    _updateTextViewAndUserDefaultsObject(flag, kRemoveImagesKey);
}

void OVPrintPanelAccessoryViewController::setUseSmallerFonts(bool flag)
{
    m_useSmallerFonts = flag;
    _updateTextViewAndUserDefaultsObject(flag, kUseSmallerFontsKey);
}

void OVPrintPanelAccessoryViewController::setUseWhiteBackgroundAndBlackText(bool flag)
{
    m_useWhiteBackgroundAndBlackText = flag;
    _updateTextViewAndUserDefaultsObject(flag, kWhiteBackgroundKey);
}

void OVPrintPanelAccessoryViewController::setRemoveLineSpacing(bool flag)
{
    m_removeLineSpacing = flag;
    _updateTextViewAndUserDefaultsObject(flag, kRemoveLineSpacingKey);
}

void OVPrintPanelAccessoryViewController::_updateTextViewAndUserDefaultsObject(const PlistValue& object,
                                                                               const QString& key)
{
    _updateTextView();
    if (!object.isNull() && !key.isEmpty())
        UserDefaults::shared().setObject(object, key);
    updateSummaryLabel();
}

void OVPrintPanelAccessoryViewController::_updateTextView()
{
    if (!m_textView)
        return;
    // Always from the text as it was: an adjustment switched off gives back what it took.
    MutableAttributedString text(m_originalAttributedString);
    m_textView->setBackgroundColor(m_originalBackgroundColor);
    if (m_removeImagesFromDocument)
        removeImages(text);
    if (m_useSmallerFonts) {
        const auto [minimum, maximum] = smallFontPointSizeRange();
        mapFontSizes(text, minimum, maximum);
    }
    if (m_useWhiteBackgroundAndBlackText) {
        m_textView->setBackgroundColor(Qt::white);
        useBlackText(text);
    }
    if (m_removeLineSpacing)
        plainParagraphs(text);
    m_textView->textStorage().setAttributedString(text);
    m_textView->layoutManager()->ensureLayoutForTextContainer();
    m_textView->sizeToFit();
    _triggerPreviewUpdate();
}

void OVPrintPanelAccessoryViewController::_triggerPreviewUpdate()
{
    m_updateUUID = QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper();
    if (m_previewUpdate)
        m_previewUpdate();
}

std::vector<OVPrintPanelAccessoryViewController::SummaryItem>
OVPrintPanelAccessoryViewController::localizedSummaryItems() const
{
    std::vector<SummaryItem> items;
    if (UserDefaults::shared().boolForKey(QStringLiteral("enableTalentContentAdjustments")))
        items.push_back({localized("print-option-use-preview-panel-settings", "Use Preview Panel settings"),
                         stateName(m_usePreviewPanelContentAdjustments)});
    items.push_back(
        {localized("print-option-remove-images", "Remove images"), stateName(m_removeImagesFromDocument)});
    items.push_back(
        {localized("print-option-use-smaller-fonts", "Use smaller fonts"), stateName(m_useSmallerFonts)});
    items.push_back(
        {localized("print-option-use-white-background-and-black-text", "Use white background and black text"),
         stateName(m_useWhiteBackgroundAndBlackText)});
    items.push_back({localized("print-option-remove-line-spacing", "Remove line spacing"),
                     stateName(m_removeLineSpacing)});
    return items;
}

QString OVPrintPanelAccessoryViewController::summaryLine() const
{
    QStringList parts;
    for (const SummaryItem& item : localizedSummaryItems())
        parts << item.name + QStringLiteral(": ") + item.description;
    return parts.join(QStringLiteral(" · "));
}

void OVPrintPanelAccessoryViewController::helpButtonPressed()
{
    HVHelp::openLocalHelp(kHelpAnchor);
}

QWidget* OVPrintPanelAccessoryViewController::view(QWidget* parent)
{
    if (m_view)
        return m_view;
    m_view = new QWidget(parent);
    m_view->setObjectName(QStringLiteral("PrintPanelAccessoryView"));
    auto* layout = new QVBoxLayout(m_view);
    auto box = [this, layout](const char* name, const char* key, const char* english, bool on,
                              void (OVPrintPanelAccessoryViewController::*setter)(bool)) {
        auto* check = new QCheckBox(localized(key, english));
        check->setObjectName(QString::fromLatin1(name));
        check->setChecked(on);
        QObject::connect(check, &QCheckBox::toggled, [this, setter](bool flag) { (this->*setter)(flag); });
        layout->addWidget(check);
        return check;
    };
    // The preview-panel option's row stays hidden: what it would change is not settled.
    box("usePreviewPanelContentAdjustments", "print-option-use-preview-panel-settings",
        "Use Preview Panel settings", m_usePreviewPanelContentAdjustments,
        &OVPrintPanelAccessoryViewController::setUsePreviewPanelContentAdjustments)
        ->setVisible(false);
    box("removeImagesFromDocument", "print-option-remove-images", "Remove images", m_removeImagesFromDocument,
        &OVPrintPanelAccessoryViewController::setRemoveImagesFromDocument);
    box("useSmallerFonts", "print-option-use-smaller-fonts", "Use smaller fonts", m_useSmallerFonts,
        &OVPrintPanelAccessoryViewController::setUseSmallerFonts);
    box("useWhiteBackgroundAndBlackText", "print-option-use-white-background-and-black-text",
        "Use white background and black text", m_useWhiteBackgroundAndBlackText,
        &OVPrintPanelAccessoryViewController::setUseWhiteBackgroundAndBlackText);
    box("removeLineSpacing", "print-option-remove-line-spacing", "Remove line spacing", m_removeLineSpacing,
        &OVPrintPanelAccessoryViewController::setRemoveLineSpacing);
    m_summaryLabel = new QLabel;
    m_summaryLabel->setObjectName(QStringLiteral("summaryLabel"));
    m_summaryLabel->setWordWrap(true);
    layout->addWidget(m_summaryLabel);
    layout->addStretch(1);
    auto* help = new QPushButton(localized("print-option-help", "Help"));
    help->setObjectName(QStringLiteral("helpButton"));
    // Not the sheet's default: Return still prints.
    help->setAutoDefault(false);
    QObject::connect(help, &QPushButton::clicked, [] { helpButtonPressed(); });
    layout->addWidget(help, 0, Qt::AlignLeft);
    updateSummaryLabel();
    return m_view;
}

void OVPrintPanelAccessoryViewController::updateSummaryLabel()
{
    if (m_summaryLabel)
        m_summaryLabel->setText(summaryLine());
}
